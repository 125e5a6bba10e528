// SPDX-License-Identifier: GPL-3.0-or-later
// The plant view's runs: a read or an apply started on the rows chosen, each logger's row
// following its job, a stop and the drain of the answers stopped loggers may still send,
// and the progress shown meanwhile.

#include "plant_view_window.h"

#include "apply_difference_dialog.h"
#include "form_lock.h"
#include "plant_commission.h"
#include "plant_table_model.h"

#include "fleet/fleet_run.h"
#include "fleet/profile_apply.h"
#include "fleet/settings/catalogue.h"
#include "transport/command_exchange.h"

#include <QLabel>
#include <QProgressBar>
#include <QTableView>

#include <algorithm>

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
