#include "discovery/paced_prober.h"

#include <QtTest>

#include <vector>

namespace {

struct Probe {
    QString target;
    qint64 atMs;
};

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
    void everyAddressOnceInOrderAtThePace_data()
    {
        QTest::addColumn<int>("pace");
        QTest::addColumn<int>("count");
        QTest::newRow("default pace, 600 probes") << 2000 << 600;
        QTest::newRow("500 per second, 150 probes") << 500 << 150;
    }

    void everyAddressOnceInOrderAtThePace()
    {
        QFETCH(int, pace);
        QFETCH(int, count);
        std::vector<Probe> probes;
        QElapsedTimer clock;
        PacedProber prober([&](const QHostAddress &target) {
            probes.push_back({target.toString(), clock.elapsed()});
        });
        QSignalSpy finished(&prober, &PacedProber::finished);
        clock.start();
        prober.start(Range("10.20.0.250", quint64(count)), pace);
        QCOMPARE(probes.size(), std::size_t(1)); // the first leaves at once
        QVERIFY(prober.isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QVERIFY(!prober.isRunning());

        QCOMPARE(probes.size(), std::size_t(count));
        QCOMPARE(probes.front().target, QStringLiteral("10.20.0.250"));
        QCOMPARE(probes.at(6).target, QStringLiteral("10.20.1.0"));
        // The last probe may leave no sooner than the pace allows, and not much later.
        const qint64 expectedMs = qint64(count - 1) * 1000 / pace;
        const qint64 lastMs = probes.back().atMs;
        QVERIFY2(
            lastMs >= expectedMs - PacedProber::kTickMs && lastMs <= expectedMs + 150,
            qPrintable(
                QStringLiteral("last probe at %1 ms, expected %2 ms").arg(lastMs).arg(expectedMs)));
        // No burst larger than one tick's share (plus one for rounding, plus a late tick).
        const qint64 halfwayMs = probes.at(std::size_t(count / 2)).atMs;
        QVERIFY2(halfwayMs >= expectedMs / 2 - 2 * PacedProber::kTickMs,
                 qPrintable(QStringLiteral("halfway at %1 ms").arg(halfwayMs)));
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
        int sent = 0;
        PacedProber prober([&](const QHostAddress &) { ++sent; });
        QSignalSpy finished(&prober, &PacedProber::finished);
        prober.start(Range("10.0.0.1", 1000), 200);
        QTest::qWait(60);
        prober.stop();
        const int atStop = sent;
        QVERIFY(atStop > 1 && atStop < 1000);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QTest::qWait(60);
        QCOMPARE(sent, atStop);
        QCOMPARE(prober.sent(), quint64(atStop));
        prober.stop(); // a second stop reports nothing
        QCOMPARE(finished.size(), 1);
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
