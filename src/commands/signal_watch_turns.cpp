// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_watch_turns.h"

#include "cellular_link_codec.h"

protocol::Request SignalWatchTurns::ReadingRequest()
{
    return protocol::Request::Bare(protocol::command_codes::kSignalQualityRead);
}

bool SignalWatchTurns::takeTurn(const QDateTime &now)
{
    if (m_waiting) {
        return false;
    }
    m_waiting = true;
    m_sentAt = now;
    return true;
}

SignalSample SignalWatchTurns::answered(std::string_view answer)
{
    m_waiting = false;
    return {m_sentAt,
            cellular::InterpretSignalQuality(cellular::ParseSignalQualityAnswer(answer))};
}

SignalSample SignalWatchTurns::missed()
{
    m_waiting = false;
    return {m_sentAt, std::nullopt};
}
