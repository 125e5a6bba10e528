#pragma once

#include <QObject>
#include <QTimer>

#include <string>

class CommandExchange;
class QLabel;
class QProgressBar;
class QTreeWidget;
class UdpEndpoints;

// The sweep of the PC's /24 network and the logger list it fills. The search never
// ends by itself: answers are taken while "SS" stays the current command.
class LoggerSearch : public QObject
{
    Q_OBJECT

public:
    struct Controls {
        QTreeWidget *loggerList;  // listview1
        QLabel *pcAddress;        // lbl3
        QProgressBar *progress;   // pb1
    };

    LoggerSearch(UdpEndpoints &endpoints, CommandExchange &exchange, const Controls &controls,
                 int tickMs, QObject *parent = nullptr);

    // Called by the receive path for each discovery candidate while "SS" is current.
    void handleDiscoveryAnswer(const std::string &candidate, const QString &senderAddress);

public slots:
    void btnsearchClick();
    void tmr2Timer();

private:
    UdpEndpoints &m_endpoints;
    CommandExchange &m_exchange;
    Controls m_controls;
    QTimer m_tmr2;
};
