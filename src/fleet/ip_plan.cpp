// SPDX-License-Identifier: GPL-3.0-or-later
#include "ip_plan.h"

#include "settings/write_steps.h"

#include <QFile>
#include <QHostAddress>
#include <QStringList>

#include <set>

namespace fleet {

Checked<IpPlan> IpPlanFromText(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    IpPlan plan;
    std::map<quint32, qsizetype> lineOfAddress;
    bool header = false;
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        const QString line = lines[number - 1].trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const auto refused = [number](const QString &reason) {
            return Refusal{QStringLiteral("line %1: %2").arg(number).arg(reason)};
        };
        if (!header) {
            if (line != QLatin1String("serial,ip,mask,gateway")) {
                return refused(QStringLiteral("the first line must be serial,ip,mask,gateway"));
            }
            header = true;
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() != 4) {
            return refused(QStringLiteral("expected serial,ip,mask,gateway"));
        }
        const QString serial = fields[0].trimmed();
        if (serial.isEmpty()) {
            return refused(QStringLiteral("the serial number is empty"));
        }
        if (const auto earlier = plan.find(serial); earlier != plan.end()) {
            return Refusal{QStringLiteral("lines %1 and %2 both give serial %3")
                               .arg(earlier->second.line)
                               .arg(number)
                               .arg(serial)};
        }
        const Checked<FixedIp> ip = RefusingTextOutsideCodePage(
            Setting::Ip, [&] { return CheckFixedIp(fields[1], fields[2], fields[3]); });
        if (!ip.accepted()) {
            return refused(ip.refusal().message);
        }
        const auto [earlier, added] = lineOfAddress.emplace(ip.value().address, number);
        if (!added) {
            return Refusal{QStringLiteral("lines %1 and %2 both give the address %3")
                               .arg(earlier->second)
                               .arg(number)
                               .arg(QHostAddress(ip.value().address).toString())};
        }
        plan.emplace(serial, PlannedIp{number, ip.value(), FixedIpWrite(ip.value())});
    }
    if (!header) {
        return Refusal{QStringLiteral("the plan is empty")};
    }
    return plan;
}

Checked<IpPlan> LoadIpPlan(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return Refusal{QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    }
    Checked<IpPlan> plan = IpPlanFromText(QString::fromUtf8(file.readAll()));
    if (!plan.accepted()) {
        return Refusal{path + QStringLiteral(": ") + plan.refusal().message};
    }
    return plan;
}

std::optional<Refusal> CheckIpPlanAgainst(const IpPlan &plan,
                                          const std::vector<LoggerTarget> &loggers)
{
    std::set<QString> serials;
    std::map<quint32, const LoggerTarget *> loggerAt;
    for (const LoggerTarget &logger : loggers) {
        if (logger.serial.isEmpty()) {
            return Refusal{QStringLiteral("%1 did not tell its serial number, so the plan "
                                          "cannot be matched; nothing was written")
                               .arg(logger.address.toString())};
        }
        if (!plan.contains(logger.serial)) {
            return Refusal{QStringLiteral("logger %1 (%2) has no row in the plan; nothing "
                                          "was written")
                               .arg(logger.serial, logger.address.toString())};
        }
        serials.insert(logger.serial);
        loggerAt.emplace(logger.address.toIPv4Address(), &logger);
    }
    for (const auto &[serial, row] : plan) {
        if (!serials.contains(serial)) {
            return Refusal{QStringLiteral("the plan names serial %1, which is not among "
                                          "the loggers; nothing was written")
                               .arg(serial)};
        }
        const auto other = loggerAt.find(row.ip.address);
        if (other != loggerAt.end() && other->second->serial != serial) {
            return Refusal{
                QStringLiteral("line %1 gives %2 the address %3, where logger %4 "
                               "answers now; nothing was written")
                    .arg(row.line)
                    .arg(serial, other->second->address.toString(), other->second->serial)};
        }
    }
    return std::nullopt;
}

} // namespace fleet
