#include "cellular_link.h"

#include "form_controls.h"
#include "transport/command_exchange.h"

CellularLink::CellularLink(QWidget &form, CommandExchange &exchange, const Timing &timing, QObject *parent)
    : QObject(parent), m_form(form), m_exchange(exchange), m_timing(timing)
{
    ConnectClick(form, "btnAR", this, exchange.notifier(), [this] { btnARClick(); });
    ConnectClick(form, "btnAW", this, exchange.notifier(), [this] { btnAWClick(); });
    ConnectClick(form, "btnPW", this, exchange.notifier(), [this] { btnPWClick(); });
    ConnectClick(form, "btnPC", this, exchange.notifier(), [this] { btnPCClick(); });
    ConnectClick(form, "btnCR", this, exchange.notifier(), [this] { btnCRClick(); });
    ConnectClick(form, "btnCW", this, exchange.notifier(), [this] { btnCWClick(); });
    ConnectClick(form, "btnIF", this, exchange.notifier(), [this] { btnIFClick(); });
    ConnectClick(form, "btnQR", this, exchange.notifier(), [this] { btnQRClick(); });
    ConnectClick(form, "btnQW", this, exchange.notifier(), [this] { btnQWClick(); });
}

void CellularLink::btnARClick() {}

void CellularLink::btnAWClick() {}

void CellularLink::btnPWClick() {}

void CellularLink::btnPCClick() {}

void CellularLink::btnCRClick() {}

void CellularLink::btnCWClick() {}

void CellularLink::btnIFClick() {}

void CellularLink::btnQRClick() {}

void CellularLink::btnQWClick() {}
