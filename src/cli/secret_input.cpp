#include "secret_input.h"

#include <cstdio>
#include <iostream>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace cli {
namespace {

// Turns the terminal's echo off for its lifetime, then back to what it was.
class EchoOff
{
public:
    EchoOff() : m_active(tcgetattr(STDIN_FILENO, &m_saved) == 0)
    {
        if (m_active) {
            termios silent = m_saved;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) == 0;
        }
    }
    ~EchoOff()
    {
        if (m_active) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
        }
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    termios m_saved{};
    bool m_active;
};

} // namespace

std::optional<QString> ReadSecretFromStandardInput(const QString &prompt)
{
    std::string line;
    if (isatty(STDIN_FILENO) == 1) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        bool read = false;
        {
            const EchoOff echoOff;
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
