// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_log_window.h"

#include "eliding_label.h"

#include "traffic_log_model.h"

#include "transport/notifier.h"
#include "wirelog/pcap_capture.h"
#include "wirelog/traffic_log.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPushButton *AddButton(QHBoxLayout *row, const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    row->addWidget(button);
    return button;
}

QString LogBounds()
{
    return QStringLiteral("the log keeps the last %1 datagrams and at most %2 MiB of them")
        .arg(TrafficLog::kMaxDatagrams)
        .arg(TrafficLog::kMaxBytes / (1024 * 1024));
}

} // namespace

TrafficLogWindow::TrafficLogWindow(TrafficLog &log, Notifier &notifier, SaveFileChooser chooseFile,
                                   PcAddressSource pcAddress, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(log), m_notifier(notifier),
      m_chooseFile(std::move(chooseFile)), m_pcAddress(std::move(pcAddress))
{
    setObjectName(QStringLiteral("TrafficLogWindow"));
    setWindowTitle(QStringLiteral("Traffic log"));
    resize(900, 560);

    m_model = new TrafficLogModel(m_log, this);
    m_filter = new QSortFilterProxyModel(this);
    m_filter->setSourceModel(m_model);
    m_filter->setFilterKeyColumn(TrafficLogModel::PeerColumn);

    auto *tools = new QHBoxLayout;
    tools->addWidget(new QLabel(QStringLiteral("Peer:")));
    m_peerFilter = new QLineEdit;
    m_peerFilter->setObjectName(QStringLiteral("trafficPeerFilter"));
    m_peerFilter->setPlaceholderText(QStringLiteral("address or address:port"));
    m_peerFilter->setClearButtonEnabled(true);
    tools->addWidget(m_peerFilter, 1);
    connect(AddButton(tools, QStringLiteral("Clear log…"), "trafficClear"), &QPushButton::clicked,
            this, &TrafficLogWindow::clearLog);
    connect(AddButton(tools, QStringLiteral("Save as text…"), "trafficSaveText"),
            &QPushButton::clicked, this, &TrafficLogWindow::saveAsText);
    connect(AddButton(tools, QStringLiteral("Save capture…"), "trafficSaveCapture"),
            &QPushButton::clicked, this, &TrafficLogWindow::saveCapture);

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("trafficTable"));
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (const auto &[column, width] : {std::pair{TrafficLogModel::TimeColumn, 95},
                                        {TrafficLogModel::DirectionColumn, 115},
                                        {TrafficLogModel::PeerColumn, 140},
                                        {TrafficLogModel::LengthColumn, 55}}) {
        m_table->setColumnWidth(column, width);
    }
    // The verdicts are short and the payload may be long: the verdict column is as wide
    // as the verdicts in view, the payload takes the rest.
    m_table->horizontalHeader()->setSectionResizeMode(TrafficLogModel::VerdictColumn,
                                                      QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setResizeContentsPrecision(0);

    m_detail = new QPlainTextEdit;
    m_detail->setObjectName(QStringLiteral("trafficDetail"));
    m_detail->setReadOnly(true);
    m_detail->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_table);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);

    m_counts = new QLabel;
    m_counts->setObjectName(QStringLiteral("trafficCounts"));
    // A long path or reason is cut, not let widen the window.
    m_saveOutcome = new ElidingLabel;
    m_saveOutcome->setObjectName(QStringLiteral("trafficSaveOutcome"));
    auto *status = new QHBoxLayout;
    status->addWidget(m_counts, 1);
    status->addWidget(m_saveOutcome);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);
    layout->addLayout(status);

    connect(m_peerFilter, &QLineEdit::textChanged, this, &TrafficLogWindow::applyPeerFilter);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TrafficLogWindow::showSelectedDatagram);

    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &TrafficLogWindow::refresh);
    showCounts();
}

void TrafficLogWindow::refresh()
{
    // Follows the newest datagram while the view stands at the bottom; scrolled up, it
    // keeps the datagram at its top in place as the oldest ones leave above it.
    const QScrollBar *scroll = m_table->verticalScrollBar();
    const bool atBottom = scroll->value() == scroll->maximum();
    const std::optional<quint64> top = atBottom ? std::nullopt : topVisibleNumber();
    const std::optional<quint64> selected = selectedNumber();
    const int before = m_model->rowCount();
    const quint64 firstBefore = m_model->numberAt(0);
    m_model->refresh();

    // Rows leaving above the selection leave it on its datagram; when the selected
    // datagram itself leaves, nothing else is selected in its place.
    if (selected) {
        if (const std::optional<int> row = m_model->rowOf(*selected)) {
            const QModelIndex index = m_filter->mapFromSource(m_model->index(*row, 0));
            if (m_table->currentIndex().row() != index.row()) {
                m_table->selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
        } else {
            m_table->selectionModel()->clear();
            m_detail->setPlainText(
                QStringLiteral("The datagram that was selected has left the log: %1.")
                    .arg(LogBounds()));
        }
    }
    if (atBottom) {
        if (m_model->rowCount() != before || m_model->numberAt(0) != firstBefore) {
            m_table->scrollToBottom();
        }
    } else if (top) {
        scrollToNumber(*top);
    }
    showCounts();
}

void TrafficLogWindow::clearLog()
{
    if (!m_notifier.ask(QStringLiteral("Clear the traffic log? The %1 datagrams it holds cannot "
                                       "be brought back.")
                            .arg(m_log.size()))) {
        return;
    }
    m_log.clear();
    refresh();
    m_detail->clear();
}

void TrafficLogWindow::saveAsText()
{
    const QString path =
        choosePath(QStringLiteral("Save the shown datagrams as text (PINs and passwords hidden)"),
                   QStringLiteral("Text files"), QStringLiteral("txt"));
    if (!path.isEmpty()) {
        reportSave(path, SaveTrafficText(shownDatagrams(), path));
    }
}

void TrafficLogWindow::saveCapture()
{
    const QString path = choosePath(
        QStringLiteral(
            "Save the shown datagrams as a capture (it holds PINs and passwords as sent)"),
        QStringLiteral("Capture files"), QStringLiteral("pcap"));
    if (!path.isEmpty()) {
        reportSave(path, WritePcapCapture(shownDatagrams(), m_pcAddress(), path));
    }
}

void TrafficLogWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Opening shows the whole log at once; the batches are for what arrives while it is open.
    do {
        refresh();
    } while (!m_model->caughtUp());
    // The table has its size only once the layout has run: open on the newest datagram.
    QTimer::singleShot(0, m_table, &QTableView::scrollToBottom);
    m_refreshTimer.start();
}

void TrafficLogWindow::hideEvent(QHideEvent *event)
{
    m_refreshTimer.stop();
    QWidget::hideEvent(event);
}

void TrafficLogWindow::applyPeerFilter(const QString &typed)
{
    // A whole address matches on any port, address:port only that port: 192.0.2.11 is
    // not 192.0.2.110.
    QString peer = typed.trimmed();
    if (peer.endsWith(QLatin1Char(':'))) {
        peer.chop(1);
    }
    const QString anyPort = peer.contains(QLatin1Char(':')) ? QString() : QStringLiteral(":\\d+");
    m_filter->setFilterRegularExpression(
        peer.isEmpty() ? QRegularExpression()
                       : QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(peer) +
                                            anyPort + QLatin1Char('$')));
    showCounts();
}

void TrafficLogWindow::showSelectedDatagram()
{
    const QModelIndex current = m_filter->mapToSource(m_table->currentIndex());
    if (!current.isValid()) {
        m_detail->clear();
        return;
    }
    const ObservedDatagram &datagram = m_model->datagramAt(current.row());
    m_detail->setPlainText(DatagramFields(datagram).join(QStringLiteral("  ")) +
                           QStringLiteral("\n\n") + HexDump(ShownBytes(datagram)));
}

void TrafficLogWindow::showCounts()
{
    m_counts->setText(QStringLiteral("%1 of %2 datagrams shown, and saved by the saves; %3")
                          .arg(m_filter->rowCount())
                          .arg(m_model->rowCount())
                          .arg(LogBounds()));
}

std::optional<quint64> TrafficLogWindow::selectedNumber() const
{
    const QModelIndex current = m_filter->mapToSource(m_table->currentIndex());
    if (!current.isValid()) {
        return std::nullopt;
    }
    return m_model->numberAt(current.row());
}

std::optional<quint64> TrafficLogWindow::topVisibleNumber() const
{
    const int row = m_table->rowAt(0);
    if (row < 0) {
        return std::nullopt;
    }
    return m_model->numberAt(m_filter->mapToSource(m_filter->index(row, 0)).row());
}

void TrafficLogWindow::scrollToNumber(quint64 number)
{
    // The first shown row at or after that datagram: the rows keep the log's order.
    const int sourceRow = m_model->rowOf(number).value_or(0);
    int low = 0;
    int high = m_filter->rowCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (m_filter->mapToSource(m_filter->index(middle, 0)).row() < sourceRow) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low < m_filter->rowCount()) {
        m_table->scrollTo(m_filter->index(low, 0), QAbstractItemView::PositionAtTop);
    }
}

QList<ObservedDatagram> TrafficLogWindow::shownDatagrams() const
{
    QList<ObservedDatagram> shown;
    shown.reserve(m_filter->rowCount());
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        shown.append(m_model->datagramAt(m_filter->mapToSource(m_filter->index(row, 0)).row()));
    }
    return shown;
}

QString TrafficLogWindow::choosePath(const QString &caption, const QString &fileType,
                                     const QString &extension)
{
    return ChooseSavePath(
        m_chooseFile, this,
        {caption, fileType, extension,
         DatedFileName(QStringLiteral("traffic"), extension, QDate::currentDate())});
}

void TrafficLogWindow::reportSave(const QString &path, const std::optional<QString> &failure)
{
    m_saveOutcome->setText(failure ? QStringLiteral("Not saved to %1: %2").arg(path, *failure)
                                   : QStringLiteral("Saved %1").arg(path));
}
