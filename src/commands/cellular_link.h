#pragma once

#include "transport/settings.h"

#include <QObject>

class CommandExchange;
class QWidget;

// The cellular access settings: APN, SIM PIN, telecom operator, signal quality and
// the front-end computer.
class CellularLink : public QObject
{
    Q_OBJECT

public:
    CellularLink(QWidget &form, CommandExchange &exchange, const Timing &timing,
          QObject *parent = nullptr);

public slots:
    void btnARClick();
    void btnAWClick();
    void btnPWClick();
    void btnPCClick();
    void btnCRClick();
    void btnCWClick();
    void btnIFClick();
    void btnQRClick();
    void btnQWClick();

private:
    QWidget &m_form;
    CommandExchange &m_exchange;
    Timing m_timing;
};
