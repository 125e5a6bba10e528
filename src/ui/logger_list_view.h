// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/logger_list.h"
#include "list_export.h"

#include <QObject>

#include <optional>

class QTreeWidget;

// Shows the list of loggers in the window's logger list (listview1) and says which of
// them the operator selected. The rows are written from the list and never read back:
// the selected row's logger is the list's logger of that row.
class LoggerListView : public QObject
{
    Q_OBJECT

public:
    LoggerListView(discovery::LoggerList &loggers, QTreeWidget &view, QObject *parent = nullptr);

    const discovery::LoggerList &loggers() const { return m_loggers; }
    // The logger of the selected row; null without a selection.
    const discovery::ListedLogger *selected() const;
    // Makes the logger's row the current one and scrolls to it.
    void select(const QHostAddress &address);
    // The serial of a listed logger at this address other than the selected one.
    std::optional<QString> otherLoggerAt(const QHostAddress &address) const;
    // The list as it is shown: the view's captions, a row per logger.
    ListTable table() const;

signals:
    void selectionChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void add(std::size_t row);
    void showSerial(std::size_t row);
    std::optional<std::size_t> selectedRow() const;

    discovery::LoggerList &m_loggers;
    QTreeWidget &m_view;
};
