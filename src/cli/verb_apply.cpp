// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/ip_plan.h"
#include "fleet/profile.h"
#include "fleet/profile_apply.h"
#include "fleet/settings/catalogue.h"
#include "private_file/private_file.h"
#include "session.h"
#include "verbs.h"


namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddLoggerOption(parser);
    AddSearchOptions(parser, AllOption::Offered);
    parser.addOptions({
        {"with-ip", "Also write the IP configuration (last)."},
        {"dry-run", "Read each setting and report what would change; write nothing."},
        {"plan", "Per-logger IP configurations by serial number (CSV).", "file"},
    });
}

int Run(const QCommandLineParser &parser, Session &session)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        return session.refuse({QStringLiteral("apply takes one profile file")});
    }
    const Checked<fleet::Profile> loaded = fleet::LoadProfile(arguments.first());
    if (!loaded.accepted()) {
        return session.refuse(loaded.refusal());
    }
    const fleet::Profile &profile = loaded.value();
    if (profile.holdsSecrets && private_file::ReadableByOthers(arguments.first())) {
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
        Checked<fleet::IpPlan> planned = fleet::LoadIpPlan(parser.value("plan"));
        if (!planned.accepted()) {
            return session.refuse(planned.refusal());
        }
        plan = std::move(planned).value();
    } else if (withIp && !profile.addressChange) {
        return session.refuse({QStringLiteral("--with-ip: the profile holds no IP configuration")});
    }
    const Checked<Targets> targets =
        ParseTargets(parser, PcAdapters(session.options().network.bindAddress));
    if (!targets.accepted()) {
        return session.refuse(targets.refusal());
    }
    const QList<discovery::LocalAdapter> pcAdapters =
        PcAdapters(session.options().network.bindAddress);
    std::vector<quint32> newAddresses;
    if (plan) {
        for (const auto &[serial, row] : *plan) {
            newAddresses.push_back(row.ip.address);
        }
    } else if (withIp) {
        for (const fleet::SettingWrite &write : profile.addressChange->writes) {
            if (write.movesTo) {
                newAddresses.push_back(*write.movesTo);
            }
        }
    }
    for (const quint32 address : newAddresses) {
        if (auto refusal = RefusedNewAddress(address, targets.value(), pcAdapters)) {
            return session.refuse(*refusal);
        }
    }
    if (withIp && !plan && MayBeSeveral(targets.value())) {
        return session.refuse({QStringLiteral("--with-ip without --plan would give every logger "
                                              "the same address: give one --logger or a --plan")});
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    const fleet::ApplyMode mode =
        parser.isSet("dry-run") ? fleet::ApplyMode::DryRun : fleet::ApplyMode::Write;
    QStringList keys;
    for (const fleet::ProfileSetting &setting : profile.settings) {
        keys.append(fleet::ReportKey(setting.setting));
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
        [&profile, &plan, withIp, mode](fleet::LoggerJob &job, const fleet::LoggerTarget &target) {
            for (const fleet::ProfileSetting &setting : profile.settings) {
                fleet::AddApplySteps(job, setting, mode);
            }
            if (!withIp) {
                return;
            }
            if (plan) {
                const fleet::SettingWrite &row = plan->at(target.serial).write;
                fleet::AddApplySteps(job, {row.setting, {row}, row.wanted, {}}, mode);
            } else {
                fleet::AddApplySteps(job, *profile.addressChange, mode);
            }
        },
        keys, check);
}

} // namespace

Verb ApplyVerb()
{
    return {"apply",
            "apply FILE.json (--logger IP[,IP...] | --all) [--with-ip [--plan PLAN.csv]] "
            "[--dry-run]",
            QStringLiteral(
                "Reads each setting of the profile from each logger and writes only those that\n"
                "differ, each read back; the report gives each setting as unchanged, changed\n"
                "or its failure. --dry-run reads and reports the differences, writing nothing.\n"
                "The profile's IP configuration is written only with --with-ip: from the plan\n"
                "(columns serial,ip,mask,gateway) by serial number, or from the profile for one\n"
                "logger. IP changes go last, after every other setting of that logger."),
            AddOptions, Run};
}

} // namespace cli
