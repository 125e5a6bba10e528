// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plant_table.h"

#include <QDialog>

#include <vector>

// What applying a profile would change on the selected loggers, as its dry run found it,
// shown before anything is written: each logger with its summary, and under it each
// setting that is not unchanged with the value now and the value wanted (of a setting of
// several fields, the fields that differ), the APN password masked. Accepting applies the profile
// to those loggers; cancelling writes nothing.
class ApplyDifferenceDialog : public QDialog
{
    Q_OBJECT

public:
    // `rows` are the selected loggers after the dry run; `holdsIpConfiguration` says that
    // the profile's IP configuration, which the plant view never applies, is left out.
    ApplyDifferenceDialog(const QString &profilePath, const std::vector<PlantRow> &rows,
                          bool holdsIpConfiguration, QWidget *parent = nullptr);
};
