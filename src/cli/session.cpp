// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"

#include "discovery/pc_address.h"

#include <map>

namespace cli {

Session::Session(const QString &verbName, Console &console, const RunOptions &options)
    : m_verbName(verbName), m_console(console), m_options(options), m_link(options.network)
{
}

Session::~Session()
{
    m_link.endpoints().setObserver(nullptr);
}

int Session::refuse(const Refusal &refusal)
{
    return PrintRefusal(m_console, m_verbName, refusal);
}

int Session::startFailed(const QString &message)
{
    m_console.err << "tarnwick-cli " << m_verbName << ": " << message << '\n';
    return kSomeFailed;
}

bool Session::open()
{
    if (const auto refusal = m_link.openCommandPort()) {
        startFailed(refusal->message);
        return false;
    }
    if (m_options.trace == RunOptions::Trace::OnStandardError) {
        m_trace = std::make_unique<TracePrinter>(m_console, m_options.secrets);
        m_link.endpoints().setObserver(m_trace.get());
        QObject::connect(
            &m_link, &fleet::FleetLink::answerSetAside, &m_link,
            [trace = m_trace.get()](const QHostAddress &logger, const std::string &payload) {
                trace->answerSetAside(logger, payload);
            });
    }
    return true;
}

fleet::SweepPlan Session::sweepPlan(const QHostAddress &ownAddress, int rounds) const
{
    fleet::SweepPlan plan;
    plan.waitMs = m_options.waitMs;
    plan.rounds = rounds;
    plan.ownAddress = ownAddress.isNull() ? m_options.network.bindAddress : ownAddress;
    for (const discovery::LocalAdapter &adapter : discovery::LocalAdapters()) {
        plan.pcNetworks.append(adapter.network());
    }
    return plan;
}

bool Session::openSearchPort()
{
    if (const auto refusal = m_link.openSearchPort()) {
        finish(startFailed(refusal->message));
        return false;
    }
    return true;
}

void Session::sweep(const SweptRange &range, const SearchArea &area,
                    std::function<void(Loggers)> next)
{
    if (!openSearchPort()) {
        return;
    }
    m_sweep =
        std::make_unique<fleet::LoggerSweep>(m_link, sweepPlan(range.ownAddress, area.probes));
    QObject::connect(m_sweep.get(), &fleet::LoggerSweep::finished, m_sweep.get(),
                     [this, range, area, next] {
                         Loggers loggers = m_sweep->loggers();
                         if (loggers.size() < std::size_t(area.expected)) {
                             finish(tooFewFound(range, area, loggers.size()));
                             return;
                         }
                         next(std::move(loggers));
                     });
    m_sweep->sweep(range.range);
}

int Session::tooFewFound(const SweptRange &range, const SearchArea &area, std::size_t found)
{
    const QString probed = range.range.toString();
    if (found == 0) {
        m_console.err << QStringLiteral("no logger answered the search of %1\n").arg(probed);
    } else {
        m_console.err << QStringLiteral("the search of %1 found %2 loggers, %3 expected\n")
                             .arg(probed)
                             .arg(found)
                             .arg(area.expected);
    }
    return kSomeFailed;
}

void Session::search(const SearchArea &area, std::function<void(Loggers)> next)
{
    if (const auto *range = std::get_if<SweptRange>(&area.where)) {
        sweep(*range, area, std::move(next));
        return;
    }
    const Checked<SweptRange> pcNetwork = ResolvePcNetwork();
    if (!pcNetwork.accepted()) {
        finish(startFailed(pcNetwork.refusal().message));
        return;
    }
    sweep(pcNetwork.value(), area, std::move(next));
}

void Session::findLoggers(const Targets &targets, Serials serials,
                          std::function<void(Loggers)> next)
{
    if (const auto *area = std::get_if<SearchArea>(&targets)) {
        search(*area, std::move(next));
        return;
    }
    const auto &addresses = std::get<std::vector<QHostAddress>>(targets);
    const auto given = [addresses](const std::map<quint32, fleet::LoggerTarget> &foundAt) {
        Loggers loggers;
        for (const QHostAddress &address : addresses) {
            const auto found = foundAt.find(address.toIPv4Address());
            loggers.push_back(
                found == foundAt.end()
                    ? fleet::LoggerTarget{address, {}, {}, {}}
                    : fleet::LoggerTarget{
                          address, found->second.serial, {}, found->second.clashingSerial});
        }
        return loggers;
    };
    if (serials == Serials::NotNeeded) {
        // Queued, so that the run goes on from the loop like every other step.
        QMetaObject::invokeMethod(
            &m_loop, [next, loggers = given({})] { next(loggers); }, Qt::QueuedConnection);
        return;
    }
    if (!openSearchPort()) {
        return;
    }
    m_sweep =
        std::make_unique<fleet::LoggerSweep>(m_link, sweepPlan({}, SearchArea::kDefaultProbes));
    QObject::connect(m_sweep.get(), &fleet::LoggerSweep::finished, m_sweep.get(),
                     [this, next, given] {
                         std::map<quint32, fleet::LoggerTarget> foundAt;
                         for (const fleet::LoggerTarget &found : m_sweep->loggers()) {
                             foundAt[found.address.toIPv4Address()] = found;
                         }
                         next(given(foundAt));
                     });
    m_sweep->identify(addresses);
}

void Session::runJobs(Loggers loggers, fleet::FleetRun::JobPlan plan,
                      std::function<void(const Outcomes &)> next)
{
    // Two loggers at one address: nothing is sent there, since either could take the
    // other's answers (or its writes).
    Outcomes clashes;
    std::erase_if(loggers, [&clashes](const fleet::LoggerTarget &logger) {
        if (logger.clashingSerial.isEmpty()) {
            return false;
        }
        clashes.push_back({logger.address, logger.serial,
                           LoggerError{LoggerError::Kind::Refused,
                                       AddressClash(logger) + QStringLiteral("; nothing was "
                                                                             "sent there")}});
        return true;
    });
    if (!clashes.empty()) {
        next = [next, clashes](const Outcomes &outcomes) {
            Outcomes all = outcomes;
            all.insert(all.end(), clashes.begin(), clashes.end());
            next(all);
        };
    }
    m_run = std::make_unique<fleet::FleetRun>(m_link, m_options.policy, m_options.parallel);
    if (m_console.errIsTerminal) {
        m_progress = std::make_unique<ProgressLine>(m_console, static_cast<int>(loggers.size()));
        QObject::connect(m_run.get(), &fleet::FleetRun::loggerStarted, m_run.get(),
                         [this] { m_progress->loggerStarted(); });
        QObject::connect(
            m_run.get(), &fleet::FleetRun::progressed, m_run.get(),
            [this](const fleet::RunProgress &progress) { m_progress->loggerFinished(progress); });
    }
    QObject::connect(m_run.get(), &fleet::FleetRun::finished, m_run.get(),
                     [this, next] { next(m_run->outcomes()); });
    m_interruption = std::make_unique<Interruption>([this] {
        m_interrupted = true;
        m_run->interrupt();
    });
    m_run->start(std::move(loggers), std::move(plan));
}

int Session::runOnTargets(const Targets &targets, Serials serials, fleet::FleetRun::JobPlan plan,
                          const QStringList &keys, LoggerCheck check)
{
    findLoggers(targets, serials, [this, plan, keys, check](Loggers loggers) {
        if (check) {
            if (const auto refusal = check(loggers)) {
                finish(refuse(*refusal));
                return;
            }
        }
        runJobs(std::move(loggers), plan,
                [this, keys](const Outcomes &outcomes) { finish(printOutcomes(outcomes, keys)); });
    });
    return exec();
}

int Session::printOutcomes(const Outcomes &outcomes, const QStringList &keys)
{
    return PrintOutcomes(m_console, outcomes, keys, m_options.format, m_options.secrets);
}

void Session::finish(int status)
{
    if (m_progress) {
        m_progress->end();
    }
    m_interruption.reset();
    m_status = m_interrupted ? kInterrupted : status;
    m_loop.quit();
}

int Session::exec()
{
    if (!m_status) {
        m_loop.exec();
    }
    return m_status.value_or(kSomeFailed);
}

} // namespace cli
