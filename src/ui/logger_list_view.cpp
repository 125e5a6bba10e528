// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_list_view.h"

#include <QKeyEvent>
#include <QTreeWidget>

namespace {

constexpr int kSerialColumn = 0;

bool MovesThroughTheList(int key)
{
    return key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Up ||
           key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

QStringList Cells(const discovery::ListedLogger &logger)
{
    return {logger.serial, logger.address.toString(), logger.version};
}

} // namespace

LoggerListView::LoggerListView(discovery::LoggerList &loggers, QTreeWidget &view, QObject *parent)
    : QObject(parent), m_loggers(loggers), m_view(view)
{
    for (std::size_t row = 0; row < m_loggers.size(); ++row) {
        add(row);
    }
    connect(&m_loggers, &discovery::LoggerList::cleared, &m_view, &QTreeWidget::clear);
    connect(&m_loggers, &discovery::LoggerList::added, this, &LoggerListView::add);
    connect(&m_loggers, &discovery::LoggerList::serialChanged, this, &LoggerListView::showSerial);
    connect(&m_view, &QTreeWidget::itemSelectionChanged, this, &LoggerListView::selectionChanged);
    m_view.installEventFilter(this);
}

// Taking the focus, the list makes its first row current without selecting it. A key that
// moves through the list starts from that row as from a selected one, so that Home on it
// selects it too and every move selects the row the operator sees it land on.
bool LoggerListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_view && event->type() == QEvent::KeyPress &&
        MovesThroughTheList(static_cast<QKeyEvent *>(event)->key()) &&
        m_view.selectedItems().isEmpty()) {
        if (QTreeWidgetItem *current = m_view.currentItem()) {
            current->setSelected(true);
        }
    }
    return QObject::eventFilter(watched, event);
}

void LoggerListView::add(std::size_t row)
{
    new QTreeWidgetItem(&m_view, Cells(m_loggers.at(row)));
}

void LoggerListView::showSerial(std::size_t row)
{
    if (QTreeWidgetItem *item = m_view.topLevelItem(static_cast<int>(row))) {
        item->setText(kSerialColumn, m_loggers.at(row).serial);
    }
}

std::optional<std::size_t> LoggerListView::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = m_view.selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    const int row = m_view.indexOfTopLevelItem(selected.first());
    if (row < 0 || static_cast<std::size_t>(row) >= m_loggers.size()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(row);
}

const discovery::ListedLogger *LoggerListView::selected() const
{
    const std::optional<std::size_t> row = selectedRow();
    return row ? &m_loggers.at(*row) : nullptr;
}

void LoggerListView::select(const QHostAddress &address)
{
    const std::optional<std::size_t> row = m_loggers.rowOf(address);
    if (!row) {
        return;
    }
    if (QTreeWidgetItem *item = m_view.topLevelItem(static_cast<int>(*row))) {
        m_view.setCurrentItem(item);
        m_view.scrollToItem(item);
    }
}

std::optional<QString> LoggerListView::otherLoggerAt(const QHostAddress &address) const
{
    const std::optional<std::size_t> selected = selectedRow();
    for (std::size_t row = 0; row < m_loggers.size(); ++row) {
        if (row != selected && m_loggers.at(row).address == address) {
            return m_loggers.at(row).serial;
        }
    }
    return std::nullopt;
}

ListTable LoggerListView::table() const
{
    ListTable table;
    const QTreeWidgetItem *captions = m_view.headerItem();
    for (int column = 0; column < m_view.columnCount(); ++column) {
        table.header.append(captions->text(column));
    }
    for (const discovery::ListedLogger &logger : m_loggers.loggers()) {
        table.rows.append(Cells(logger));
    }
    return table;
}
