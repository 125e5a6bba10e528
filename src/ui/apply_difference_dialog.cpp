// SPDX-License-Identifier: GPL-3.0-or-later
#include "apply_difference_dialog.h"

#include "fleet/profile_apply.h"
#include "fleet/report_text.h"
#include "fleet/settings/cellular.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum DifferenceColumn { SettingColumn, NowColumn, WantedColumn };

QString LoggerName(const fleet::LoggerTarget &target)
{
    const QString address = target.address.toString();
    return target.serial.isEmpty() ? address
                                   : QStringLiteral("%1 (%2)").arg(target.serial, address);
}

// One logger's item: its summary, and a child for each setting the apply would write or
// could not check, by report key, each value in the report's words.
QTreeWidgetItem *LoggerItem(const PlantRow &row)
{
    auto *logger = new QTreeWidgetItem(
        {QStringLiteral("%1: %2").arg(LoggerName(row.target), ApplySummary(row.applyOutcome))});
    // Of a setting of several fields, the fields that differ alone; narrowed before the
    // password is masked, so that a changed password still shows, as ******** on both sides.
    QJsonObject narrowed;
    for (const auto &[setting, entry] : row.applyOutcome.applied) {
        if (entry.status != fleet::ApplyStatus::Unchanged) {
            narrowed.insert(fleet::ReportKey(setting), fleet::ApplyDifferenceReport(entry));
        }
    }
    const QJsonObject entries = fleet::WithSecretsHidden(narrowed);
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        const QJsonObject fields = entry.value().toObject();
        const QString wanted = fields.contains(QLatin1String("wanted"))
                                   ? fleet::ReportText(fields.value(QLatin1String("wanted")))
                                   : fleet::ReportText(fields);
        auto *setting = new QTreeWidgetItem(
            {entry.key(), fleet::ReportText(fields.value(QLatin1String("value"))), wanted});
        // A long value is cut in its column: the tooltip holds it whole.
        for (const int column : {NowColumn, WantedColumn}) {
            setting->setToolTip(column, setting->text(column));
        }
        logger->addChild(setting);
    }
    return logger;
}

} // namespace

ApplyDifferenceDialog::ApplyDifferenceDialog(const QString &profilePath,
                                             const std::vector<PlantRow> &rows,
                                             bool holdsIpConfiguration, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("plantApplyDifference"));
    setWindowTitle(QStringLiteral("Apply profile"));
    resize(760, 420);

    auto *heading = new QLabel(
        QStringLiteral("Applying %1 to %2 changes what is listed below; each value is read "
                       "back after its write. Nothing is written yet.")
            .arg(QFileInfo(profilePath).fileName(),
                 rows.size() == 1 ? QStringLiteral("the selected logger")
                                  : QStringLiteral("the %1 selected loggers").arg(rows.size())));
    heading->setWordWrap(true);

    auto *differences = new QTreeWidget;
    differences->setObjectName(QStringLiteral("plantApplyDifferences"));
    differences->setHeaderLabels(
        {QStringLiteral("Logger / setting"), QStringLiteral("Now"), QStringLiteral("Wanted")});
    differences->header()->setSectionResizeMode(SettingColumn, QHeaderView::ResizeToContents);
    differences->header()->setSectionResizeMode(NowColumn, QHeaderView::Stretch);
    differences->header()->setSectionResizeMode(WantedColumn, QHeaderView::Stretch);
    for (const PlantRow &row : rows) {
        QTreeWidgetItem *logger = LoggerItem(row);
        differences->addTopLevelItem(logger);
        logger->setFirstColumnSpanned(true);
    }
    differences->expandAll();

    auto *buttons = new QDialogButtonBox;
    QPushButton *apply = buttons->addButton(rows.size() == 1 ? QStringLiteral("Apply to 1 logger")
                                                             : QStringLiteral("Apply to %1 loggers")
                                                                   .arg(rows.size()),
                                            QDialogButtonBox::AcceptRole);
    apply->setObjectName(QStringLiteral("plantApplyConfirm"));
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("plantApplyCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    if (holdsIpConfiguration) {
        // Every selected logger would get the same address: addresses are given one
        // logger at a time, or by the command-line tool with a plan.
        auto *ipNote = new QLabel(QStringLiteral(
            "The profile's IP configuration is not applied from the plant view: each logger "
            "keeps its own address. Set addresses in the main window, or with "
            "tarnwick-cli apply --with-ip and a plan."));
        ipNote->setObjectName(QStringLiteral("plantApplyIpNote"));
        ipNote->setWordWrap(true);
        layout->addWidget(ipNote);
    }
    layout->addWidget(differences, 1);
    layout->addWidget(buttons);
}
