#pragma once

#include "cli_app.h"
#include "fleet/fleet_run.h"
#include "fleet/refusal.h"
#include "report_format.h"
#include "transport/datagram_observer.h"

#include <QStringList>

#include <vector>

namespace cli {

// Prints the refusal of a verb's input; exit status 2.
int PrintRefusal(Console &console, const QString &verbName, const fleet::Refusal &refusal);

// Prints the outcomes on standard output and each failure on standard error; the exit
// status says whether every logger succeeded.
int PrintOutcomes(Console &console, const std::vector<fleet::LoggerOutcome> &outcomes,
                  const QStringList &keys, Format format);

// The progress line, rewritten in place: only for a terminal.
void PrintProgress(Console &console, const fleet::RunProgress &progress);

// Prints every datagram on standard error as it crosses the sockets: seconds since the
// start, direction, socket, peer, the bytes in hexadecimal and as printable text.
class TracePrinter : public DatagramObserver
{
public:
    explicit TracePrinter(Console &console);

    void datagramObserved(const ObservedDatagram &datagram) override;
    // An answer not taken for any request: late, repeated, or not the awaited one. Only
    // its head is shown; its datagram is traced in full.
    void answerSetAside(const QHostAddress &logger, const std::string &payload);

private:
    Console &m_console;
    qint64 m_startMicroseconds;
};

} // namespace cli
