// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_job.h"

#include "discovery/discovery_answer.h"
#include "fleet_link.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"

#include <algorithm>

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
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(policy.timeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &LoggerJob::timedOut);
    m_lateAnswerWait.setSingleShot(true);
    m_lateAnswerWait.setInterval(lateAnswerWaitMs());
    connect(&m_lateAnswerWait, &QTimer::timeout, this, &LoggerJob::transmit);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (m_setAsideBefore && m_link.setAsideAnswers(m_address) != *m_setAsideBefore) {
            fail(FailureKind::AnswersTwice,
                 QStringLiteral("answers twice: a second answer to %1 came (a logger that "
                                "repeats its answers, or two loggers at one address); no value "
                                "of it was taken")
                     .arg(CodeOf(*m_request)));
            return;
        }
        handOn(m_settledAnswer);
    });
    m_probeTimeout.setSingleShot(true);
    m_probeTimeout.setInterval(policy.timeoutMs);
    connect(&m_probeTimeout, &QTimer::timeout, this, &LoggerJob::probeTimedOut);
}

LoggerJob::~LoggerJob()
{
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
    m_link.attach(m_address, [this](const std::string &payload) { answered(payload); });
    next();
}

void LoggerJob::interrupt()
{
    m_interrupted = true;
    if (!m_waiting) {
        endIfInterrupted(); // between requests: a timer of its own runs (a probe, a pause)
    }
}

bool LoggerJob::endIfInterrupted()
{
    if (!m_interrupted || m_done) {
        return m_done;
    }
    const Failure failure{FailureKind::Interrupted,
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
    m_link.detach(m_address);
    m_address = address;
    m_link.attach(m_address, [this](const std::string &payload) { answered(payload); });
}

void LoggerJob::ask(const protocol::Request &request, AnswerHandler onAnswer,
                    protocol::AnswerWanted fits, SilenceHandler onSilence)
{
    if (endIfInterrupted()) {
        return;
    }
    m_request = request;
    m_fits = std::move(fits);
    m_triesSent = 0;
    m_triesLeft = 1 + m_policy.retries;
    m_onAnswer = std::move(onAnswer);
    const int badCrcBefore = m_link.badCrcFrames(m_address);
    m_onSilence = onSilence ? std::move(onSilence) : [this, badCrcBefore] {
        // Answers that came with a bad CRC are named as such: the logger is there, the
        // line or the logger spoils its answers.
        if (m_link.badCrcFrames(m_address) != badCrcBefore) {
            fail(FailureKind::BadCrc, QStringLiteral("the answers to %1 had a bad CRC, %2 tries")
                                          .arg(CodeOf(*m_request))
                                          .arg(1 + m_policy.retries));
            return;
        }
        fail(FailureKind::NoAnswer, QStringLiteral("no answer to %1 after %2 tries")
                                        .arg(CodeOf(*m_request))
                                        .arg(1 + m_policy.retries));
    };
    send();
}

void LoggerJob::askOnce(const protocol::Request &request, AnswerHandler onAnswer,
                        SilenceHandler onSilence)
{
    if (endIfInterrupted()) {
        return;
    }
    m_request = request;
    m_fits = {};
    m_triesSent = 0;
    m_triesLeft = 1;
    m_onAnswer = std::move(onAnswer);
    m_onSilence = std::move(onSilence);
    send();
}

void LoggerJob::send()
{
    --m_triesLeft;
    ++m_triesSent;
    m_waiting = true;
    if (m_lastRequestUnanswered) {
        m_lastRequestUnanswered = false;
        m_lateAnswerWait.start();
        return;
    }
    transmit();
}

void LoggerJob::transmit()
{
    if (endIfInterrupted()) {
        return; // a resend, or a request held back after an unanswered one
    }
    m_timeout.start();
    m_roundTrip.start();
    if (const auto failure = m_link.sendRequest(m_address, *m_request, m_fits)) {
        // Failed once the caller's step has returned, as an answer would come.
        m_timeout.stop();
        m_waiting = false;
        const QString message =
            QStringLiteral("%1 was not sent: %2").arg(CodeOf(*m_request), failure->reason);
        QMetaObject::invokeMethod(
            this, [this, message] { fail(FailureKind::SendFailed, message); },
            Qt::QueuedConnection);
    }
}

void LoggerJob::probe(const QHostAddress &host, ProbeHandler onProbed)
{
    if (endIfInterrupted()) {
        return;
    }
    // Only runs that probe open the search port: a search, or an address change.
    if (const auto refusal = m_link.openSearchPort()) {
        fail(FailureKind::Refused, refusal->message);
        return;
    }
    m_probed = host;
    m_probesLeft = m_policy.retries;
    m_onProbed = std::move(onProbed);
    m_probeAnswers = connect(&m_link, &FleetLink::discoveryAnswered, this,
                             [this](const std::string &candidate, const QHostAddress &sender) {
                                 if (sender.toIPv4Address() != m_probed.toIPv4Address()) {
                                     return;
                                 }
                                 const discovery::DiscoveryAnswer answer =
                                     discovery::SplitDiscoveryAnswer(candidate);
                                 endProbe(FromWire(protocol::TrimText(answer.serial)));
                             });
    m_probeTimeout.start();
    m_link.sendProbe(host);
}

void LoggerJob::probeTimedOut()
{
    if (m_probesLeft > 0) {
        --m_probesLeft;
        m_probeTimeout.start();
        m_link.sendProbe(m_probed);
        return;
    }
    endProbe(std::nullopt);
}

void LoggerJob::endProbe(const std::optional<QString> &serial)
{
    disconnect(m_probeAnswers);
    m_probeTimeout.stop();
    const ProbeHandler handler = std::move(m_onProbed);
    handler(serial);
}

void LoggerJob::answered(const std::string &payload)
{
    if (!m_waiting || m_done) {
        return; // nothing asked: a late or repeated answer
    }
    m_waiting = false;
    m_answeredOnce = true;
    m_timeout.stop();
    m_settledAnswer = payload;
    if (m_triesSent > 1) {
        // Whichever try this answers, the answer to any later try arrives within the time
        // between the first and the last send (a quarter of a timeout more for jitter);
        // answers meanwhile are dropped.
        m_setAsideBefore.reset(); // answers to other tries are expected, not second answers
        m_settle.start((m_triesSent - 1) * m_policy.timeoutMs + m_policy.timeoutMs / 4);
        return;
    }
    // A second answer to the same request comes right behind the first: the answer is
    // handed on after a short settle, sized from this exchange's round trip, and an answer
    // that arrives meanwhile fails the logger rather than being taken for the next
    // request's, which would shift every later value by one field.
    m_setAsideBefore = m_link.setAsideAnswers(m_address);
    constexpr qint64 kSettleMarginMs = 2;
    m_settle.start(static_cast<int>(
        std::min<qint64>(kSettleMarginMs + m_roundTrip.elapsed() / 2, m_policy.timeoutMs / 4)));
}

void LoggerJob::handOn(const std::string &payload)
{
    const AnswerHandler handler = std::move(m_onAnswer);
    try {
        handler(payload);
    } catch (const protocol::InvalidIntegerError &error) {
        fail(FailureKind::NotUnderstood,
             QStringLiteral("answer to %1 not understood: %2")
                 .arg(CodeOf(*m_request), QString::fromLocal8Bit(error.what())));
    }
}

void LoggerJob::timedOut()
{
    if (!m_waiting || m_done) {
        return;
    }
    if (m_triesLeft > 0) {
        send();
        return;
    }
    m_waiting = false;
    // An answer that comes now answers nothing, and must not be taken for the next
    // request's.
    m_link.stopAwaiting(m_address);
    m_lastRequestUnanswered = true;
    const SilenceHandler handler = std::move(m_onSilence);
    handler();
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

void LoggerJob::fail(FailureKind kind, const QString &reason)
{
    if (m_done) {
        return;
    }
    const Failure failure{kind, reason};
    if (m_onSettingFailure && (kind != FailureKind::NoAnswer || m_answeredOnce)) {
        if (!m_outcome.failure) {
            m_outcome.failure = failure;
        }
        m_onSettingFailure(failure);
        skipRestOfSetting();
        return;
    }
    m_outcome.failure = failure;
    m_steps.clear();
    finish();
}

void LoggerJob::finish()
{
    m_done = true;
    m_waiting = false;
    m_timeout.stop();
    m_lateAnswerWait.stop();
    m_settle.stop();
    m_probeTimeout.stop();
    disconnect(m_probeAnswers);
    m_link.detach(m_address);
    emit finished(this);
}

} // namespace fleet
