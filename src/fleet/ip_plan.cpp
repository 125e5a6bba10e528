#include "ip_plan.h"

#include "settings/network.h"

#include <QFile>
#include <QStringList>

namespace fleet {

Checked<IpPlan> IpPlanFromText(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    IpPlan plan;
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
        if (plan.contains(serial)) {
            return refused(QStringLiteral("serial %1 appears twice").arg(serial));
        }
        CheckedWrite write = FixedIpWrite(fields[1], fields[2], fields[3]);
        if (!write.accepted()) {
            return refused(write.refusal().message);
        }
        plan.emplace(serial, std::move(write).value());
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

} // namespace fleet
