#include "fleet/ip_plan.h"
#include "fleet/profile.h"
#include "fleet/settings/catalogue.h"
#include "session.h"
#include "verbs.h"

#include <QFile>

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddLoggerOption(parser);
    AddSearchOptions(parser, AllOption::Offered);
    parser.addOptions({
        {"with-ip", "Also write the IP configuration (last)."},
        {"plan", "Per-logger IP configurations by serial number (CSV).", "file"},
    });
}

int Run(const QCommandLineParser &parser, Session &session)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        return session.refuse({QStringLiteral("apply takes one profile file")});
    }
    const fleet::Checked<fleet::Profile> loaded = fleet::LoadProfile(arguments.first());
    if (!loaded.accepted()) {
        return session.refuse(loaded.refusal());
    }
    const fleet::Profile &profile = loaded.value();
    constexpr auto kReadableByOthers = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (profile.holdsSecrets && (QFile::permissions(arguments.first()) & kReadableByOthers)) {
        session.console().err << QStringLiteral("tarnwick-cli apply: warning: %1 holds a secret "
                                                "and other users of this PC can read it; "
                                                "chmod 600 %1\n")
                                     .arg(arguments.first());
    }
    const bool withIp = parser.isSet("with-ip");
    std::optional<fleet::IpPlan> plan;
    if (parser.isSet("plan")) {
        if (!withIp) {
            return session.refuse(
                {QStringLiteral("--plan gives IP configurations: add --with-ip")});
        }
        fleet::Checked<fleet::IpPlan> planned = fleet::LoadIpPlan(parser.value("plan"));
        if (!planned.accepted()) {
            return session.refuse(planned.refusal());
        }
        plan = std::move(planned).value();
    } else if (withIp && !profile.addressChange) {
        return session.refuse({QStringLiteral("--with-ip: the profile holds no IP configuration")});
    }
    const fleet::Checked<Targets> targets =
        ParseTargets(parser, PcAdapters(session.options().network.bindAddress));
    if (!targets.accepted()) {
        return session.refuse(targets.refusal());
    }
    if (withIp && !plan && MayBeSeveral(targets.value())) {
        return session.refuse({QStringLiteral("--with-ip without --plan would give every logger "
                                              "the same address: give one --logger or a --plan")});
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    QStringList keys;
    for (const fleet::SettingWrite &write : profile.writes) {
        if (const QString key = fleet::ReportKey(write.setting); !keys.contains(key)) {
            keys.append(key);
        }
    }
    if (withIp) {
        keys.append(fleet::ReportKey(fleet::Setting::Ip));
    }
    Session::LoggerCheck check;
    if (plan) {
        check = [&plan](const Session::Loggers &loggers) {
            return fleet::CheckIpPlanAgainst(*plan, loggers);
        };
    }
    return session.runOnTargets(
        targets.value(), plan ? Session::Serials::Needed : Session::Serials::NotNeeded,
        [&profile, &plan, withIp](fleet::LoggerJob &job, const fleet::LoggerTarget &target) {
            for (const fleet::SettingWrite &write : profile.writes) {
                write.addSteps(job);
            }
            if (withIp) {
                (plan ? plan->at(target.serial).write : *profile.addressChange).addSteps(job);
            }
        },
        keys, check);
}

} // namespace

Verb ApplyVerb()
{
    return {"apply", "apply FILE.json (--logger IP[,IP...] | --all) [--with-ip [--plan PLAN.csv]]",
            QStringLiteral(
                "Writes a profile to each logger and reads every setting back. The profile's IP\n"
                "configuration is written only with --with-ip: from the plan (columns\n"
                "serial,ip,mask,gateway) by serial number, or from the profile for one logger.\n"
                "IP changes go last, after every other setting of that logger is verified."),
            AddOptions, Run};
}

} // namespace cli
