// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace cli {

// Whether standard input is a terminal a person types at.
bool StandardInputIsTerminal();

// Turns off the echo of what is typed on standard input for its lifetime, then puts the
// terminal back as it was. Does nothing where standard input is no terminal.
class TerminalEchoOff
{
public:
    TerminalEchoOff();
    ~TerminalEchoOff();
    TerminalEchoOff(const TerminalEchoOff &) = delete;
    TerminalEchoOff &operator=(const TerminalEchoOff &) = delete;

private:
    std::function<void()> m_restore;
};

} // namespace cli
