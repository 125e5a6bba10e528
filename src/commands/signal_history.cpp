// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_history.h"

#include <algorithm>

void SignalHistory::clear()
{
    m_samples.clear();
    m_missed = 0;
    m_taken = 0;
}

void SignalHistory::append(SignalSample sample)
{
    if (m_samples.size() == kCapacity) {
        m_samples.pop_front();
    }
    ++m_taken;
    m_missed += sample.reading ? 0 : 1;
    m_samples.push_back(std::move(sample));
}

std::vector<SignalSample> SignalHistory::samplesSince(const QDateTime &since) const
{
    // Taken in order, so the scan from the newest end stops at the first older sample.
    auto first = m_samples.end();
    while (first != m_samples.begin() && std::prev(first)->takenAt >= since) {
        --first;
    }
    return {first, m_samples.end()};
}

std::optional<SignalStatistics> SignalHistory::recentStatistics(const QDateTime &now) const
{
    SignalStatistics statistics;
    long long sum = 0;
    for (const SignalSample &sample : samplesSince(now.addDuration(-kRecentSpan))) {
        if (!sample.reading || !cellular::SignalLevelDbm(*sample.reading)) {
            continue;
        }
        const int value = *sample.reading->value;
        statistics.minimum = statistics.count == 0 ? value : std::min(statistics.minimum, value);
        statistics.maximum = statistics.count == 0 ? value : std::max(statistics.maximum, value);
        sum += value;
        ++statistics.count;
    }
    if (statistics.count == 0) {
        return std::nullopt;
    }
    statistics.mean = double(sum) / statistics.count;
    return statistics;
}
