// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>

#include <functional>

namespace cli {

// While it lives, Ctrl+C (SIGINT) or SIGTERM no longer ends the program at once: the handler runs
// from the event loop, so that a run that goes on until interrupted can end cleanly and
// say how it went. A second Ctrl+C ends the program as usual, should the first not.
// One at a time.
class Interruption
{
public:
    explicit Interruption(std::function<void()> onInterrupt);
    ~Interruption();

    Interruption(const Interruption &) = delete;
    Interruption &operator=(const Interruption &) = delete;

private:
    // A signal handler may only set a flag; the loop looks at it ten times a second.
    QTimer m_poll;
    void (*m_previousHandler)(int);
    void (*m_previousTermHandler)(int);
};

} // namespace cli
