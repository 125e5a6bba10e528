#pragma once

#include "transport/settings.h"

#include <QObject>

class CommandExchange;
class QWidget;

// The registry of devices attached to the logger: add, read back, delete, and the
// window's Clear All.
class DeviceRegistry : public QObject
{
    Q_OBJECT

public:
    DeviceRegistry(QWidget &form, CommandExchange &exchange, const Timing &timing,
          QObject *parent = nullptr);

public slots:
    void btnDAClick();
    void btnReadDeviceClick();
    void btnDEClick();
    void btnclearallClick();

private:
    QWidget &m_form;
    CommandExchange &m_exchange;
    Timing m_timing;
};
