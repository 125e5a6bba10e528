// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/signal_history.h"

#include <QtTest>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 6, 2), QTime(10, 30), Qt::UTC);

// Offsets from now in milliseconds and what came back; an empty text is a missed reading.
using Taken = QList<QPair<qint64, QByteArray>>;

SignalHistory HistoryOf(const Taken &taken)
{
    SignalHistory history;
    for (const auto &[offsetMs, raw] : taken) {
        std::optional<cellular::SignalReading> reading;
        if (!raw.isEmpty()) {
            reading = cellular::InterpretSignalQuality(raw.toStdString());
        }
        history.append({kNow.addMSecs(offsetMs), reading});
    }
    return history;
}

} // namespace

class TestSignalHistory : public QObject
{
    Q_OBJECT

private slots:
    void recentStatisticsTakeOnlyLevelsOfTheLastTenMinutes_data()
    {
        QTest::addColumn<Taken>("taken");
        QTest::addColumn<int>("count"); // 0: no statistics
        QTest::addColumn<int>("minimum");
        QTest::addColumn<double>("mean");
        QTest::addColumn<int>("maximum");
        QTest::newRow("one millisecond before the span, and its start")
            << Taken{{-600'001, "05"}, {-600'000, "10"}, {0, "20"}} << 2 << 10 << 15.0 << 20;
        QTest::newRow("missed, unknown and unreadable do not count") << Taken{{-60'000, ""},
                                                                              {-50'000, "99"},
                                                                              {-40'000, "xx"},
                                                                              {-30'000, "31"},
                                                                              {-20'000, "00"}}
                                                                     << 2 << 0 << 15.5 << 31;
        QTest::newRow("no level in the span")
            << Taken{{-700'000, "25"}, {-1000, ""}, {-500, "99"}} << 0 << 0 << 0.0 << 0;
    }

    void recentStatisticsTakeOnlyLevelsOfTheLastTenMinutes()
    {
        QFETCH(Taken, taken);
        QFETCH(int, count);
        const std::optional<SignalStatistics> statistics = HistoryOf(taken).recentStatistics(kNow);
        QCOMPARE(statistics.has_value(), count > 0);
        if (statistics) {
            QCOMPARE(statistics->count, count);
            QTEST(statistics->minimum, "minimum");
            QTEST(statistics->mean, "mean");
            QTEST(statistics->maximum, "maximum");
        }
    }

    // A watch left running for days keeps its newest day; the counts cover the whole watch.
    void oldestSamplesGoPastTheCapacity()
    {
        SignalHistory history;
        const qsizetype total = qsizetype(SignalHistory::kCapacity) + 3;
        for (qsizetype index = 0; index < total; ++index) {
            std::optional<cellular::SignalReading> reading;
            if (index % 2 == 1) {
                reading = cellular::InterpretSignalQuality("20");
            }
            history.append({kNow.addSecs(index), reading});
        }
        QCOMPARE(history.samples().size(), SignalHistory::kCapacity);
        QCOMPARE(history.samples().front().takenAt, kNow.addSecs(3));
        QCOMPARE(history.takenCount(), int(total));
        QCOMPARE(history.missedCount(), int(total / 2 + 1));
        history.clear();
        QVERIFY(history.samples().empty());
        QCOMPARE(history.missedCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSignalHistory)
#include "test_signal_history.moc"
