// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signal_watch_turns.h"

#include <QDateTime>

#include <chrono>
#include <deque>
#include <optional>

// The readings on the modem's scale within a span; unknown and unreadable answers and
// missed readings do not count.
struct SignalStatistics {
    int count = 0;
    int minimum = 0;
    double mean = 0.0;
    int maximum = 0;
};

// Everything one watch has read, oldest first, bounded so that a watch left running for
// days cannot grow the tool's memory: past kCapacity the oldest samples go.
class SignalHistory
{
public:
    // The span the plot and the statistics look back over.
    static constexpr std::chrono::minutes kRecentSpan{10};
    // A day at the default interval of one second.
    static constexpr std::size_t kCapacity = 86'400;

    void clear();
    void append(SignalSample sample);

    const std::deque<SignalSample> &samples() const { return m_samples; }
    // The samples taken from `since` on, oldest first.
    std::vector<SignalSample> samplesSince(const QDateTime &since) const;
    // Missed readings since the last clear, including any that went with the oldest samples.
    int missedCount() const { return m_missed; }
    int takenCount() const { return m_taken; }

    // Over the samples taken within kRecentSpan before `now`; nothing without a level there.
    std::optional<SignalStatistics> recentStatistics(const QDateTime &now) const;

private:
    std::deque<SignalSample> m_samples;
    int m_missed = 0;
    int m_taken = 0;
};
