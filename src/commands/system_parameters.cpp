// SPDX-License-Identifier: GPL-3.0-or-later
#include "system_parameters.h"

#include "form_controls.h"
#include "protocol/text.h"
#include "system_parameters_chain.h"
#include "system_parameters_codec.h"
#include "transport/command_exchange.h"
#include "wire_text/wire_text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace codes = protocol::command_codes;
using system_parameters::BlockChain;
using system_parameters::BlockControls;

namespace {

// Chain steps: answer steps that never go on the wire and tell the shared answer handler
// which step of a chain is running.
const std::string kGprsOnRead = "GON1";
const std::string kGprsOffRead = "GOFF1";
const std::string kIntervalRead = "SW1";
const std::string kGprsOnWrite = "GON2";
const std::string kGprsOffWrite = "GOFF2";
const std::string kIntervalWrite = "SW2";

} // namespace

SystemParameters::SystemParameters(QWidget &form, CommandExchange &exchange, const Timing &timing,
                                   QObject *parent)
    : QObject(parent), m_form(form), m_exchange(exchange), m_timing(timing)
{
    ConnectClick(form, "btnSR", this, exchange.notifier(), [this] { btnSRClick(); });
    ConnectClick(form, "btnSW", this, exchange.notifier(), [this] { btnSWClick(); });
    ConnectClick(form, "btngprson", this, exchange.notifier(), [this] { btngprsonClick(); });
    ConnectClick(form, "btngprsoff", this, exchange.notifier(), [this] { btngprsoffClick(); });
    ConnectClick(form, "btnsw1", this, exchange.notifier(), [this] { btnsw1Click(); });
    registerAnswerHandlers();
}

void SystemParameters::registerAnswerHandlers()
{
    const auto answerBlockHandler = [this](const std::string &payload) { answerBlock(payload); };
    for (const std::string &step :
         {codes::kSystemBlockRead.str(), kGprsOnRead, kGprsOffRead, kIntervalRead}) {
        m_exchange.registerAnswerHandler(step, answerBlockHandler);
    }
    const auto confirmation = [this](const char *message) {
        return [this, message](const std::string &) { confirm(QString::fromLatin1(message)); };
    };
    m_exchange.registerAnswerHandler(codes::kSystemBlockWrite,
                                     confirmation("Set System Params Successful"));
    m_exchange.registerAnswerHandler(kGprsOnWrite, confirmation("Set GPRS ON Successful"));
    m_exchange.registerAnswerHandler(kGprsOffWrite, confirmation("Set GPRS OFF Successful"));
    m_exchange.registerAnswerHandler(kIntervalWrite,
                                     confirmation("Set Data/Heart Time Successful"));
}

void SystemParameters::btnSRClick()
{
    m_requestSent = m_exchange.SendCommand(BlockChain::ReadRequest());
}

void SystemParameters::btnSWClick()
{
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    BlockControls block = enteredBlock();
    if (const auto refusal = system_parameters::CheckBlockInput(block)) {
        m_exchange.notifier().inform(refusal->message);
        return;
    }
    zeroFillTimes(block);
    if (const auto refusal = system_parameters::CheckFieldWidths(block)) {
        m_exchange.notifier().inform(refusal->message);
        return;
    }
    m_requestSent = m_exchange.SendCommand(
        {codes::kSystemBlockWrite, system_parameters::BuildBlockWrite(block)});
}

void SystemParameters::btngprsonClick()
{
    readInChain(kGprsOnRead);
}

void SystemParameters::btngprsoffClick()
{
    readInChain(kGprsOffRead);
}

void SystemParameters::btnsw1Click()
{
    if (!m_exchange.requireSelectedLogger()) {
        return;
    }
    if (const auto refusal = system_parameters::CheckIntervalEntries(wireText("edtcjset"),
                                                                     wireText("edtheartset"))) {
        m_exchange.notifier().inform(refusal->message);
        return;
    }
    readInChain(kIntervalRead);
}

// The answer to a read, plain or as the first step of a chain. An answer with a field that
// cannot be read shows the fields before it and leaves the current command in place;
// otherwise the step it named is done here, and a chain continues only if the answer held
// the whole block and its write goes out.
void SystemParameters::answerBlock(const std::string &payload)
{
    m_exchange.tmr1Timer();
    BlockControls block = enteredBlock();
    try {
        system_parameters::ReadBlockAnswer(payload, block);
    } catch (const protocol::InvalidIntegerError &) {
        showBlock(block);
        throw;
    }
    showBlock(block);
    const std::string step = m_exchange.currentCommand();
    m_exchange.clearCurrentCommand();
    const std::optional<ChainWrite> chain = chainAfter(step);
    if (!chain) {
        // Only a plain read refreshes the visible row, so that the operator's interval
        // entries survive the read of the interval chain.
        showPlainRead(block);
        return;
    }
    const BlockChain::Next next = chain->chain.takeBlock(payload);
    if (next.refusal) {
        m_exchange.notifier().inform(AsSentence(*next.refusal));
        return;
    }
    // The Set button writes the block as the form then holds.
    showBlock(next.block);
    writeInChain(chain->writeStep);
}

// The chain whose read `step` names, and the step of its write; nothing for a plain read.
std::optional<SystemParameters::ChainWrite>
SystemParameters::chainAfter(const std::string &step) const
{
    if (step == kGprsOnRead) {
        return ChainWrite{BlockChain::Gprs(true), kGprsOnWrite};
    }
    if (step == kGprsOffRead) {
        return ChainWrite{BlockChain::Gprs(false), kGprsOffWrite};
    }
    if (step == kIntervalRead) {
        return ChainWrite{BlockChain::Intervals(wireText("edtcjset"), wireText("edtheartset")),
                          kIntervalWrite};
    }
    return std::nullopt;
}

void SystemParameters::confirm(const QString &message)
{
    m_exchange.tmr1Timer();
    m_exchange.clearCurrentCommand();
    m_exchange.notifier().inform(message);
}

void SystemParameters::showBlock(const BlockControls &block)
{
    setWireText("edtshour", block.startHour);
    setWireText("edtsminute", block.startMinute);
    setWireText("edtehour", block.stopHour);
    setWireText("edteminute", block.stopMinute);
    setWireText("edtcjtime", block.dataIntervalSeconds);
    setWireText("edthearttime", block.heartbeatMinutes);
    setWireText("edtretry", block.retries);
    list("cbresponse")->setCurrentIndex(block.waitForResponse);
    list("cb485422")->setCurrentIndex(block.reconnect);
    list("cbtcpudp")->setCurrentIndex(block.transport);
    list("cbgprs")->setCurrentIndex(block.gprs);
}

void SystemParameters::showPlainRead(const BlockControls &block)
{
    setWireText("edtcjset", system_parameters::MinutesRoundedUp(block.dataIntervalSeconds));
    setWireText("edtheartset", wireText("edthearttime"));
    edit("edt3gshow")
        ->setText(block.gprs == system_parameters::kGprsOnItem ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

// A chain starts with a plain read; only a read that went out makes the chain current.
void SystemParameters::readInChain(const std::string &firstStep)
{
    if (clickFromCode("btnSR")) {
        m_exchange.setCurrentCommand(firstStep);
    }
}

// The write of a chain validates the block just read; when it refuses it, its message
// has been shown, nothing was sent and the chain ends with no command pending.
void SystemParameters::writeInChain(const std::string &nextStep)
{
    if (clickFromCode("btnSW")) {
        m_exchange.setCurrentCommand(nextStep);
    }
}

// The button must be enabled for the click to run its handler.
bool SystemParameters::clickFromCode(const char *buttonName)
{
    m_requestSent = false;
    FindControl<QPushButton>(m_form, buttonName)->click();
    return m_requestSent;
}

BlockControls SystemParameters::enteredBlock() const
{
    BlockControls block;
    block.startHour = wireText("edtshour");
    block.startMinute = wireText("edtsminute");
    block.stopHour = wireText("edtehour");
    block.stopMinute = wireText("edteminute");
    block.dataIntervalSeconds = wireText("edtcjtime");
    block.heartbeatMinutes = wireText("edthearttime");
    block.retries = wireText("edtretry");
    block.waitForResponse = list("cbresponse")->currentIndex();
    block.reconnect = list("cb485422")->currentIndex();
    block.transport = list("cbtcpudp")->currentIndex();
    block.gprs = list("cbgprs")->currentIndex();
    return block;
}

// The operator sees a one-character time filled as it goes on the wire.
void SystemParameters::zeroFillTimes(BlockControls &block)
{
    system_parameters::ZeroFillTimes(block);
    const std::pair<const char *, const std::string *> times[] = {
        {"edtshour", &block.startHour},
        {"edtehour", &block.stopHour},
        {"edtsminute", &block.startMinute},
        {"edteminute", &block.stopMinute}};
    for (const auto &[editName, time] : times) {
        setWireText(editName, *time);
    }
}

std::string SystemParameters::wireText(const char *editName) const
{
    return ToWire(edit(editName)->text());
}

void SystemParameters::setWireText(const char *editName, const std::string &text)
{
    edit(editName)->setText(FromWire(text));
}

QLineEdit *SystemParameters::edit(const char *name) const
{
    return FindControl<QLineEdit>(m_form, name);
}

QComboBox *SystemParameters::list(const char *name) const
{
    return FindControl<QComboBox>(m_form, name);
}
