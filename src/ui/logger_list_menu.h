// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/pc_address.h"

#include <QObject>

#include <functional>
#include <vector>

class QMenu;
class QTreeWidget;

// The context menu of the logger list (right click or the Menu key): the window's
// features beyond the form. Entries are added once by the window, in the order they
// appear; below them the menu lists the PC's adapters, to choose the address the next
// search starts from. The menu is built afresh each time it opens.
class LoggerListMenu : public QObject
{
    Q_OBJECT

public:
    struct AdapterChoice {
        std::function<QList<discovery::LocalAdapter>()> adapters; // read at each opening
        std::function<QString()> currentAddress;
        std::function<void(const discovery::LocalAdapter &)> choose;
    };

    LoggerListMenu(QTreeWidget &loggerList, AdapterChoice adapterChoice, QObject *parent = nullptr);
    ~LoggerListMenu() override;

    // Adds an entry that runs `run`; `enabled`, when given, decides at each opening.
    void addEntry(const QString &text, std::function<void()> run,
                  std::function<bool()> enabled = {});

    // Builds the menu as it would open now (tests and screenshots look at it).
    QMenu &build();

private:
    struct Entry {
        QString text;
        std::function<void()> run;
        std::function<bool()> enabled;
    };

    void open(const QPoint &position);

    QTreeWidget &m_loggerList;
    AdapterChoice m_adapterChoice;
    std::vector<Entry> m_entries;
    QMenu *m_menu;
};
