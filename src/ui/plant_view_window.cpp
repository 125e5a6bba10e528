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
#include "fleet/profile_apply.h"
#include "fleet/settings/catalogue.h"
#include "transport/command_exchange.h"
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

bool PlantViewWindow::mayStartRun()
{
    if (m_running || m_difference || m_commissioning->running()) {
        return false;
    }
    if (!m_draining.empty()) {
        m_summary->setText(QStringLiteral(
            "Waiting for the answers the stopped loggers may still send: start again then."));
        return false;
    }
    if (m_links.signalWatchRuns()) {
        m_summary->setText(QStringLiteral("The signal watch runs: stop it, then start again."));
        return false;
    }
    if (m_links.exchange.timeoutActive()) {
        m_summary->setText(QStringLiteral(
            "The main window waits for a logger's answer: start again when it has come."));
        return false;
    }
    return true;
}

void PlantViewWindow::startRun(RunKind kind, std::vector<std::size_t> rows)
{
    m_runKind = kind;
    m_runRows = std::move(rows);
    std::vector<fleet::LoggerTarget> targets;
    for (const std::size_t row : m_runRows) {
        targets.push_back(m_model->rows().at(row).target);
        if (kind == RunKind::Read) {
            m_model->setState(row, ReadState::Waiting);
        } else {
            m_model->setApplyState(row, ApplyState::Waiting);
        }
    }
    m_commissioning->showPlantTable();
    m_running = true;
    m_stopRequested = false;
    m_links.form.lockControlsForRun();
    m_notice->clear();
    showProgress(0, 0, static_cast<int>(targets.size()));
    updateActions();
    m_startTargets = std::move(targets);
    m_runStart.start();
    if (kind == RunKind::Read) {
        m_startPlan = [](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
            fleet::AddReads(job, fleet::ReadableSettings());
        };
        return;
    }
    const fleet::ApplyMode mode =
        kind == RunKind::Check ? fleet::ApplyMode::DryRun : fleet::ApplyMode::Write;
    m_startPlan = [settings = m_profile->settings, mode](fleet::LoggerJob &job,
                                                         const fleet::LoggerTarget &) {
        for (const fleet::ProfileSetting &setting : settings) {
            fleet::AddApplySteps(job, setting, mode);
        }
    };
}

void PlantViewWindow::markStarted(std::size_t row)
{
    switch (m_runKind) {
    case RunKind::Read:
        m_model->setState(row, ReadState::Reading);
        break;
    case RunKind::Check:
        m_model->setApplyState(row, ApplyState::Checking);
        break;
    case RunKind::Apply:
        m_model->setApplyState(row, ApplyState::Applying);
        break;
    }
}

void PlantViewWindow::markFinished(std::size_t row, const fleet::LoggerOutcome &outcome)
{
    switch (m_runKind) {
    case RunKind::Read:
        m_model->setOutcome(row, outcome);
        break;
    case RunKind::Check:
        m_model->setApplyOutcome(row, ApplyState::Checked, outcome);
        break;
    case RunKind::Apply:
        m_model->setApplyOutcome(row, ApplyState::Applied, outcome);
        break;
    }
}

void PlantViewWindow::stop()
{
    m_commissioning->stop();
    m_stopRequested = m_running;
    for (const std::size_t row : m_runRows) {
        const PlantRow &plantRow = m_model->rows().at(row);
        if (m_running && (plantRow.state == ReadState::Reading ||
                          plantRow.applyState == ApplyState::Checking ||
                          plantRow.applyState == ApplyState::Applying)) {
            m_draining.insert(plantRow.target.address.toIPv4Address());
        }
    }
    if (m_runStart.isActive()) {
        // Nothing was sent yet: the run ends as a stopped one does, from the event loop.
        m_runStart.stop();
        m_startTargets.clear();
        m_startPlan = nullptr;
        QMetaObject::invokeMethod(this, &PlantViewWindow::finishRun, Qt::QueuedConnection);
        return;
    }
    m_run->stop();
}

void PlantViewWindow::endDrain()
{
    m_draining.clear();
    m_links.form.setHeld(false);
    if (!m_running && !m_links.exchange.timeoutActive()) {
        m_links.form.unlockControlsAfterRun();
    }
}

void PlantViewWindow::finishRun()
{
    paintProgress();
    for (const std::size_t row : m_runRows) {
        const PlantRow &plantRow = m_model->rows().at(row);
        if (m_runKind == RunKind::Read &&
            (plantRow.state == ReadState::Waiting || plantRow.state == ReadState::Reading)) {
            m_model->setState(row, ReadState::Stopped);
        }
        if (m_runKind != RunKind::Read && (plantRow.applyState == ApplyState::Waiting ||
                                           plantRow.applyState == ApplyState::Checking ||
                                           plantRow.applyState == ApplyState::Applying)) {
            // An apply stopped under way may have written part of the profile.
            if (plantRow.applyState == ApplyState::Applying) {
                m_model->setStale(row);
            }
            m_model->setApplyState(row, ApplyState::Stopped);
        }
    }
    m_running = false;
    if (m_stopRequested) {
        const auto stopped = std::count_if(m_runRows.begin(), m_runRows.end(), [this](std::size_t row) {
            const PlantRow &plantRow = m_model->rows().at(row);
            return plantRow.state == ReadState::Stopped || plantRow.applyState == ApplyState::Stopped;
        });
        m_summary->setText(m_summary->text() + QStringLiteral(", %1 stopped").arg(stopped));
    }
    if (m_draining.empty()) {
        m_links.form.unlockControlsAfterRun();
    } else {
        m_links.form.setHeld(true);
        m_drainEnd.start();
    }
    if (m_runKind == RunKind::Read && !m_columnsFitValues) {
        // Once, for the first values: later the operator's column widths stay.
        m_table->resizeColumnsToContents();
        m_columnsFitValues = true;
    }
    if (m_runKind == RunKind::Read) {
        finishPendingExport();
    }
    if (m_runKind == RunKind::Check && !m_stopRequested) {
        showDifference();
    } else if (m_runKind != RunKind::Read) {
        m_profile.reset();
    }
    updateActions();
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

void PlantViewWindow::showProgress(int done, int failed, int total)
{
    m_progressDone = done;
    m_progressTotal = total;
    if (!m_progressPaint.isActive()) {
        m_progressPaint.start();
    }
    m_summary->setText(QStringLiteral("%1 of %2 done, %3 failed").arg(done).arg(total).arg(failed));
}

void PlantViewWindow::paintProgress()
{
    m_progressPaint.stop();
    m_progress->setRange(0, std::max(m_progressTotal, 1));
    m_progress->setValue(m_progressDone);
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
