// SPDX-License-Identifier: GPL-3.0-or-later
#include "signal_watch_window.h"

#include "signal_plot.h"

#include "commands/signal_watch.h"
#include "reports/csv_table.h"
#include "reports/signal_readings.h"

#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace {

QLabel *AddLabel(QBoxLayout *row, const char *name, int pixelSize = 0)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    if (pixelSize > 0) {
        QFont font = label->font();
        font.setPixelSize(pixelSize);
        font.setBold(true);
        label->setFont(font);
    }
    row->addWidget(label);
    return label;
}

QString Dbm(double dbm, int decimals = 0)
{
    return QStringLiteral("%1 dBm").arg(dbm, 0, 'f', decimals);
}

// Every reading is a row, a missed one too: its value is empty and its error says why,
// as in the command-line tool's watch.
std::optional<QString> WriteReadings(const SignalHistory &history, int replyTimeoutMs,
                                     const QString &path)
{
    const QString missed = QStringLiteral("missed: no answer within %1 s")
                               .arg(QString::number(replyTimeoutMs / 1000.0));
    QList<QStringList> rows;
    for (const SignalSample &sample : history.samples()) {
        rows.append(sample.reading ? SignalReadingFields(sample.takenAt, *sample.reading) << QString()
                                   : SignalReadingFields(sample.takenAt, {}) << missed);
    }
    // Written whole or not at all: an earlier file of that name survives a failed write.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.write(CsvDocument(SignalReadingColumns() << QStringLiteral("error"), rows));
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

} // namespace

SignalWatchWindow::SignalWatchWindow(SignalWatch &watch, SaveFileChooser chooseFile,
                                     QWidget *parent)
    : QWidget(parent, Qt::Window), m_watch(watch), m_chooseFile(std::move(chooseFile))
{
    setObjectName(QStringLiteral("SignalWatchWindow"));
    setWindowTitle(QStringLiteral("Signal quality of %1").arg(m_watch.logger().toString()));
    resize(640, 420);

    auto *latest = new QHBoxLayout;
    m_value = AddLabel(latest, "signalValue", 40);
    m_value->setMinimumWidth(m_value->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    m_meaning = AddLabel(latest, "signalMeaning", 20);
    latest->addStretch(1);
    m_bars = new SignalBars;
    m_bars->setObjectName(QStringLiteral("signalBars"));
    latest->addWidget(m_bars);

    m_plot = new SignalPlot;
    m_plot->setObjectName(QStringLiteral("signalPlot"));

    auto *summary = new QHBoxLayout;
    m_statistics = AddLabel(summary, "signalStatistics");
    summary->addStretch(1);
    m_missed = AddLabel(summary, "signalMissed");

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Interval:")));
    m_interval = new QDoubleSpinBox;
    m_interval->setObjectName(QStringLiteral("signalInterval"));
    m_interval->setRange(kShortestIntervalS, kLongestIntervalS);
    m_interval->setSingleStep(0.5);
    m_interval->setDecimals(1);
    m_interval->setSuffix(QStringLiteral(" s"));
    m_interval->setValue(double(m_watch.interval().count()) / 1000.0);
    controls->addWidget(m_interval);
    m_startStop = new QPushButton;
    m_startStop->setObjectName(QStringLiteral("signalStartStop"));
    controls->addWidget(m_startStop);
    auto *save = new QPushButton(QStringLiteral("Save…"));
    save->setObjectName(QStringLiteral("signalSave"));
    controls->addWidget(save);
    m_saveOutcome = AddLabel(controls, "signalSaveOutcome");
    controls->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(latest);
    layout->addWidget(m_plot, 1);
    layout->addLayout(summary);
    layout->addLayout(controls);

    // The watch reads at the interval shown, from the start.
    const auto applyInterval = [this](double seconds) {
        m_watch.setInterval(std::chrono::milliseconds(qRound(seconds * 1000.0)));
    };
    applyInterval(m_interval->value());
    connect(m_interval, &QDoubleSpinBox::valueChanged, this, applyInterval);
    connect(m_startStop, &QPushButton::clicked, this, &SignalWatchWindow::startOrStop);
    connect(save, &QPushButton::clicked, this, &SignalWatchWindow::saveReadings);
    connect(&m_watch, &SignalWatch::sampleTaken, this, &SignalWatchWindow::refresh);
    connect(&m_watch, &SignalWatch::runningChanged, this, &SignalWatchWindow::showRunning);
    showRunning(m_watch.isRunning());
    refresh();
}

void SignalWatchWindow::refresh()
{
    showLatest();
    showStatistics();
    const QDateTime now = m_watch.now();
    m_plot->showSamples(
        m_watch.history().samplesSince(now.addDuration(-SignalHistory::kRecentSpan)), now);
}

void SignalWatchWindow::showLatest()
{
    const std::deque<SignalSample> &samples = m_watch.history().samples();
    if (samples.empty()) {
        m_value->setText(QStringLiteral("–"));
        m_meaning->setText(QStringLiteral("waiting for the first answer"));
        m_bars->setSteps(0);
        return;
    }
    const std::optional<cellular::SignalReading> &reading = samples.back().reading;
    if (!reading) {
        m_value->setText(QStringLiteral("–"));
        m_meaning->setText(QStringLiteral("no answer"));
        m_bars->setSteps(0);
        return;
    }
    m_value->setText(reading->value ? QString::number(*reading->value) : QStringLiteral("?"));
    m_meaning->setText(QString::fromStdString(cellular::DescribeSignal(*reading)));
    m_bars->setSteps(cellular::SignalBarSteps(*reading));
}

void SignalWatchWindow::showStatistics()
{
    const SignalHistory &history = m_watch.history();
    const std::optional<SignalStatistics> recent = history.recentStatistics(m_watch.now());
    if (!recent) {
        m_statistics->setText(QStringLiteral("Last 10 minutes: no level read"));
    } else {
        m_statistics->setText(QStringLiteral("Last 10 minutes: min %1 (%2), mean %3, max %4 (%5)")
                                  .arg(Dbm(cellular::ScaleToDbm(recent->minimum)))
                                  .arg(recent->minimum)
                                  .arg(Dbm(cellular::ScaleToDbm(recent->mean), 1))
                                  .arg(Dbm(cellular::ScaleToDbm(recent->maximum)))
                                  .arg(recent->maximum));
    }
    m_missed->setText(
        QStringLiteral("Missed: %1 of %2").arg(history.missedCount()).arg(history.takenCount()));
}

void SignalWatchWindow::showRunning(bool running)
{
    m_startStop->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
}

void SignalWatchWindow::startOrStop()
{
    if (m_watch.isRunning()) {
        m_watch.stop();
    } else {
        m_watch.resume();
    }
}

void SignalWatchWindow::saveReadings()
{
    const QString extension = QStringLiteral("csv");
    const QString path = ChooseSavePath(
        m_chooseFile, this,
        {QStringLiteral("Save signal readings"), QStringLiteral("CSV files"), extension,
         DatedFileName(QStringLiteral("signal"), extension, m_watch.now().date())});
    if (path.isEmpty()) {
        return;
    }
    const std::optional<QString> failure = WriteReadings(m_watch.history(), m_watch.replyTimeoutMs(), path);
    m_saveOutcome->setText(failure ? QStringLiteral("Not saved: %1").arg(*failure)
                                   : QStringLiteral("Saved to %1").arg(path));
}

void SignalWatchWindow::closeEvent(QCloseEvent *event)
{
    m_watch.stop();
    QWidget::closeEvent(event);
}
