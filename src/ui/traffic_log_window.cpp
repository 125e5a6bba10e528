#include "traffic_log_window.h"

#include "traffic_log_model.h"

#include "wirelog/pcap_capture.h"
#include "wirelog/traffic_log.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

} // namespace

TrafficLogWindow::TrafficLogWindow(TrafficLog &log, SaveFileChooser chooseFile, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(log), m_chooseFile(std::move(chooseFile))
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
    connect(AddButton(tools, QStringLiteral("Clear"), "trafficClear"), &QPushButton::clicked, this,
            &TrafficLogWindow::clearLog);
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
                                        {TrafficLogModel::LengthColumn, 55},
                                        {TrafficLogModel::PayloadColumn, 380}}) {
        m_table->setColumnWidth(column, width);
    }

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
    m_saveOutcome = new QLabel;
    m_saveOutcome->setObjectName(QStringLiteral("trafficSaveOutcome"));
    auto *status = new QHBoxLayout;
    status->addWidget(m_counts, 1);
    status->addWidget(m_saveOutcome);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);
    layout->addLayout(status);

    connect(m_peerFilter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filter->setFilterFixedString(text.trimmed());
        showCounts();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TrafficLogWindow::showSelectedDatagram);

    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &TrafficLogWindow::refresh);
    showCounts();
}

void TrafficLogWindow::refresh()
{
    // Follows the newest datagram while the view stands at the bottom.
    const QScrollBar *scroll = m_table->verticalScrollBar();
    const bool atBottom = scroll->value() == scroll->maximum();
    const int before = m_model->rowCount();
    m_model->refresh();
    if (atBottom && m_model->rowCount() != before) {
        m_table->scrollToBottom();
    }
    showCounts();
}

void TrafficLogWindow::clearLog()
{
    m_log.clear();
    refresh();
    m_detail->clear();
}

void TrafficLogWindow::saveAsText()
{
    const QString path = m_chooseFile(this, QStringLiteral("Save traffic log as text"),
                                      QStringLiteral("Text files (*.txt)"));
    if (!path.isEmpty()) {
        reportSave(path, SaveTrafficText(m_log, path));
    }
}

void TrafficLogWindow::saveCapture()
{
    const QString path = m_chooseFile(this, QStringLiteral("Save traffic log as capture"),
                                      QStringLiteral("Capture files (*.pcap)"));
    if (!path.isEmpty()) {
        reportSave(path, WritePcapCapture(m_log, path));
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

void TrafficLogWindow::showSelectedDatagram()
{
    const QModelIndex current = m_filter->mapToSource(m_table->currentIndex());
    if (!current.isValid()) {
        m_detail->clear();
        return;
    }
    const ObservedDatagram &datagram = m_model->datagramAt(current.row());
    m_detail->setPlainText(DatagramFields(datagram).join(QStringLiteral("  ")) +
                           QStringLiteral("\n\n") + HexDump(datagram.bytes));
}

void TrafficLogWindow::showCounts()
{
    m_counts->setText(QStringLiteral("%1 of %2 datagrams shown; the log keeps the last %3")
                          .arg(m_filter->rowCount())
                          .arg(m_model->rowCount())
                          .arg(TrafficLog::kMaxDatagrams));
}

void TrafficLogWindow::reportSave(const QString &path, const std::optional<QString> &failure)
{
    m_saveOutcome->setText(failure ? QStringLiteral("Not saved: %1").arg(*failure)
                                   : QStringLiteral("Saved %1").arg(path));
}
