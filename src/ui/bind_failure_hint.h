#pragma once

#include <QAbstractSocket>
#include <QString>

// Why the tool could not bind one of its UDP ports, and what the operator can do about
// it: the tooltip of the status-bar panel that shows "Fail to create Socket!".
QString BindFailureHint(quint16 port, QAbstractSocket::SocketError error, const QString &systemText,
                        const QString &programPath);
