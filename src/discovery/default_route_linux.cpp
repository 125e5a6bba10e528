// SPDX-License-Identifier: GPL-3.0-or-later
#include "default_route_linux.h"
#include "default_route.h"

#include <QFile>
#include <QList>

#include <limits>

namespace discovery {

namespace {

constexpr uint kRouteUp = 0x1;

} // namespace

QString DefaultRouteInterfaceFromTable(QByteArrayView table)
{
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT,
    // the numbers in hexadecimal; the first line holds the column names.
    QString best;
    uint bestMetric = std::numeric_limits<uint>::max();
    const QList<QByteArray> lines = table.toByteArray().split('\n');
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QList<QByteArray> fields = lines.at(index).simplified().split(' ');
        if (fields.size() < 8) {
            continue;
        }
        bool flagsOk = false;
        bool metricOk = false;
        const uint flags = fields.at(3).toUInt(&flagsOk, 16);
        const uint metric = fields.at(6).toUInt(&metricOk, 10);
        if (fields.at(1) != "00000000" || fields.at(7) != "00000000" || !flagsOk || !metricOk ||
            (flags & kRouteUp) == 0) {
            continue;
        }
        if (best.isEmpty() || metric < bestMetric) {
            best = QString::fromLatin1(fields.at(0));
            bestMetric = metric;
        }
    }
    return best;
}

QString DefaultRouteInterface()
{
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly)) {
        return {};
    }
    return DefaultRouteInterfaceFromTable(routes.readAll());
}

} // namespace discovery
