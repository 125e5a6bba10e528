// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_list.h"

namespace discovery {

std::optional<std::size_t> LoggerList::rowOf(const QHostAddress &address) const
{
    for (std::size_t row = 0; row < m_loggers.size(); ++row) {
        if (m_loggers[row].address == address) {
            return row;
        }
    }
    return std::nullopt;
}

void LoggerList::clear()
{
    m_loggers.clear();
    emit cleared();
}

std::size_t LoggerList::list(ListedLogger logger)
{
    if (const std::optional<std::size_t> row = rowOf(logger.address)) {
        m_loggers[*row].serial = std::move(logger.serial);
        emit serialChanged(*row);
        return *row;
    }
    m_loggers.push_back(std::move(logger));
    emit added(m_loggers.size() - 1);
    return m_loggers.size() - 1;
}

} // namespace discovery
