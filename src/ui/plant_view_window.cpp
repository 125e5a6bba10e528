// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_view_window.h"

#include "apply_difference_dialog.h"
#include "plant_commission.h"
#include "reports/plant_report.h"
#include "plant_table_model.h"
#include "serial_or_ip_filter.h"
#include "form_lock.h"
#include "signal_bar_delegate.h"

#include "fleet/fleet_link.h"
#include "fleet/fleet_run.h"
#include "transport/receive_path.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSysInfo>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

// One frame: how often the progress bar takes the latest count during a run.
constexpr int kProgressPaintMs = 16;

QPushButton *AddButton(QHBoxLayout *row, const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    row->addWidget(button);
    return button;
}

std::vector<QHostAddress> AddressesOf(const std::vector<PlantRow> &rows)
{
    std::vector<QHostAddress> addresses;
    for (const PlantRow &row : rows) {
        addresses.push_back(row.target.address);
    }
    return addresses;
}

std::vector<QHostAddress> AddressesOf(const std::vector<fleet::LoggerTarget> &loggers)
{
    std::vector<QHostAddress> addresses;
    for (const fleet::LoggerTarget &logger : loggers) {
        addresses.push_back(logger.address);
    }
    return addresses;
}

QString AskForProfile(QWidget *parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Apply profile"), QString(),
                                        QStringLiteral("Profiles (*.json);;All files (*)"));
}

} // namespace

PlantViewWindow::PlantViewWindow(PlantViewLinks links, const fleet::ExchangePolicy &policy,
                                 QWidget *parent)
    : QWidget(parent, Qt::Window), m_links(std::move(links)), m_chooseProfile(AskForProfile),
      m_askAboutStaleRows(AskAboutStaleRows)
{
    setObjectName(QStringLiteral("PlantViewWindow"));
    setWindowTitle(QStringLiteral("Plant view"));
    resize(1180, 560);

    m_link = new fleet::FleetLink(m_links.receivePath.client(), this);
    m_run = new fleet::FleetRun(*m_link, policy, kParallelReads, this);
    // The loggers being read are attached to the window's client and heard first; the late
    // answers of the loggers a stop left are claimed until the drain ends. The receive
    // path outlives no part of the window it belongs to, but the view may go first: the
    // claim then takes nothing.
    m_links.receivePath.setSetDatagramClaim(
        [view = QPointer<PlantViewWindow>(this)](const ReceivedDatagram &datagram) {
            return view && view->m_draining.contains(datagram.sender.toIPv4Address());
        });
    m_drainEnd.setSingleShot(true);
    m_drainEnd.setInterval(policy.timeoutMs);
    connect(&m_drainEnd, &QTimer::timeout, this, &PlantViewWindow::endDrain);
    m_progressPaint.setSingleShot(true);
    m_progressPaint.setInterval(kProgressPaintMs);
    connect(&m_progressPaint, &QTimer::timeout, this, &PlantViewWindow::paintProgress);
    // A timer of its own, not a queued call: the events the reset posted, the table's
    // repaint among them, are handled before it.
    m_runStart.setSingleShot(true);
    m_runStart.setInterval(0);
    connect(&m_runStart, &QTimer::timeout, this, [this] {
        m_run->start(std::exchange(m_startTargets, {}), std::exchange(m_startPlan, {}));
    });
    connect(m_run, &fleet::FleetRun::loggerStarted, this,
            [this](std::size_t target) { markStarted(m_runRows.at(target)); });
    connect(m_run, &fleet::FleetRun::loggerFinished, this, [this](std::size_t target) {
        markFinished(m_runRows.at(target), m_run->outcomes().at(target));
    });
    connect(m_run, &fleet::FleetRun::progressed, this, [this](const fleet::RunProgress &progress) {
        showProgress(progress.done, progress.failed, progress.total);
    });
    connect(m_run, &fleet::FleetRun::finished, this, &PlantViewWindow::finishRun);

    m_model = new PlantTableModel(this);
    auto *filter = new SerialOrIpFilter(this);
    m_filter = filter;
    m_filter->setSourceModel(m_model);
    m_filter->setSortRole(PlantTableModel::SortRole);

    auto *tools = new QHBoxLayout;
    m_readAll = AddButton(tools, QStringLiteral("Read all"), "plantReadAll");
    m_stop = AddButton(tools, QStringLiteral("Stop"), "plantStop");
    m_applyProfile = AddButton(tools, QStringLiteral("Apply profile…"), "plantApplyProfile");
    m_commission = AddButton(tools, QStringLiteral("Commission…"), "plantCommission");
    m_saveProfile =
        AddButton(tools, QStringLiteral("Save profile from this logger…"), "plantSaveProfile");
    m_export = AddButton(tools, QStringLiteral("Export…"), "plantExport");
    auto *exportMenu = new QMenu(m_export);
    exportMenu->addAction(QStringLiteral("Table as CSV…"), this, &PlantViewWindow::exportCsv);
    exportMenu->addAction(QStringLiteral("Report as PDF…"), this, &PlantViewWindow::exportPdf);
    m_export->setMenu(exportMenu);
    tools->addStretch(1);
    tools->addWidget(new QLabel(QStringLiteral("Filter:")));
    m_filterBox = new QLineEdit;
    m_filterBox->setObjectName(QStringLiteral("plantFilter"));
    m_filterBox->setPlaceholderText(QStringLiteral("serial or IP"));
    m_filterBox->setClearButtonEnabled(true);
    // However narrow the window, an address fits.
    m_filterBox->setMinimumWidth(
        m_filterBox->fontMetrics().horizontalAdvance(QStringLiteral("000.000.000.000  ")) + 24);
    tools->addWidget(m_filterBox);
    connect(m_readAll, &QPushButton::clicked, this, &PlantViewWindow::readAll);
    connect(m_stop, &QPushButton::clicked, this, &PlantViewWindow::stop);
    connect(m_applyProfile, &QPushButton::clicked, this, &PlantViewWindow::applyProfile);
    connect(m_saveProfile, &QPushButton::clicked, this, &PlantViewWindow::saveProfile);
    connect(m_filterBox, &QLineEdit::textChanged, filter, &SerialOrIpFilter::setText);

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("plantTable"));
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(IpColumn, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setWordWrap(false);
    m_table->setItemDelegateForColumn(SignalColumn, new SignalBarDelegate(m_table));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSectionsMovable(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PlantViewWindow::updateActions);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &PlantViewWindow::updateActions);

    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("plantProgress"));
    m_progress->setTextVisible(false);
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("plantSummary"));
    m_notice = new QLabel;
    m_notice->setObjectName(QStringLiteral("plantNotice"));
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *status = new QHBoxLayout;
    status->addWidget(m_progress, 1);
    status->addWidget(m_summary, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_table, 1);
    layout->addLayout(status);
    layout->addWidget(m_notice);

    m_commissioning = new PlantCommission({*m_link, m_links.form, m_links.pcAddress,
                                           [this] { return mayStartRun(); }, *m_table,
                                           *m_progress, *m_summary, *m_notice},
                                          policy, this);
    layout->insertWidget(layout->indexOf(m_table) + 1, m_commissioning->checklist(), 1);
    connect(m_commission, &QPushButton::clicked, m_commissioning, &PlantCommission::begin);
    connect(m_commissioning, &PlantCommission::runningChanged, this,
            &PlantViewWindow::updateActions);

    m_model->setLoggers(m_links.loggers());
    m_table->resizeColumnsToContents();
    updateActions();
}

PlantViewWindow::~PlantViewWindow()
{
    // The jobs of a run under way detach from the link as they go: they go before it.
    delete m_commissioning;
    delete m_run;
}

void PlantViewWindow::setProfileChooser(ProfileChooser chooseProfile)
{
    m_chooseProfile = std::move(chooseProfile);
}

void PlantViewWindow::setStaleExportQuestion(StaleExportQuestion askAboutStaleRows)
{
    m_askAboutStaleRows = std::move(askAboutStaleRows);
}

void PlantViewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A search may have changed the list since the view was last shown.
    if (m_running || m_difference) {
        return;
    }
    const std::vector<fleet::LoggerTarget> loggers = m_links.loggers();
    if (AddressesOf(loggers) != AddressesOf(m_model->rows())) {
        m_model->setLoggers(loggers);
        showProgress(0, 0, 0);
        m_summary->clear();
    }
}

void PlantViewWindow::closeEvent(QCloseEvent *event)
{
    stop();
    if (m_difference) {
        m_difference->reject();
    }
    QWidget::closeEvent(event);
}

void PlantViewWindow::readAll()
{
    if (!mayStartRun()) {
        return;
    }
    const std::vector<fleet::LoggerTarget> loggers = m_links.loggers();
    m_model->setLoggers(loggers);
    if (loggers.empty()) {
        m_summary->setText(QStringLiteral("The logger list is empty: search for loggers first."));
        return;
    }
    std::vector<std::size_t> rows(loggers.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    startRun(RunKind::Read, std::move(rows));
}

void PlantViewWindow::applyProfile()
{
    const std::vector<std::size_t> rows = selectedRows();
    if (rows.empty() || !mayStartRun()) {
        return;
    }
    const QString path = m_chooseProfile(this);
    if (path.isEmpty()) {
        return;
    }
    Checked<fleet::Profile> loaded = fleet::LoadProfile(QDir::toNativeSeparators(path));
    if (!loaded.accepted()) {
        m_notice->setText(QStringLiteral("Not applied: %1").arg(loaded.refusal().message));
        return;
    }
    if (loaded.value().settings.empty()) {
        m_notice->setText(QStringLiteral("Not applied: %1 holds no setting but the IP "
                                         "configuration, which the plant view never applies")
                              .arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_profile = std::move(loaded).value();
    m_profilePath = path;
    startRun(RunKind::Check, rows);
}

void PlantViewWindow::showDifference()
{
    std::vector<PlantRow> checked;
    for (const std::size_t row : m_runRows) {
        checked.push_back(m_model->rows().at(row));
    }
    m_difference = new ApplyDifferenceDialog(m_profilePath, checked,
                                             m_profile->addressChange.has_value(), this);
    m_difference->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_difference, &QDialog::finished, this, [this](int result) {
        // The dialog goes later, with the event loop; the difference is settled now.
        m_difference = nullptr;
        if (result == QDialog::Accepted) {
            confirmApply();
        } else {
            m_profile.reset();
        }
    });
    m_difference->open();
}

void PlantViewWindow::confirmApply()
{
    if (!mayStartRun()) {
        m_profile.reset();
        return;
    }
    std::vector<std::size_t> rows = m_runRows;
    startRun(RunKind::Apply, std::move(rows));
}

void PlantViewWindow::updateActions()
{
    const bool busy = m_running || m_commissioning->running();
    m_readAll->setEnabled(!busy);
    m_stop->setEnabled(busy);
    m_applyProfile->setEnabled(!busy && !selectedRows().empty());
    m_commission->setEnabled(!busy);
    m_saveProfile->setEnabled(!busy && selectedReadRow() != nullptr);
    m_export->setEnabled(!busy && m_model->rowCount() > 0);
}

std::vector<PlantRow> PlantViewWindow::shownRows() const
{
    std::vector<PlantRow> rows;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const int sourceRow = m_filter->mapToSource(m_filter->index(row, 0)).row();
        rows.push_back(m_model->rows().at(static_cast<std::size_t>(sourceRow)));
    }
    return rows;
}

std::vector<std::size_t> PlantViewWindow::selectedRows() const
{
    std::vector<std::size_t> rows;
    for (const QModelIndex &selected : m_table->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(m_filter->mapToSource(selected).row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

const PlantRow *PlantViewWindow::selectedReadRow() const
{
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    if (selected.size() != 1) {
        return nullptr;
    }
    const PlantRow &row =
        m_model->rows().at(static_cast<std::size_t>(m_filter->mapToSource(selected.first()).row()));
    return row.state == ReadState::Done ? &row : nullptr;
}
