// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cellular_link_codec.h"
#include "protocol/request.h"

#include <QDateTime>

#include <optional>
#include <string_view>

// One turn of the signal-quality watch: when the request went out and what came back.
struct SignalSample {
    QDateTime takenAt;
    // Nothing when no answer came in time: a gap, not a level.
    std::optional<cellular::SignalReading> reading;
};

// The turns of a signal watch: one logger's signal quality read again and again, one
// request out at a time. A reading due while a request is out is skipped, so a logger
// slower than the interval is read as often as it answers and an answer is never taken
// for a later request's. Each turn ends answered or missed, and carries the time its
// request went out. The turns send nothing and keep no clock, so that the window's watch
// and the command line's both drive them with their own timers.
class SignalWatchTurns
{
public:
    // The request of every turn.
    static protocol::Request ReadingRequest();

    // A reading is due at `now`: whether its request goes out. It does not while the last
    // one still waits for its answer or its end as missed.
    bool takeTurn(const QDateTime &now);
    bool waiting() const { return m_waiting; }

    // The answer to the request out: the turn's sample. An answer without a level of the
    // scale is a reading all the same (unreadable), not a gap.
    SignalSample answered(std::string_view answer);
    // The request out got no answer: the turn's sample is a gap.
    SignalSample missed();
    // The watch stopped: the request out ends, and its answer answers nothing.
    void drop() { m_waiting = false; }

private:
    bool m_waiting = false;
    QDateTime m_sentAt;
};
