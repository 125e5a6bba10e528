// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger_reply.h"

#include "logger_client.h"

#include <algorithm>

LoggerReply::LoggerReply(LoggerClient &client, const QHostAddress &logger,
                         std::optional<protocol::Request> request, protocol::AnswerWanted fits,
                         const RequestPolicy &policy)
    : QObject(&client), m_client(&client), m_logger(logger), m_request(std::move(request)),
      m_fits(std::move(fits)), m_policy(policy)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(m_policy.timeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &LoggerReply::timedOut);
    m_holdBack.setSingleShot(true);
    m_holdBack.setInterval(m_policy.timeoutMs);
    connect(&m_holdBack, &QTimer::timeout, this, &LoggerReply::transmit);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &LoggerReply::settled);
}

LoggerReply::~LoggerReply()
{
    abandon();
}

void LoggerReply::abandon()
{
    m_timeout.stop();
    m_holdBack.stop();
    m_settle.stop();
    if (m_state != State::Finished && m_client != nullptr) {
        m_client->forget(*this);
    }
    m_state = State::Finished;
}

QString LoggerReply::asked() const
{
    if (!m_request) {
        return QStringLiteral("the probe");
    }
    const std::string_view code = m_request->code.text();
    return QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size()));
}

void LoggerReply::start(bool holdBack)
{
    m_badCrcBefore = m_client->badCrcFrames(m_logger);
    ++m_triesSent;
    if (holdBack) {
        m_state = State::HeldBack;
        m_holdBack.start();
        return;
    }
    transmit();
}

void LoggerReply::sendTry()
{
    ++m_triesSent;
    transmit();
}

void LoggerReply::transmit()
{
    if (m_stopSending) {
        finish(LoggerError{LoggerError::Kind::Interrupted,
                           QStringLiteral("interrupted: nothing more was sent")});
        return;
    }
    m_state = State::Waiting;
    m_timeout.start();
    m_roundTrip.start();
    const std::optional<SendFailure> failure = m_client->transmit(*this);
    // A probe the system refuses is tried again after its timeout: an address being
    // changed may have no route yet.
    if (!failure || !m_request) {
        return;
    }
    m_timeout.stop();
    m_state = State::Closing;
    // Finished once the caller has its reply in hand, as an answer would come.
    QMetaObject::invokeMethod(
        this,
        [this, error = LoggerError{LoggerError::Kind::SendFailed,
                                   QStringLiteral("%1 was not sent: %2").arg(asked(), failure->reason)}] {
            finish(error);
        },
        Qt::QueuedConnection);
}

void LoggerReply::answered(const std::string &payload)
{
    if (m_state != State::Waiting) {
        return;
    }
    m_timeout.stop();
    m_answer = payload;
    if (!m_request) {
        finish(std::nullopt);
        return;
    }
    m_state = State::Closing;
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
    // that arrives meanwhile ends the reply rather than being taken for the next request's,
    // which would shift every later value by one field. The settle is not overlapped with the
    // next request to the same logger: an answer names no request, so a second answer that
    // arrived after the next request went out could be taken as its answer (most requests
    // take any answer, and two texts read in turn look alike), and this answer's value would
    // already have been used, perhaps to build a write.
    m_setAsideBefore = m_client->setAsideAnswers(m_logger);
    constexpr qint64 kSettleMarginMs = 2;
    m_settle.start(static_cast<int>(
        std::min<qint64>(kSettleMarginMs + m_roundTrip.elapsed() / 2, m_policy.timeoutMs / 4)));
}

void LoggerReply::settled()
{
    if (m_setAsideBefore && m_client->setAsideAnswers(m_logger) != *m_setAsideBefore) {
        finish(LoggerError{LoggerError::Kind::AnswersTwice,
                           QStringLiteral("answers twice: a second answer to %1 came (a logger "
                                          "that repeats its answers, or two loggers at one "
                                          "address); no value of it was taken")
                               .arg(asked())});
        return;
    }
    finish(std::nullopt);
}

void LoggerReply::timedOut()
{
    if (m_state != State::Waiting) {
        return;
    }
    if (m_triesSent <= m_policy.retries) {
        sendTry();
        return;
    }
    m_state = State::Closing;
    const int tries = m_triesSent;
    if (!m_request) {
        finish(LoggerError{LoggerError::Kind::NoAnswer,
                           QStringLiteral("no answer to the probe of %1 after %2 tries")
                               .arg(m_logger.toString())
                               .arg(tries)});
        return;
    }
    // An answer that comes now answers nothing, and must not be taken for the next
    // request's.
    m_client->giveUp(m_logger);
    // Answers that came with a bad CRC are named as such: the logger is there, the line or
    // the logger spoils its answers.
    if (m_client->badCrcFrames(m_logger) != m_badCrcBefore) {
        finish(LoggerError{LoggerError::Kind::BadCrc,
                           QStringLiteral("the answers to %1 had a bad CRC, %2 tries")
                               .arg(asked())
                               .arg(tries)});
        return;
    }
    finish(LoggerError{LoggerError::Kind::NoAnswer,
                       QStringLiteral("no answer to %1 after %2 tries").arg(asked()).arg(tries)});
}

void LoggerReply::finish(std::optional<LoggerError> error)
{
    if (m_state == State::Finished) {
        return;
    }
    m_timeout.stop();
    m_holdBack.stop();
    m_settle.stop();
    if (m_client != nullptr) {
        m_client->forget(*this);
    }
    m_state = State::Finished;
    m_error = std::move(error);
    emit finished();
}
