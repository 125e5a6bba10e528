#include "logger_sweep.h"

#include "discovery/discovery_answer.h"
#include "discovery/paced_prober.h"
#include "fleet_link.h"
#include "protocol/text.h"
#include "transport/wire_text.h"

#include <QEventLoop>
#include <QTimer>

#include <map>

namespace fleet {
namespace {

// Collects discovery answers while the probes go out and for the wait after the last.
class AnswerCollector
{
public:
    AnswerCollector(FleetLink &link, const QHostAddress &ownAddress) : m_link(link)
    {
        link.setDiscoverySink([this, ownAddress](const std::string &candidate,
                                                 const QHostAddress &sender) {
            const discovery::DiscoveryAnswer answer = discovery::SplitDiscoveryAnswer(candidate);
            const std::string serial = protocol::TrimText(answer.serial);
            if (serial.empty() || sender == ownAddress) {
                return;
            }
            m_found[sender.toIPv4Address()] = {sender, FromWire(serial), FromWire(answer.version)};
        });
    }
    ~AnswerCollector() { m_link.setDiscoverySink(nullptr); }
    AnswerCollector(const AnswerCollector &) = delete;
    AnswerCollector &operator=(const AnswerCollector &) = delete;

    static void Wait(int waitMs)
    {
        QEventLoop loop;
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }

    std::vector<LoggerTarget> loggers() const
    {
        std::vector<LoggerTarget> loggers;
        for (const auto &[address, target] : m_found) {
            loggers.push_back(target);
        }
        return loggers;
    }

private:
    FleetLink &m_link;
    std::map<quint32, LoggerTarget> m_found;
};

} // namespace

std::vector<LoggerTarget> SweepLoggers(FleetLink &link, const discovery::AddressRange &range,
                                       const SweepPlan &plan)
{
    AnswerCollector collector(link, plan.ownAddress);
    PacedProber prober([&link](const QHostAddress &target) { link.sendProbe(target); });
    QEventLoop probing;
    QObject::connect(&prober, &PacedProber::finished, &probing, &QEventLoop::quit);
    prober.start(range, plan.probesPerSecond);
    if (prober.isRunning()) {
        probing.exec();
    }
    AnswerCollector::Wait(plan.waitMs);
    return collector.loggers();
}

std::vector<LoggerTarget> IdentifyLoggers(FleetLink &link, const std::vector<QHostAddress> &hosts,
                                          const SweepPlan &plan)
{
    AnswerCollector collector(link, plan.ownAddress);
    for (const QHostAddress &host : hosts) {
        link.sendProbe(host);
    }
    AnswerCollector::Wait(plan.waitMs);
    return collector.loggers();
}

} // namespace fleet
