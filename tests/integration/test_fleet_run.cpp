// SPDX-License-Identifier: GPL-3.0-or-later
// A fleet run driven from the test's own event loop through its signals, as a window
// would drive it: substitute loggers on 127.0.0.2 and up, the fleet on 127.0.0.1.

#include "fleet/fleet_link.h"
#include "fleet/fleet_run.h"
#include "fleet/outcome_report.h"
#include "fleet/settings/catalogue.h"
#include "simulated_logger.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestFleetRun : public QObject
{
    Q_OBJECT

private slots:
    // Two loggers answer, the third address is silent: progress after each job, one
    // finish, even with the run interrupted as its last job ends, outcomes in the order of
    // the targets with the silent one's failure kind.
    void runReportsThroughItsSignals()
    {
        std::vector<std::unique_ptr<SimulatedLogger>> loggers;
        quint16 commandPort = 0;
        quint16 searchPort = 0;
        for (const char *address : {"127.0.0.2", "127.0.0.3"}) {
            LoggerSettings settings;
            settings.network.mac = std::string("00-1A-2B-00-00-") + address[8];
            loggers.push_back(std::make_unique<SimulatedLogger>(
                QHostAddress(QLatin1String(address)), commandPort, searchPort,
                LoggerIdentity{"SN", "V1.0"}, settings));
            QVERIFY(loggers.back()->endpoint().start());
            commandPort = loggers.back()->endpoint().commandPort();
            searchPort = loggers.back()->endpoint().searchPort();
        }
        NetworkSettings network;
        network.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        network.localSetPort = 0;
        network.localSearchPort = 0;
        network.remoteSetPort = commandPort;
        network.remoteSearchPort = searchPort;
        fleet::FleetLink link(network);
        QVERIFY(!link.openCommandPort());
        fleet::FleetRun run(link, {150, 0}, 2);
        QSignalSpy progressed(&run, &fleet::FleetRun::progressed);
        QSignalSpy finished(&run, &fleet::FleetRun::finished);
        int jobsFinished = 0;
        QObject::connect(&run, &fleet::FleetRun::loggerFinished, &run, [&run, &jobsFinished] {
            if (++jobsFinished == 3) {
                run.interrupt();
            }
        });

        run.start({{QHostAddress(QStringLiteral("127.0.0.2")), {}, {}},
                   {QHostAddress(QStringLiteral("127.0.0.9")), {}, {}},
                   {QHostAddress(QStringLiteral("127.0.0.3")), {}, {}}},
                  [](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
                      fleet::AddReads(job, {fleet::Setting::Mac});
                  });
        QVERIFY(finished.wait());
        QCoreApplication::processEvents();

        QCOMPARE(finished.size(), 1);
        QCOMPARE(progressed.size(), 3);
        const auto last = progressed.last().first().value<fleet::RunProgress>();
        QCOMPARE(last.done, 3);
        QCOMPARE(last.failed, 1);
        const std::vector<fleet::LoggerOutcome> &outcomes = run.outcomes();
        QCOMPARE(fleet::SettingsReport(outcomes.at(0)).value("mac").toString(),
                 QStringLiteral("00-1A-2B-00-00-2"));
        QCOMPARE(outcomes.at(1).failure->kind, LoggerError::Kind::NoAnswer);
        QCOMPARE(fleet::SettingsReport(outcomes.at(2)).value("mac").toString(),
                 QStringLiteral("00-1A-2B-00-00-3"));
    }
};

QTEST_GUILESS_MAIN(TestFleetRun)
#include "test_fleet_run.moc"
