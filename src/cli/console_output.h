// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli_app.h"
#include "refusal/refusal.h"
#include "fleet/fleet_run.h"
#include "report_format.h"
#include "transport/datagram_observer.h"

#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cli {

// Prints the refusal of a verb's input; exit status 2.
int PrintRefusal(Console &console, const QString &verbName, const Refusal &refusal);

// Prints the outcomes on standard output, secrets hidden unless shown, and each failure
// on standard error; the exit status says whether every logger succeeded.
int PrintOutcomes(Console &console, const std::vector<fleet::LoggerOutcome> &outcomes,
                  const QStringList &keys, Format format, Secrets secrets);

// The progress line of a run, rewritten in place on a terminal: the loggers done, under
// way and failed, and the time since the run began. It is redrawn when a logger finishes
// and at the console's pace while requests wait; the last logger done ends it.
class ProgressLine
{
public:
    ProgressLine(Console &console, int total);

    void loggerStarted();
    void loggerFinished(const fleet::RunProgress &progress);
    // Ends the line where it stands: nothing is drawn after.
    void end();

private:
    void draw();

    Console &m_console;
    int m_total;
    int m_started = 0;
    int m_finished = 0;
    fleet::RunProgress m_progress;
    std::function<qint64()> m_clock;
    QTimer m_pace;
    // The width drawn last: a shorter line is padded to cover it.
    qsizetype m_width = 0;
    bool m_ended = false;
};

// Prints every datagram on standard error as it crosses the sockets: seconds since the
// start, direction, socket, peer, the bytes in hexadecimal and as printable text. Unless
// secrets are shown, a frame that holds a PIN or APN password, written or read, shows
// kHiddenSecret in its place and '*' in place of its CRC.
class TracePrinter : public DatagramObserver
{
public:
    TracePrinter(Console &console, Secrets secrets);

    void datagramObserved(const ObservedDatagram &datagram) override;
    // An answer not taken for any request: late, repeated, or not the awaited one. Only
    // its head is shown; its datagram is traced in full.
    void answerSetAside(const QHostAddress &logger, const std::string &payload);

private:
    QByteArray shownBytes(const ObservedDatagram &datagram);

    Console &m_console;
    Secrets m_secrets;
    qint64 m_startMicroseconds;
    // The last request sent to each logger: what tells whether its answer holds a secret.
    std::map<quint32, std::string> m_lastRequest;
};

} // namespace cli
