// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/cellular_link_codec.h"

#include "fleet/logger_outcome.h"
#include "fleet/settings/catalogue.h"
#include "list_export.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

// What the plant view shows of each logger, as texts: one pure function per question,
// shared by the table on screen, the CSV export and the PDF report.

// The columns of the plant view, left to right: the logger's serial, address and version,
// then the columns the settings describe, by their place, then the status.
struct PlantSettingColumn {
    fleet::Setting setting;
    fleet::PlantColumnSpec shown;
};

// The settings' columns, by column number less PlantFirstSettingColumn.
const std::vector<PlantSettingColumn> &PlantSettingColumns();
// The column of a setting's value, or of one field of it; -1 when the plant view has none.
int PlantColumnOf(fleet::Setting setting, const char *field = nullptr);

inline constexpr int SerialColumn = 0;
inline constexpr int IpColumn = 1;
inline constexpr int VersionColumn = 2;
inline constexpr int PlantFirstSettingColumn = 3;
inline const int PlantColumnCount =
    PlantFirstSettingColumn + static_cast<int>(PlantSettingColumns().size()) + 1;
inline const int StatusColumn = PlantColumnCount - 1;

// Columns the window and its tests address by name.
inline const int MacColumn = PlantColumnOf(fleet::Setting::Mac);
inline const int IpConfigurationColumn = PlantColumnOf(fleet::Setting::Ip);
inline const int DataServerColumn = PlantColumnOf(fleet::Setting::DataServer);
inline const int ApnNameColumn = PlantColumnOf(fleet::Setting::Apn, "name");
inline const int ApnUserColumn = PlantColumnOf(fleet::Setting::Apn, "user");
inline const int ApnPasswordColumn = PlantColumnOf(fleet::Setting::Apn, "password");
inline const int OperatorColumn = PlantColumnOf(fleet::Setting::Operator);
inline const int SignalColumn = PlantColumnOf(fleet::Setting::Signal);
inline const int GprsColumn = PlantColumnOf(fleet::Setting::System, "gprs");
inline const int DataIntervalColumn = PlantColumnOf(fleet::Setting::System, "data_interval_seconds");
inline const int HeartbeatColumn = PlantColumnOf(fleet::Setting::System, "heartbeat_minutes");
inline const int FrontEndColumn = PlantColumnOf(fleet::Setting::FrontEnd, "minutes");
inline const int DeviceCountColumn = PlantColumnOf(fleet::Setting::Devices);

// Whether a column sorts by the number its cells lead with.
bool PlantColumnSortsByNumber(int column);

// Where a logger's read stands.
enum class ReadState { NotRead, Waiting, Reading, Done, Failed, Stopped };

// Where applying a profile to a logger stands: the dry run that finds the difference
// (checking, checked), then the writes (applying, applied).
enum class ApplyState { None, Waiting, Checking, Checked, Applying, Applied, Stopped };

// One logger of the plant: the list's row for it, what the last read gave, and what the
// last dry run or apply of a profile gave since (each setting's entry under its report
// key), which the status column shows instead of the read's.
struct PlantRow {
    fleet::LoggerTarget target;
    ReadState state = ReadState::NotRead;
    fleet::LoggerOutcome outcome;
    ApplyState applyState = ApplyState::None;
    fleet::LoggerOutcome applyOutcome;
    // An apply may have changed values the row shows and did not read them back: they
    // stay marked until the logger is read again.
    bool stale = false;
};

// Takes into the row's values what an apply read back (each setting it changed or found
// unchanged). Returns whether a setting may have changed unseen: one that failed, or the
// apply ended early.
bool TakeApplyReadBack(PlantRow &row);

// The signal quality a logger reported, as the cellular codec reads it.
cellular::SignalReading PlantSignalReading(const PlantRow &row);

QString PlantColumnTitle(int column);

// The text of a cell; the APN password is shown as ******** (empty when none is set).
QString PlantCellText(const PlantRow &row, int column);

// What a cell is compared by to find the odd logger: its value where a plant's loggers
// should agree, empty where they differ by nature (serial, addresses, signal, status) or
// nothing was read. The IP configuration is compared by its mask and gateway.
QString PlantComparedValue(const PlantRow &row, int column);

// How many loggers hold each compared value of one column; empty values are not counted.
using ValueHolders = std::map<QString, int>;

// The value a column's loggers are measured against: the one most of them hold. Empty
// when no single value is held by most (a tie) or no two loggers agree.
QString UsualValue(const ValueHolders &holders);

// Whether a compared value differs from its column's usual value.
bool IsOddValue(const QString &compared, const QString &usual);

// A dry run's or an apply's outcome in a few words: how many settings ended in each status
// ("2 changed, 5 unchanged"), then the failure of a logger that had one.
QString ApplySummary(const fleet::LoggerOutcome &outcome);

// Each setting's line of a dry run's or an apply's outcome ("operator: changed"), the APN
// password masked.
QStringList ApplyDetails(const fleet::LoggerOutcome &outcome);

// The rows as a table for the CSV export and the PDF report, passwords masked.
ListTable PlantTableText(const std::vector<PlantRow> &rows);
