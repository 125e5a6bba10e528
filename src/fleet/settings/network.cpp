// SPDX-License-Identifier: GPL-3.0-or-later
#include "network.h"

#include "catalogue.h"
#include "commands/network_addressing_codec.h"
#include "discovery/address_range.h"
#include "fleet/logger_job.h"
#include "profile_values.h"
#include "protocol/text.h"
#include "wire_text/wire_text.h"
#include "write_steps.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QStringList>

#include <optional>

namespace fleet {
namespace {

namespace codes = protocol::command_codes;
using protocol::Request;

using network_addressing::IpConfiguration;
using network_addressing::OctetRow;

// A cleared data server reads back as this address.
constexpr std::string_view kNoAddress = "0.0.0.0";
const QString kNone = QStringLiteral("none");
const QString kDhcp = QStringLiteral("dhcp");

QString Dotted(const OctetRow &octets)
{
    return Text(octets[0] + '.' + octets[1] + '.' + octets[2] + '.' + octets[3]);
}

OctetRow OctetsOf(const QString &dotted)
{
    return network_addressing::CutDottedText(ToWireForSending(dotted));
}

// Without an answer the job fails, unless onSilence is given.
void ReadIpOr(LoggerJob &job, std::function<void(const IpConfiguration &)> done,
              LoggerJob::SilenceHandler onSilence)
{
    // An answer of fewer than three fields is not ER's.
    AskParsed(job, Request::Bare(codes::kIpConfigurationRead), network_addressing::ParseIpAnswer,
              std::move(done), std::move(onSilence));
}

void ReadIp(LoggerJob &job, std::function<void(const IpConfiguration &)> done)
{
    ReadIpOr(job, std::move(done), {});
}

QString IpLine(const IpConfiguration &ip)
{
    return QStringList{Dotted(ip.address), Dotted(ip.mask), Dotted(ip.gateway)}.join(
        QLatin1Char(','));
}

QString DottedNumber(quint32 address)
{
    return QHostAddress(address).toString();
}

// Before the address changes: two loggers at one address would both be lost, so a logger
// that answers at the new address must be this one, known by its serial number.
void ProbeNewAddress(LoggerJob &job, const QHostAddress &newAddress)
{
    job.then([&job, newAddress] {
        if (newAddress == job.address()) {
            job.next(); // the address stays: only this logger is there
            return;
        }
        job.probe(newAddress, [&job, newAddress](const std::optional<QString> &serial) {
            const QString &own = job.outcome().serial;
            if (!serial || (!own.isEmpty() && *serial == own)) {
                job.next();
                return;
            }
            const QString who = serial->isEmpty() ? QStringLiteral("a logger")
                                                  : QStringLiteral("logger %1").arg(*serial);
            const QString whyNotOurs = own.isEmpty()
                                           ? QStringLiteral(" and this logger's serial number "
                                                            "is not known")
                                           : QString();
            job.fail(
                LoggerError::Kind::Refused,
                QStringLiteral("%1: %2 answers at %3, the new address%4; the address was "
                               "not changed")
                    .arg(CommandLineName(Setting::Ip), who, newAddress.toString(), whyNotOurs));
        });
    });
}

// After the change: the logger is looked for at its new address first, then at the old one.
// The read-back must hold what was written; the record says where the logger answered.
void ReadBackWhereItAnswers(LoggerJob &job, const IpConfiguration &expected,
                            const QHostAddress &newAddress)
{
    const QHostAddress oldAddress = job.address();
    const auto verify = [&job, expected](const QHostAddress &at) {
        return [&job, expected, at](const IpConfiguration &read) {
            if (!SameConfiguration(read, expected)) {
                Differs(job, Setting::Ip, IpLine(read), IpLine(expected));
                return;
            }
            Recorded(job, Setting::Ip, IpSetting{read, at.toString()});
        };
    };
    if (newAddress == oldAddress) {
        ReadIp(job, verify(oldAddress));
        return;
    }
    job.moveTo(newAddress);
    ReadIpOr(job, verify(newAddress), [&job, verify, oldAddress, newAddress] {
        job.moveTo(oldAddress);
        ReadIpOr(job, verify(oldAddress), [&job, oldAddress, newAddress] {
            job.fail(LoggerError::Kind::NoAnswer,
                     QStringLiteral("%1: after the address change the logger answers neither at "
                                    "%2 nor at %3")
                         .arg(CommandLineName(Setting::Ip), newAddress.toString(),
                              oldAddress.toString()));
        });
    });
}

// The address, or none; a port other than the one every write sends follows the address
// after a colon, so that a report shows it and an apply that would change it says so.
void ReadDataServerAddress(LoggerJob &job, std::function<void(const QString &)> done)
{
    job.ask(Request::Bare(codes::kDataServerRead), [done](const std::string &payload) {
        const QString address = Dotted(network_addressing::ParseDataServerAnswer(payload));
        const std::string port = network_addressing::ParseDataServerPort(payload);
        if (address == QLatin1String(kNoAddress)) {
            done(kNone);
        } else if (port == network_addressing::kDataServerPort) {
            done(address);
        } else {
            done(address + QLatin1Char(':') + Text(port));
        }
    });
}

// A logger on DHCP reports the address it was given, so there is nothing to compare.
CheckedWrite DhcpWrite()
{
    return SettingWrite{Setting::Ip,
                        AnsweredWrite(Setting::Ip,
                                      {codes::kIpConfigurationWrite,
                                       std::string(network_addressing::kDhcpIpRequest)},
                                      kDhcp)};
}

CheckedWrite DataServerWrite(const QString &address)
{
    const bool clear = address.trimmed() == kNone;
    Request request{codes::kDataServerWrite,
                    std::string(network_addressing::kClearDataServerRequest)};
    if (!clear) {
        if (address.contains(QLatin1Char(':'))) {
            return Refused(Setting::DataServer,
                           QStringLiteral("every data server is written with port %1, which the "
                                          "system fixes: give the address alone")
                               .arg(Text(std::string(network_addressing::kDataServerPort))));
        }
        const OctetRow octets = OctetsOf(address);
        if (const auto problem = network_addressing::CheckDataServerEntry(octets)) {
            return Refused(Setting::DataServer, *problem);
        }
        request.payload = network_addressing::BuildDataServerRequest(octets);
    }
    // 0.0.0.0 is written with the fixed port, as the window's Set writes it, and reads back
    // as no data server.
    const QString dotted = Dotted(OctetsOf(address));
    const QString expected = clear || dotted == QLatin1String(kNoAddress) ? kNone : dotted;
    return SettingWrite{.setting = Setting::DataServer,
                        .addSteps = VerifiedWrite(request, [expected](LoggerJob &job) {
                            ReadDataServerAddress(job, [&job, expected](const QString &read) {
                                if (read != expected) {
                                    Differs(job, Setting::DataServer, read, expected);
                                    return;
                                }
                                Recorded(job, Setting::DataServer, expected);
                            });
                        }),
                        .wanted = expected};
}

// The change itself, then the read-back wherever the logger answers.
void ChangeAddress(LoggerJob &job, const Request &change, const IpConfiguration &expected,
                   const QHostAddress &newAddress)
{
    job.then([&job, change, expected, newAddress] {
        const auto readBack = [&job, expected, newAddress] {
            ReadBackWhereItAnswers(job, expected, newAddress);
        };
        // A logger that takes its new address at once may do so before its answer is
        // through: without an answer, the read-back tells whether it changed.
        job.ask(
            change, [readBack](const std::string &) { readBack(); }, {}, readBack);
    });
}

CheckedWrite FixedIpWriteOf(const QString &address, const QString &mask, const QString &gateway)
{
    const Checked<FixedIp> ip = CheckFixedIp(address, mask, gateway);
    if (!ip.accepted()) {
        return ip.refusal();
    }
    return FixedIpWrite(ip.value());
}

} // namespace

std::optional<Refusal> RefusedNewAddress(quint32 address,
                                         const QList<discovery::LocalNetwork> &pcNetworks,
                                         discovery::LoopbackLoggers loopback)
{
    const auto parsed = discovery::ParseLoggerAddress(DottedNumber(address), pcNetworks, loopback);
    if (!parsed.accepted()) {
        return Refused(Setting::Ip, parsed.refusal());
    }
    return std::nullopt;
}

QJsonObject ConfigurationReport(const IpConfiguration &configuration)
{
    return {{"address", Dotted(configuration.address)},
            {"mask", Dotted(configuration.mask)},
            {"gateway", Dotted(configuration.gateway)}};
}

bool SameConfiguration(const IpConfiguration &one, const IpConfiguration &other)
{
    return one.address == other.address && one.mask == other.mask && one.gateway == other.gateway;
}

QJsonObject IpReport(const IpSetting &ip)
{
    QJsonObject report = ConfigurationReport(ip.configuration);
    if (!ip.answersAt.isEmpty()) {
        report.insert("answers_at", ip.answersAt);
    }
    return report;
}

void ReadIpConfiguration(LoggerJob &job)
{
    ReadIp(job, [&job](const IpConfiguration &read) { Recorded(job, Setting::Ip, IpSetting{read, {}}); });
}

Checked<FixedIp> CheckFixedIp(const QString &address, const QString &mask, const QString &gateway)
{
    const IpConfiguration entered{OctetsOf(address), OctetsOf(mask), OctetsOf(gateway)};
    if (const auto problem = network_addressing::CheckFixedIpEntry(entered)) {
        return Refused(Setting::Ip, *problem);
    }
    const FixedIp ip{network_addressing::AddressNumber(entered.address),
                     network_addressing::AddressNumber(entered.mask),
                     network_addressing::AddressNumber(entered.gateway)};
    // The rules of a logger's address that hold on every PC; the PC's own addresses are
    // checked once the run knows them (RefusedNewAddress).
    const auto asLoggers = discovery::ParseLoggerAddress(DottedNumber(ip.address));
    if (!asLoggers.accepted()) {
        return Refused(Setting::Ip, asLoggers.refusal());
    }
    if (const auto problem = network_addressing::RefusedSubnet(entered)) {
        return Refused(Setting::Ip, *problem);
    }
    return ip;
}

SettingWrite FixedIpWrite(const FixedIp &ip)
{
    // Written as plain decimal numbers, so the read-back compares with what was sent.
    const IpConfiguration written{OctetsOf(DottedNumber(ip.address)),
                                  OctetsOf(DottedNumber(ip.mask)),
                                  OctetsOf(DottedNumber(ip.gateway))};
    const Request change{codes::kIpConfigurationWrite,
                         network_addressing::BuildFixedIpRequest(written)};
    const QHostAddress newAddress(ip.address);
    return SettingWrite{Setting::Ip,
                        [change, written, newAddress](LoggerJob &job) {
                            ProbeNewAddress(job, newAddress);
                            ChangeAddress(job, change, written, newAddress);
                        },
                        Ownership::OneLoggersOwn, written, ip.address};
}

CheckedWrite ParseIpAssignment(const Assignment &assignment)
{
    if (assignment.value.trimmed() == kDhcp) {
        return DhcpWrite();
    }
    const QStringList parts = assignment.value.split(QLatin1Char(','));
    if (parts.size() != 3) {
        return ExpectedForm(Setting::Ip, assignment.mode);
    }
    return FixedIpWriteOf(parts[0], parts[1], parts[2]);
}

CheckedProfileSetting IpFromProfile(const QJsonValue &value, const QString &path)
{
    if (value.toString() == kDhcp) {
        return AsProfileSetting(DhcpWrite());
    }
    const Checked<QStringList> fields = ProfileFields(
        value, path,
        {QStringLiteral("address"), QStringLiteral("mask"), QStringLiteral("gateway")});
    if (!fields.accepted()) {
        return fields.refusal();
    }
    return AsProfileSetting(FixedIpWriteOf(fields.value()[0], fields.value()[1], fields.value()[2]));
}

void ReadDataServer(LoggerJob &job)
{
    ReadAndRecord<QString>(job, Setting::DataServer, ReadDataServerAddress);
}

CheckedWrite ParseDataServerAssignment(const Assignment &assignment)
{
    return DataServerWrite(assignment.value);
}

CheckedProfileSetting DataServerFromProfile(const QJsonValue &value, const QString &path)
{
    const Checked<QString> text = ProfileText(value, path);
    if (!text.accepted()) {
        return text.refusal();
    }
    return AsProfileSetting(DataServerWrite(text.value()));
}

void ReadMac(LoggerJob &job)
{
    job.ask(Request::Bare(codes::kMacRead), [&job](const std::string &payload) {
        Recorded(job, Setting::Mac, Text(network_addressing::ParseMacAnswer(payload)));
    });
}

} // namespace fleet
