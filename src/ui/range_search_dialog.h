// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/address_range.h"

#include <QDialog>

#include <functional>

class LoggerSearch;
class QLabel;
class QLineEdit;
class QSpinBox;

// "Search a range…": a CIDR block or a first-last pair, and the pace of the probes. A
// valid range starts the search and closes the dialog; pb1 then shows the progress and
// the logger list's menu can stop it. Input it cannot use is refused with a message, and
// nothing is sent.
class RangeSearchDialog : public QDialog
{
    Q_OBJECT

public:
    // The PC's networks, read when the search starts: their network and broadcast
    // addresses are left out of the range.
    using PcNetworks = std::function<QList<discovery::LocalNetwork>()>;

    RangeSearchDialog(LoggerSearch &search, PcNetworks pcNetworks, QWidget *parent = nullptr);

private:
    void startSearch();

    LoggerSearch &m_search;
    PcNetworks m_pcNetworks;
    QLineEdit *m_range;
    QSpinBox *m_pace;
    QLabel *m_message;
};
