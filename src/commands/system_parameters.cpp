#include "system_parameters.h"

#include "form_controls.h"
#include "transport/command_exchange.h"

SystemParameters::SystemParameters(QWidget &form, CommandExchange &exchange, const Timing &timing, QObject *parent)
    : QObject(parent), m_form(form), m_exchange(exchange), m_timing(timing)
{
    ConnectClick(form, "btnSR", this, exchange.notifier(), [this] { btnSRClick(); });
    ConnectClick(form, "btnSW", this, exchange.notifier(), [this] { btnSWClick(); });
    ConnectClick(form, "btngprson", this, exchange.notifier(), [this] { btngprsonClick(); });
    ConnectClick(form, "btngprsoff", this, exchange.notifier(), [this] { btngprsoffClick(); });
    ConnectClick(form, "btnsw1", this, exchange.notifier(), [this] { btnsw1Click(); });
}

void SystemParameters::btnSRClick() {}

void SystemParameters::btnSWClick() {}

void SystemParameters::btngprsonClick() {}

void SystemParameters::btngprsoffClick() {}

void SystemParameters::btnsw1Click() {}
