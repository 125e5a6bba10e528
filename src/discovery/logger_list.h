// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace discovery {

// How a logger came into the list.
enum class FoundBy {
    Sweep,          // an answer to the sweep of an adapter's /24
    RangeSearch,    // an answer from inside a searched range
    AddedByAddress, // an answer to the probe of one address
};

// One logger of the list, as it answered the search probe.
struct ListedLogger {
    QString serial;
    QHostAddress address;
    QString version = {};
    FoundBy foundBy = FoundBy::Sweep;
    // The adapter's address the sweep went from, or the range searched; empty for a
    // logger added by its address.
    QString foundThrough = {};
};

// The loggers the search found, in the order they answered: what the window's logger
// list shows, what the plant view reads and what a Set checks addresses against. One row
// per address.
class LoggerList : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    const std::vector<ListedLogger> &loggers() const { return m_loggers; }
    std::size_t size() const { return m_loggers.size(); }
    const ListedLogger &at(std::size_t row) const { return m_loggers.at(row); }
    // The row of the logger at this address, when it is listed.
    std::optional<std::size_t> rowOf(const QHostAddress &address) const;

    void clear();
    // Lists a logger at the end, or, when a row holds its address already, gives that row
    // the serial it answered with now and keeps the rest. Returns the logger's row.
    std::size_t list(ListedLogger logger);

signals:
    void cleared();
    void added(std::size_t row);
    void serialChanged(std::size_t row);

private:
    std::vector<ListedLogger> m_loggers;
};

} // namespace discovery
