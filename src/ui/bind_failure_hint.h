// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>
#include <QString>

// Which ports a program needs a privilege for: on Linux and the BSDs those below 1024; on
// Windows none, where a refused port is one another program holds exclusively.
enum class PortPrivilege { BelowPort1024, None };

#ifdef Q_OS_WIN
inline constexpr PortPrivilege kSystemPortPrivilege = PortPrivilege::None;
#else
inline constexpr PortPrivilege kSystemPortPrivilege = PortPrivilege::BelowPort1024;
#endif

// Why the tool could not bind one of its UDP ports, and what the operator can do about
// it on this system: the tooltip of the status-bar panel that shows "Fail to create Socket!".
QString BindFailureHint(quint16 port, QAbstractSocket::SocketError error, const QString &systemText,
                        const QString &programPath, PortPrivilege privilege = kSystemPortPrivilege);
