// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/settings/catalogue.h"
#include "session.h"
#include "verbs.h"

#include <algorithm>

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddLoggerOption(parser);
    AddSearchOptions(parser, AllOption::Offered);
}

// The report keys of the writes, each once, in their order.
QStringList KeysOf(const std::vector<fleet::SettingWrite> &writes)
{
    QStringList keys;
    for (const fleet::SettingWrite &write : writes) {
        const QString key = fleet::ReportKey(write.setting);
        if (!keys.contains(key)) {
            keys.append(key);
        }
    }
    return keys;
}

// pin=- and apn=NAME,USER,- take the secret from standard input, where no other user of
// the PC sees it, as they would see the command line.
Checked<QString> WithSecretFromInput(const QString &assignment, Console &console)
{
    const struct {
        QLatin1String prefix;
        qsizetype fields; // the secret is the last
        QString prompt;
    } asked[] = {{QLatin1String("pin="), 1, QStringLiteral("PIN: ")},
                 {QLatin1String("apn="), 3, QStringLiteral("APN password: ")}};
    for (const auto &secret : asked) {
        const QStringList fields =
            assignment.startsWith(secret.prefix)
                ? assignment.mid(secret.prefix.size()).split(QLatin1Char(','))
                : QStringList();
        if (fields.size() != secret.fields || fields.last() != QLatin1String("-")) {
            continue;
        }
        const std::optional<QString> typed =
            console.readSecret ? console.readSecret(secret.prompt) : std::nullopt;
        if (!typed) {
            return Refusal{QStringLiteral("%1- reads the secret from standard input, "
                                          "which has ended")
                               .arg(assignment.chopped(1))};
        }
        return assignment.chopped(1) + *typed;
    }
    return assignment;
}

int Run(const QCommandLineParser &parser, Session &session)
{
    if (parser.positionalArguments().isEmpty()) {
        return session.refuse({QStringLiteral("name at least one SETTING=VALUE")});
    }
    std::vector<fleet::SettingWrite> writes;
    for (const QString &given : parser.positionalArguments()) {
        const Checked<QString> assignment = WithSecretFromInput(given, session.console());
        if (!assignment.accepted()) {
            return session.refuse(assignment.refusal());
        }
        fleet::CheckedWrite checked = fleet::ParseAssignment(assignment.value());
        if (!checked.accepted()) {
            return session.refuse(checked.refusal());
        }
        writes.push_back(std::move(checked).value());
    }
    std::stable_partition(writes.begin(), writes.end(), [](const fleet::SettingWrite &write) {
        return fleet::SpecOf(write.setting).order == fleet::WriteOrder::WithTheOthers;
    });
    const Checked<Targets> targets =
        ParseTargets(parser, PcAdapters(session.options().network.bindAddress));
    if (!targets.accepted()) {
        return session.refuse(targets.refusal());
    }
    const QList<discovery::LocalAdapter> pcAdapters =
        PcAdapters(session.options().network.bindAddress);
    for (const fleet::SettingWrite &write : writes) {
        if (write.movesTo) {
            if (auto refusal = RefusedNewAddress(*write.movesTo, targets.value(), pcAdapters)) {
                return session.refuse(*refusal);
            }
        }
        if (write.ownership == fleet::Ownership::OneLoggersOwn && MayBeSeveral(targets.value())) {
            return session.refuse({QStringLiteral("%1: a fixed address would go to every logger; "
                                                  "write it to one --logger, or use apply "
                                                  "--with-ip --plan")
                                       .arg(fleet::CommandLineName(write.setting))});
        }
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    const QStringList keys = KeysOf(writes);
    return session.runOnTargets(
        targets.value(), Session::Serials::NotNeeded,
        [writes](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
            for (const fleet::SettingWrite &write : writes) {
                write.addSteps(job);
            }
        },
        keys);
}

} // namespace

Verb WriteVerb()
{
    QString forms;
    for (const QString &form : fleet::WriteForms()) {
        forms += QStringLiteral("  ") + form + QLatin1Char('\n');
    }
    return {"write", "write (--logger IP[,IP...] | --all) SETTING=VALUE...",
            QStringLiteral("Writes settings, in the order given, and reads each back (an address "
                           "change last):\n%1  pin=-\n  apn=NAME,USER,-\n(- reads the secret "
                           "from standard input, without echo on a terminal.)\nEvery value is "
                           "checked before anything is sent; a refused value sends nothing.")
                .arg(forms),
            AddOptions, Run};
}

} // namespace cli
