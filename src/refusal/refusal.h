// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string_view>
#include <utility>
#include <variant>

// A value or an input the tool will not act on, with the message that names what and why:
// the codecs' checks of the values they build, the window's and the fleet's checks of what
// is given to them. Nothing is sent for a refused input.
struct Refusal {
    QString message;

    // A rule the codecs word as bytes of the wire: its words are ASCII, and a number or an
    // address in them is written in decimal digits, so they read the same in every code page.
    static Refusal FromAscii(std::string_view words)
    {
        return {QString::fromLatin1(words.data(), static_cast<qsizetype>(words.size()))};
    }
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
