#pragma once

#include "discovery/address_range.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class LoggerSearch;
class QLabel;
class QLineEdit;
class QPushButton;

// "Add logger by IP address…": probes one address, for a logger outside the PC's /24
// network (another subnet, behind a router or a VPN). The logger's answer adds or
// updates its row as a sweep answer does, and the row is selected; when no answer comes
// in time the dialog says so and stays open. Input it cannot use is refused with a
// message, and nothing is sent.
class AddLoggerDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kAnswerTimeoutMs = 2000;

    using LocalNetworks = std::function<QList<discovery::LocalNetwork>()>;

    AddLoggerDialog(LoggerSearch &search, LocalNetworks localNetworks, QWidget *parent = nullptr);

signals:
    // The logger at this address answered and is listed.
    void loggerAdded(const QString &address);

private:
    void probe();
    void loggerListed(const QString &address);
    void noAnswer();
    void showMessage(const QString &text);

    LoggerSearch &m_search;
    LocalNetworks m_localNetworks;
    QLineEdit *m_address;
    QLabel *m_message;
    QPushButton *m_add;
    QTimer m_answerTimeout;
    QString m_awaited; // the address probed, while its answer is awaited
};
