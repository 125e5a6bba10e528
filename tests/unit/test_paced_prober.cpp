// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/paced_prober.h"

#include <QtTest>

namespace {

discovery::AddressRange Range(const char *first, quint64 size)
{
    const quint32 start = QHostAddress(QString::fromLatin1(first)).toIPv4Address();
    return {start, quint32(start + size - 1)};
}

} // namespace

class TestPacedProber : public QObject
{
    Q_OBJECT

private slots:
    // The test owns the clock: every step sets the time, lets the prober's own timer tick,
    // and checks that exactly the probes due by then have left, whatever the machine's load.
    void sendsExactlyTheProbesDueByTheClock_data()
    {
        QTest::addColumn<int>("pace");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("stepsMs");
        QTest::addColumn<QList<int>>("expectedSent");
        QTest::newRow("default pace, one tick at a time")
            << 2000 << 60 << QList<int>{10, 20, 29} << QList<int>{21, 41, 59};
        QTest::newRow("late tick catches up in one go")
            << 2000 << 600 << QList<int>{35, 36, 500} << QList<int>{71, 73, 600};
        QTest::newRow("slow pace waits whole intervals")
            << 500 << 150 << QList<int>{1, 2, 3, 100} << QList<int>{1, 2, 2, 51};
    }

    void sendsExactlyTheProbesDueByTheClock()
    {
        QFETCH(int, pace);
        QFETCH(int, count);
        QFETCH(QList<int>, stepsMs);
        QFETCH(QList<int>, expectedSent);
        qint64 nowMs = 1'000'000;
        const qint64 startMs = nowMs;
        QStringList targets;
        PacedProber prober([&](const QHostAddress &target) { targets.append(target.toString()); },
                           [&] { return nowMs; });
        QSignalSpy finished(&prober, &PacedProber::finished);
        prober.start(Range("10.20.0.250", quint64(count)), pace);
        QCOMPARE(targets.size(), 1); // the first leaves at once
        QVERIFY(prober.isRunning());

        for (qsizetype step = 0; step < stepsMs.size(); ++step) {
            nowMs = startMs + stepsMs.at(step);
            QTRY_COMPARE(targets.size(), expectedSent.at(step));
            QTest::qWait(3 * PacedProber::kTickMs); // later ticks at the same time send nothing
            QCOMPARE(targets.size(), expectedSent.at(step));
        }
        QCOMPARE(finished.size(), targets.size() == count ? 1 : 0);
        QCOMPARE(prober.isRunning(), targets.size() < count);
        QCOMPARE(targets.front(), QStringLiteral("10.20.0.250"));
        QCOMPARE(targets.at(6), QStringLiteral("10.20.1.0"));
        QCOMPARE(targets.removeDuplicates(), 0);
    }

    void progressCountsUpToTheTotal()
    {
        PacedProber prober([](const QHostAddress &) {});
        QSignalSpy progress(&prober, &PacedProber::progressed);
        QSignalSpy finished(&prober, &PacedProber::finished);
        prober.start(Range("127.0.0.1", 50), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 2000);
        QVERIFY(progress.size() >= 2);
        quint64 previous = 0;
        for (const QList<QVariant> &step : progress) {
            QVERIFY(step.at(0).toULongLong() > previous);
            QCOMPARE(step.at(1).toULongLong(), quint64(50));
            previous = step.at(0).toULongLong();
        }
        QCOMPARE(previous, quint64(50));
    }

    void stopSendsNothingMore()
    {
        qint64 nowMs = 0;
        int sent = 0;
        PacedProber prober([&](const QHostAddress &) { ++sent; }, [&] { return nowMs; });
        QSignalSpy finished(&prober, &PacedProber::finished);
        prober.start(Range("10.0.0.1", 1000), 200);
        nowMs = 50;
        QTRY_COMPARE(sent, 11);
        prober.stop();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        nowMs = 5000;
        QTest::qWait(3 * PacedProber::kTickMs);
        QCOMPARE(sent, 11);
        QCOMPARE(prober.sent(), quint64(11));
        prober.stop(); // a second stop reports nothing
        QCOMPARE(finished.size(), 1);
    }

    // A probe the system refuses for a moment (its queue towards the neighbour is full) is
    // sent again after a pause, at half the pace each time; only at its last try does a
    // refusal count as its failure.
    void probeRefusedForAMomentIsSentAgainMoreSlowly_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<int>("tries");
        QTest::addColumn<int>("pace");
        QTest::newRow("refused twice") << 2 << 3 << 50;
        QTest::newRow("refused at every try") << 99 << PacedProber::kTransientTries << 6;
    }

    void probeRefusedForAMomentIsSentAgainMoreSlowly()
    {
        QFETCH(int, refusals);
        QFETCH(int, tries);
        QFETCH(int, pace);
        qint64 nowMs = 0;
        QStringList done;
        int triesOfSecond = 0;
        bool lastTrySeen = false;
        PacedProber prober(
            [&](const QHostAddress &target, bool lastTry) {
                if (target.toString() == QLatin1String("10.0.0.2") && !lastTrySeen) {
                    ++triesOfSecond;
                    lastTrySeen = lastTry;
                    if (triesOfSecond <= refusals && !lastTry) {
                        return PacedProber::ProbeSend::TryAgain;
                    }
                }
                done.append(target.toString());
                return PacedProber::ProbeSend::Done;
            },
            [&] { return nowMs; });
        QSignalSpy finished(&prober, &PacedProber::finished);
        prober.start(Range("10.0.0.1", 3), 200);
        for (int step = 0; step < 100 && finished.isEmpty(); ++step) {
            nowMs += 10;
            QTest::qWait(PacedProber::kTickMs + 2);
        }
        QCOMPARE(finished.size(), 1);
        QCOMPARE(done, (QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
        QCOMPARE(triesOfSecond, tries);
        QCOMPARE(lastTrySeen, tries == PacedProber::kTransientTries);
        QCOMPARE(prober.probesPerSecond(), pace);
    }

    void paceIsClamped()
    {
        PacedProber prober([](const QHostAddress &) {});
        prober.start(Range("10.0.0.1", 3), 0);
        QCOMPARE(prober.probesPerSecond(), PacedProber::kMinProbesPerSecond);
        prober.start(Range("10.0.0.1", 3), 5'000'000);
        QCOMPARE(prober.probesPerSecond(), PacedProber::kMaxProbesPerSecond);
    }

    void restartReplacesTheRun()
    {
        QStringList targets;
        PacedProber prober([&](const QHostAddress &target) { targets.append(target.toString()); });
        QSignalSpy finished(&prober, &PacedProber::finished);
        prober.start(Range("10.0.0.1", 100), 1);
        prober.start(Range("10.9.0.1", 2), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 1000);
        QCOMPARE(targets, (QStringList{"10.0.0.1", "10.9.0.1", "10.9.0.2"}));
    }
};

QTEST_MAIN(TestPacedProber)
#include "test_paced_prober.moc"
