#include "network_addressing.h"

#include "form_controls.h"
#include "transport/command_exchange.h"

NetworkAddressing::NetworkAddressing(QWidget &form, CommandExchange &exchange, const Timing &timing, QObject *parent)
    : QObject(parent), m_form(form), m_exchange(exchange), m_timing(timing)
{
    ConnectClick(form, "btnER", this, exchange.notifier(), [this] { btnERClick(); });
    ConnectClick(form, "btnEW", this, exchange.notifier(), [this] { btnEWClick(); });
    ConnectClick(form, "btnR1", this, exchange.notifier(), [this] { btnR1Click(); });
    ConnectClick(form, "btnR2", this, exchange.notifier(), [this] { btnR2Click(); });
    ConnectClick(form, "btnRC", this, exchange.notifier(), [this] { btnRCClick(); });
    ConnectClick(form, "btnMR", this, exchange.notifier(), [this] { btnMRClick(); });
}

void NetworkAddressing::btnERClick() {}

void NetworkAddressing::btnEWClick() {}

void NetworkAddressing::btnR1Click() {}

void NetworkAddressing::btnR2Click() {}

void NetworkAddressing::btnRCClick() {}

void NetworkAddressing::btnMRClick() {}

void NetworkAddressing::btngprsipClick() {}

void NetworkAddressing::btnethipClick() {}
