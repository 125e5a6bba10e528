// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/address_range.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class LoggerSearch;
class QLabel;
class QLineEdit;
class QPushButton;

// "Add logger by IP address…": probes one address, for a logger outside the PC's /24
// network (another subnet, behind a router or a VPN). The logger's answer adds or
// updates its row as a sweep answer does, and the row is selected; when no answer comes
// in time the dialog says so and stays open, and an answer that still comes is added and
// told. Closing the dialog gives the probe up: a later answer is not listed. Input it
// cannot use is refused with a message, and nothing is sent; a probe the system refuses
// is reported with its cause.
class AddLoggerDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kAnswerTimeoutMs = 2000;

    // The address typed, checked against what the PC knows of itself at that moment.
    using CheckAddress = std::function<Checked<quint32>(const QString &text)>;

    AddLoggerDialog(LoggerSearch &search, CheckAddress checkAddress, QWidget *parent = nullptr);

signals:
    // The logger at this address answered and is listed.
    void loggerAdded(const QString &address);

private:
    void probe();
    void loggerListed(const QString &address);
    void noAnswer();
    void giveUp();
    void showMessage(const QString &text);

    LoggerSearch &m_search;
    CheckAddress m_checkAddress;
    QLineEdit *m_address;
    QLabel *m_message;
    QPushButton *m_add;
    QTimer m_answerTimeout;
    QElapsedTimer m_sinceProbe;
    QString m_awaited; // the address probed, until it answers or the dialog closes
};
