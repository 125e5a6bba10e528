// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_job.h"

#include "discovery/discovery_answer.h"
#include "fleet_link.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"

namespace fleet {
namespace {

// The request's command code, for messages.
QString CodeOf(const protocol::Request &request)
{
    const std::string_view code = request.code.text();
    return QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size()));
}

} // namespace

LoggerJob::LoggerJob(FleetLink &link, const LoggerTarget &target, const ExchangePolicy &policy,
                     QObject *parent)
    : QObject(parent), m_link(link), m_address(target.address), m_policy(policy)
{
    m_outcome.address = target.address;
    m_outcome.serial = target.serial;
}

LoggerJob::~LoggerJob()
{
    dropReply();
    m_link.detach(m_address);
}

void LoggerJob::then(Step step)
{
    m_steps.push_back({std::move(step)});
}

void LoggerJob::thenAtOnce(Step step)
{
    m_steps.push_front({std::move(step)});
}

void LoggerJob::beginSetting(FailureHandler onFailure)
{
    then([this, onFailure = std::move(onFailure)] {
        m_onSettingFailure = onFailure;
        next();
    });
}

void LoggerJob::endSetting()
{
    m_steps.push_back({[this] {
                           m_onSettingFailure = {};
                           next();
                       },
                       true});
}

void LoggerJob::skipRestOfSetting()
{
    while (!m_steps.empty() && !m_steps.front().endsSetting) {
        m_steps.pop_front();
    }
    next();
}

void LoggerJob::start()
{
    m_link.attach(m_address);
    next();
}

void LoggerJob::interrupt()
{
    m_interrupted = true;
    if (m_reply && !m_probing && m_reply->awaitsAnswer()) {
        // The try under way may still be answered; no other is sent.
        m_reply->stopSending();
        return;
    }
    endIfInterrupted(); // between requests: a timer of its own runs (a probe, a pause)
}

bool LoggerJob::endIfInterrupted()
{
    if (!m_interrupted || m_done) {
        return m_done;
    }
    const LoggerError failure{LoggerError::Kind::Interrupted,
                              QStringLiteral("interrupted: nothing more was sent")};
    if (m_onSettingFailure) {
        m_onSettingFailure(failure);
    }
    m_outcome.failure = failure;
    m_steps.clear();
    finish();
    return true;
}

void LoggerJob::moveTo(const QHostAddress &address)
{
    m_link.moveAttachment(m_address, address);
    m_address = address;
}

void LoggerJob::ask(const protocol::Request &request, AnswerHandler onAnswer,
                    protocol::AnswerWanted fits, SilenceHandler onSilence)
{
    if (endIfInterrupted()) {
        return;
    }
    m_onAnswer = std::move(onAnswer);
    m_onSilence = std::move(onSilence);
    sendRequest(request, m_policy, std::move(fits));
}

void LoggerJob::askOnce(const protocol::Request &request, AnswerHandler onAnswer,
                        SilenceHandler onSilence)
{
    if (endIfInterrupted()) {
        return;
    }
    m_onAnswer = std::move(onAnswer);
    m_onSilence = std::move(onSilence);
    sendRequest(request, RequestPolicy{m_policy.timeoutMs, 0}, {});
}

void LoggerJob::sendRequest(const protocol::Request &request, const RequestPolicy &policy,
                            protocol::AnswerWanted fits)
{
    m_request = request;
    m_probing = false;
    await(m_link.sendRequest(m_address, request, policy, std::move(fits)));
}

void LoggerJob::probe(const QHostAddress &host, ProbeHandler onProbed)
{
    if (endIfInterrupted()) {
        return;
    }
    // Only runs that probe open the search port: a search, or an address change.
    if (const auto refusal = m_link.openSearchPort()) {
        fail(LoggerError::Kind::Refused, refusal->message);
        return;
    }
    m_onProbed = std::move(onProbed);
    m_probing = true;
    await(m_link.probe(host, m_policy));
}

void LoggerJob::await(LoggerReply *reply)
{
    dropReply();
    m_reply = reply;
    connect(reply, &LoggerReply::finished, this, [this, reply] { replied(*reply); });
}

void LoggerJob::dropReply()
{
    if (m_reply) {
        m_reply->abandon();
        m_reply->disconnect(this);
        m_reply->deleteLater();
    }
    m_reply = nullptr;
}

void LoggerJob::replied(LoggerReply &reply)
{
    if (m_done) {
        return;
    }
    const std::optional<LoggerError> error = reply.error();
    const std::string answer = reply.answer();
    if (m_probing) {
        const ProbeHandler handler = std::move(m_onProbed);
        if (error) {
            handler(std::nullopt);
            return;
        }
        const discovery::DiscoveryAnswer probed = discovery::SplitDiscoveryAnswer(answer);
        handler(FromWire(protocol::TrimText(probed.serial)));
        return;
    }
    if (!error) {
        m_answeredOnce = true;
        handOn(answer);
        return;
    }
    switch (error->kind) {
    case LoggerError::Kind::Interrupted:
        endIfInterrupted();
        return;
    case LoggerError::Kind::NoAnswer:
    case LoggerError::Kind::BadCrc:
        if (m_onSilence) {
            const SilenceHandler handler = std::move(m_onSilence);
            handler();
            return;
        }
        break;
    case LoggerError::Kind::AnswersTwice:
        m_answeredOnce = true;
        break;
    default:
        break;
    }
    fail(*error);
}

void LoggerJob::handOn(const std::string &payload)
{
    const AnswerHandler handler = std::move(m_onAnswer);
    try {
        handler(payload);
    } catch (const protocol::InvalidIntegerError &error) {
        fail(LoggerError::Kind::NotUnderstood,
             QStringLiteral("answer to %1 not understood: %2")
                 .arg(CodeOf(*m_request), QString::fromLocal8Bit(error.what())));
    }
}

void LoggerJob::next()
{
    if (m_done || endIfInterrupted()) {
        return;
    }
    if (m_steps.empty()) {
        finish();
        return;
    }
    const Step step = std::move(m_steps.front().run);
    m_steps.pop_front();
    step();
}

void LoggerJob::fail(const LoggerError &error)
{
    if (m_done) {
        return;
    }
    if (m_onSettingFailure && (error.kind != LoggerError::Kind::NoAnswer || m_answeredOnce)) {
        if (!m_outcome.failure) {
            m_outcome.failure = error;
        }
        m_onSettingFailure(error);
        skipRestOfSetting();
        return;
    }
    m_outcome.failure = error;
    m_steps.clear();
    finish();
}

void LoggerJob::finish()
{
    m_done = true;
    dropReply();
    m_link.detach(m_address);
    emit finished(this);
}

} // namespace fleet
