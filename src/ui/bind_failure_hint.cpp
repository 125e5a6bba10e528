// SPDX-License-Identifier: GPL-3.0-or-later
#include "bind_failure_hint.h"

QString BindFailureHint(quint16 port, QAbstractSocket::SocketError error, const QString &systemText,
                        const QString &programPath, PortPrivilege privilege)
{
    switch (error) {
    case QAbstractSocket::SocketAccessError:
        if (privilege == PortPrivilege::None) {
            return QStringLiteral("Access denied: another program holds UDP port %1 for itself "
                                  "alone. Close it and start the tool again.")
                .arg(port);
        }
        if (port >= 1024) {
            return QStringLiteral("Permission denied: the system's security policy refuses UDP "
                                  "port %1 to this program (%2).")
                .arg(QString::number(port), systemText);
        }
        return QStringLiteral("Permission denied: UDP port %1 is below 1024 and needs a "
                              "privilege. Grant it to the program once with\n"
                              "sudo setcap cap_net_bind_service=+ep %2\n"
                              "and start the tool again (the Debian package does this when it "
                              "is installed).")
            .arg(QString::number(port), programPath);
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("Address in use: another program already holds UDP port %1. "
                              "Close it and start the tool again.")
            .arg(port);
    default:
        return QStringLiteral("The system refused UDP port %1: %2")
            .arg(QString::number(port), systemText);
    }
}
