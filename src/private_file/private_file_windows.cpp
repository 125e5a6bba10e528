// SPDX-License-Identifier: GPL-3.0-or-later
#include "private_file.h"

#include "access_list_windows.h"

#include <QDir>
#include <QFileDevice>

#include <io.h>

#include <system_error>

#include <vector>

namespace private_file {
namespace {

QString SystemReason(DWORD error)
{
    return QString::fromStdString(std::system_category().message(static_cast<int>(error)));
}

} // namespace

std::optional<QString> MakeOwnerOnly(QFileDevice &file)
{
    // The open file is reached by its handle: a QSaveFile writes to a temporary file of
    // its own, which keeps this list when it replaces the file it was named for.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE) {
        return file.isOpen() ? SystemReason(ERROR_INVALID_HANDLE)
                             : QStringLiteral("the file is not open");
    }
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(),
                                                       static_cast<DWORD>(path.size()), 0);
        if (length == 0) {
            return SystemReason(GetLastError());
        }
        if (length < path.size()) {
            break;
        }
        path.resize(length + 1);
    }
    if (const DWORD error = GrantUserAlone(path.data()); error != ERROR_SUCCESS) {
        return SystemReason(error);
    }
    return std::nullopt;
}

bool ReadableByOthers(const QString &path)
{
    return OthersMayRead(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()));
}

} // namespace private_file
