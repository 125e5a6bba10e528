// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/logger_job.h"
#include "protocol/request.h"
#include "setting.h"
#include "setting_value.h"
#include "wire_text/wire_text.h"

#include <QJsonValue>
#include <QString>

#include <functional>
#include <string>

// The mechanics every setting's read and write share: recording what was read or
// written, a write answered and then read back, a read-back that differs.
namespace fleet {

// Asks for a read whose answer is taken only when `parse` reads it: an answer that does not
// parse as this read's is set aside, and the wait goes on. Without an answer the job fails,
// unless onSilence is given.
template <typename Parse, typename Done>
void AskParsed(LoggerJob &job, const protocol::Request &request, Parse parse, Done done,
               LoggerJob::SilenceHandler onSilence = {})
{
    job.ask(
        request, [parse, done](const std::string &payload) { done(*parse(payload)); },
        [parse](std::string_view payload) { return parse(payload).has_value(); },
        std::move(onSilence));
}

// Text of the loggers' code page, and back, trimmed as the window trims its edits. A text
// the code page cannot hold throws TextOutsideCodePageError, as in the window: the
// catalogue turns it into the refusal of the setting (RefusingTextOutsideCodePage).
QString Text(const std::string &wire);
std::string Trimmed(const QString &text);

// A value the logger reports as decimal digits, as a JSON number; anything else as the
// text it is, so that a report never turns what a logger said into a number it did not say.
QJsonValue NumberOrText(const std::string &wire);
// Whether two such values report the same: the same number, however many leading zeros,
// or the same text.
bool SameNumberOrText(const std::string &one, const std::string &other);

// "SETTING: rule", named as on the command line; the rule may be a codec's refusal.
Refusal Refused(Setting setting, const QString &rule);
Refusal Refused(Setting setting, const std::string &rule);
Refusal Refused(Setting setting, const Refusal &rule);

// Runs the check of a value; a text in it that the loggers' code page cannot hold is refused
// with the window's words, so that no character is sent as "?" or dropped.
template <typename Check>
auto RefusingTextOutsideCodePage(Setting setting, Check check) -> decltype(check())
{
    try {
        return check();
    } catch (const TextOutsideCodePageError &error) {
        return Refused(setting, error.message());
    }
}

// Records the value the logger holds of the setting and goes on with the next step.
void Recorded(LoggerJob &job, Setting setting, const SettingValue &value);
// Records what a write of a setting a logger cannot report did ("written", "on", ...)
// and goes on with the next step.
void RecordedWrite(LoggerJob &job, Setting setting, const WriteNote &note);

// Fails the job: the read-back of the setting holds something else than was written.
void Differs(LoggerJob &job, Setting setting, const QString &read, const QString &expected);

// The steps of a write: the request is sent (resent after a timeout) and, once answered,
// `verify` reads the setting back; it ends the step.
std::function<void(LoggerJob &)> VerifiedWrite(protocol::Request request,
                                               std::function<void(LoggerJob &)> verify);

// The steps of a write a logger cannot read back: its answer is all there is to check,
// and `written` is recorded.
std::function<void(LoggerJob &)> AnsweredWrite(Setting setting, protocol::Request request,
                                               WriteNote written);

// A read that hands its value on, and the read step that records the value as reported.
template <typename Value>
using ReadThen = void (*)(LoggerJob &job, std::function<void(const Value &)> done);

template <typename Value>
void ReadAndRecord(LoggerJob &job, Setting setting, ReadThen<Value> read)
{
    read(job, [&job, setting](const Value &value) { Recorded(job, setting, value); });
}

} // namespace fleet

namespace fleet {

// A profile's value that one write brings a logger to.
CheckedProfileSetting AsProfileSetting(CheckedWrite write);

} // namespace fleet
