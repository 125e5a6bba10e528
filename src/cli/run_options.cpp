// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_options.h"

#include "discovery/address_range.h"

namespace cli {
namespace {

Checked<quint16> PortOption(const QCommandLineParser &parser, const QString &name, int lowest = 1)
{
    const Checked<int> port = NumberOption(parser, name, lowest, 65535);
    if (!port.accepted()) {
        return port.refusal();
    }
    return static_cast<quint16>(port.value());
}

} // namespace

void AddRunOptions(QCommandLineParser &parser, ParallelOption parallel)
{
    QCommandLineOption parallelOption("parallel", "Loggers worked on at once (default 64).", "n",
                                      "64");
    if (parallel == ParallelOption::Hidden) {
        parallelOption.setFlags(QCommandLineOption::HiddenFromHelp);
    }
    parser.addOption(parallelOption);
    parser.addOptions({
        {"format", "Output: table, json or csv (default table).", "format", "table"},
        {"timeout", "Milliseconds to wait for each answer (default 5000).", "ms", "5000"},
        {"retries", "Times a request without answer is sent again (default 2).", "n", "2"},
        {"trace", "Print every datagram sent and received on stderr."},
        {"show-secrets", "Show the APN password and the PIN in reports and the trace."},
        {"command-port", "The loggers' command port (default 8000).", "port", "8000"},
        {"search-port", "The loggers' search port (default 23).", "port", "23"},
        {"bind", "Local address to send from (default all).", "address", "0.0.0.0"},
        {"local-command-port", "Local command port (default: the command port).", "port"},
        {"local-search-port", "Local search port (default: the search port).", "port"},
    });
}

Checked<int> NumberOption(const QCommandLineParser &parser, const QString &name, int lowest,
                          int highest)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < lowest || value > highest) {
        return Refusal{QStringLiteral("--%1 needs a whole number from %2 to %3, not '%4'")
                           .arg(name)
                           .arg(lowest)
                           .arg(highest)
                           .arg(parser.value(name))};
    }
    return value;
}

Checked<RunOptions> ReadRunOptions(const QCommandLineParser &parser)
{
    RunOptions options;
    const auto format = FormatNamed(parser.value("format"));
    if (!format) {
        return Refusal{QStringLiteral("--format needs table, json or csv, not '%1'")
                           .arg(parser.value("format"))};
    }
    options.format = *format;
    // Each number in the order of the options' list, the first refused one named.
    const struct {
        const char *name;
        int lowest;
        int highest;
        int *value;
    } numbers[] = {{"parallel", 1, 4096, &options.parallel},
                   {"timeout", 1, 600000, &options.policy.timeoutMs},
                   {"retries", 0, 100, &options.policy.retries},
                   {"wait", 0, 600000, &options.waitMs}};
    for (const auto &number : numbers) {
        const Checked<int> value =
            NumberOption(parser, QLatin1String(number.name), number.lowest, number.highest);
        if (!value.accepted()) {
            return value.refusal();
        }
        *number.value = value.value();
    }
    // A local port not given is the loggers' port; 0 lets the system choose one.
    const struct {
        const char *name;
        int lowest;
        quint16 *port;
        const quint16 *unlessGiven;
    } ports[] = {
        {"command-port", 1, &options.network.remoteSetPort, nullptr},
        {"search-port", 1, &options.network.remoteSearchPort, nullptr},
        {"local-command-port", 0, &options.network.localSetPort, &options.network.remoteSetPort},
        {"local-search-port", 0, &options.network.localSearchPort,
         &options.network.remoteSearchPort},
    };
    for (const auto &port : ports) {
        if (port.unlessGiven != nullptr && !parser.isSet(QLatin1String(port.name))) {
            *port.port = *port.unlessGiven;
            continue;
        }
        const Checked<quint16> value = PortOption(parser, QLatin1String(port.name), port.lowest);
        if (!value.accepted()) {
            return value.refusal();
        }
        *port.port = value.value();
    }
    const auto bind = discovery::ParseDottedQuad(parser.value("bind"));
    if (!bind) {
        return Refusal{
            QStringLiteral("--bind needs an IPv4 address, not '%1'").arg(parser.value("bind"))};
    }
    options.network.bindAddress = QHostAddress(*bind);
    options.trace =
        parser.isSet("trace") ? RunOptions::Trace::OnStandardError : RunOptions::Trace::Off;
    options.secrets = parser.isSet("show-secrets") ? Secrets::Shown : Secrets::Hidden;
    return options;
}

} // namespace cli
