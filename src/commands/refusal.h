// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <utility>
#include <variant>

// A value or an input the tool will not act on, with the message that names what and why:
// the codecs' checks of the values they build, the window's and the fleet's checks of what
// is given to them. Nothing is sent for a refused input.
struct Refusal {
    QString message;
};

// Either a value that passed its checks, or the refusal.
template <typename Value> class Checked
{
public:
    Checked(Value value) : m_state(std::move(value)) {}
    Checked(Refusal refusal) : m_state(std::move(refusal)) {}

    bool accepted() const { return std::holds_alternative<Value>(m_state); }
    const Value &value() const & { return std::get<Value>(m_state); }
    Value &&value() && { return std::get<Value>(std::move(m_state)); }
    const Refusal &refusal() const { return std::get<Refusal>(m_state); }

private:
    std::variant<Value, Refusal> m_state;
};
