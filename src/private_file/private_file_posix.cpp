// SPDX-License-Identifier: GPL-3.0-or-later
#include "private_file.h"

#include <QFile>

namespace private_file {

std::optional<QString> MakeOwnerOnly(QFileDevice &file)
{
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return file.errorString();
    }
    return std::nullopt;
}

bool ReadableByOthers(const QString &path)
{
    return (QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) != 0;
}

} // namespace private_file
