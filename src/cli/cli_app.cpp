#include "cli_app.h"

#include "discovery/address_range.h"
#include "discovery/pc_address.h"
#include "fleet/fleet_link.h"
#include "fleet/fleet_run.h"
#include "fleet/logger_settings.h"
#include "fleet/logger_sweep.h"
#include "fleet/profile.h"
#include "report_format.h"

#include <QCommandLineParser>
#include <QSet>

#include <map>
#include <memory>
#include <set>

namespace cli {
namespace {

const char kUsage[] = R"(Usage: tarnwick-cli VERB [options]

Reads and writes the settings of many PV data loggers at once.

Verbs:
  search   find the loggers of a network
  read     read settings of loggers
  write    write settings to loggers, each read back
  backup   save every readable setting of one logger as a profile
  apply    write a profile to many loggers, each setting read back

tarnwick-cli VERB --help describes a verb.
Exit status: 0 every logger succeeded, 1 some logger failed, 2 bad usage or input.
)";

// A refusal of the command line or of an input file: the message and exit status 2.
struct UsageError {
    QString message;
};

// A run that cannot start (a port taken, no address to search from): exit status 1.
struct StartFailure {
    QString message;
};

struct Verb {
    const char *name;
    const char *synopsis;
    const char *description;
};

const Verb kVerbs[] = {
    {"search", "search [--network A.B.C.0/24 | --range CIDR|FIRST-LAST] [--wait MS]",
     "Probes every address of the network on the search port and lists the loggers that\n"
     "answer: serial, ip and version. Without --network or --range it sweeps the /24\n"
     "network of the PC's address, chosen as the window chooses it."},
    {"read", "read (--logger IP[,IP...] | --all) [SETTING...]",
     "Reads settings of each logger: ip, data-server, mac, apn, operator, signal,\n"
     "front-end, devices, system. None named means all. --all searches first."},
    {"write", "write (--logger IP[,IP...] | --all) SETTING=VALUE...",
     "Writes settings, in the order given, and reads each back:\n"
     "  ip=dhcp  ip=ADDRESS,MASK,GATEWAY  data-server=A.B.C.D  data-server=none\n"
     "  apn=NAME,USER,PASSWORD  pin=DIGITS  pin=clear  operator=TEXT  front-end=MINUTES\n"
     "  gprs=on|off  intervals=DATA_MINUTES,HEART_MINUTES\n"
     "  devices+=SERIAL,ADDRESS,TYPE[,APPEND]  devices=clear\n"
     "Every value is checked before anything is sent; a refused value sends nothing."},
    {"backup", "backup --logger IP --output FILE.json",
     "Saves every readable setting of one logger as a profile (docs/profile.md). A file\n"
     "that holds an APN password is created readable by its owner only."},
    {"apply", "apply FILE.json (--logger IP[,IP...] | --all) [--with-ip [--plan PLAN.csv]]",
     "Writes a profile to each logger and reads every setting back. The profile's IP\n"
     "configuration is written only with --with-ip: from the plan (columns\n"
     "serial,ip,mask,gateway) by serial number, or from the profile for one logger.\n"
     "IP changes go last, after every other setting of that logger is verified."},
};

const Verb *VerbNamed(const QString &name)
{
    for (const Verb &verb : kVerbs) {
        if (name == QLatin1String(verb.name)) {
            return &verb;
        }
    }
    return nullptr;
}

bool Has(const Verb &verb, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (qstrcmp(verb.name, name) == 0) {
            return true;
        }
    }
    return false;
}

void AddOptions(QCommandLineParser &parser, const Verb &verb)
{
    parser.addHelpOption();
    parser.addPositionalArgument(QLatin1String(verb.name), QStringLiteral("the verb, as above"),
                                 QLatin1String(verb.synopsis));
    parser.addOptions({
        {"format", "Output: table, json or csv (default table).", "format", "table"},
        {"parallel", "Loggers worked on at once (default 64).", "n", "64"},
        {"timeout", "Milliseconds to wait for each answer (default 5000).", "ms", "5000"},
        {"retries", "Times a request without answer is sent again (default 2).", "n", "2"},
        {"trace", "Print every datagram sent and received on stderr."},
        {"command-port", "The loggers' command port (default 8000).", "port", "8000"},
        {"search-port", "The loggers' search port (default 23).", "port", "23"},
        {"bind", "Local address to send from (default all).", "address", "0.0.0.0"},
        {"local-command-port", "Local command port (default: the command port).", "port"},
        {"local-search-port", "Local search port (default: the search port).", "port"},
    });
    if (Has(verb, {"read", "write", "backup", "apply"})) {
        parser.addOption({"logger", "The loggers' addresses, separated by commas.", "ip[,ip...]"});
    }
    if (Has(verb, {"search", "read", "write", "apply"})) {
        if (!Has(verb, {"search"})) {
            parser.addOption({"all", "Every logger a search finds."});
        }
        parser.addOptions({
            {"network", "The /24 network to search.", "A.B.C.0/24"},
            {"range", "The addresses to search: a CIDR block or FIRST-LAST.", "range"},
            {"wait", "Milliseconds to wait for answers after the last probe (default 3000).", "ms",
             "3000"},
        });
    } else {
        parser.addOption({"wait",
                          "Milliseconds to wait for the logger's serial number "
                          "(default 1000).",
                          "ms", "1000"});
    }
    if (Has(verb, {"backup"})) {
        parser.addOption({"output", "The profile file to write.", "file"});
    }
    if (Has(verb, {"apply"})) {
        parser.addOptions({
            {"with-ip", "Also write the IP configuration (last)."},
            {"plan", "Per-logger IP configurations by serial number (CSV).", "file"},
        });
    }
}

int Number(const QCommandLineParser &parser, const QString &name, int lowest, int highest)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < lowest || value > highest) {
        throw UsageError{QStringLiteral("--%1 needs a whole number from %2 to %3, not '%4'")
                             .arg(name)
                             .arg(lowest)
                             .arg(highest)
                             .arg(parser.value(name))};
    }
    return value;
}

quint16 Port(const QCommandLineParser &parser, const QString &name, int lowest = 1)
{
    return static_cast<quint16>(Number(parser, name, lowest, 65535));
}

// Everything a verb works with, taken from its options.
class VerbRun
{
public:
    VerbRun(const Verb &verb, QCommandLineParser &parser, Console &console)
        : m_verb(verb), m_parser(parser), m_console(console)
    {
    }

    int run()
    {
        readCommonOptions();
        if (Has(m_verb, {"search"})) {
            return search();
        }
        if (Has(m_verb, {"read"})) {
            return read();
        }
        if (Has(m_verb, {"write"})) {
            return write();
        }
        if (Has(m_verb, {"backup"})) {
            return backup();
        }
        return apply();
    }

private:
    void readCommonOptions()
    {
        const auto format = FormatNamed(m_parser.value("format"));
        if (!format) {
            throw UsageError{QStringLiteral("--format needs table, json or csv, not '%1'")
                                 .arg(m_parser.value("format"))};
        }
        m_format = *format;
        m_parallel = Number(m_parser, "parallel", 1, 4096);
        m_policy.timeoutMs = Number(m_parser, "timeout", 1, 600000);
        m_policy.retries = Number(m_parser, "retries", 0, 100);
        m_waitMs = Number(m_parser, "wait", 0, 600000);
        m_network.remoteSetPort = Port(m_parser, "command-port");
        m_network.remoteSearchPort = Port(m_parser, "search-port");
        m_network.localSetPort = m_parser.isSet("local-command-port")
                                     ? Port(m_parser, "local-command-port", 0)
                                     : m_network.remoteSetPort;
        m_network.localSearchPort = m_parser.isSet("local-search-port")
                                        ? Port(m_parser, "local-search-port", 0)
                                        : m_network.remoteSearchPort;
        const auto bind = discovery::ParseDottedQuad(m_parser.value("bind"));
        if (!bind) {
            throw UsageError{QStringLiteral("--bind needs an IPv4 address, not '%1'")
                                 .arg(m_parser.value("bind"))};
        }
        m_network.bindAddress = QHostAddress(*bind);
    }

    // The sockets open only once the input is known to be good: a refusal sends nothing.
    void openLink()
    {
        m_link = std::make_unique<fleet::FleetLink>(m_network);
        if (const auto problem = m_link->open()) {
            throw StartFailure{*problem};
        }
        if (m_parser.isSet("trace")) {
            m_link->setTrace([this](const fleet::TracedDatagram &datagram) { trace(datagram); });
        }
    }

    void trace(const fleet::TracedDatagram &datagram)
    {
        QString printable;
        for (const char byte : datagram.bytes) {
            const auto value = static_cast<unsigned char>(byte);
            printable += value >= 0x20 && value < 0x7F ? QChar::fromLatin1(byte) : QLatin1Char('.');
        }
        m_console.err << QStringLiteral("%1 %2 %3 %4 %5 |%6|\n")
                             .arg(static_cast<double>(datagram.elapsedMs) / 1000.0, 8, 'f', 3)
                             .arg(datagram.sent ? QLatin1String("->") : QLatin1String("<-"))
                             .arg(datagram.searchPort ? QLatin1String("search")
                                                      : QLatin1String("command"))
                             .arg(datagram.peer.toString())
                             .arg(QString::fromLatin1(datagram.bytes.toHex(' ')))
                             .arg(printable);
        m_console.err.flush();
    }

    discovery::AddressRange searchRange()
    {
        if (m_parser.isSet("network") && m_parser.isSet("range")) {
            throw UsageError{QStringLiteral("give either --network or --range, not both")};
        }
        if (m_parser.isSet("network")) {
            const QString text = m_parser.value("network");
            const auto parsed = discovery::ParseAddressRange(text);
            const auto *range = std::get_if<discovery::AddressRange>(&parsed);
            if (range == nullptr || !text.endsWith(QLatin1String("/24"))) {
                throw UsageError{QStringLiteral("--network needs a /24 network such as "
                                                "192.0.2.0/24, not '%1'")
                                     .arg(text)};
            }
            return *range;
        }
        if (m_parser.isSet("range")) {
            const auto parsed = discovery::ParseAddressRange(m_parser.value("range"));
            if (const auto *problem = std::get_if<QString>(&parsed)) {
                throw UsageError{QStringLiteral("--range: ") + *problem};
            }
            return std::get<discovery::AddressRange>(parsed);
        }
        // The window's choice: the /24 network of the PC's address.
        const QString pc = discovery::LocalPcAddress();
        const auto parsed = discovery::ParseAddressRange(pc + QStringLiteral("/24"));
        if (std::holds_alternative<QString>(parsed)) {
            throw StartFailure{QStringLiteral("this PC has no address to search from ('%1'); give "
                                           "--network or --range")
                                .arg(pc)};
        }
        m_ownAddress = QHostAddress(pc);
        return std::get<discovery::AddressRange>(parsed);
    }

    fleet::SweepPlan sweepPlan() const
    {
        fleet::SweepPlan plan;
        plan.waitMs = m_waitMs;
        plan.ownAddress = m_ownAddress.isNull() ? m_network.bindAddress : m_ownAddress;
        return plan;
    }

    std::vector<fleet::LoggerTarget> sweep(const discovery::AddressRange &range)
    {
        return fleet::SweepLoggers(*m_link, range, sweepPlan());
    }

    std::vector<QHostAddress> loggerAddresses()
    {
        std::vector<QHostAddress> addresses;
        QSet<quint32> seen;
        for (const QString &text : m_parser.value("logger").split(QLatin1Char(','))) {
            const auto parsed = discovery::ParseLoggerAddress(text.trimmed());
            if (const auto *problem = std::get_if<QString>(&parsed)) {
                throw UsageError{QStringLiteral("--logger: ") + *problem};
            }
            const quint32 address = std::get<quint32>(parsed);
            if (!seen.contains(address)) {
                seen.insert(address);
                addresses.emplace_back(address);
            }
        }
        return addresses;
    }

    // --logger or --all, exactly one of them; checked before anything is sent.
    void checkTargetChoice()
    {
        if (m_parser.isSet("logger") == m_parser.isSet("all")) {
            throw UsageError{QStringLiteral("give either --logger IP[,IP...] or --all")};
        }
        if (m_parser.isSet("logger")) {
            m_addresses = loggerAddresses();
        } else {
            m_range = searchRange();
        }
    }

    std::vector<fleet::LoggerTarget> targets(bool needSerials)
    {
        if (m_range) {
            return sweep(*m_range);
        }
        std::vector<fleet::LoggerTarget> targets;
        std::map<quint32, QString> serials;
        if (needSerials) {
            for (const fleet::LoggerTarget &found :
                 fleet::IdentifyLoggers(*m_link, m_addresses, sweepPlan())) {
                serials[found.address.toIPv4Address()] = found.serial;
            }
        }
        for (const QHostAddress &address : m_addresses) {
            targets.push_back({address, serials[address.toIPv4Address()], QString()});
        }
        return targets;
    }

    std::vector<fleet::LoggerOutcome> runJobs(const std::vector<fleet::LoggerTarget> &targets,
                                              const fleet::FleetRun::JobPlan &plan)
    {
        fleet::FleetRun run(*m_link, m_policy, m_parallel);
        if (m_console.errIsTerminal) {
            run.setProgressSink([this](const fleet::RunProgress &progress) {
                m_console.err << QStringLiteral("\r%1/%2 loggers done, %3 failed, %4 s")
                                     .arg(progress.done)
                                     .arg(progress.total)
                                     .arg(progress.failed)
                                     .arg(static_cast<double>(progress.elapsedMs) / 1000.0, 0, 'f',
                                          1);
                if (progress.done == progress.total) {
                    m_console.err << '\n';
                }
                m_console.err.flush();
            });
        }
        return run.run(targets, plan);
    }

    int report(const std::vector<fleet::LoggerOutcome> &outcomes, const QStringList &keys)
    {
        m_console.out << FormatOutcomes(outcomes, keys, m_format);
        m_console.out.flush();
        int failed = 0;
        for (const fleet::LoggerOutcome &outcome : outcomes) {
            if (!outcome.succeeded()) {
                ++failed;
                m_console.err
                    << QStringLiteral("%1: %2\n").arg(outcome.address.toString(), outcome.error);
            }
        }
        if (failed > 0) {
            m_console.err
                << QStringLiteral("%1 of %2 loggers failed\n").arg(failed).arg(outcomes.size());
        }
        return failed == 0 ? kAllSucceeded : kSomeFailed;
    }

    int noLoggerFound()
    {
        m_console.err << QStringLiteral("no logger answered the search\n");
        return kSomeFailed;
    }

    void noArguments()
    {
        if (!m_parser.positionalArguments().isEmpty()) {
            throw UsageError{QStringLiteral("unexpected argument '%1'")
                                 .arg(m_parser.positionalArguments().first())};
        }
    }

    int search()
    {
        noArguments();
        const discovery::AddressRange range = searchRange();
        openLink();
        m_console.out << FormatLoggers(sweep(range), m_format);
        m_console.out.flush();
        return kAllSucceeded;
    }

    int read()
    {
        std::vector<fleet::Setting> settings;
        QStringList keys;
        for (const QString &name : m_parser.positionalArguments()) {
            const auto setting = fleet::SettingNamed(name);
            if (!setting) {
                throw UsageError{QStringLiteral("'%1' is not a setting; settings: ip, "
                                                "data-server, mac, apn, operator, signal, "
                                                "front-end, devices, system")
                                     .arg(name)};
            }
            settings.push_back(*setting);
        }
        if (settings.empty()) {
            settings = fleet::AllSettings();
        }
        for (const fleet::Setting setting : settings) {
            keys.append(fleet::ReportKey(setting));
        }
        checkTargetChoice();
        openLink();
        const auto loggers = targets(false);
        if (loggers.empty()) {
            return noLoggerFound();
        }
        return report(runJobs(loggers,
                              [&settings](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
                                  fleet::AddReads(job, settings);
                              }),
                      keys);
    }

    static std::vector<fleet::SettingWrite> CheckedWrites(const QStringList &assignments)
    {
        std::vector<fleet::SettingWrite> writes;
        for (const QString &assignment : assignments) {
            fleet::CheckedWrite checked = fleet::ParseAssignment(assignment);
            if (const auto *refusal = std::get_if<QString>(&checked)) {
                throw UsageError{*refusal};
            }
            writes.push_back(std::get<fleet::SettingWrite>(std::move(checked)));
        }
        return writes;
    }

    static QStringList KeysOf(const std::vector<fleet::SettingWrite> &writes)
    {
        QStringList keys;
        for (const fleet::SettingWrite &write : writes) {
            const QString key = fleet::WriteReportKey(write.setting);
            if (!keys.contains(key)) {
                keys.append(key);
            }
        }
        return keys;
    }

    int write()
    {
        if (m_parser.positionalArguments().isEmpty()) {
            throw UsageError{QStringLiteral("name at least one SETTING=VALUE")};
        }
        std::vector<fleet::SettingWrite> writes = CheckedWrites(m_parser.positionalArguments());
        // A change of address goes last, after everything else is verified.
        std::stable_partition(writes.begin(), writes.end(),
                              [](const fleet::SettingWrite &w) { return !w.changesAddress; });
        checkTargetChoice();
        const bool severalLoggers = m_range || m_addresses.size() > 1;
        for (const fleet::SettingWrite &write : writes) {
            if (write.oneLoggersOwn && severalLoggers) {
                throw UsageError{QStringLiteral("%1: a fixed address would go to every logger; "
                                                "write it to one --logger, or use apply "
                                                "--with-ip --plan")
                                     .arg(write.setting)};
            }
        }
        openLink();
        const auto loggers = targets(false);
        if (loggers.empty()) {
            return noLoggerFound();
        }
        return report(runJobs(loggers,
                              [&writes](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
                                  for (const fleet::SettingWrite &write : writes) {
                                      write.addSteps(job);
                                  }
                              }),
                      KeysOf(writes));
    }

    int backup()
    {
        noArguments();
        if (!m_parser.isSet("output")) {
            throw UsageError{QStringLiteral("backup needs --output FILE.json")};
        }
        m_addresses = loggerAddresses();
        if (m_addresses.size() != 1) {
            throw UsageError{QStringLiteral("backup takes exactly one --logger")};
        }
        openLink();
        const auto outcomes = runJobs(targets(true), [](fleet::LoggerJob &job, const auto &) {
            fleet::AddReads(job, fleet::AllSettings());
        });
        QStringList keys;
        for (const fleet::Setting setting : fleet::AllSettings()) {
            keys.append(fleet::ReportKey(setting));
        }
        const int status = report(outcomes, keys);
        if (status != kAllSucceeded) {
            return status; // no file from a partial read
        }
        if (const auto problem = fleet::SaveProfile(m_parser.value("output"),
                                                    fleet::ProfileDocument(outcomes.front()))) {
            m_console.err << *problem << '\n';
            return kSomeFailed;
        }
        return kAllSucceeded;
    }

    int apply()
    {
        const QStringList arguments = m_parser.positionalArguments();
        if (arguments.size() != 1) {
            throw UsageError{QStringLiteral("apply takes one profile file")};
        }
        auto loaded = fleet::LoadProfile(arguments.first());
        if (const auto *problem = std::get_if<QString>(&loaded)) {
            throw UsageError{*problem};
        }
        const fleet::Profile profile = std::get<fleet::Profile>(std::move(loaded));
        const bool withIp = m_parser.isSet("with-ip");
        std::optional<fleet::Plan> plan;
        if (m_parser.isSet("plan")) {
            if (!withIp) {
                throw UsageError{QStringLiteral("--plan gives IP configurations: add --with-ip")};
            }
            auto planned = fleet::LoadPlan(m_parser.value("plan"));
            if (const auto *problem = std::get_if<QString>(&planned)) {
                throw UsageError{*problem};
            }
            plan = std::get<fleet::Plan>(std::move(planned));
        } else if (withIp && !profile.ipWrite) {
            throw UsageError{QStringLiteral("--with-ip: the profile holds no IP configuration")};
        }
        checkTargetChoice();
        if (withIp && !plan && (m_range || m_addresses.size() != 1)) {
            throw UsageError{QStringLiteral("--with-ip without --plan would give every logger the "
                                            "same address: give one --logger or a --plan")};
        }
        openLink();
        const auto loggers = targets(plan.has_value());
        if (loggers.empty()) {
            return noLoggerFound();
        }
        if (plan) {
            checkPlanAgainst(*plan, loggers);
        }
        QStringList keys = KeysOf(profile.writes);
        if (withIp) {
            keys.append(fleet::WriteReportKey(QStringLiteral("ip")));
        }
        return report(
            runJobs(loggers,
                    [&profile, &plan, withIp](fleet::LoggerJob &job,
                                              const fleet::LoggerTarget &target) {
                        for (const fleet::SettingWrite &write : profile.writes) {
                            write.addSteps(job);
                        }
                        if (withIp) {
                            (plan ? plan->at(target.serial) : *profile.ipWrite).addSteps(job);
                        }
                    }),
            keys);
    }

    // Every planned serial must be a logger of this run and every logger must have its
    // row, or some logger would be left at an address meant for another.
    static void checkPlanAgainst(const fleet::Plan &plan,
                                 const std::vector<fleet::LoggerTarget> &loggers)
    {
        std::set<QString> serials;
        for (const fleet::LoggerTarget &logger : loggers) {
            if (logger.serial.isEmpty()) {
                throw UsageError{QStringLiteral("%1 did not tell its serial number, so the plan "
                                                "cannot be matched; nothing was written")
                                     .arg(logger.address.toString())};
            }
            if (!plan.contains(logger.serial)) {
                throw UsageError{QStringLiteral("logger %1 (%2) has no row in the plan; nothing "
                                                "was written")
                                     .arg(logger.serial, logger.address.toString())};
            }
            serials.insert(logger.serial);
        }
        for (const auto &[serial, write] : plan) {
            if (!serials.contains(serial)) {
                throw UsageError{QStringLiteral("the plan names serial %1, which is not among "
                                                "the loggers; nothing was written")
                                     .arg(serial)};
            }
        }
    }

    const Verb &m_verb;
    QCommandLineParser &m_parser;
    Console &m_console;
    Format m_format = Format::Table;
    int m_parallel = 64;
    fleet::ExchangePolicy m_policy;
    int m_waitMs = 3000;
    NetworkSettings m_network;
    QHostAddress m_ownAddress;
    std::unique_ptr<fleet::FleetLink> m_link;
    std::vector<QHostAddress> m_addresses;
    std::optional<discovery::AddressRange> m_range;
};

} // namespace

int RunCli(const QStringList &arguments, Console &console)
{
    const QString verbName = arguments.value(1);
    const Verb *verb = VerbNamed(verbName);
    if (verb == nullptr) {
        if (verbName == QLatin1String("--help") || verbName == QLatin1String("-h")) {
            console.out << kUsage;
            return kAllSucceeded;
        }
        console.err << (verbName.isEmpty() ? QString()
                                           : QStringLiteral("'%1' is not a verb\n").arg(verbName))
                    << kUsage;
        return kBadUsage;
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(verb->description));
    AddOptions(parser, *verb);
    QStringList verbArguments = arguments.mid(2);
    verbArguments.prepend(arguments.first() + QLatin1Char(' ') + verbName);
    if (!parser.parse(verbArguments)) {
        console.err << parser.errorText() << '\n';
        return kBadUsage;
    }
    if (parser.isSet("help")) {
        console.out << parser.helpText();
        return kAllSucceeded;
    }
    VerbRun run(*verb, parser, console);
    try {
        return run.run();
    } catch (const UsageError &error) {
        console.err << "tarnwick-cli " << verbName << ": " << error.message << '\n';
        return kBadUsage;
    } catch (const StartFailure &error) {
        console.err << "tarnwick-cli " << verbName << ": " << error.message << '\n';
        return kSomeFailed;
    }
}

} // namespace cli
