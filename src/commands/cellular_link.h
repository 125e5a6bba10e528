// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/request.h"
#include "transport/settings.h"

#include <QObject>

#include <string>

class CommandExchange;
class QKeyEvent;
class QLineEdit;
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // True when the typed key must not reach edtpin.
    static bool edtpinKeyPress(const QKeyEvent &key);

    void registerAnswerHandlers();
    void registerConfirmation(protocol::CommandCode code, const QString &message);
    void closeExchange();
    bool inputRefused(bool acceptable, const QString &message);

    void apnAnswer(const std::string &payload);
    void operatorAnswer(const std::string &payload);
    void signalQualityAnswer(const std::string &payload);
    void frontEndAnswer(const std::string &payload);

    CommandExchange &m_exchange;
    QLineEdit *m_apnName;
    QLineEdit *m_apnUser;
    QLineEdit *m_apnPassword;
    QLineEdit *m_pin;
    QLineEdit *m_telecomOperator;
    QLineEdit *m_signalQuality;
    QLineEdit *m_frontEndMinutes;
};
