// SPDX-License-Identifier: GPL-3.0-or-later
#include "secret_input.h"

#include "terminal_echo.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace cli {

std::optional<QString> ReadSecretFromStandardInput(const QString &prompt)
{
    std::string line;
    if (StandardInputIsTerminal()) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        bool read = false;
        {
            const TerminalEchoOff echoOff;
            read = static_cast<bool>(std::getline(std::cin, line));
        }
        // The Enter typed was not echoed either.
        std::fputs("\n", stderr);
        if (!read) {
            return std::nullopt;
        }
    } else if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

} // namespace cli
