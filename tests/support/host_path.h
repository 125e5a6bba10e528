#pragma once

#include <QString>

// The name under which the machine's own programs (python3, tshark) open the file at path.
// A Windows test program under Wine names its files by Windows paths (C:\users\...), which
// Linux programs cannot open: there it is the file's Unix path. Elsewhere it is path itself.
QString HostPath(const QString &path);
