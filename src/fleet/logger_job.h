// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger_outcome.h"
#include "protocol/answer_taking.h"
#include "protocol/request.h"
#include "transport/logger_reply.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace fleet {

class FleetLink;

// How long to wait for an answer and how often to resend a request that got none: the
// client's policy, which it carries out on each request a job asks.
using ExchangePolicy = RequestPolicy;

// The work done with one logger: steps run one after the other, each sending one request
// at a time through the client and going on from its reply, as a logger expects. A step
// that fails ends the job; its remaining steps are not run.
class LoggerJob : public QObject
{
    Q_OBJECT

public:
    using Step = std::function<void()>;
    using AnswerHandler = std::function<void(const std::string &payload)>;
    using SilenceHandler = std::function<void()>;
    // The serial number of the logger that answered a probe (empty when its answer holds
    // none), or nothing when none answered.
    using ProbeHandler = std::function<void(const std::optional<QString> &serial)>;

    LoggerJob(FleetLink &link, const LoggerTarget &target, const ExchangePolicy &policy,
              QObject *parent = nullptr);
    ~LoggerJob() override;

    // Adds a step after the others.
    void then(Step step);
    // Adds a step to run before the remaining ones (a follow-up of the running step).
    void thenAtOnce(Step step);

    // The steps added between beginSetting and endSetting are one setting's: a failure
    // among them ends that setting alone, `onFailure` records it, and the job goes on with
    // the steps after endSetting; the job's outcome keeps the first such failure. Silence
    // from a logger that has answered nothing yet still ends the job: it would answer no
    // other setting either.
    using FailureHandler = std::function<void(const LoggerError &failure)>;
    void beginSetting(FailureHandler onFailure);
    void endSetting();
    // Ends the running setting's steps early (nothing more to do for it) and goes on after
    // its endSetting.
    void skipRestOfSetting();

    // Sends the request under the job's policy, resent after each timeout up to the
    // retries, and hands the answer on. Without any answer the job fails with the reply's
    // error (no answer, or a bad CRC); so does a send the system refused, or a second
    // answer. An answer field that is not a number fails the job as an answer not
    // understood. An answer that `fits` refuses is not this request's (a late answer to an
    // earlier one): it is set aside and the wait goes on. When no try is answered,
    // onSilence decides what to do, if given.
    void ask(const protocol::Request &request, AnswerHandler onAnswer,
             protocol::AnswerWanted fits = {}, SilenceHandler onSilence = {});
    // Sends the request once: a write whose repetition would change the result is never
    // resent blindly. After the timeout, onSilence decides what to do.
    void askOnce(const protocol::Request &request, AnswerHandler onAnswer,
                 SilenceHandler onSilence);

    // Sends the search probe to `host`, again after each timeout up to the retries, and
    // hands on what answered from there. Nothing is asked of the logger meanwhile.
    void probe(const QHostAddress &host, ProbeHandler onProbed);

    // Where requests go and answers are taken from: the target's address, until moveTo.
    const QHostAddress &address() const { return m_address; }
    // Sends the following requests to this address and takes answers from there only: the
    // logger's own once its address has changed. The report keeps the target's address.
    void moveTo(const QHostAddress &address);

    // After a request got no answer, the next one is sent only after this much more time,
    // which the late answer has to arrive and be set aside in.
    int lateAnswerWaitMs() const { return m_policy.timeoutMs; }

    // Ends the running step and goes on with the next.
    void next();
    void fail(const LoggerError &error);
    void fail(LoggerError::Kind kind, const QString &reason) { fail(LoggerError{kind, reason}); }

    // Runs the steps; finished follows once they have run or one failed.
    void start();
    // Sends nothing more: the request under way may still be answered (or time out), and
    // then the job ends, its running setting and the job failing as interrupted.
    void interrupt();

    const LoggerOutcome &outcome() const { return m_outcome; }
    // Keeps the value the logger holds of a setting, as read or read back.
    void hold(Setting setting, SettingValue value)
    {
        m_outcome.written.erase(setting);
        m_outcome.settings.set(setting, std::move(value));
    }
    // Keeps what a write of a setting did that no read tells.
    void noteWrite(Setting setting, WriteNote note)
    {
        m_outcome.written.insert_or_assign(setting, std::move(note));
    }
    // Keeps what became of a setting of a profile applied.
    void holdApplied(Setting setting, ApplyEntry entry)
    {
        m_outcome.applied.insert_or_assign(setting, std::move(entry));
    }
    const ExchangePolicy &policy() const { return m_policy; }

signals:
    void finished(fleet::LoggerJob *job);

private:
    void sendRequest(const protocol::Request &request, const RequestPolicy &policy,
                     protocol::AnswerWanted fits);
    // Goes on from this reply once it has finished; the earlier reply is dropped.
    void await(LoggerReply *reply);
    void replied(LoggerReply &reply);
    void dropReply();
    void handOn(const std::string &payload);
    void finish();
    // Ends an interrupted job instead of going on: true when it has ended.
    bool endIfInterrupted();

    FleetLink &m_link;
    QHostAddress m_address;
    ExchangePolicy m_policy;
    LoggerOutcome m_outcome;
    struct QueuedStep {
        Step run;
        bool endsSetting = false;
    };

    std::deque<QueuedStep> m_steps;
    FailureHandler m_onSettingFailure;
    bool m_answeredOnce = false;
    // The pending request or probe.
    QPointer<LoggerReply> m_reply;
    bool m_probing = false;
    std::optional<protocol::Request> m_request;
    AnswerHandler m_onAnswer;
    SilenceHandler m_onSilence;
    ProbeHandler m_onProbed;
    bool m_interrupted = false;
    bool m_done = false;
};

} // namespace fleet
