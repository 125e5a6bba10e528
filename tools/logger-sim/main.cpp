// SPDX-License-Identifier: GPL-3.0-or-later
// logger-sim: a PV data logger on the LAN, for demonstrations and system tests.

#include "simulated_logger.h"
#include "tarnwick_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

namespace {

const char *const kDescription = R"(A substitute PV data logger. It answers the discovery probe on its search
port and the framed commands on its command port, and keeps its settings in
memory so that a write followed by a read returns what was written.

The JSON file given with --config may set any of these keys (all strings):
  serial, version, mac, ipAddress, subnetMask, gateway, dataServerAddress,
  dataServerPort, apnName, apnUser, apnPassword, pin, telecomOperator,
  signalQuality (two characters), frontEndMinutes, systemBlock (20 characters).
Options given on the command line win over the file.

With --state-file, the logger writes its settings to that file after every request,
one "key=value" line each, in the keys above plus devices (record and append info of
each device, "|" between them) and the upstream servers, and "writes", the number of
requests received that change a setting.)";

struct Options {
    QHostAddress address;
    quint16 commandPort = 8000;
    quint16 searchPort = 23;
    LoggerIdentity identity;
    LoggerSettings settings;
    LoggerMisbehaviour misbehaviour;
    bool verbose = false;
    QString stateFile;
    int powerOnAfterMs = 0;
};

[[noreturn]] void Fail(const QString &message)
{
    std::fprintf(stderr, "logger-sim: %s\n", qPrintable(message));
    std::exit(2);
}

quint16 PortOption(const QCommandLineParser &parser, const QString &name)
{
    bool ok = false;
    const uint port = parser.value(name).toUInt(&ok);
    if (!ok || port > 65535) {
        Fail(QStringLiteral("--%1 needs a port number, not '%2'").arg(name, parser.value(name)));
    }
    return static_cast<quint16>(port);
}

void ApplyConfigFile(const QString &path, Options &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("cannot read %1").arg(path));
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        Fail(QStringLiteral("%1 is not a JSON object: %2").arg(path, error.errorString()));
    }
    const QJsonObject json = document.object();
    const auto apply = [&json](const char *key, std::string &target) {
        if (json.contains(QLatin1String(key))) {
            target = json.value(QLatin1String(key)).toString().toStdString();
        }
    };
    apply("serial", options.identity.serial);
    apply("version", options.identity.version);
    apply("mac", options.settings.network.mac);
    apply("ipAddress", options.settings.network.ipAddress);
    apply("subnetMask", options.settings.network.subnetMask);
    apply("gateway", options.settings.network.gateway);
    apply("dataServerAddress", options.settings.network.dataServerAddress);
    apply("dataServerPort", options.settings.network.dataServerPort);
    apply("apnName", options.settings.cellular.apnName);
    apply("apnUser", options.settings.cellular.apnUser);
    apply("apnPassword", options.settings.cellular.apnPassword);
    apply("pin", options.settings.cellular.pin);
    apply("telecomOperator", options.settings.cellular.telecomOperator);
    apply("signalQuality", options.settings.cellular.signalQuality);
    apply("frontEndMinutes", options.settings.cellular.frontEndMinutes);
    apply("systemBlock", options.settings.systemParameters.block);
}

Options ParseOptions(const QCoreApplication &application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"address", "Address to bind (default 0.0.0.0).", "ip", "0.0.0.0"},
        {"command-port", "UDP port for commands (default 8000).", "port", "8000"},
        {"search-port", "UDP port for the discovery probe (default 23).", "port", "23"},
        {"config", "JSON file with initial settings (see above).", "file"},
        {"serial", "Serial number answered to the probe.", "text"},
        {"logger-version", "Version text answered to the probe.", "text"},
        {"mac", "MAC address text answered to MR.", "text"},
        {"delay", "Answer every command this many milliseconds late.", "ms", "0"},
        {"drop-rate", "Share of commands left unanswered, 0 to 1.", "rate", "0"},
        {"bad-crc", "Send answers whose CRC does not match."},
        {"lower-case-crc", "Write the CRC digits of answers in lower case."},
        {"split", "Send each answer over two datagrams."},
        {"merge", "Send each answer twice in one datagram."},
        {"twice", "Send each answer twice, in two datagrams."},
        {"garbage", "Send these bytes in front of every answer.", "text"},
        {"signal-sequence",
         "Answer the signal-quality reports with these values in turn, from the first again "
         "after the last (comma-separated; an empty value leaves that request "
         "unanswered).",
         "values"},
        {"power-on-after",
         "Stay silent, answering neither the probe nor any command, until this many "
         "milliseconds after start, as a logger powered up later.",
         "ms", "0"},
        {"verbose", "Log every datagram received and sent, in hex, on stderr."},
        {"state-file", "Write the settings to this file after every request.", "file"},
    });
    parser.process(application);

    Options options;
    if (parser.isSet("config")) {
        ApplyConfigFile(parser.value("config"), options);
    }
    if (!options.address.setAddress(parser.value("address"))) {
        Fail(QStringLiteral("--address needs an IPv4 address, not '%1'").arg(parser.value("address")));
    }
    options.commandPort = PortOption(parser, "command-port");
    options.searchPort = PortOption(parser, "search-port");
    if (parser.isSet("serial")) {
        options.identity.serial = parser.value("serial").toStdString();
    }
    if (parser.isSet("logger-version")) {
        options.identity.version = parser.value("logger-version").toStdString();
    }
    if (parser.isSet("mac")) {
        options.settings.network.mac = parser.value("mac").toStdString();
    }
    bool ok = false;
    options.misbehaviour.delayMs = parser.value("delay").toInt(&ok);
    if (!ok || options.misbehaviour.delayMs < 0) {
        Fail(QStringLiteral("--delay needs milliseconds, not '%1'").arg(parser.value("delay")));
    }
    options.misbehaviour.dropRate = parser.value("drop-rate").toDouble(&ok);
    if (!ok || options.misbehaviour.dropRate < 0.0 || options.misbehaviour.dropRate > 1.0) {
        Fail(QStringLiteral("--drop-rate needs a number from 0 to 1, not '%1'").arg(parser.value("drop-rate")));
    }
    options.powerOnAfterMs = parser.value("power-on-after").toInt(&ok);
    if (!ok || options.powerOnAfterMs < 0) {
        Fail(QStringLiteral("--power-on-after needs milliseconds, not '%1'")
                 .arg(parser.value("power-on-after")));
    }
    options.misbehaviour.silent = options.powerOnAfterMs > 0;
    options.misbehaviour.badCrc = parser.isSet("bad-crc");
    options.misbehaviour.lowerCaseCrc = parser.isSet("lower-case-crc");
    options.misbehaviour.splitFrame = parser.isSet("split");
    options.misbehaviour.doubleFrame = parser.isSet("merge");
    options.misbehaviour.answerTwice = parser.isSet("twice");
    options.misbehaviour.garbageBefore = parser.value("garbage").toStdString();
    if (parser.isSet("signal-sequence")) {
        for (const QString &value : parser.value("signal-sequence").split(QLatin1Char(','))) {
            options.settings.cellular.signalQualitySequence.push_back(value.toStdString());
        }
    }
    options.verbose = parser.isSet("verbose");
    options.stateFile = parser.value("state-file");
    return options;
}

void LogDatagram(const char *direction, const QByteArray &bytes, const QHostAddress &peer)
{
    std::fprintf(stderr, "%s %s %s\n", direction, qPrintable(peer.toString()),
                 bytes.toHex(' ').constData());
}

// The codes of the requests that change a setting; every other request only reads.
bool IsWriteRequest(const std::string &payload)
{
    static const std::set<std::string> kWriteCodes = {"EW", "R4", "GW", "RW", "AW", "PW",
                                                      "PC", "CW", "QW", "DA", "DE", "SW"};
    return kWriteCodes.contains(payload.substr(0, 2));
}

// The settings as "key=value" lines, so that a script can compare loggers with diff, and
// the count of write requests, so that it can tell a run that only read from one that wrote.
void WriteState(const QString &path, LoggerSim &endpoint, const LoggerSettings &settings)
{
    const LoggerIdentity &identity = endpoint.identity();
    const NetworkState &network = settings.network;
    const CellularState &cellular = settings.cellular;
    std::string text;
    const auto line = [&text](const char *key, const std::string &value) {
        text += std::string(key) + "=" + value + "\n";
    };
    line("serial", identity.serial);
    line("mac", network.mac);
    line("ipAddress", network.ipAddress);
    line("subnetMask", network.subnetMask);
    line("gateway", network.gateway);
    line("dataServerAddress", network.dataServerAddress);
    line("dataServerPort", network.dataServerPort);
    line("gprsServer", network.gprsServer.address + "," + network.gprsServer.port);
    line("ethernetServer", network.ethernetServer.address + "," + network.ethernetServer.port);
    line("apnName", cellular.apnName);
    line("apnUser", cellular.apnUser);
    line("apnPassword", cellular.apnPassword);
    line("pin", cellular.pin);
    line("telecomOperator", cellular.telecomOperator);
    line("frontEndMinutes", cellular.frontEndMinutes);
    line("systemBlock", settings.systemParameters.block);
    for (const auto &[key, value] : settings.quotedTexts) {
        line(key.c_str(), value);
    }
    for (const DeviceRegistryState::Device &device : settings.devices.devices) {
        line("device", device.record + "|" + device.appendInfo);
    }
    line("writes", std::to_string(std::ranges::count_if(endpoint.requests(), IsWriteRequest)));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text.data(), static_cast<qint64>(text.size()));
    }
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("logger-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    Options options = ParseOptions(application);

    SimulatedLogger logger(options.address, options.commandPort, options.searchPort,
                           options.identity, options.settings);
    logger.endpoint().misbehaviour() = options.misbehaviour;
    if (options.verbose) {
        QObject::connect(&logger.endpoint(), &LoggerSim::datagramReceived,
                         [](const QByteArray &bytes, const QHostAddress &from) { LogDatagram("<-", bytes, from); });
        QObject::connect(&logger.endpoint(), &LoggerSim::datagramSent,
                         [](const QByteArray &bytes, const QHostAddress &to) { LogDatagram("->", bytes, to); });
    }
    if (!options.stateFile.isEmpty()) {
        // Written once the request has been handled, after the signal that announced it.
        const auto writeState = [&logger, &options] {
            WriteState(options.stateFile, logger.endpoint(), logger.settings());
        };
        QObject::connect(&logger.endpoint(), &LoggerSim::datagramReceived, &logger.endpoint(),
                         [writeState, &logger] { QTimer::singleShot(0, &logger.endpoint(), writeState); });
        writeState();
    }
    if (!logger.endpoint().start()) {
        Fail(QStringLiteral("cannot bind %1 on ports %2 and %3")
                 .arg(options.address.toString())
                 .arg(options.commandPort)
                 .arg(options.searchPort));
    }
    if (options.powerOnAfterMs > 0) {
        QTimer::singleShot(options.powerOnAfterMs, &logger.endpoint(),
                           [&logger] { logger.endpoint().misbehaviour().silent = false; });
    }
    std::fprintf(stderr, "logger-sim %s (%s) on %s, command port %u, search port %u\n",
                 options.identity.serial.c_str(), options.identity.version.c_str(),
                 qPrintable(options.address.toString()), logger.endpoint().commandPort(),
                 logger.endpoint().searchPort());
    return QCoreApplication::exec();
}
