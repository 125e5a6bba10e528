// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/logger_job.h"
#include "fleet/profile.h"
#include "save_file_chooser.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <set>
#include <vector>

class ApplyDifferenceDialog;
class CommandExchange;
class FormLock;
class PlantCommission;
class PlantTableModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class ReceivePath;
class UdpEndpoints;
struct PlantRow;

namespace fleet {
class FleetLink;
class FleetRun;
} // namespace fleet

// What the plant view uses of the main window.
struct PlantViewLinks {
    // The window's two sockets and its receive path, whose client hands the fleet the
    // answers of the loggers being read: no second socket, no second port.
    UdpEndpoints &endpoints;
    ReceivePath &receivePath;
    // A read waits while a command of the form waits for its answer, and locks the form
    // while it runs, as a command does.
    CommandExchange &exchange;
    FormLock &form;
    // The logger list's rows, top to bottom.
    std::function<std::vector<fleet::LoggerTarget>()> loggers;
    std::function<QString()> pcAddress;
    SaveFileChooser chooseFile;
    // Whether the signal watch runs: its logger's answers would reach a run's job, and a
    // run's end would unlock the form under it, so no run starts meanwhile.
    std::function<bool()> signalWatchRuns;
};

// Asks the operator for a profile to apply: returns its path, or an empty text when the
// operator cancels. The desktop's file dialog unless replaced.
using ProfileChooser = std::function<QString(QWidget *parent)>;

// What the operator chose when a table to export holds rows that may no longer be true.
enum class StaleExportChoice { ReadFirst, ExportAsIs, Cancel };
// Asks whether to read the `staleRows` first; a question box unless replaced.
using StaleExportQuestion = std::function<StaleExportChoice(QWidget *parent, int staleRows)>;
// The question box.
StaleExportChoice AskAboutStaleRows(QWidget *parent, int staleRows);

// "Plant view…": every logger of the list as a row and each of its settings as a column,
// read in parallel by the fleet with the command-line tool's exchanges, timeouts and
// retries. A value that differs from the one most loggers hold is marked. A profile is
// applied to the selected rows as the command-line tool applies it, after a dry run whose
// difference the operator confirms. Not modal; the column layout, sorting and filter last
// while the program runs, nothing is stored.
class PlantViewWindow : public QWidget
{
    Q_OBJECT

public:
    // Loggers read at once, as the command-line tool reads them.
    static constexpr int kParallelReads = 64;

    PlantViewWindow(PlantViewLinks links, const fleet::ExchangePolicy &policy,
                    QWidget *parent = nullptr);
    ~PlantViewWindow() override;

    void setProfileChooser(ProfileChooser chooseProfile);
    void setStaleExportQuestion(StaleExportQuestion askAboutStaleRows);

public slots:
    // Takes the logger list's rows afresh and reads every setting of each.
    void readAll();
    void stop();
    // Asks for a profile, finds its difference on the selected rows by a dry run and,
    // once the operator confirms it, applies the profile to those rows. The profile's IP
    // configuration is never applied here.
    void applyProfile();
    // The one selected logger's settings as a profile (docs/profile.md).
    void saveProfile();
    // The table as it is shown (sorted and filtered), passwords masked. With stale rows
    // shown, asks first whether to read them, export as is (the file says which are
    // stale) or cancel.
    void exportCsv();
    void exportPdf();

protected:
    void showEvent(QShowEvent *event) override;
    // Closing stops a read, so the form is never left locked behind a hidden window.
    void closeEvent(QCloseEvent *event) override;

private:
    // What a run of the fleet does to its rows: read every setting, or a profile's dry
    // run (check) or writes (apply).
    enum class RunKind { Read, Check, Apply };

    // Whether a run may start now; says why not in the summary line.
    bool mayStartRun();
    // Runs over the model's `rows`, locking the form until it ends.
    void startRun(RunKind kind, std::vector<std::size_t> rows);
    void markStarted(std::size_t row);
    void markFinished(std::size_t row, const fleet::LoggerOutcome &outcome);
    void finishRun();
    void endDrain();
    void showDifference();
    void confirmApply();
    void showProgress(int done, int failed, int total);
    void paintProgress();
    void updateActions();
    std::vector<PlantRow> shownRows() const;
    // The model's rows selected in the table, top to bottom of the model.
    std::vector<std::size_t> selectedRows() const;
    const PlantRow *selectedReadRow() const;
    enum class ExportFormat { Csv, Pdf };
    struct PendingExport {
        ExportFormat format;
        QString path;
    };
    void exportTable(ExportFormat format);
    void writeExport(ExportFormat format, const QString &path);
    // The model's rows shown and stale, top to bottom of the model.
    std::vector<std::size_t> shownStaleRows() const;
    // After the read an export asked for: the export, unless the read was stopped.
    void finishPendingExport();
    // ofTheTable: an export, which says how many of its rows are stale.
    void reportSave(const QString &path, const std::optional<QString> &failure,
                    bool ofTheTable = false);

    PlantViewLinks m_links;
    fleet::FleetLink *m_link;
    fleet::FleetRun *m_run;
    PlantTableModel *m_model;
    QSortFilterProxyModel *m_filter;
    QLineEdit *m_filterBox;
    QTableView *m_table;
    QPushButton *m_readAll;
    QPushButton *m_stop;
    QPushButton *m_applyProfile;
    QPushButton *m_commission;
    QPushButton *m_saveProfile;
    QPushButton *m_export;
    QProgressBar *m_progress;
    // A progress bar repaints at once on every new value: during a run it takes the
    // latest count at most once a frame.
    QTimer m_progressPaint;
    int m_progressDone = 0;
    int m_progressTotal = 0;
    QLabel *m_summary;
    // What became of a save, an export or a profile that could not be applied.
    QLabel *m_notice;
    // "Commission…": its checklist, engine and record.
    PlantCommission *m_commissioning;
    ProfileChooser m_chooseProfile;
    StaleExportQuestion m_askAboutStaleRows;
    // An export waiting for the read of its stale rows.
    std::optional<PendingExport> m_pendingExport;
    bool m_running = false;
    bool m_stopRequested = false;
    RunKind m_runKind = RunKind::Read;
    // The model's row of each of the run's targets.
    std::vector<std::size_t> m_runRows;
    // The profile between its dry run and its apply, and where it came from.
    std::optional<fleet::Profile> m_profile;
    QString m_profilePath;
    QPointer<ApplyDifferenceDialog> m_difference;
    // After a stop, the loggers whose requests were under way: their answers may still
    // come for a timeout, and are dropped, with the form held locked, until then.
    std::set<quint32> m_draining;
    QTimer m_drainEnd;
    // A run's first loggers start in a turn of the event loop after the one that reset
    // their rows, so that the table's repaint and their requests are not one long step.
    QTimer m_runStart;
    std::vector<fleet::LoggerTarget> m_startTargets;
    std::function<void(fleet::LoggerJob &, const fleet::LoggerTarget &)> m_startPlan;
    bool m_columnsFitValues = false;
};
