// SPDX-License-Identifier: GPL-3.0-or-later
#include "interruption.h"

#include <atomic>
#include <csignal>

namespace cli {
namespace {

std::atomic<bool> interrupted{false};

void NoteInterrupt(int)
{
    interrupted = true;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

} // namespace

Interruption::Interruption(std::function<void()> onInterrupt)
{
    interrupted = false;
    m_previousHandler = std::signal(SIGINT, NoteInterrupt);
    m_previousTermHandler = std::signal(SIGTERM, NoteInterrupt);
    m_poll.setInterval(100);
    QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this, onInterrupt] {
        if (interrupted.exchange(false)) {
            m_poll.stop();
            onInterrupt();
        }
    });
    m_poll.start();
}

Interruption::~Interruption()
{
    std::signal(SIGINT, m_previousHandler == SIG_ERR ? SIG_DFL : m_previousHandler);
    std::signal(SIGTERM, m_previousTermHandler == SIG_ERR ? SIG_DFL : m_previousTermHandler);
}

} // namespace cli
