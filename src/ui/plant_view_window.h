#pragma once

#include "fleet/logger_job.h"
#include "save_file_chooser.h"

#include <QWidget>

#include <functional>
#include <vector>

class CommandExchange;
class ExchangeWindow;
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
    // The window's two sockets and its receive path, which hands the fleet the answers of
    // the loggers being read: no second socket, no second port.
    UdpEndpoints &endpoints;
    ReceivePath &receivePath;
    // A read waits while a command of the form waits for its answer, and locks the form
    // while it runs, as a command does.
    CommandExchange &exchange;
    ExchangeWindow &form;
    // The logger list's rows, top to bottom.
    std::function<std::vector<fleet::LoggerTarget>()> loggers;
    std::function<QString()> pcAddress;
    SaveFileChooser chooseFile;
};

// "Plant view…": every logger of the list as a row and each of its settings as a column,
// read in parallel by the fleet with the command-line tool's exchanges, timeouts and
// retries. A value that differs from the one most loggers hold is marked. Not modal; the
// column layout, sorting and filter last while the program runs, nothing is stored.
class PlantViewWindow : public QWidget
{
    Q_OBJECT

public:
    // Loggers read at once, as the command-line tool reads them.
    static constexpr int kParallelReads = 64;

    PlantViewWindow(PlantViewLinks links, const fleet::ExchangePolicy &policy,
                    QWidget *parent = nullptr);
    ~PlantViewWindow() override;

public slots:
    // Takes the logger list's rows afresh and reads every setting of each.
    void readAll();
    void stop();
    // The one selected logger's settings as a profile (docs/profile.md).
    void saveProfile();
    // The table as it is shown (sorted and filtered), passwords masked.
    void exportCsv();
    void exportPdf();

protected:
    void showEvent(QShowEvent *event) override;
    // Closing stops a read, so the form is never left locked behind a hidden window.
    void closeEvent(QCloseEvent *event) override;

private:
    void startRead(const std::vector<fleet::LoggerTarget> &loggers);
    void finishRead();
    void showProgress(int done, int failed, int total);
    void updateActions();
    std::vector<PlantRow> shownRows() const;
    const PlantRow *selectedReadRow() const;
    void reportSave(const QString &path, const std::optional<QString> &failure);

    PlantViewLinks m_links;
    fleet::FleetLink *m_link;
    fleet::FleetRun *m_run;
    PlantTableModel *m_model;
    QSortFilterProxyModel *m_filter;
    QLineEdit *m_filterBox;
    QTableView *m_table;
    QPushButton *m_readAll;
    QPushButton *m_stop;
    QPushButton *m_saveProfile;
    QPushButton *m_export;
    QProgressBar *m_progress;
    QLabel *m_summary;
    QLabel *m_saveOutcome;
    bool m_reading = false;
    bool m_columnsFitValues = false;
};
