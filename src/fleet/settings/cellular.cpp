// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellular.h"

#include "catalogue.h"
#include "commands/cellular_link_codec.h"
#include "fleet/logger_job.h"
#include "profile_values.h"
#include "protocol/frame_verdicts.h"
#include "wire_text/wire_text.h"
#include "write_steps.h"

#include <QJsonObject>
#include <QStringList>

#include <iterator>
#include <optional>
#include <utility>

namespace fleet {
namespace {

namespace codes = protocol::command_codes;
using cellular::ApnSettings;
using cellular::FrontEndEndpoint;
using protocol::Request;

const QStringList kApnKeys{"name", "user", "password"};
// The APN's fields in the order of its keys.
std::string ApnSettings::*const kApnFields[] = {&ApnSettings::name, &ApnSettings::user,
                                                &ApnSettings::password};

void ReadApnSettings(LoggerJob &job, std::function<void(const ApnSettings &)> done)
{
    // An answer of fewer than three fields is not AR's.
    AskParsed(job, Request::Bare(codes::kApnRead), cellular::ParseApnAnswer, std::move(done));
}

const QStringList kFrontEndKeys{"address", "port", "minutes"};
std::string FrontEndEndpoint::*const kFrontEndFields[] = {
    &FrontEndEndpoint::address, &FrontEndEndpoint::port, &FrontEndEndpoint::minutes};

const QString kUnknownSignalReport = QStringLiteral("unknown");

// `held` with the given fields of `wanted`: what a write of a value given in part sends.
template <typename Value, std::size_t Count>
Value WithGivenFields(Value held, const SomeFields<Value> &wanted,
                      std::string Value::*const (&fields)[Count])
{
    for (std::size_t index = 0; index < Count; ++index) {
        if (wanted.given.test(index)) {
            held.*fields[index] = wanted.value.*fields[index];
        }
    }
    return held;
}

void ReadFrontEndEndpoint(LoggerJob &job, std::function<void(const FrontEndEndpoint &)> done)
{
    // An answer of fewer than three items is not QR's.
    AskParsed(job, Request::Bare(codes::kFrontEndRead), cellular::ParseFrontEndEndpoint,
              std::move(done));
}

QString FrontEndText(const FrontEndEndpoint &endpoint)
{
    return Text(endpoint.address + "," + endpoint.port + "," + endpoint.minutes);
}

// Sends the whole endpoint and reads all three values back.
void WriteFrontEndEndpoint(LoggerJob &job, const FrontEndEndpoint &endpoint)
{
    const Request request{codes::kFrontEndWrite, cellular::BuildFrontEndEndpointWrite(endpoint)};
    job.ask(request, [&job, endpoint](const std::string &) {
        ReadFrontEndEndpoint(job, [&job, endpoint](const FrontEndEndpoint &read) {
            if (!(read == endpoint)) {
                Differs(job, Setting::FrontEnd, FrontEndText(read), FrontEndText(endpoint));
                return;
            }
            Recorded(job, Setting::FrontEnd, endpoint);
        });
    });
}

// The APN read back after a write must be the one written.
void VerifyApn(LoggerJob &job, const ApnSettings &apn)
{
    ReadApnSettings(job, [&job, apn](const ApnSettings &read) {
        if (!(read == apn)) {
            // The password is not shown in a message.
            Differs(job, Setting::Apn, Text(read.name + "," + read.user),
                    Text(apn.name + "," + apn.user) +
                        (read.password == apn.password ? QString()
                                                       : QStringLiteral(" (password differs)")));
            return;
        }
        Recorded(job, Setting::Apn, apn);
    });
}

CheckedWrite ApnWrite(const QString &name, const QString &user, const QString &password)
{
    const ApnSettings given{ToWireForSending(name), ToWireForSending(user),
                            ToWireForSending(password)};
    if (const auto refusal = cellular::RefusedApnValue(given, protocol::TextSource::GivenWhole)) {
        return Refused(Setting::Apn, *refusal);
    }
    const ApnSettings apn{Trimmed(name), Trimmed(user), Trimmed(password)};
    const Request request{codes::kApnWrite, cellular::BuildApnWrite(apn)};
    return SettingWrite{.setting = Setting::Apn,
                        .addSteps =
                            VerifiedWrite(request, [apn](LoggerJob &job) { VerifyApn(job, apn); }),
                        .wanted = SomeFields<ApnSettings>{apn}};
}

// An APN given in part (from a profile): the APN is read first and the fields not given
// keep the logger's values; the whole APN is then written and read back. What a read
// reports once written: the fields given.
CheckedWrite PartialApnWrite(const QStringList &texts, GivenFields given)
{
    // Each given field is checked as a whole APN of it would be.
    CheckedWrite checked = ApnWrite(texts[0], texts[1], texts[2]);
    if (!checked.accepted()) {
        return checked;
    }
    const SomeFields<ApnSettings> apn{{Trimmed(texts[0]), Trimmed(texts[1]), Trimmed(texts[2])},
                                      given};
    return SettingWrite{
        .setting = Setting::Apn,
        .addSteps =
            [apn](LoggerJob &job) {
                job.then([&job, apn] {
                    ReadApnSettings(job, [&job, apn](const ApnSettings &held) {
                        const ApnSettings whole = WithGivenFields(held, apn, kApnFields);
                        job.ask({codes::kApnWrite, cellular::BuildApnWrite(whole)},
                                [&job, whole](const std::string &) { VerifyApn(job, whole); });
                    });
                });
            },
        .wanted = apn};
}

// A logger cannot read its PIN back: an answer is all there is to check.
CheckedWrite PinWrite(const QString &pin)
{
    if (pin.trimmed() == QLatin1String("clear")) {
        return SettingWrite{Setting::Pin,
                            AnsweredWrite(Setting::Pin, Request::Bare(codes::kPinClear),
                                          QStringLiteral("cleared"))};
    }
    // The window's rule and request: an empty value is refused; one of blanks alone is sent
    // as "PW" without digits, as the window sends an edit that holds only blanks.
    const std::string entry = ToWireForSending(pin);
    if (const auto refusal = cellular::RefusedPinEntry(entry)) {
        return Refused(Setting::Pin, *refusal);
    }
    const Request request{codes::kPinWrite, cellular::BuildPinWrite(entry)};
    return SettingWrite{Setting::Pin,
                        AnsweredWrite(Setting::Pin, request, QStringLiteral("written"))};
}

CheckedWrite FrontEndWrite(const QString &address, const QString &port, const QString &minutes)
{
    const FrontEndEndpoint endpoint{Trimmed(address), Trimmed(port), Trimmed(minutes)};
    if (const auto refusal = cellular::RefusedFrontEndEndpoint(endpoint)) {
        return Refused(Setting::FrontEnd, *refusal);
    }
    return SettingWrite{.setting = Setting::FrontEnd,
                        .addSteps =
                            [endpoint](LoggerJob &job) {
                                job.then([&job, endpoint] { WriteFrontEndEndpoint(job, endpoint); });
                            },
                        .wanted = SomeFields<FrontEndEndpoint>{endpoint}};
}

// The minutes alone: the logger keeps the address and port it reports, so the endpoint
// is read first and written back whole with the new minutes.
CheckedWrite FrontEndMinutesWrite(const QString &minutes)
{
    const std::string value = Trimmed(minutes);
    if (const auto refusal = cellular::RefusedWrittenFrontEndMinutes(value)) {
        return Refused(Setting::FrontEnd, *refusal);
    }
    return SettingWrite{
        Setting::FrontEnd, [value](LoggerJob &job) {
            job.then([&job, value] {
                ReadFrontEndEndpoint(job, [&job, value](const FrontEndEndpoint &current) {
                    WriteFrontEndEndpoint(job, {current.address, current.port, value});
                });
            });
        }};
}

// An endpoint given in part (from a profile): the endpoint is read first and the fields not
// given keep the logger's values; the whole endpoint is then written and read back. What a
// read reports once written: the fields given.
CheckedWrite PartialFrontEndWrite(const QStringList &texts, GivenFields given)
{
    // Each given field is checked as a whole endpoint of it would be, the others standing
    // as the window's own endpoint.
    const QString fill[] = {Text(std::string(cellular::kDefaultFrontEndAddress)),
                            Text(std::string(cellular::kFrontEndPort)), QStringLiteral("1")};
    QStringList checkedTexts;
    for (qsizetype index = 0; index < kFrontEndKeys.size(); ++index) {
        checkedTexts.append(given.test(static_cast<std::size_t>(index)) ? texts[index]
                                                                        : fill[index]);
    }
    CheckedWrite checked = FrontEndWrite(checkedTexts[0], checkedTexts[1], checkedTexts[2]);
    if (!checked.accepted()) {
        return checked;
    }
    const SomeFields<FrontEndEndpoint> endpoint{
        {Trimmed(checkedTexts[0]), Trimmed(checkedTexts[1]), Trimmed(checkedTexts[2])}, given};
    return SettingWrite{
        .setting = Setting::FrontEnd,
        .addSteps =
            [endpoint](LoggerJob &job) {
                job.then([&job, endpoint] {
                    ReadFrontEndEndpoint(job, [&job, endpoint](const FrontEndEndpoint &held) {
                        WriteFrontEndEndpoint(job,
                                              WithGivenFields(held, endpoint, kFrontEndFields));
                    });
                });
            },
        .wanted = endpoint};
}

// A profile of an earlier version holds the minutes alone. Writing them would need an
// address and port the profile does not give, so the endpoint is left as it is and the
// report says so.
CheckedProfileSetting FrontEndLeftAlone(const QString &minutes)
{
    if (const auto refusal = cellular::RefusedWrittenFrontEndMinutes(Trimmed(minutes))) {
        return Refused(Setting::FrontEnd, *refusal);
    }
    return ProfileSetting{Setting::FrontEnd,
                          {},
                          std::nullopt,
                          QStringLiteral("the profile holds the minutes alone, without address "
                                         "and port")};
}

// A setting whose profile value is one text, written as its assignment would be.
CheckedProfileSetting FromProfileText(const QJsonValue &value, const QString &path,
                                      CheckedWrite (*write)(const QString &))
{
    const Checked<QString> text = ProfileText(value, path);
    if (!text.accepted()) {
        return text.refusal();
    }
    return AsProfileSetting(write(text.value()));
}

} // namespace

QJsonObject ApnReport(const ApnSettings &apn, GivenFields given)
{
    QJsonObject report;
    for (qsizetype index = 0; index < kApnKeys.size(); ++index) {
        const auto field = static_cast<std::size_t>(index);
        if (given.test(field)) {
            report.insert(kApnKeys[index], Text(apn.*kApnFields[field]));
        }
    }
    return report;
}

GivenFields FieldsThatDiffer(const ApnSettings &one, const ApnSettings &other)
{
    GivenFields differ;
    for (std::size_t field = 0; field < std::size(kApnFields); ++field) {
        differ.set(field, one.*kApnFields[field] != other.*kApnFields[field]);
    }
    return differ;
}

// A level of the scale as a number, "unknown" for the modem's 99, and characters that are
// no level as received: a number in the report is always a level.
QJsonValue SignalReport(const cellular::SignalReading &reading)
{
    if (reading.value == cellular::kUnknownSignal) {
        return kUnknownSignalReport;
    }
    if (reading.value) {
        return *reading.value;
    }
    return Text(reading.raw);
}

QJsonObject FrontEndReport(const FrontEndEndpoint &endpoint, GivenFields given)
{
    QJsonObject report;
    for (qsizetype index = 0; index < kFrontEndKeys.size(); ++index) {
        const auto field = static_cast<std::size_t>(index);
        const std::string &text = endpoint.*kFrontEndFields[field];
        if (given.test(field)) {
            // The address is a text; the port and the minutes are numbers where digits.
            report.insert(kFrontEndKeys[index],
                          field == 0 ? QJsonValue(Text(text)) : NumberOrText(text));
        }
    }
    return report;
}

GivenFields FieldsThatDiffer(const FrontEndEndpoint &one, const FrontEndEndpoint &other)
{
    GivenFields differ;
    differ.set(0, one.address != other.address);
    differ.set(1, !SameNumberOrText(one.port, other.port));
    differ.set(2, !SameNumberOrText(one.minutes, other.minutes));
    return differ;
}

void ReadApn(LoggerJob &job)
{
    ReadAndRecord<ApnSettings>(job, Setting::Apn, ReadApnSettings);
}

CheckedWrite ParseApnAssignment(const Assignment &assignment)
{
    const QStringList parts = assignment.value.split(QLatin1Char(','));
    if (parts.size() != 3) {
        return ExpectedForm(Setting::Apn, assignment.mode);
    }
    return ApnWrite(parts[0], parts[1], parts[2]);
}

CheckedProfileSetting ApnFromProfile(const QJsonValue &value, const QString &path)
{
    const Checked<QStringList> fields = ProfileFields(value, path, kApnKeys);
    if (!fields.accepted()) {
        return fields.refusal();
    }
    if (value.toObject().size() < kApnKeys.size()) {
        return AsProfileSetting(
            PartialApnWrite(fields.value(), FieldsGiven(value.toObject(), kApnKeys)));
    }
    return AsProfileSetting(ApnWrite(fields.value()[0], fields.value()[1], fields.value()[2]));
}

namespace {

QJsonObject FieldHidden(QJsonObject value, const QString &field)
{
    // An empty secret stays empty, as the traffic log shows it: none is set.
    if (!value.value(field).toString().isEmpty()) {
        value.insert(field, QString::fromLatin1(protocol::kHiddenSecret.data(),
                                                protocol::kHiddenSecret.size()));
    }
    return value;
}

} // namespace

QJsonObject WithSecretsHidden(QJsonObject values)
{
    // Every setting whose value holds a secret field, as its description names it. A setting
    // secret as a whole is never recorded: a logger cannot read it back.
    for (const SettingSpec &setting : Catalogue()) {
        const QString key = QLatin1String(setting.reportKey);
        if (setting.secret == nullptr || *setting.secret == '\0' ||
            !values.value(key).isObject()) {
            continue;
        }
        const QString field = QLatin1String(setting.secret);
        QJsonObject value = FieldHidden(values.value(key).toObject(), field);
        // An apply's entry holds the value as read, as it was and as wanted.
        for (const char *part : {"value", "was", "wanted"}) {
            if (value.value(part).isObject()) {
                value.insert(part, FieldHidden(value.value(part).toObject(), field));
            }
        }
        values.insert(key, value);
    }
    return values;
}

CheckedWrite ParsePinAssignment(const Assignment &assignment)
{
    return PinWrite(assignment.value);
}

CheckedProfileSetting PinFromProfile(const QJsonValue &value, const QString &path)
{
    return FromProfileText(value, path, PinWrite);
}

void ReadSignal(LoggerJob &job)
{
    job.ask(Request::Bare(codes::kSignalQualityRead), [&job](const std::string &payload) {
        Recorded(job, Setting::Signal,
                 cellular::InterpretSignalQuality(cellular::ParseSignalQualityAnswer(payload)));
    });
}

void ReadFrontEnd(LoggerJob &job)
{
    ReadAndRecord<FrontEndEndpoint>(job, Setting::FrontEnd, ReadFrontEndEndpoint);
}

CheckedWrite ParseFrontEndAssignment(const Assignment &assignment)
{
    const QStringList parts = assignment.value.split(QLatin1Char(','));
    if (parts.size() == 1) {
        return FrontEndMinutesWrite(parts[0]);
    }
    if (parts.size() != 3) {
        return ExpectedForm(Setting::FrontEnd, assignment.mode);
    }
    return FrontEndWrite(parts[0], parts[1], parts[2]);
}

CheckedProfileSetting FrontEndFromProfile(const QJsonValue &value, const QString &path)
{
    if (!value.isObject()) {
        const Checked<QString> minutes = ProfileText(value, path);
        if (!minutes.accepted()) {
            return minutes.refusal();
        }
        return FrontEndLeftAlone(minutes.value());
    }
    const Checked<QStringList> fields = ProfileFields(value, path, kFrontEndKeys);
    if (!fields.accepted()) {
        return fields.refusal();
    }
    if (value.toObject().size() < kFrontEndKeys.size()) {
        return AsProfileSetting(
            PartialFrontEndWrite(fields.value(), FieldsGiven(value.toObject(), kFrontEndKeys)));
    }
    return AsProfileSetting(FrontEndWrite(fields.value()[0], fields.value()[1], fields.value()[2]));
}

} // namespace fleet
