#pragma once

#include "transport/settings.h"

#include <QObject>

class CommandExchange;
class QWidget;

// The system-parameter block, the GPRS on/off chains and the data and heartbeat
// interval chain.
class SystemParameters : public QObject
{
    Q_OBJECT

public:
    SystemParameters(QWidget &form, CommandExchange &exchange, const Timing &timing,
          QObject *parent = nullptr);

public slots:
    void btnSRClick();
    void btnSWClick();
    void btngprsonClick();
    void btngprsoffClick();
    void btnsw1Click();

private:
    QWidget &m_form;
    CommandExchange &m_exchange;
    Timing m_timing;
};
