// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellular_link.h"

#include "cellular_link_codec.h"
#include "form_controls.h"
#include "transport/command_exchange.h"
#include "wire_text/wire_text.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace codes = protocol::command_codes;
using protocol::Request;

// No command of this family pauses, so it needs none of the window's timing.
CellularLink::CellularLink(QWidget &form, CommandExchange &exchange, const Timing & /*timing*/,
                           QObject *parent)
    : QObject(parent), m_exchange(exchange),
      m_apnName(FindControl<QLineEdit>(form, "edtapnname")),
      m_apnUser(FindControl<QLineEdit>(form, "edtapnuser")),
      m_apnPassword(FindControl<QLineEdit>(form, "edtapnpasseword")),
      m_pin(FindControl<QLineEdit>(form, "edtpin")),
      m_telecomOperator(FindControl<QLineEdit>(form, "edtto")),
      m_signalQuality(FindControl<QLineEdit>(form, "edtif")),
      m_frontEndMinutes(FindControl<QLineEdit>(form, "edtfectime"))
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
    m_pin->installEventFilter(this);
    registerAnswerHandlers();
}

void CellularLink::btnARClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kApnRead));
}

void CellularLink::btnAWClick()
{
    const cellular::ApnSettings apn{ToWireForSending(m_apnName->text()),
                                    ToWireForSending(m_apnUser->text()),
                                    ToWireForSending(m_apnPassword->text())};
    // A value that the answer to AR could not carry back is not sent.
    const std::optional<Refusal> refusal =
        cellular::RefusedApnValue(apn, protocol::TextSource::Edit);
    if (inputRefused(!refusal, refusal ? QStringLiteral("APN: ") + refusal->message : QString())) {
        return;
    }
    m_exchange.SendCommand({codes::kApnWrite, cellular::BuildApnWrite(apn)});
}

void CellularLink::btnPWClick()
{
    const std::string pin = ToWireForSending(m_pin->text());
    // The key filter lets digits alone be typed; a text put there otherwise is checked too.
    const std::optional<Refusal> refusal = cellular::RefusedPinEntry(pin);
    const bool missing = refusal && refusal->message == QLatin1String(cellular::kPinMissing);
    if (inputRefused(!refusal, missing || !refusal ? FromWire(cellular::kPinMissing)
                                                   : QStringLiteral("PIN: ") + refusal->message)) {
        return;
    }
    m_exchange.SendCommand({codes::kPinWrite, cellular::BuildPinWrite(pin)});
}

void CellularLink::btnPCClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kPinClear));
}

void CellularLink::btnCRClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kOperatorRead));
}

void CellularLink::btnCWClick()
{
    const std::string telecomOperator = ToWireForSending(m_telecomOperator->text());
    // A value that the answer to CR could not carry back is not sent.
    const std::optional<Refusal> refusal =
        cellular::RefusedOperator(telecomOperator, protocol::TextSource::Edit);
    if (inputRefused(!refusal, refusal ? QStringLiteral("Telecom Operator: ") + refusal->message
                                       : QString())) {
        return;
    }
    m_exchange.SendCommand(
        {codes::kOperatorWrite, cellular::BuildOperatorWrite(telecomOperator)});
}

void CellularLink::btnIFClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kSignalQualityRead));
}

void CellularLink::btnQRClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kFrontEndRead));
}

void CellularLink::btnQWClick()
{
    const std::string minutes = ToWire(m_frontEndMinutes->text());
    const std::optional<Refusal> refusal = cellular::RefusedFrontEndMinutes(minutes);
    if (inputRefused(!refusal, refusal ? refusal->message : QString())) {
        return;
    }
    m_exchange.SendCommand({codes::kFrontEndWrite, cellular::BuildFrontEndWrite(minutes)});
}

bool CellularLink::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pin && event->type() == QEvent::KeyPress) {
        return edtpinKeyPress(*static_cast<QKeyEvent *>(event));
    }
    return QObject::eventFilter(watched, event);
}

bool CellularLink::edtpinKeyPress(const QKeyEvent &key)
{
    // Keys that type no character (arrows, Home, Delete, Tab) keep their usual work.
    const bool typesNoCharacter = key.text().isEmpty() || key.key() == Qt::Key_Delete ||
                                  key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab;
    if (typesNoCharacter || key.key() == Qt::Key_Backspace) {
        return false;
    }
    const QString typed = key.text();
    const bool digit = typed.size() == 1 && typed.front() >= u'0' && typed.front() <= u'9';
    return !digit;
}

void CellularLink::registerAnswerHandlers()
{
    m_exchange.registerAnswerHandler(codes::kApnRead,
                                     [this](const std::string &p) { apnAnswer(p); });
    m_exchange.registerAnswerHandler(codes::kOperatorRead,
                                     [this](const std::string &p) { operatorAnswer(p); });
    m_exchange.registerAnswerHandler(codes::kSignalQualityRead,
                                     [this](const std::string &p) { signalQualityAnswer(p); });
    m_exchange.registerAnswerHandler(codes::kFrontEndRead,
                                     [this](const std::string &p) { frontEndAnswer(p); });
    registerConfirmation(codes::kApnWrite, QStringLiteral("Set APN successful"));
    registerConfirmation(codes::kPinWrite, QStringLiteral("Set PIN successful"));
    registerConfirmation(codes::kPinClear, QStringLiteral("Clear PIN successful"));
    registerConfirmation(codes::kOperatorWrite, QStringLiteral("Set Telecom Operator successful"));
    registerConfirmation(codes::kFrontEndWrite,
                         QStringLiteral("Set Front-End Computer Successful"));
}

// Any answer to a write or clear counts as success: the logger has no way to refuse.
void CellularLink::registerConfirmation(protocol::CommandCode code, const QString &message)
{
    m_exchange.registerAnswerHandler(code, [this, message](const std::string &) {
        closeExchange();
        m_exchange.notifier().inform(message);
    });
}

void CellularLink::closeExchange()
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
}

// The input of a Set button is checked only once a logger is selected: without one, the
// exchange refuses the command with its own message, which takes precedence.
bool CellularLink::inputRefused(bool acceptable, const QString &message)
{
    if (acceptable || !m_exchange.hasSelectedLogger()) {
        return false;
    }
    m_exchange.notifier().inform(message);
    return true;
}

void CellularLink::apnAnswer(const std::string &payload)
{
    closeExchange();
    if (const std::optional<cellular::ApnSettings> apn = cellular::ParseApnAnswer(payload)) {
        m_apnName->setText(FromWire(apn->name));
        m_apnUser->setText(FromWire(apn->user));
        m_apnPassword->setText(FromWire(apn->password));
    }
}

void CellularLink::operatorAnswer(const std::string &payload)
{
    closeExchange();
    m_telecomOperator->setText(FromWire(cellular::ParseOperatorAnswer(payload)));
}

void CellularLink::signalQualityAnswer(const std::string &payload)
{
    closeExchange();
    m_signalQuality->setText(FromWire(cellular::ParseSignalQualityAnswer(payload)));
}

void CellularLink::frontEndAnswer(const std::string &payload)
{
    closeExchange();
    if (const std::optional<std::string> minutes = cellular::ParseFrontEndAnswer(payload)) {
        m_frontEndMinutes->setText(FromWire(*minutes));
    }
}
