// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

class QFileDevice;

namespace private_file {

// Lets the owner of the open file alone read and write it; called before anything secret
// is written to it. Where files have a mode it becomes 0600. On Windows the file gets an
// access list with one entry, granting the user running the tool full access, and
// protected from its folder's list, whose inherited entries would otherwise grant others
// (administrators, the system, other users). Returns the system's reason when it cannot.
std::optional<QString> MakeOwnerOnly(QFileDevice &file);

// Whether anyone but its owner may read the file at path: the group's or others' read bit
// where files have a mode; on Windows an entry of its access list granting reading to a
// user or group other than the one running the tool and the system's own account, or no
// list at all (which grants all).
bool ReadableByOthers(const QString &path);

} // namespace private_file
