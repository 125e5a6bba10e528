#pragma once

#include "transport/settings.h"

#include <QObject>

class CommandExchange;
class QWidget;

// The logger's own IP configuration, the data server address, the MAC address and
// the upstream server address chains.
class NetworkAddressing : public QObject
{
    Q_OBJECT

public:
    NetworkAddressing(QWidget &form, CommandExchange &exchange, const Timing &timing,
          QObject *parent = nullptr);

public slots:
    void btnERClick();
    void btnEWClick();
    void btnR1Click();
    void btnR2Click();
    void btnRCClick();
    void btnMRClick();
    void btngprsipClick();
    void btnethipClick();

private:
    QWidget &m_form;
    CommandExchange &m_exchange;
    Timing m_timing;
};
