// SPDX-License-Identifier: GPL-3.0-or-later
#include "write_steps.h"

#include "catalogue.h"
#include "fleet/logger_job.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"

#include <algorithm>
#include <optional>

namespace fleet {

QString Text(const std::string &wire)
{
    return FromWire(wire);
}

std::string Trimmed(const QString &text)
{
    return protocol::TrimText(ToWireForSending(text));
}

namespace {

// The number of decimal digits, up to 15 that a double holds exactly; none for anything else.
std::optional<qint64> DecimalNumber(const std::string &wire)
{
    constexpr std::size_t kMostDigits = 15;
    const bool digits =
        !wire.empty() && wire.size() <= kMostDigits &&
        std::all_of(wire.begin(), wire.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? std::optional<qint64>(std::stoll(wire)) : std::nullopt;
}

} // namespace

QJsonValue NumberOrText(const std::string &wire)
{
    const std::optional<qint64> number = DecimalNumber(wire);
    return number ? QJsonValue(*number) : QJsonValue(Text(wire));
}

bool SameNumberOrText(const std::string &one, const std::string &other)
{
    const std::optional<qint64> number = DecimalNumber(one);
    return number ? number == DecimalNumber(other) : one == other;
}

Refusal Refused(Setting setting, const QString &rule)
{
    return {CommandLineName(setting) + QStringLiteral(": ") + rule};
}

Refusal Refused(Setting setting, const std::string &rule)
{
    return Refused(setting, Text(rule));
}

Refusal Refused(Setting setting, const Refusal &rule)
{
    return Refused(setting, rule.message);
}

void Recorded(LoggerJob &job, Setting setting, const SettingValue &value)
{
    job.hold(setting, value);
    job.next();
}

void RecordedWrite(LoggerJob &job, Setting setting, const WriteNote &note)
{
    job.noteWrite(setting, note);
    job.next();
}

void Differs(LoggerJob &job, Setting setting, const QString &read, const QString &expected)
{
    job.fail(LoggerError::Kind::Differs,
             QStringLiteral("read-back differs: %1 is \"%2\", expected \"%3\"")
                 .arg(CommandLineName(setting), read, expected));
}

std::function<void(LoggerJob &)> VerifiedWrite(protocol::Request request,
                                               std::function<void(LoggerJob &)> verify)
{
    return [request = std::move(request), verify = std::move(verify)](LoggerJob &job) {
        job.then([&job, request, verify] {
            job.ask(request, [&job, verify](const std::string &) { verify(job); });
        });
    };
}

std::function<void(LoggerJob &)> AnsweredWrite(Setting setting, protocol::Request request,
                                               WriteNote written)
{
    return [setting, request = std::move(request), written = std::move(written)](LoggerJob &job) {
        job.then([&job, setting, request, written] {
            job.ask(request, [&job, setting, written](const std::string &) {
                RecordedWrite(job, setting, written);
            });
        });
    };
}

} // namespace fleet

namespace fleet {

CheckedProfileSetting AsProfileSetting(CheckedWrite write)
{
    if (!write.accepted()) {
        return write.refusal();
    }
    SettingWrite only = std::move(write).value();
    const Setting setting = only.setting;
    std::optional<WantedValue> wanted = only.wanted;
    return ProfileSetting{setting, {std::move(only)}, std::move(wanted), {}};
}

} // namespace fleet
