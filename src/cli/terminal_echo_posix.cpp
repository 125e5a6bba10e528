// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal_echo.h"

#include <termios.h>
#include <unistd.h>

namespace cli {

bool StandardInputIsTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}

TerminalEchoOff::TerminalEchoOff()
{
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        return;
    }
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) == 0) {
        m_restore = [saved] { tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved); };
    }
}

TerminalEchoOff::~TerminalEchoOff()
{
    if (m_restore) {
        m_restore();
    }
}

} // namespace cli
