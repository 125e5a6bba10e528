#include "network.h"

#include "catalogue.h"
#include "commands/network_addressing_codec.h"
#include "fleet/logger_job.h"
#include "profile_values.h"
#include "wire_text/wire_text.h"
#include "write_steps.h"

#include <QJsonObject>
#include <QStringList>

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
    return network_addressing::CutDottedText(ToWire(dotted));
}

void ReadIp(LoggerJob &job, std::function<void(const IpConfiguration &)> done)
{
    // An answer of fewer than three fields is not ER's.
    AskParsed(job, Request::Bare(codes::kIpConfigurationRead), network_addressing::ParseIpAnswer,
              std::move(done));
}

QJsonObject IpReport(const IpConfiguration &configuration)
{
    return {{"address", Dotted(configuration.address)},
            {"mask", Dotted(configuration.mask)},
            {"gateway", Dotted(configuration.gateway)}};
}

void ReadDataServerAddress(LoggerJob &job, std::function<void(const QString &)> done)
{
    job.ask(Request::Bare(codes::kDataServerRead), [done](const std::string &payload) {
        const QString address = Dotted(network_addressing::ParseDataServerAnswer(payload));
        done(address == QLatin1String(kNoAddress) ? kNone : address);
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
        const OctetRow octets = OctetsOf(address);
        if (const auto problem = network_addressing::CheckDataServerEntry(octets)) {
            return Refused(Setting::DataServer, *problem);
        }
        request.payload = network_addressing::BuildDataServerRequest(octets);
    }
    const QString expected = clear ? kNone : Dotted(OctetsOf(address));
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

} // namespace

void ReadIpConfiguration(LoggerJob &job)
{
    ReadAndRecord<IpConfiguration>(job, Setting::Ip, ReadIp, IpReport);
}

CheckedWrite FixedIpWrite(const QString &address, const QString &mask, const QString &gateway)
{
    const IpConfiguration entered{OctetsOf(address), OctetsOf(mask), OctetsOf(gateway)};
    if (const auto problem = network_addressing::CheckFixedIpEntry(entered)) {
        return Refused(Setting::Ip, *problem);
    }
    const QJsonObject expected = IpReport(entered);
    const auto line = [](const QJsonObject &ip) {
        return QStringList{ip["address"].toString(), ip["mask"].toString(),
                           ip["gateway"].toString()}
            .join(QLatin1Char(','));
    };
    return SettingWrite{
        Setting::Ip,
        VerifiedWrite(
            {codes::kIpConfigurationWrite, network_addressing::BuildFixedIpRequest(entered)},
            [expected, line](LoggerJob &job) {
                ReadIp(job, [&job, expected, line](const IpConfiguration &read) {
                    const QJsonObject got = IpReport(read);
                    if (got != expected) {
                        Differs(job, Setting::Ip, line(got), line(expected));
                        return;
                    }
                    Recorded(job, Setting::Ip, expected);
                });
            }),
        Ownership::OneLoggersOwn, expected};
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
    return FixedIpWrite(parts[0], parts[1], parts[2]);
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
    return AsProfileSetting(FixedIpWrite(fields.value()[0], fields.value()[1], fields.value()[2]));
}

void ReadDataServer(LoggerJob &job)
{
    ReadAndRecord<QString>(job, Setting::DataServer, ReadDataServerAddress,
                           [](const QString &address) { return address; });
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
