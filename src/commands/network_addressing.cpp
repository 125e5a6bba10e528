// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_addressing.h"

#include "form_controls.h"
#include "transport/command_exchange.h"
#include "wire_text/wire_text.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QThread>

#include <algorithm>

namespace codes = protocol::command_codes;
using network_addressing::OctetRow;
using protocol::Request;

namespace {

// The answer step of a clear of the data server: it goes out as a write of an empty
// address and is answered as one, but is confirmed in words of its own.
const CommandExchange::AnswerStep kDataServerClearStep = "RC";

std::array<QLineEdit *, 4> FindOctetEdits(QWidget &form, const std::string &prefix)
{
    std::array<QLineEdit *, 4> edits{};
    for (std::size_t index = 0; index < edits.size(); ++index) {
        edits[index] = FindControl<QLineEdit>(form, (prefix + std::to_string(index + 1)).c_str());
    }
    return edits;
}

OctetRow ReadOctets(const std::array<QLineEdit *, 4> &edits)
{
    OctetRow octets;
    std::transform(edits.begin(), edits.end(), octets.begin(),
                   [](const QLineEdit *edit) { return ToWire(edit->text()); });
    return octets;
}

// What an octet edit takes from the keyboard and the clipboard.
constexpr int kOctetTypingLimit = 3;

// An octet edit's length limit is the typing limit, or the length of a longer text that a
// logger's answer put there: the operator sees the whole answer and can only shorten it.
void FitLengthLimit(QLineEdit &edit, qsizetype textLength)
{
    const int limit = std::max<int>(kOctetTypingLimit, static_cast<int>(textLength));
    if (edit.maxLength() != limit) {
        edit.setMaxLength(limit);
    }
}

// Shows an answer's octets whole: a longer text is what the logger said, and the range
// check of a later Set refuses it instead of writing a cut, valid-looking address.
void ShowOctets(const std::array<QLineEdit *, 4> &edits, const OctetRow &octets)
{
    for (std::size_t index = 0; index < edits.size(); ++index) {
        const QString text = FromWire(octets[index]);
        FitLengthLimit(*edits[index], text.size());  // before the text, which it would cut
        edits[index]->setText(text);
    }
}

// The character a key press types, if it types one. Shortcuts (clipboard, undo) and
// keys without a printable character (Delete, arrows, Tab) are left to the edit.
std::optional<char> TypedCharacter(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Backspace) {
        return network_addressing::kBackspace;
    }
    if ((event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) {
        return std::nullopt;
    }
    const QString text = event.text();
    if (text.size() != 1 || !text.front().isPrint()) {
        return std::nullopt;
    }
    return text.front().toLatin1();
}

} // namespace

const NetworkAddressing::UpstreamLink NetworkAddressing::kGprsLink{
    codes::kGprsServerWrite, codes::kGprsServerRead, "Set Server IP(GPRS) successful",
    "Set Server IP(GPRS) fail,please retry", "Set Server IP(GPRS) overtime,try again ?"};

const NetworkAddressing::UpstreamLink NetworkAddressing::kEthernetLink{
    codes::kEthernetServerWrite, codes::kEthernetServerRead, "Set Server IP(Ethernet) successful",
    "Set Server IP(Ethernet) fail,please retry", "Set Server IP(Ethernet) overtime,try again ?"};

NetworkAddressing::NetworkAddressing(QWidget &form, CommandExchange &exchange, const Timing &timing,
                                     RefusedNewAddress refusedNewAddress, QObject *parent)
    : QObject(parent), m_exchange(exchange), m_timing(timing),
      m_automaticAddress(FindControl<QRadioButton>(form, "rbautoip")),
      m_manualAddress(FindControl<QRadioButton>(form, "rbhandip")),
      m_addressRows(FindControl<QWidget>(form, "grp5")), m_address(FindOctetEdits(form, "edtip")),
      m_mask(FindOctetEdits(form, "edtmask")), m_gateway(FindOctetEdits(form, "edtgt")),
      m_dataServer(FindOctetEdits(form, "edtrip")), m_mac(FindControl<QLineEdit>(form, "EDTMAC")),
      m_refusedNewAddress(std::move(refusedNewAddress))
{
    ConnectClick(form, "btnER", this, exchange.notifier(), [this] { btnERClick(); });
    ConnectClick(form, "btnEW", this, exchange.notifier(), [this] { btnEWClick(); });
    ConnectClick(form, "btnR1", this, exchange.notifier(), [this] { btnR1Click(); });
    ConnectClick(form, "btnR2", this, exchange.notifier(), [this] { btnR2Click(); });
    ConnectClick(form, "btnRC", this, exchange.notifier(), [this] { btnRCClick(); });
    ConnectClick(form, "btnMR", this, exchange.notifier(), [this] { btnMRClick(); });
    connect(m_automaticAddress, &QRadioButton::clicked, this, &NetworkAddressing::rbautoipClick);
    connect(m_manualAddress, &QRadioButton::clicked, this, &NetworkAddressing::rbhandipClick);
    registerAnswerHandlers();
    installOctetRules();
    m_exchange.setRetryStep([this] { retryUpstreamWrite(); });
}

void NetworkAddressing::registerAnswerHandlers()
{
    m_exchange.registerAnswerHandler(codes::kIpConfigurationRead,
                                     [this](const std::string &payload) { answerER(payload); });
    m_exchange.registerAnswerHandler(codes::kDataServerRead,
                                     [this](const std::string &payload) { answerR3(payload); });
    m_exchange.registerAnswerHandler(codes::kMacRead,
                                     [this](const std::string &payload) { answerMR(payload); });
    m_exchange.registerAnswerHandler(codes::kIpConfigurationWrite, [this](const std::string &) {
        confirm("Set IP Address successful");
    });
    m_exchange.registerAnswerHandler(codes::kDataServerWrite,
                                     [this](const std::string &) { answerR4(); });
    m_exchange.registerAnswerHandler(kDataServerClearStep, [this](const std::string &) {
        m_dataServerPorts[m_exchange.askedLogger().toString()] = "0";
        confirm("Clear Data Server IP successful");
    });
    for (const UpstreamLink *link : {&kGprsLink, &kEthernetLink}) {
        m_exchange.registerAnswerHandler(
            link->writeCode, [this, link](const std::string &) { sendReadBack(*link); });
        m_exchange.registerAnswerHandler(link->readCode, [this, link](const std::string &payload) {
            judgeReadBack(*link, payload);
        });
    }
}

void NetworkAddressing::installOctetRules()
{
    for (const OctetEdits *row : {&m_address, &m_mask, &m_gateway, &m_dataServer}) {
        for (QLineEdit *edit : *row) {
            edit->installEventFilter(this);
            connect(edit, &QLineEdit::textChanged, this, [edit] { FitLengthLimit(*edit, edit->text().size()); });
        }
    }
}

void NetworkAddressing::inform(const char *text)
{
    m_exchange.notifier().inform(QString::fromLatin1(text));
}

// --- Logger IP configuration ---

void NetworkAddressing::btnERClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kIpConfigurationRead));
}

void NetworkAddressing::btnEWClick()
{
    if (!m_manualAddress->isChecked()) {
        m_exchange.SendCommand(
            {codes::kIpConfigurationWrite, std::string(network_addressing::kDhcpIpRequest)});
        return;
    }
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    const network_addressing::IpConfiguration entered = enteredIpConfiguration();
    if (const auto problem = network_addressing::CheckFixedIpEntry(entered)) {
        m_exchange.notifier().inform(problem->message);
        return;
    }
    // A configuration the logger could not work at leaves it out of reach.
    if (const auto problem = network_addressing::RefusedSubnet(entered)) {
        m_exchange.notifier().inform(AsSentence(*problem));
        return;
    }
    if (const std::optional<Refusal> refusal =
            m_refusedNewAddress(QHostAddress(network_addressing::AddressNumber(entered.address)))) {
        m_exchange.notifier().inform(refusal->message);
        return;
    }
    m_exchange.SendCommand(
        {codes::kIpConfigurationWrite, network_addressing::BuildFixedIpRequest(entered)});
}

network_addressing::IpConfiguration NetworkAddressing::enteredIpConfiguration() const
{
    return {ReadOctets(m_address), ReadOctets(m_mask), ReadOctets(m_gateway)};
}

void NetworkAddressing::answerER(const std::string &payload)
{
    closeExchange();
    const auto configuration = network_addressing::ParseIpAnswer(payload);
    if (!configuration) {
        inform("Read IP address failed: the answer is incomplete.");
        return;
    }
    ShowOctets(m_address, configuration->address);
    ShowOctets(m_mask, configuration->mask);
    ShowOctets(m_gateway, configuration->gateway);
}

// An answer closes its exchange: the window is unlocked first, then the current
// command is cleared.
void NetworkAddressing::closeExchange()
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
}

void NetworkAddressing::confirm(const char *text)
{
    closeExchange();
    inform(text);
}

void NetworkAddressing::rbautoipClick()
{
    if (m_automaticAddress->isChecked()) {
        m_addressRows->setEnabled(false);
    }
}

void NetworkAddressing::rbhandipClick()
{
    if (m_manualAddress->isChecked()) {
        m_addressRows->setEnabled(true);
    }
}

// --- Octet edits ---

bool NetworkAddressing::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit == nullptr) {
        return false;
    }
    bool discard = false;
    RunGuarded(m_exchange.notifier(), [&] {
        switch (event->type()) {
        case QEvent::KeyPress:
            discard = edtip1KeyPress(*edit, static_cast<const QKeyEvent &>(*event));
            break;
        case QEvent::KeyRelease:
            edtip1KeyUp(*edit);
            break;
        case QEvent::MouseButtonRelease:
            if (std::find(m_mask.begin(), m_mask.end(), edit) != m_mask.end() &&
                static_cast<const QMouseEvent &>(*event).button() == Qt::LeftButton) {
                edtmask1Click();
            }
            break;
        default:
            break;
        }
    });
    return discard;
}

bool NetworkAddressing::edtip1KeyPress(QLineEdit &edit, const QKeyEvent &event)
{
    const std::optional<char> typed = TypedCharacter(event);
    if (!typed) {
        return false;
    }
    const network_addressing::OctetKeyDecision decision =
        network_addressing::FilterOctetKey(ToWire(edit.text()), *typed);
    if (decision.clearText) {
        edit.clear();
    }
    if (decision.moveFocus) {
        moveFocusOn(edit);
    }
    return !decision.insert;
}

void NetworkAddressing::edtip1KeyUp(QLineEdit &edit)
{
    const std::string text = ToWire(edit.text());
    const network_addressing::OctetNormalisation normalised =
        network_addressing::NormaliseOctet(text);
    if (normalised.text != text) {
        edit.setText(FromWire(normalised.text));
    }
    if (normalised.moveFocus) {
        moveFocusOn(edit);
    }
}

void NetworkAddressing::edtmask1Click()
{
    if (const auto mask = network_addressing::SuggestMask(ReadOctets(m_address))) {
        ShowOctets(m_mask, *mask);
    }
}

// Moves the input focus to the next control in tab order, exactly as the Tab key does.
void NetworkAddressing::moveFocusOn(QLineEdit &edit)
{
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &tab);
}

// --- Data server IP ---

void NetworkAddressing::btnR1Click()
{
    m_exchange.SendCommand(Request::Bare(codes::kDataServerRead));
}

void NetworkAddressing::btnR2Click()
{
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    const OctetRow address = ReadOctets(m_dataServer);
    if (const auto problem = network_addressing::CheckDataServerEntry(address)) {
        m_exchange.notifier().inform(problem->message);
        return;
    }
    m_exchange.SendCommand(
        {codes::kDataServerWrite, network_addressing::BuildDataServerRequest(address)});
}

void NetworkAddressing::btnRCClick()
{
    // The wire carries R4; only the answer step tells the clear's answer apart.
    m_exchange.SendCommand(
        kDataServerClearStep,
        {codes::kDataServerWrite, std::string(network_addressing::kClearDataServerRequest)});
}

void NetworkAddressing::answerR3(const std::string &payload)
{
    closeExchange();
    ShowOctets(m_dataServer, network_addressing::ParseDataServerAnswer(payload));
    // The window shows no port and every Set writes its own: say when the logger's differs.
    const std::string port = network_addressing::ParseDataServerPort(payload);
    m_dataServerPorts[m_exchange.askedLogger().toString()] = port;
    if (!port.empty() && port != "0" && port != network_addressing::kDataServerSetPort) {
        emit notice(QStringLiteral("The data server port is %1: Set writes the address with "
                                   "port %2")
                        .arg(FromWire(port),
                             QLatin1String(network_addressing::kDataServerSetPort)));
    }
}

void NetworkAddressing::answerR4()
{
    confirm("Set Data Server IP successful");
    std::string &port = m_dataServerPorts[m_exchange.askedLogger().toString()];
    const std::string before = std::exchange(port, std::string(network_addressing::kDataServerSetPort));
    if (!before.empty() && before != network_addressing::kDataServerSetPort) {
        emit notice(QStringLiteral("The data server port was %1, it is now %2")
                        .arg(FromWire(before),
                             QLatin1String(network_addressing::kDataServerSetPort)));
    }
}

// --- MAC address ---

void NetworkAddressing::btnMRClick()
{
    m_exchange.SendCommand(Request::Bare(codes::kMacRead));
}

void NetworkAddressing::answerMR(const std::string &payload)
{
    closeExchange();
    m_mac->setText(FromWire(network_addressing::ParseMacAnswer(payload)));
}

// --- Upstream server address ---

void NetworkAddressing::btngprsipClick()
{
    startUpstreamWrite(kGprsLink);
}

void NetworkAddressing::btnethipClick()
{
    startUpstreamWrite(kEthernetLink);
}

void NetworkAddressing::startUpstreamWrite(const UpstreamLink &link)
{
    m_exchange.SendCommand(
        {link.writeCode, network_addressing::BuildUpstreamServerWrite(link.writeCode.text())});
}

// The write was answered, whatever it says: read the slot back with the window still
// locked and a full timeout interval for the read-back.
void NetworkAddressing::sendReadBack(const UpstreamLink &link)
{
    m_exchange.clearCurrentCommand();
    if (&link == &kEthernetLink) {
        // The Ethernet slot needs a moment before it reads back what was written. The
        // pause blocks this thread, so tmr1 cannot fire in it; the restart below gives
        // the read-back its full interval.
        QThread::msleep(static_cast<unsigned long>(m_timing.readBackPauseMs));
    }
    m_exchange.restartTimeout();
    m_exchange.setCurrentCommand(link.readCode);
    m_exchange.sendToSelectedLogger(Request::Bare(link.readCode));
}

void NetworkAddressing::judgeReadBack(const UpstreamLink &link, const std::string &payload)
{
    const network_addressing::ServerReadBack verdict =
        network_addressing::JudgeServerReadBack(payload);
    if (verdict == network_addressing::ServerReadBack::Ignored) {
        return;
    }
    // Cleared before the unlock, so that the unlock does not take this answered exchange
    // for a timed-out one and ask to retry it.
    m_exchange.clearCurrentCommand();
    m_exchange.tmr1Timer();
    if (verdict != network_addressing::ServerReadBack::Unreadable) {
        inform(verdict == network_addressing::ServerReadBack::Matches ? link.success
                                                                       : link.failure);
    }
}

// Run by the unlock routine when an upstream server exchange has timed out.
void NetworkAddressing::retryUpstreamWrite()
{
    for (const UpstreamLink *link : {&kGprsLink, &kEthernetLink}) {
        const std::string &current = m_exchange.currentCommand();
        if (current != link->writeCode.text() && current != link->readCode.text()) {
            continue;
        }
        m_exchange.clearCurrentCommand();
        if (m_exchange.notifier().ask(QString::fromLatin1(link->overtime))) {
            startUpstreamWrite(*link);
        }
    }
}
