#include "host_path.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>

QString HostPath(const QString &path)
{
    // Wine's kernel32 exports the translation; Windows itself has no such entry.
    using UnixFileName = char *(__cdecl *)(const wchar_t *);
    const FARPROC entry =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (entry == nullptr) {
        return path;
    }
    // Through void (*)(), the one function type that converts to any other without a warning.
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(entry));
    const std::wstring windowsPath = QDir::toNativeSeparators(path).toStdWString();
    char *unixPath = unixFileName(windowsPath.c_str());
    if (unixPath == nullptr) {
        return path;
    }
    const QString result = QString::fromUtf8(unixPath); // Unix names are UTF-8
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}
#else
QString HostPath(const QString &path)
{
    return path;
}
#endif
