// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>

// Where the tool listens and where it sends. The shipped program uses the defaults;
// tests inject loopback addresses and free ports.
struct NetworkSettings {
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    quint16 localSetPort = 8000;
    quint16 localSearchPort = 23;
    quint16 remoteSetPort = 8000;
    quint16 remoteSearchPort = 23;
};

// The tool's fixed intervals, in milliseconds.
struct Timing {
    int commandTimeoutMs = 5000;
    int searchTickMs = 500;
    int readBackPauseMs = 1000;
};
