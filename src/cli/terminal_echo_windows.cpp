// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal_echo.h"

#include <windows.h>

namespace cli {

bool StandardInputIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

TerminalEchoOff::TerminalEchoOff()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    if (GetConsoleMode(input, &saved) == 0) {
        return;
    }
    if (SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0) {
        m_restore = [input, saved] { SetConsoleMode(input, saved); };
    }
}

TerminalEchoOff::~TerminalEchoOff()
{
    if (m_restore) {
        m_restore();
    }
}

} // namespace cli
