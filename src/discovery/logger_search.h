// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paced_prober.h"

#include "address_range.h"
#include "logger_list.h"

#include "transport/logger_error.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

class CommandExchange;
class LoggerClient;
class QProgressBar;

// How a sweep or a range search ended.
struct SearchOutcome {
    QString probed;            // the network or range; empty when there was nothing to sweep from
    int listed = 0;            // loggers of the list
    quint64 addresses = 0;     // addresses of the network or range
    quint64 addressesDone = 0; // of them, those probed or left out by the time it ended
    quint64 probes = 0;        // probes tried
    quint64 failedProbes = 0;  // probes the system refused to send
    std::optional<LoggerError> firstFailure; // a send failure that names its cause
    bool rangeSearch = false; // else the sweep of the PC's /24
    bool stopped = false;     // a range search stopped before its last probe
};

// The sweep of the PC's /24 network and the list of loggers it fills, and the two ways
// beyond it: a paced search of an address range, and the probe of one address. The
// search never ends by itself: answers are taken while "SS" stays the current command.
// A range search also takes them while other commands run, from its start until its
// answer time after the last probe, and lists only senders inside its range.
class LoggerSearch : public QObject
{
    Q_OBJECT

public:
    struct Controls {
        discovery::LoggerList *loggers;
        // The PC's address the sweep starts from; null when the PC has none.
        std::function<QHostAddress()> pcAddress;
        QProgressBar *progress; // pb1
    };

    LoggerSearch(LoggerClient &client, CommandExchange &exchange, const Controls &controls,
                 int tickMs, QObject *parent = nullptr);

    // Called by the receive path for each discovery candidate. Outside a search (neither
    // "SS" current nor a range search waiting for answers) the candidate is dropped.
    void handleDiscoveryAnswer(const std::string &candidate, const QString &senderAddress);

    // Empties the list and probes the range at the given pace, leaving out the network
    // and broadcast addresses of the PC's networks; pb1 counts the addresses done.
    // Answers from inside the range are listed as for the sweep.
    void searchRange(const discovery::AddressRange &range, int probesPerSecond,
                     const QList<discovery::LocalNetwork> &pcNetworks);
    void stopRangeSearch();
    bool rangeSearchRunning() const;

    // Probes one address, keeping the rows already listed: its answer adds or updates a
    // row as a sweep answer does. Says why the system refused the probe, if it did.
    std::optional<LoggerError> probeAddress(const QHostAddress &address);
    // Forgets the address probed: an answer from it that still comes is not listed.
    void cancelAddressProbe();

public slots:
    void btnsearchClick();
    void tmr2Timer();

signals:
    // A row was added or updated for the logger at this address.
    void loggerListed(const QString &address);
    // A sweep or a range search has ended: after its answers' time, or when a range
    // search is stopped.
    void searchEnded(const SearchOutcome &outcome);
    // A new search has begun (the list was emptied).
    void searchStarted();
    void rangeSearchRunningChanged(bool running);

private:
    // Counts the probe and its failure; a refusal for a moment is not counted before the
    // last try, and the prober sends it again.
    PacedProber::ProbeSend sendCountedProbe(const QHostAddress &target, bool lastTry = true);
    void beginSearch();
    void rangeProbingFinished(bool completed);
    void reportEnd(bool stopped = false);
    bool rangeAwaitsAnswers() const;
    bool listsAnswerFrom(const QString &senderAddress) const;

    LoggerClient &m_client;
    CommandExchange &m_exchange;
    Controls m_controls;
    QTimer m_tmr2;
    PacedProber *m_rangeProber;
    // After the last probe of a range, answers still come in for as long as the sweep's
    // progress runs (ten ticks); then an empty list is reported.
    QTimer m_rangeAnswerWindow;
    // What the running sweep or range search probes, and how; its `probed` is empty once
    // the end is reported.
    SearchOutcome m_outcome;
    // The range of the last range search, until a sweep; its answers come from inside it.
    std::optional<discovery::AddressRange> m_searchedRange;
    QList<discovery::LocalNetwork> m_pcNetworks; // whose own addresses a range leaves out
    QString m_probedAddress;                     // the one address of "Add logger by IP"
    QString m_cancelledAddress;                  // probed by address, then given up
    // The adapter's address of the last sweep, or the range searched, for the loggers
    // they find.
    QString m_searchedFrom;
};
