#include "device_registry.h"

#include "form_controls.h"
#include "transport/command_exchange.h"

DeviceRegistry::DeviceRegistry(QWidget &form, CommandExchange &exchange, const Timing &timing, QObject *parent)
    : QObject(parent), m_form(form), m_exchange(exchange), m_timing(timing)
{
    ConnectClick(form, "btnDA", this, exchange.notifier(), [this] { btnDAClick(); });
    ConnectClick(form, "btnReadDevice", this, exchange.notifier(), [this] { btnReadDeviceClick(); });
    ConnectClick(form, "btnDE", this, exchange.notifier(), [this] { btnDEClick(); });
    ConnectClick(form, "btnclearall", this, exchange.notifier(), [this] { btnclearallClick(); });
}

void DeviceRegistry::btnDAClick() {}

void DeviceRegistry::btnReadDeviceClick() {}

void DeviceRegistry::btnDEClick() {}

void DeviceRegistry::btnclearallClick() {}
