// SPDX-License-Identifier: GPL-3.0-or-later
#include "system.h"

#include "catalogue.h"
#include "commands/system_parameters_chain.h"
#include "commands/system_parameters_codec.h"
#include "fleet/logger_job.h"
#include "profile_values.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"
#include "write_steps.h"

#include <QJsonObject>
#include <QStringList>

#include <optional>
#include <utility>
#include <variant>

namespace fleet {
namespace {

namespace codes = protocol::command_codes;

using system_parameters::BlockChain;
using system_parameters::BlockControls;

// The block's JSON form, one table for reports and profiles alike.
struct TimeField {
    const char *key;
    std::string BlockControls::*hour;
    std::string BlockControls::*minute;
};
const TimeField kTimeFields[] = {
    {"start", &BlockControls::startHour, &BlockControls::startMinute},
    {"stop", &BlockControls::stopHour, &BlockControls::stopMinute},
};

// Decimal texts of whole numbers in the block; numbers in JSON.
struct NumberField {
    const char *key;
    std::string BlockControls::*decimal;
};
const NumberField kNumberFields[] = {
    {"data_interval_seconds", &BlockControls::dataIntervalSeconds},
    {"heartbeat_minutes", &BlockControls::heartbeatMinutes},
    {"retries", &BlockControls::retries},
};

// List items 0 and 1 in the block; their names in JSON.
struct ChoiceField {
    const char *key;
    const char *off;
    const char *on;
    int BlockControls::*item;
};
const ChoiceField kChoiceFields[] = {
    {"wait_for_response", "no", "yes", &BlockControls::waitForResponse},
    {"reconnect", "no", "yes", &BlockControls::reconnect},
    {"transport", "udp", "tcp", &BlockControls::transport},
    {"gprs", "off", "on", &BlockControls::gprs},
};

// Calls `visit` with the place of each field among the block's keys and the field: the
// times, the numbers, then the choices.
template <typename Visit>
void ForEachBlockField(Visit visit)
{
    std::size_t place = 0;
    for (const TimeField &field : kTimeFields) {
        visit(place++, field);
    }
    for (const NumberField &field : kNumberFields) {
        visit(place++, field);
    }
    for (const ChoiceField &field : kChoiceFields) {
        visit(place++, field);
    }
}

QStringList BlockKeys()
{
    QStringList keys;
    ForEachBlockField(
        [&keys](std::size_t, const auto &field) { keys.append(QLatin1String(field.key)); });
    return keys;
}

qint64 NumberOf(const std::string &decimal)
{
    return protocol::TryParseInteger(decimal).value_or(0);
}

const char *WordOf(const BlockControls &block, const ChoiceField &field)
{
    return block.*field.item == 0 ? field.off : field.on;
}

// A field as the report gives it, whether two blocks report it the same, and a copy of it
// from one block into another.
QJsonValue FieldReport(const BlockControls &block, const TimeField &field)
{
    return Text(block.*field.hour + ":" + block.*field.minute);
}
QJsonValue FieldReport(const BlockControls &block, const NumberField &field)
{
    return NumberOf(block.*field.decimal);
}
QJsonValue FieldReport(const BlockControls &block, const ChoiceField &field)
{
    return QLatin1String(WordOf(block, field));
}

bool SameField(const BlockControls &one, const BlockControls &other, const TimeField &field)
{
    return one.*field.hour == other.*field.hour && one.*field.minute == other.*field.minute;
}
bool SameField(const BlockControls &one, const BlockControls &other, const NumberField &field)
{
    return NumberOf(one.*field.decimal) == NumberOf(other.*field.decimal);
}
bool SameField(const BlockControls &one, const BlockControls &other, const ChoiceField &field)
{
    return (one.*field.item == 0) == (other.*field.item == 0);
}

void CopyField(const BlockControls &from, BlockControls &to, const TimeField &field)
{
    to.*field.hour = from.*field.hour;
    to.*field.minute = from.*field.minute;
}
void CopyField(const BlockControls &from, BlockControls &to, const NumberField &field)
{
    to.*field.decimal = from.*field.decimal;
}
void CopyField(const BlockControls &from, BlockControls &to, const ChoiceField &field)
{
    to.*field.item = from.*field.item;
}

// `held` with the given fields of `wanted`: what a write of a block given in part sends.
BlockControls WithGivenFields(BlockControls held, const SomeFields<BlockControls> &wanted)
{
    ForEachBlockField([&held, &wanted](std::size_t place, const auto &field) {
        if (wanted.given.test(place)) {
            CopyField(wanted.value, held, field);
        }
    });
    return held;
}

// The block of a profile's object; the fields it does not name keep those of `base`.
Checked<BlockControls> BlockFromReport(const QJsonObject &report, const QString &path,
                                       BlockControls base = {})
{
    BlockControls block = std::move(base);
    for (const TimeField &field : kTimeFields) {
        if (!report.contains(QLatin1String(field.key))) {
            continue;
        }
        const QStringList parts =
            report.value(QLatin1String(field.key)).toString().split(QLatin1Char(':'));
        if (parts.size() != 2) {
            return Refusal{
                QStringLiteral("system: %1 must be HH:MM").arg(QLatin1String(field.key))};
        }
        block.*field.hour = ToWire(parts[0]);
        block.*field.minute = ToWire(parts[1]);
    }
    for (const NumberField &field : kNumberFields) {
        if (!report.contains(QLatin1String(field.key))) {
            continue;
        }
        const Checked<QString> number =
            ProfileWholeNumber(report.value(QLatin1String(field.key)),
                               path + QLatin1Char('.') + QLatin1String(field.key));
        if (!number.accepted()) {
            return number.refusal();
        }
        block.*field.decimal = ToWire(number.value());
    }
    for (const ChoiceField &field : kChoiceFields) {
        if (!report.contains(QLatin1String(field.key))) {
            continue;
        }
        const QString value = report.value(QLatin1String(field.key)).toString();
        if (value == QLatin1String(field.off)) {
            block.*field.item = 0;
        } else if (value == QLatin1String(field.on)) {
            block.*field.item = 1;
        } else {
            return Refusal{QStringLiteral("system: %1 must be %2 or %3")
                               .arg(QLatin1String(field.key), QLatin1String(field.off),
                                    QLatin1String(field.on))};
        }
    }
    return block;
}

void ReadBlock(LoggerJob &job, std::function<void(const BlockControls &)> done)
{
    job.ask(BlockChain::ReadRequest(), [done](const std::string &payload) {
        done(system_parameters::ParseBlockAnswer(payload));
    });
}

// What a block write records once the block reads back as written: of a whole block, the
// block as written; of a block given in part, the block read back; of the GPRS state and
// the intervals, the note of what was written.
struct AsWritten {
};
struct AsReadBack {
};
using BlockKept = std::variant<AsWritten, AsReadBack, WriteNote>;

// The block written and the block read back must give the same request.
void VerifyBlock(LoggerJob &job, Setting setting, const std::string &request, const BlockKept &kept)
{
    ReadBlock(job, [&job, setting, request, kept](const BlockControls &read) {
        const std::string readBack = system_parameters::BuildBlockWrite(read);
        if (readBack != request) {
            Differs(job, setting, Text(readBack.substr(2)), Text(request.substr(2)));
            return;
        }
        if (const auto *note = std::get_if<WriteNote>(&kept)) {
            RecordedWrite(job, setting, *note);
        } else if (std::holds_alternative<AsWritten>(kept)) {
            Recorded(job, setting, system_parameters::ParseBlockAnswer("R" + request.substr(2)));
        } else {
            Recorded(job, setting, read);
        }
    });
}

// The steps of every block write: the chain reads the block and changes it, the block is
// checked and written as the Set button would, and read back.
std::function<void(LoggerJob &)> BlockChainSteps(Setting setting, BlockChain chain, BlockKept kept)
{
    return [setting, chain, kept](LoggerJob &job) {
        job.then([&job, setting, chain, kept] {
            job.ask(BlockChain::ReadRequest(), [&job, setting, chain,
                                                kept](const std::string &payload) {
                const BlockChain::Next next = chain.takeBlock(payload);
                if (next.refusal) {
                    job.fail(LoggerError::Kind::NotUnderstood, next.refusal->message);
                    return;
                }
                const system_parameters::BlockWrite write =
                    system_parameters::PrepareBlockWrite(next.block);
                if (write.refusal) {
                    job.fail(LoggerError::Kind::Refused,
                             QStringLiteral("the block read back cannot be written: ") +
                                 write.refusal->message);
                    return;
                }
                const std::string request = write.request;
                job.ask({codes::kSystemBlockWrite, request},
                        [&job, setting, request, kept](const std::string &) {
                            VerifyBlock(job, setting, request, kept);
                        });
            });
        });
    };
}

CheckedWrite SystemBlockWrite(const BlockControls &block)
{
    system_parameters::BlockWrite write;
    try {
        write = system_parameters::PrepareBlockWrite(block);
    } catch (const protocol::InvalidIntegerError &error) {
        return Refused(Setting::System, std::string(error.what()));
    }
    if (write.refusal) {
        return Refused(Setting::System, *write.refusal);
    }
    // What a read reports: the block as the logger keeps what was written.
    const BlockControls written =
        system_parameters::ParseBlockAnswer("R" + write.request.substr(2));
    return SettingWrite{
        .setting = Setting::System,
        .addSteps = BlockChainSteps(Setting::System,
                                    BlockChain([block](const BlockControls &) { return block; }),
                                    AsWritten{}),
        .wanted = SomeFields<BlockControls>{written}};
}

// Any block the Set button would take: it stands in for the fields a block given in part
// does not name while the given ones are checked.
const BlockControls kCheckedAgainst{"00", "00", "23", "59", "300", "5", "3", 0, 0, 0, 0};

// A block given in part (from a profile), its other fields standing as kCheckedAgainst:
// each given field is checked as a whole block of it would be. The block is read first and
// the fields not given keep the logger's values; the whole block is then written and read
// back. What a read reports once written: the fields given.
CheckedWrite PartialBlockWrite(const SomeFields<BlockControls> &given)
{
    const CheckedWrite checked = SystemBlockWrite(given.value);
    if (!checked.accepted()) {
        return checked;
    }
    SomeFields<BlockControls> wanted = std::get<SomeFields<BlockControls>>(*checked.value().wanted);
    wanted.given = given.given;
    const auto change = [given](const BlockControls &held) { return WithGivenFields(held, given); };
    return SettingWrite{.setting = Setting::System,
                        .addSteps =
                            BlockChainSteps(Setting::System, BlockChain(change), AsReadBack{}),
                        .wanted = wanted};
}

} // namespace

QJsonObject BlockReport(const BlockControls &block, GivenFields given)
{
    QJsonObject report;
    ForEachBlockField([&report, &block, given](std::size_t place, const auto &field) {
        if (given.test(place)) {
            report.insert(QLatin1String(field.key), FieldReport(block, field));
        }
    });
    return report;
}

GivenFields FieldsThatDiffer(const BlockControls &one, const BlockControls &other)
{
    GivenFields differ;
    ForEachBlockField([&differ, &one, &other](std::size_t place, const auto &field) {
        differ.set(place, !SameField(one, other, field));
    });
    return differ;
}

QString BlockChoiceText(const SettingValue &value, int BlockControls::*item)
{
    const auto *block = std::get_if<BlockControls>(&value);
    for (const ChoiceField &field : kChoiceFields) {
        if (block != nullptr && field.item == item) {
            return QLatin1String(WordOf(*block, field));
        }
    }
    return {};
}

QString BlockNumberText(const SettingValue &value, std::string BlockControls::*decimal)
{
    const auto *block = std::get_if<BlockControls>(&value);
    return block == nullptr ? QString() : QString::number(NumberOf(block->*decimal));
}

void ReadSystemBlock(LoggerJob &job)
{
    ReadAndRecord<BlockControls>(job, Setting::System, ReadBlock);
}

CheckedProfileSetting SystemBlockFromProfile(const QJsonValue &value, const QString &path)
{
    if (!value.isObject()) {
        return Refusal{QStringLiteral("\"%1\" must be an object").arg(path)};
    }
    if (auto unknown = UnknownKey(value.toObject(), BlockKeys(), path + QLatin1Char('.'))) {
        return *unknown;
    }
    const bool partial = value.toObject().size() < BlockKeys().size();
    const Checked<BlockControls> block =
        BlockFromReport(value.toObject(), path, partial ? kCheckedAgainst : BlockControls{});
    if (!block.accepted()) {
        return block.refusal();
    }
    if (partial) {
        return AsProfileSetting(
            PartialBlockWrite({block.value(), FieldsGiven(value.toObject(), BlockKeys())}));
    }
    return AsProfileSetting(SystemBlockWrite(block.value()));
}

CheckedWrite ParseGprsAssignment(const Assignment &assignment)
{
    if (assignment.value != QLatin1String("on") && assignment.value != QLatin1String("off")) {
        return ExpectedForm(Setting::Gprs, assignment.mode);
    }
    const bool on = assignment.value == QLatin1String("on");
    return SettingWrite{Setting::Gprs, BlockChainSteps(Setting::Gprs, BlockChain::Gprs(on),
                                                       WriteNote(assignment.value))};
}

CheckedWrite ParseIntervalsAssignment(const Assignment &assignment)
{
    const QStringList parts = assignment.value.split(QLatin1Char(','));
    if (parts.size() != 2) {
        return ExpectedForm(Setting::Intervals, assignment.mode);
    }
    const std::string data = ToWire(parts[0]);
    const std::string heartbeat = ToWire(parts[1]);
    if (const auto refusal = system_parameters::CheckIntervalEntries(data, heartbeat)) {
        return Refused(Setting::Intervals, *refusal);
    }
    // The check took each as a whole number of minutes, a sign included as the window
    // takes it ("+5"): reported as that number.
    const auto minutes = [](const std::string &text) {
        return protocol::TryParseInteger(protocol::TrimText(text)).value_or(0);
    };
    const IntervalMinutes written{minutes(data), minutes(heartbeat)};
    return SettingWrite{Setting::Intervals,
                        BlockChainSteps(Setting::Intervals, BlockChain::Intervals(data, heartbeat),
                                        WriteNote(written))};
}

} // namespace fleet
