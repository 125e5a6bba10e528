// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_list_menu.h"

#include <QActionGroup>
#include <QMenu>
#include <QTreeWidget>

LoggerListMenu::LoggerListMenu(QTreeWidget &loggerList, AdapterChoice adapterChoice,
                               QObject *parent)
    : QObject(parent), m_loggerList(loggerList), m_adapterChoice(std::move(adapterChoice)),
      m_menu(new QMenu(&loggerList))
{
    m_menu->setObjectName(QStringLiteral("mnuLoggerList"));
    // A custom menu is asked for by a right click and by the Menu key alike.
    m_loggerList.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_loggerList, &QWidget::customContextMenuRequested, this, &LoggerListMenu::open);
}

LoggerListMenu::~LoggerListMenu() = default;

void LoggerListMenu::addEntry(const QString &text, std::function<void()> run,
                              std::function<bool()> enabled)
{
    m_entries.push_back({text, std::move(run), std::move(enabled)});
}

QMenu &LoggerListMenu::build()
{
    qDeleteAll(m_menu->findChildren<QActionGroup *>(Qt::FindDirectChildrenOnly));
    m_menu->clear();
    for (const Entry &entry : m_entries) {
        QAction *action = m_menu->addAction(entry.text, this, entry.run);
        action->setEnabled(!entry.enabled || entry.enabled());
    }
    m_menu->addSeparator();
    QAction *heading = m_menu->addAction(QStringLiteral("Search from the PC address:"));
    heading->setEnabled(false);

    const QList<discovery::LocalAdapter> adapters = m_adapterChoice.adapters();
    if (adapters.isEmpty()) {
        m_menu->addAction(QStringLiteral("No network adapter is up"))->setEnabled(false);
        return *m_menu;
    }
    auto *group = new QActionGroup(m_menu);
    const QString current = m_adapterChoice.currentAddress();
    for (const discovery::LocalAdapter &adapter : adapters) {
        QAction *action = m_menu->addAction(adapter.label(), this,
                                            [this, adapter] { m_adapterChoice.choose(adapter); });
        action->setCheckable(true);
        action->setChecked(adapter.address.toString() == current);
        group->addAction(action);
    }
    return *m_menu;
}

void LoggerListMenu::open(const QPoint &position)
{
    build().popup(m_loggerList.viewport()->mapToGlobal(position));
}
