// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/commission_record.h"
#include "fleet/commissioning.h"

#include <QAbstractTableModel>
#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class FormLock;
class QLabel;
class QProgressBar;
class QTableView;
class QWidget;

namespace fleet {
class FleetLink;
}

// The two files a commissioning needs.
struct CommissionFiles {
    QString profile;
    QString plan;
};
// Asks the operator for the profile and the plan; nothing when the operator cancels. The
// desktop's file dialogs unless replaced.
using CommissionChooser = std::function<std::optional<CommissionFiles>(QWidget *parent)>;

// The checklist of a commissioning: one row per plan row, by serial number, then the
// loggers that answered and are not in the plan.
class CommissionChecklistModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Serial, State, PlannedIp, Address, Attempts, Outcome, ColumnCount };

    explicit CommissionChecklistModel(QObject *parent = nullptr);

    // Shows the engine's rows from now on; null empties the checklist.
    void setEngine(const fleet::Commissioning *engine);
    // The row of that serial number changed, or a logger not in the plan was listed.
    void rowChanged(const QString &serial);
    // What a finished job did, shown in its row's outcome.
    void setOutcome(const QString &serial, const QString &outcome);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const fleet::Commissioning *m_engine = nullptr;
    QStringList m_serials; // plan rows first, then the loggers not in the plan
    qsizetype m_planRows = 0;
    std::map<QString, QString> m_outcomes;
};

// What the commissioning uses of the plant view.
struct PlantCommissionLinks {
    // The plant view's link, built on the window's client: its sweeps probe on the
    // window's search socket and its jobs ask on the window's set socket.
    fleet::FleetLink &link;
    FormLock &form;
    std::function<QString()> pcAddress;
    // Whether the view may start a run now (none under way); it says why not.
    std::function<bool()> mayStart;
    // The plant table, which the checklist stands in for while it is shown.
    QTableView &table;
    QProgressBar &progress;
    QLabel &summary;
    QLabel &notice;
};

// "Commission…" in the plant view: watches the PC's /24 and commissions each logger of
// the plan as it answers, as `tarnwick-cli commission` does, with its engine and its
// record. The table shows the checklist meanwhile and the form stays locked until the
// run has ended.
class PlantCommission : public QObject
{
    Q_OBJECT

public:
    PlantCommission(PlantCommissionLinks links, const fleet::ExchangePolicy &policy, QWidget *view);
    ~PlantCommission() override;

    void setChooser(CommissionChooser choose);
    // From one round of probes to the next, and the wait for answers after a round.
    void setTiming(int intervalMs, int waitMs);

    // Below the plant table in the view's layout, hidden until a commissioning starts.
    QTableView *checklist() const { return m_checklist; }
    bool running() const { return m_engine && m_running; }

    // Unless the view is busy, asks for the profile and the plan and starts; says in the
    // notice why it did not.
    void begin();
    // The jobs under way end, then the run does.
    void stop();
    // The plant table again in place of the checklist.
    void showPlantTable();

signals:
    void runningChanged(bool running);

private:
    void event(const QJsonObject &recorded);
    void ended(fleet::CommissionEnd end, const QStringList &missing);
    void showSummary();

    PlantCommissionLinks m_links;
    fleet::ExchangePolicy m_policy;
    QWidget *m_view;
    CommissionChooser m_choose;
    int m_intervalMs = 2000;
    int m_waitMs = 1000;
    CommissionChecklistModel *m_model;
    QTableView *m_checklist;
    std::unique_ptr<fleet::Commissioning> m_engine;
    std::optional<fleet::CommissionRecord> m_record;
    bool m_running = false;
};
