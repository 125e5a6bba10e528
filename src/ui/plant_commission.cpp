// SPDX-License-Identifier: GPL-3.0-or-later
#include "plant_commission.h"

#include "form_lock.h"

#include "discovery/pc_address.h"
#include "fleet/fleet_link.h"
#include "fleet/settings/network.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QMap>
#include <QProgressBar>
#include <QTableView>

#include <algorithm>

namespace {

constexpr quint32 kSlash24Mask = 0xFFFFFF00;

std::optional<CommissionFiles> AskForFiles(QWidget *parent)
{
    const QString profile =
        QFileDialog::getOpenFileName(parent, QStringLiteral("Commission: profile"), QString(),
                                     QStringLiteral("Profiles (*.json);;All files (*)"));
    if (profile.isEmpty()) {
        return std::nullopt;
    }
    const QString plan = QFileDialog::getOpenFileName(
        parent, QStringLiteral("Commission: plan of the loggers' IP addresses"),
        QFileInfo(profile).absolutePath(), QStringLiteral("IP plans (*.csv);;All files (*)"));
    if (plan.isEmpty()) {
        return std::nullopt;
    }
    return CommissionFiles{profile, plan};
}

// "3 changed, 2 unchanged": what a job did to the settings of the profile and plan.
QString SettingsOutcome(const QJsonObject &settings)
{
    QMap<QString, int> counts;
    for (auto setting = settings.begin(); setting != settings.end(); ++setting) {
        ++counts[setting.value().toObject().value("status").toString().replace('_', ' ')];
    }
    QStringList parts;
    for (auto count = counts.begin(); count != counts.end(); ++count) {
        parts.append(QStringLiteral("%1 %2").arg(count.value()).arg(count.key()));
    }
    return parts.join(QStringLiteral(", "));
}

QString EndText(fleet::CommissionEnd end)
{
    switch (end) {
    case fleet::CommissionEnd::AllDone:
        return QStringLiteral("every row of the plan is done");
    case fleet::CommissionEnd::AttemptsUsed:
        return QStringLiteral("every attempt used");
    case fleet::CommissionEnd::TimeUp:
        return QStringLiteral("the time limit reached");
    case fleet::CommissionEnd::Interrupted:
        return QStringLiteral("stopped");
    }
    return {};
}

// How the record names the end.
const char *EndKey(fleet::CommissionEnd end)
{
    static const char *const kKeys[] = {"all_done", "attempts_used", "time_up", "interrupted"};
    return kKeys[static_cast<int>(end)];
}

} // namespace

CommissionChecklistModel::CommissionChecklistModel(QObject *parent) : QAbstractTableModel(parent) {}

void CommissionChecklistModel::setEngine(const fleet::Commissioning *engine)
{
    beginResetModel();
    m_engine = engine;
    m_serials.clear();
    m_outcomes.clear();
    if (engine) {
        for (const auto &[serial, row] : engine->rows()) {
            m_serials.append(serial);
        }
    }
    m_planRows = m_serials.size();
    endResetModel();
}

void CommissionChecklistModel::rowChanged(const QString &serial)
{
    const qsizetype row = m_serials.indexOf(serial);
    if (row < 0) {
        const int added = static_cast<int>(m_serials.size());
        beginInsertRows({}, added, added);
        m_serials.append(serial);
        endInsertRows();
        return;
    }
    emit dataChanged(index(static_cast<int>(row), 0),
                     index(static_cast<int>(row), ColumnCount - 1));
}

void CommissionChecklistModel::setOutcome(const QString &serial, const QString &outcome)
{
    m_outcomes[serial] = outcome;
    rowChanged(serial);
}

int CommissionChecklistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_serials.size());
}

int CommissionChecklistModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CommissionChecklistModel::data(const QModelIndex &index, int role) const
{
    if (!m_engine || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const QString &serial = m_serials.at(index.row());
    if (index.row() >= m_planRows) {
        switch (index.column()) {
        case Serial:
            return serial;
        case State:
            return QStringLiteral("not in the plan");
        case Address:
            return m_engine->notInPlan().at(serial);
        case Outcome:
            return QStringLiteral("nothing written");
        default:
            return {};
        }
    }
    using fleet::RowState;
    const fleet::CommissionRow &row = m_engine->rows().at(serial);
    switch (index.column()) {
    case Serial:
        return serial;
    case State:
        return QLatin1String(fleet::RowStateName(row.state));
    case PlannedIp:
        return QHostAddress(m_engine->setup().plan.at(serial).ip.address).toString();
    case Address:
        return row.state == RowState::Done && row.now != row.address
                   ? row.address + QStringLiteral(" -> ") + row.now
                   : row.address;
    case Attempts:
        return row.attempts > 0 ? QString::number(row.attempts) : QString();
    case Outcome:
        if (row.state == RowState::Failed) {
            return row.why;
        }
        if (const auto outcome = m_outcomes.find(serial); outcome != m_outcomes.end()) {
            return outcome->second;
        }
        return {};
    default:
        return {};
    }
}

QVariant CommissionChecklistModel::headerData(int section, Qt::Orientation orientation,
                                              int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char *const kCaptions[] = {"Serial",      "State",    "Planned IP",
                                            "Answered at", "Attempts", "Outcome"};
    return section >= 0 && section < ColumnCount ? QLatin1String(kCaptions[section]) : QVariant();
}

PlantCommission::PlantCommission(PlantCommissionLinks links, const fleet::ExchangePolicy &policy,
                                 QWidget *view)
    : QObject(view), m_links(links), m_policy(policy), m_view(view), m_choose(AskForFiles),
      m_model(new CommissionChecklistModel(this)), m_checklist(new QTableView)
{
    setObjectName(QStringLiteral("plantCommission"));
    m_checklist->setObjectName(QStringLiteral("plantChecklist"));
    m_checklist->setModel(m_model);
    m_checklist->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_checklist->setWordWrap(false);
    m_checklist->verticalHeader()->hide();
    m_checklist->verticalHeader()->setDefaultSectionSize(m_checklist->fontMetrics().height() + 6);
    // Every column as wide as its values, the outcome the rest.
    m_checklist->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_checklist->horizontalHeader()->setSectionResizeMode(CommissionChecklistModel::Outcome,
                                                          QHeaderView::Stretch);
    m_checklist->hide();
}

PlantCommission::~PlantCommission()
{
    // Its jobs detach from the link as they go, and the record is written no more.
    if (m_engine) {
        m_engine->disconnect(this);
    }
    m_engine.reset();
}

void PlantCommission::setChooser(CommissionChooser choose)
{
    m_choose = std::move(choose);
}

void PlantCommission::setTiming(int intervalMs, int waitMs)
{
    m_intervalMs = intervalMs;
    m_waitMs = waitMs;
}

void PlantCommission::begin()
{
    if (running() || !m_links.mayStart()) {
        return;
    }
    const std::optional<CommissionFiles> files = m_choose(m_view);
    if (!files) {
        return;
    }
    const auto refuse = [this](const QString &why) {
        m_links.notice.setText(QStringLiteral("Not commissioned: %1").arg(why));
    };
    Checked<fleet::Profile> profile = fleet::LoadProfile(files->profile);
    if (!profile.accepted()) {
        return refuse(profile.refusal().message);
    }
    Checked<fleet::IpPlan> plan = fleet::LoadIpPlan(files->plan);
    if (!plan.accepted()) {
        return refuse(plan.refusal().message);
    }
    // The PC's /24, as "Search Logger" sweeps it.
    const QHostAddress pc(m_links.pcAddress());
    bool isIpv4 = false;
    const quint32 pcIpv4 = pc.toIPv4Address(&isIpv4);
    if (!isIpv4) {
        return refuse(QStringLiteral("the PC has no IPv4 address to search from"));
    }
    QList<discovery::LocalNetwork> pcNetworks;
    for (const discovery::LocalAdapter &adapter : discovery::LocalAdapters()) {
        pcNetworks.append(adapter.network());
    }
    const discovery::LoopbackLoggers loopback =
        pc.isLoopback() ? discovery::LoopbackLoggers::Allowed : discovery::LoopbackLoggers::Refused;
    for (const auto &[serial, row] : plan.value()) {
        if (const auto refusal = fleet::RefusedNewAddress(row.ip.address, pcNetworks, loopback)) {
            return refuse(refusal->message);
        }
    }
    if (const auto refusal = m_links.link.openSearchPort()) {
        return refuse(refusal->message);
    }
    m_record.emplace(QStringLiteral("tarnwick"));
    if (const auto refusal = m_record->open(
            fleet::DefaultRecordPath(files->plan, QDate::currentDate()), pc.toString())) {
        m_record.reset();
        return refuse(refusal->message);
    }

    fleet::CommissionSetup setup;
    setup.profile = std::move(profile).value();
    setup.plan = std::move(plan).value();
    setup.range = {(pcIpv4 & kSlash24Mask) | 1, (pcIpv4 & kSlash24Mask) | 254};
    setup.ownAddress = pc;
    setup.intervalMs = m_intervalMs;
    setup.waitMs = m_waitMs;
    setup.policy = m_policy;
    const int rows = static_cast<int>(setup.plan.size());
    m_model->setEngine(nullptr);
    m_engine = std::make_unique<fleet::Commissioning>(m_links.link, std::move(setup));
    connect(m_engine.get(), &fleet::Commissioning::rowChanged, this, [this](const QString &serial) {
        m_model->rowChanged(serial);
        showSummary();
    });
    connect(m_engine.get(), &fleet::Commissioning::event, this, &PlantCommission::event);
    connect(m_engine.get(), &fleet::Commissioning::ended, this, &PlantCommission::ended);
    m_model->setEngine(m_engine.get());

    m_links.form.lockControls();
    m_running = true;
    m_links.table.hide();
    m_checklist->show();
    m_links.notice.setText(QStringLiteral("Commissioning on %1/24; the record is %2")
                               .arg(QHostAddress(pcIpv4 & kSlash24Mask).toString(),
                                    QDir::toNativeSeparators(m_record->path())));
    m_record->write({{"event", "started"}, {"rows", rows}});
    showSummary();
    emit runningChanged(true);
    m_engine->start();
}

void PlantCommission::stop()
{
    if (running()) {
        m_engine->interrupt();
    }
}

void PlantCommission::showPlantTable()
{
    m_checklist->hide();
    m_links.table.show();
}

void PlantCommission::event(const QJsonObject &recorded)
{
    m_record->write(recorded);
    const QString kind = recorded.value("event").toString();
    if (kind == QLatin1String("done") || kind == QLatin1String("failed")) {
        m_model->setOutcome(recorded.value("serial").toString(),
                            SettingsOutcome(recorded.value("settings").toObject()));
    }
}

void PlantCommission::ended(fleet::CommissionEnd end, const QStringList &missing)
{
    m_record->write({{"event", "ended"},
                     {"missing", QJsonArray::fromStringList(missing)},
                     {"end", QLatin1String(EndKey(end))}});
    m_running = false;
    m_links.form.unlockControls();
    showSummary();
    QString text = QStringLiteral("Commissioning ended: %1").arg(EndText(end));
    if (!missing.isEmpty()) {
        text += QStringLiteral("; not commissioned: %1").arg(missing.join(QStringLiteral(", ")));
    }
    m_links.notice.setText(
        text +
        QStringLiteral(". The record is %1").arg(QDir::toNativeSeparators(m_record->path())));
    emit runningChanged(false);
}

// As the command-line checklist's summary line.
void PlantCommission::showSummary()
{
    using fleet::RowState;
    int counts[5] = {};
    for (const auto &[serial, row] : m_engine->rows()) {
        ++counts[static_cast<int>(row.state)];
    }
    const int total = static_cast<int>(m_engine->rows().size());
    const int done = counts[static_cast<int>(RowState::Done)];
    m_links.progress.setRange(0, std::max(total, 1));
    m_links.progress.setValue(done);
    m_links.summary.setText(
        QStringLiteral("%1 of %2 done, %3 writing, %4 waiting, %5 failed, %6 not in the plan")
            .arg(done)
            .arg(total)
            .arg(counts[static_cast<int>(RowState::Writing)] +
                 counts[static_cast<int>(RowState::Found)])
            .arg(counts[static_cast<int>(RowState::Waiting)])
            .arg(counts[static_cast<int>(RowState::Failed)])
            .arg(m_engine->notInPlan().size()));
}
