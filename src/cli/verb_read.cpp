// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/settings/catalogue.h"
#include "session.h"
#include "verbs.h"

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddLoggerOption(parser);
    AddSearchOptions(parser, AllOption::Offered);
}

int Run(const QCommandLineParser &parser, Session &session)
{
    std::vector<fleet::Setting> settings;
    for (const QString &name : parser.positionalArguments()) {
        const auto setting = fleet::SettingNamed(name);
        if (!setting || fleet::SpecOf(*setting).read == nullptr) {
            return session.refuse(
                {QStringLiteral("'%1' is not a setting; settings: %2")
                     .arg(name, fleet::ReadableSettingNames().join(QStringLiteral(", ")))});
        }
        settings.push_back(*setting);
    }
    if (settings.empty()) {
        settings = fleet::ReadableSettings();
    }
    QStringList keys;
    for (const fleet::Setting setting : settings) {
        keys.append(fleet::ReportKey(setting));
    }
    const Checked<Targets> targets =
        ParseTargets(parser, PcAdapters(session.options().network.bindAddress));
    if (!targets.accepted()) {
        return session.refuse(targets.refusal());
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    return session.runOnTargets(
        targets.value(), Session::Serials::NotNeeded,
        [settings](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
            fleet::AddReads(job, settings);
        },
        keys);
}

} // namespace

Verb ReadVerb()
{
    return {"read", "read (--logger IP[,IP...] | --all) [SETTING...]",
            QStringLiteral("Reads settings of each logger: %1.\nNone named means all. --all "
                           "searches first.")
                .arg(fleet::ReadableSettingNames().join(QStringLiteral(", "))),
            AddOptions, Run};
}

} // namespace cli
