#include "logger_sweep.h"

#include "discovery/discovery_answer.h"
#include "fleet_link.h"
#include "protocol/text.h"
#include "transport/wire_text.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <map>

namespace fleet {

std::vector<LoggerTarget> SweepLoggers(FleetLink &link, const std::vector<QHostAddress> &hosts,
                                       int waitMs, const QHostAddress &ownAddress)
{
    std::map<quint32, LoggerTarget> found;
    link.setDiscoverySink([&found, &ownAddress](const std::string &candidate,
                                               const QHostAddress &sender) {
        const discovery::DiscoveryAnswer answer = discovery::SplitDiscoveryAnswer(candidate);
        const std::string serial = protocol::TrimText(answer.serial);
        if (serial.empty() || sender == ownAddress) {
            return;
        }
        found[sender.toIPv4Address()] = {sender, FromWire(serial), FromWire(answer.version)};
    });
    for (const QHostAddress &host : hosts) {
        link.sendProbe(host);
    }
    QEventLoop loop;
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec();
    link.setDiscoverySink(nullptr);

    std::vector<LoggerTarget> loggers;
    for (auto &[address, target] : found) {
        loggers.push_back(std::move(target));
    }
    return loggers;
}

}  // namespace fleet
