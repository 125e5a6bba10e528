#include "logger_settings.h"

#include "commands/cellular_link_codec.h"
#include "commands/device_registry_codec.h"
#include "commands/network_addressing_codec.h"
#include "logger_job.h"
#include "protocol/text.h"
#include "transport/wire_text.h"

#include <QJsonArray>

#include <algorithm>

namespace fleet {
namespace {

using network_addressing::OctetRow;
using system_parameters::BlockControls;

struct SettingNames {
    Setting setting;
    const char *commandLine;
    const char *report;
};

const SettingNames kNames[] = {
    {Setting::Ip, "ip", "ip_configuration"},
    {Setting::DataServer, "data-server", "data_server"},
    {Setting::Mac, "mac", "mac"},
    {Setting::Apn, "apn", "apn"},
    {Setting::Operator, "operator", "operator"},
    {Setting::Signal, "signal", "signal"},
    {Setting::FrontEnd, "front-end", "front_end"},
    {Setting::Devices, "devices", "devices"},
    {Setting::System, "system", "system"},
};

const SettingNames &NamesOf(Setting setting)
{
    return *std::find_if(std::begin(kNames), std::end(kNames),
                         [setting](const SettingNames &names) { return names.setting == setting; });
}

// A cleared data server reads back as this address.
constexpr std::string_view kNoAddress = "0.0.0.0";
const QString kNone = QStringLiteral("none");

QString Text(const std::string &wire)
{
    return FromWire(wire);
}

QString Dotted(const OctetRow &octets)
{
    return Text(octets[0] + '.' + octets[1] + '.' + octets[2] + '.' + octets[3]);
}

QString Refused(const QString &setting, const std::string &rule)
{
    return setting + QStringLiteral(": ") + Text(rule);
}

QString Refused(const QString &setting, const char *rule)
{
    return setting + QStringLiteral(": ") + QLatin1String(rule);
}

// A text that goes inside a request: a control character would break the frame, and a
// double quote (or, where the answer is split at commas, a comma) would make the answer
// unreadable, so the value could never be read back.
std::optional<const char *> TextRule(const std::string &trimmed, bool commaSplitsAnswer)
{
    for (const char byte : trimmed) {
        if (static_cast<unsigned char>(byte) < 0x20) {
            return "must not hold control characters";
        }
        if (byte == '"') {
            return "must not hold a double quote";
        }
        if (commaSplitsAnswer && byte == ',') {
            return "must not hold a comma";
        }
    }
    return std::nullopt;
}

void Differs(LoggerJob &job, const QString &setting, const QString &read, const QString &expected)
{
    job.fail(QStringLiteral("read-back differs: %1 is \"%2\", expected \"%3\"")
                 .arg(setting, read, expected));
}

// --- Reads, each handing on what it read ---

void ReadIp(LoggerJob &job, std::function<void(const network_addressing::IpConfiguration &)> done)
{
    job.ask("ER", [&job, done](const std::string &payload) {
        const auto configuration = network_addressing::ParseIpAnswer(payload);
        if (!configuration) {
            job.fail(QStringLiteral("answer to ER not understood: fewer than three fields"));
            return;
        }
        done(*configuration);
    });
}

QJsonObject IpReport(const network_addressing::IpConfiguration &configuration)
{
    return {{"address", Dotted(configuration.address)},
            {"mask", Dotted(configuration.mask)},
            {"gateway", Dotted(configuration.gateway)}};
}

void ReadDataServer(LoggerJob &job, std::function<void(const QString &)> done)
{
    job.ask("R3", [done](const std::string &payload) {
        const QString address = Dotted(network_addressing::ParseDataServerAnswer(payload));
        done(address == QLatin1String(kNoAddress) ? kNone : address);
    });
}

void ReadApn(LoggerJob &job, std::function<void(const cellular::ApnSettings &)> done)
{
    job.ask("AR", [&job, done](const std::string &payload) {
        const auto apn = cellular::ParseApnAnswer(payload);
        if (!apn) {
            job.fail(QStringLiteral("answer to AR not understood: fewer than three fields"));
            return;
        }
        done(*apn);
    });
}

QJsonObject ApnReport(const cellular::ApnSettings &apn)
{
    return {{"name", Text(apn.name)}, {"user", Text(apn.user)}, {"password", Text(apn.password)}};
}

void ReadOperator(LoggerJob &job, std::function<void(const QString &)> done)
{
    job.ask("CR", [done](const std::string &payload) {
        done(Text(cellular::ParseOperatorAnswer(payload)));
    });
}

void ReadFrontEnd(LoggerJob &job, std::function<void(const QString &)> done)
{
    job.ask("QR", [&job, done](const std::string &payload) {
        const auto minutes = cellular::ParseFrontEndAnswer(payload);
        if (!minutes) {
            job.fail(QStringLiteral("answer to QR not understood: fewer than three items"));
            return;
        }
        done(Text(*minutes));
    });
}

struct DeviceEntry {
    device_registry::DeviceRow row;
    std::string appendInfo;

    bool operator==(const DeviceEntry &other) const
    {
        return row.serialNumber == other.row.serialNumber && row.address == other.row.address &&
               row.typeCode == other.row.typeCode && appendInfo == other.appendInfo;
    }
};

QJsonObject DeviceReport(const DeviceEntry &device)
{
    return {{"serial", Text(device.row.serialNumber)},
            {"address", Text(device.row.address)},
            {"type", Text(device.row.typeCode)},
            {"append", Text(device.appendInfo)}};
}

void ReadDeviceCount(LoggerJob &job, std::function<void(int)> done)
{
    job.ask("DN",
            [done](const std::string &payload) { done(device_registry::DeviceCount(payload)); });
}

// The count, then (when there are devices) their records and append infos in one request.
void ReadDevices(LoggerJob &job, std::function<void(const std::vector<DeviceEntry> &)> done)
{
    ReadDeviceCount(job, [&job, done](int count) {
        if (count == 0) {
            done({});
            return;
        }
        job.ask(device_registry::DeviceReadRequest(count), [&job, done,
                                                            count](const std::string &payload) {
            const auto items = device_registry::DeviceReadItems(payload);
            if (!items || items->size() != 2 * static_cast<std::size_t>(count)) {
                job.fail(QStringLiteral("answer to the device read not understood: expected %1 "
                                        "devices")
                             .arg(count));
                return;
            }
            std::vector<DeviceEntry> devices;
            for (std::size_t index = 0; index + 1 < items->size(); index += 2) {
                devices.push_back({device_registry::ParseRecordItem((*items)[index]),
                                   device_registry::ParseAppendInfoItem((*items)[index + 1])});
            }
            done(devices);
        });
    });
}

void ReadBlock(LoggerJob &job, std::function<void(const BlockControls &)> done)
{
    job.ask(system_parameters::kReadRequest, [done](const std::string &payload) {
        done(system_parameters::ParseBlockAnswer(payload));
    });
}

// Stores a value read into the outcome and goes on.
template <typename Value>
std::function<void(const Value &)> Store(LoggerJob &job, Setting setting,
                                         std::function<QJsonValue(const Value &)> report)
{
    return [&job, setting, report](const Value &value) {
        job.outcome().values.insert(ReportKey(setting), report(value));
        job.next();
    };
}

void AddRead(LoggerJob &job, Setting setting)
{
    switch (setting) {
    case Setting::Ip:
        ReadIp(job, Store<network_addressing::IpConfiguration>(
                        job, setting, [](const auto &ip) { return QJsonValue(IpReport(ip)); }));
        return;
    case Setting::DataServer:
        ReadDataServer(
            job, Store<QString>(job, setting, [](const QString &a) { return QJsonValue(a); }));
        return;
    case Setting::Mac:
        job.ask("MR", [&job](const std::string &payload) {
            job.outcome().values.insert(QStringLiteral("mac"),
                                        Text(network_addressing::ParseMacAnswer(payload)));
            job.next();
        });
        return;
    case Setting::Apn:
        ReadApn(job, Store<cellular::ApnSettings>(
                         job, setting, [](const auto &apn) { return QJsonValue(ApnReport(apn)); }));
        return;
    case Setting::Operator:
        ReadOperator(job,
                     Store<QString>(job, setting, [](const QString &o) { return QJsonValue(o); }));
        return;
    case Setting::Signal:
        job.ask("IF", [&job](const std::string &payload) {
            job.outcome().values.insert(QStringLiteral("signal"),
                                        Text(cellular::ParseSignalQualityAnswer(payload)));
            job.next();
        });
        return;
    case Setting::FrontEnd:
        ReadFrontEnd(job,
                     Store<QString>(job, setting, [](const QString &m) { return QJsonValue(m); }));
        return;
    case Setting::Devices:
        ReadDevices(job, Store<std::vector<DeviceEntry>>(job, setting, [](const auto &devices) {
                        QJsonArray list;
                        for (const DeviceEntry &device : devices) {
                            list.append(DeviceReport(device));
                        }
                        return QJsonValue(list);
                    }));
        return;
    case Setting::System:
        ReadBlock(job, Store<BlockControls>(job, setting, [](const BlockControls &block) {
                      return QJsonValue(BlockReport(block));
                  }));
        return;
    }
}

// --- Writes ---

// Records what was written under the setting's report key and goes on.
void Written(LoggerJob &job, const QString &setting, const QJsonValue &value)
{
    job.outcome().values.insert(WriteReportKey(setting), value);
    job.next();
}

// A write answered is read back with `verify`, which ends the step.
SettingWrite VerifiedWrite(const QString &setting, const std::string &request,
                           std::function<void(LoggerJob &)> verify, bool changesAddress = false)
{
    return {setting,
            [request, verify](LoggerJob &job) {
                job.then([&job, request, verify] {
                    job.ask(request, [&job, verify](const std::string &) { verify(job); });
                });
            },
            changesAddress};
}

std::string Trimmed(const QString &text)
{
    return protocol::TrimText(ToWire(text));
}

OctetRow OctetsOf(const QString &dotted)
{
    return network_addressing::CutDottedText(ToWire(dotted));
}

// The block written and the block read back must give the same request.
void VerifyBlock(LoggerJob &job, const QString &setting, const std::string &request,
                 const QJsonValue &written)
{
    ReadBlock(job, [&job, setting, request, written](const BlockControls &read) {
        const std::string readBack = system_parameters::BuildBlockWrite(read);
        if (readBack != request) {
            Differs(job, setting, Text(readBack.substr(2)), Text(request.substr(2)));
            return;
        }
        Written(job, setting, written);
    });
}

// The chain of the GPRS and interval writes: read the block, change it, check and write
// it as the Set button would, and read it back.
SettingWrite BlockChain(const QString &setting, std::function<BlockControls(BlockControls)> change,
                        QJsonValue written)
{
    return {setting, [setting, change, written](LoggerJob &job) {
                job.then([&job, setting, change, written] {
                    ReadBlock(job, [&job, setting, change, written](const BlockControls &read) {
                        const system_parameters::BlockWrite write =
                            system_parameters::PrepareBlockWrite(change(read));
                        if (write.refusal) {
                            job.fail(QStringLiteral("the block read back cannot be written: ") +
                                     Text(*write.refusal));
                            return;
                        }
                        const std::string request = write.request;
                        job.ask(request, [&job, setting, request, written](const std::string &) {
                            VerifyBlock(job, setting, request, written);
                        });
                    });
                });
            }};
}

// The registry after a device add: one more device than before, the new one last.
void VerifyDeviceAdded(LoggerJob &job, std::size_t countBefore, const DeviceEntry &expected)
{
    ReadDevices(job, [&job, countBefore, expected](const std::vector<DeviceEntry> &devices) {
        if (devices.size() != countBefore + 1) {
            job.fail(QStringLiteral("read-back differs: the registry holds %1 devices, expected %2")
                         .arg(devices.size())
                         .arg(countBefore + 1));
            return;
        }
        if (!(devices.back() == expected)) {
            Differs(job, QStringLiteral("devices"),
                    Text(devices.back().row.serialNumber + "," + devices.back().row.address + "," +
                         devices.back().row.typeCode + "," + devices.back().appendInfo),
                    Text(expected.row.serialNumber + "," + expected.row.address + "," +
                         expected.row.typeCode + "," + expected.appendInfo));
            return;
        }
        job.outcome().values.insert(QStringLiteral("devices"), static_cast<int>(devices.size()));
        job.next();
    });
}

// Sends the add once. Its answer lost, the registry tells whether it arrived: the add is
// resent only when the device is not there, so a lost answer never doubles a device.
void SendDeviceAdd(LoggerJob &job, const std::string &request, std::size_t countBefore,
                   const DeviceEntry &expected, int triesLeft)
{
    job.askOnce(
        request,
        [&job, countBefore, expected](const std::string &) {
            VerifyDeviceAdded(job, countBefore, expected);
        },
        [&job, request, countBefore, expected, triesLeft] {
            ReadDeviceCount(job, [&job, request, countBefore, expected, triesLeft](int count) {
                if (static_cast<std::size_t>(count) == countBefore + 1) {
                    VerifyDeviceAdded(job, countBefore, expected);
                } else if (static_cast<std::size_t>(count) != countBefore) {
                    job.fail(QStringLiteral("the registry changed while a device was added: %1 "
                                            "devices, expected %2")
                                 .arg(count)
                                 .arg(countBefore));
                } else if (triesLeft <= 1) {
                    job.fail(QStringLiteral("no answer to DA after %1 tries, and the device is "
                                            "not in the registry")
                                 .arg(1 + job.policy().retries));
                } else {
                    SendDeviceAdd(job, request, countBefore, expected, triesLeft - 1);
                }
            });
        });
}

} // namespace

const std::vector<Setting> &AllSettings()
{
    static const std::vector<Setting> all = [] {
        std::vector<Setting> settings;
        for (const SettingNames &names : kNames) {
            settings.push_back(names.setting);
        }
        return settings;
    }();
    return all;
}

QString WriteReportKey(const QString &setting)
{
    if (const auto named = SettingNamed(setting)) {
        return ReportKey(*named);
    }
    return QString(setting).replace(QLatin1Char('-'), QLatin1Char('_'));
}

QString CommandLineName(Setting setting)
{
    return QLatin1String(NamesOf(setting).commandLine);
}

QString ReportKey(Setting setting)
{
    return QLatin1String(NamesOf(setting).report);
}

std::optional<Setting> SettingNamed(const QString &commandLineName)
{
    for (const SettingNames &names : kNames) {
        if (commandLineName == QLatin1String(names.commandLine)) {
            return names.setting;
        }
    }
    return std::nullopt;
}

void AddReads(LoggerJob &job, const std::vector<Setting> &settings)
{
    for (const Setting setting : settings) {
        job.then([&job, setting] { AddRead(job, setting); });
    }
}

CheckedWrite DhcpWrite()
{
    // A logger on DHCP reports the address it was given, so there is nothing to compare.
    const QString setting = QStringLiteral("ip");
    return SettingWrite{setting,
                        [setting](LoggerJob &job) {
                            job.then([&job, setting] {
                                job.ask(std::string(network_addressing::kDhcpIpRequest),
                                        [&job, setting](const std::string &) {
                                            Written(job, setting, QStringLiteral("dhcp"));
                                        });
                            });
                        },
                        true};
}

CheckedWrite FixedIpWrite(const QString &address, const QString &mask, const QString &gateway)
{
    const QString setting = QStringLiteral("ip");
    const network_addressing::IpConfiguration entered{OctetsOf(address), OctetsOf(mask),
                                                      OctetsOf(gateway)};
    if (const auto problem = network_addressing::CheckFixedIpEntry(entered)) {
        return Refused(setting, *problem);
    }
    const QJsonObject expected = IpReport(entered);
    SettingWrite write = VerifiedWrite(
        setting, network_addressing::BuildFixedIpRequest(entered),
        [setting, expected](LoggerJob &job) {
            ReadIp(job, [&job, setting, expected](const network_addressing::IpConfiguration &read) {
                const QJsonObject got = IpReport(read);
                if (got != expected) {
                    const auto line = [](const QJsonObject &ip) {
                        return QStringList{ip["address"].toString(), ip["mask"].toString(),
                                           ip["gateway"].toString()}
                            .join(QLatin1Char(','));
                    };
                    Differs(job, setting, line(got), line(expected));
                    return;
                }
                Written(job, setting, expected);
            });
        },
        true);
    write.oneLoggersOwn = true;
    return write;
}

CheckedWrite DataServerWrite(const QString &address)
{
    const QString setting = QStringLiteral("data-server");
    const bool clear = address.trimmed() == kNone;
    std::string request(network_addressing::kClearDataServerRequest);
    if (!clear) {
        const OctetRow octets = OctetsOf(address);
        if (const auto problem = network_addressing::CheckDataServerEntry(octets)) {
            return Refused(setting, *problem);
        }
        request = network_addressing::BuildDataServerRequest(octets);
    }
    const QString expected = clear ? kNone : Dotted(OctetsOf(address));
    return VerifiedWrite(setting, request, [setting, expected](LoggerJob &job) {
        ReadDataServer(job, [&job, setting, expected](const QString &read) {
            if (read != expected) {
                Differs(job, setting, read, expected);
                return;
            }
            Written(job, setting, expected);
        });
    });
}

CheckedWrite ApnWrite(const QString &name, const QString &user, const QString &password)
{
    const QString setting = QStringLiteral("apn");
    const cellular::ApnSettings apn{Trimmed(name), Trimmed(user), Trimmed(password)};
    for (const auto &[part, value] : {std::pair{"name", &apn.name}, std::pair{"user", &apn.user},
                                      std::pair{"password", &apn.password}}) {
        if (const auto rule = TextRule(*value, true)) {
            return Refused(setting, QStringLiteral("the %1 %2")
                                        .arg(QLatin1String(part), QLatin1String(*rule))
                                        .toStdString());
        }
    }
    return VerifiedWrite(setting, cellular::BuildApnWrite(apn), [setting, apn](LoggerJob &job) {
        ReadApn(job, [&job, setting, apn](const cellular::ApnSettings &read) {
            if (!(read == apn)) {
                // The password is not shown in a message.
                Differs(job, setting, Text(read.name + "," + read.user),
                        Text(apn.name + "," + apn.user) +
                            (read.password == apn.password
                                 ? QString()
                                 : QStringLiteral(" (password differs)")));
                return;
            }
            Written(job, setting, ApnReport(apn));
        });
    });
}

CheckedWrite PinWrite(const QString &pin)
{
    const QString setting = QStringLiteral("pin");
    // A logger cannot read its PIN back: an answer is all there is to check.
    if (pin.trimmed() == QLatin1String("clear")) {
        return SettingWrite{setting, [setting](LoggerJob &job) {
                                job.then([&job, setting] {
                                    job.ask("PC", [&job, setting](const std::string &) {
                                        Written(job, setting, QStringLiteral("cleared"));
                                    });
                                });
                            }};
    }
    const std::string digits = Trimmed(pin);
    if (digits.empty()) {
        return Refused(setting, "Please enter the Pin.");
    }
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return Refused(setting, "must be digits only");
    }
    const std::string request = cellular::BuildPinWrite(digits);
    return SettingWrite{setting, [setting, request](LoggerJob &job) {
                            job.then([&job, setting, request] {
                                job.ask(request, [&job, setting](const std::string &) {
                                    Written(job, setting, QStringLiteral("written"));
                                });
                            });
                        }};
}

CheckedWrite OperatorWrite(const QString &telecomOperator)
{
    const QString setting = QStringLiteral("operator");
    const std::string value = Trimmed(telecomOperator);
    if (const auto rule = TextRule(value, false)) {
        return Refused(setting, *rule);
    }
    const QString expected = Text(value);
    return VerifiedWrite(setting, cellular::BuildOperatorWrite(value),
                         [setting, expected](LoggerJob &job) {
                             ReadOperator(job, [&job, setting, expected](const QString &read) {
                                 if (read != expected) {
                                     Differs(job, setting, read, expected);
                                     return;
                                 }
                                 Written(job, setting, expected);
                             });
                         });
}

CheckedWrite FrontEndWrite(const QString &minutes)
{
    const QString setting = QStringLiteral("front-end");
    const std::string value = ToWire(minutes);
    if (!cellular::FrontEndMinutesAccepted(value)) {
        return Refused(setting, "Please complete Front-End Computer Time");
    }
    const QString expected = Text(protocol::TrimText(value));
    return VerifiedWrite(setting, cellular::BuildFrontEndWrite(value),
                         [setting, expected](LoggerJob &job) {
                             ReadFrontEnd(job, [&job, setting, expected](const QString &read) {
                                 if (read != expected) {
                                     Differs(job, setting, read, expected);
                                     return;
                                 }
                                 Written(job, setting, expected);
                             });
                         });
}

CheckedWrite GprsWrite(bool on)
{
    return BlockChain(
        QStringLiteral("gprs"),
        [on](BlockControls block) {
            return system_parameters::WithGprsState(std::move(block), on);
        },
        on ? QStringLiteral("on") : QStringLiteral("off"));
}

CheckedWrite IntervalsWrite(const QString &dataMinutes, const QString &heartbeatMinutes)
{
    const QString setting = QStringLiteral("intervals");
    const std::string data = ToWire(dataMinutes);
    const std::string heartbeat = ToWire(heartbeatMinutes);
    if (const auto refusal = system_parameters::CheckIntervalEntries(data, heartbeat)) {
        return Refused(setting, *refusal);
    }
    return BlockChain(
        setting,
        [data, heartbeat](BlockControls block) {
            return system_parameters::WithIntervals(std::move(block), data, heartbeat);
        },
        QJsonObject{{"data_minutes", Text(protocol::TrimText(data))},
                    {"heartbeat_minutes", Text(protocol::TrimText(heartbeat))}});
}

CheckedWrite DeviceAddWrite(const QString &serial, const QString &address, const QString &type,
                            const QString &appendInfo)
{
    const QString setting = QStringLiteral("devices");
    const device_registry::DeviceInput input{ToWire(serial), ToWire(address), ToWire(type),
                                             ToWire(appendInfo)};
    std::string request;
    DeviceEntry expected;
    try {
        if (const auto refusal = device_registry::RefusedDeviceEntry(input)) {
            return Refused(setting, *refusal);
        }
        if (const auto rule = TextRule(protocol::TrimText(input.serialNumber), false)) {
            return Refused(
                setting,
                QStringLiteral("the serial number %1").arg(QLatin1String(*rule)).toStdString());
        }
        if (const auto rule = TextRule(protocol::TrimText(input.appendInfo), false)) {
            return Refused(
                setting,
                QStringLiteral("the append info %1").arg(QLatin1String(*rule)).toStdString());
        }
        request = device_registry::AddDeviceRequest(input, IsCharacterBoundary);
        // What the registry must read back: the record and append info as they go out.
        const std::string addressText =
            device_registry::AddressText(protocol::ParseInteger(protocol::TrimText(input.address)));
        expected.row = device_registry::ParseRecordItem(
            "D" + device_registry::DeviceRecordBody(protocol::TrimText(input.serialNumber),
                                                    addressText,
                                                    protocol::TrimText(input.typeCode)));
        expected.appendInfo = device_registry::ParseAppendInfoItem(
            "A" + device_registry::AppendInfoField(protocol::TrimText(input.appendInfo),
                                                   IsCharacterBoundary));
    } catch (const protocol::InvalidIntegerError &error) {
        return Refused(setting, error.what());
    }
    return SettingWrite{setting, [request, expected](LoggerJob &job) {
                            job.then([&job, request, expected] {
                                ReadDeviceCount(job, [&job, request, expected](int count) {
                                    SendDeviceAdd(job, request, static_cast<std::size_t>(count),
                                                  expected, 1 + job.policy().retries);
                                });
                            });
                        }};
}

CheckedWrite DevicesClearWrite()
{
    const QString setting = QStringLiteral("devices");
    return VerifiedWrite(setting, device_registry::kDeleteAllRequest, [setting](LoggerJob &job) {
        ReadDeviceCount(job, [&job, setting](int count) {
            if (count != 0) {
                Differs(job, setting, QStringLiteral("%1 devices").arg(count),
                        QStringLiteral("0 devices"));
                return;
            }
            Written(job, setting, 0);
        });
    });
}

CheckedWrite SystemBlockWrite(const BlockControls &block)
{
    const QString setting = QStringLiteral("system");
    system_parameters::BlockWrite write;
    try {
        write = system_parameters::PrepareBlockWrite(block);
    } catch (const protocol::InvalidIntegerError &error) {
        return Refused(setting, error.what());
    }
    if (write.refusal) {
        return Refused(setting, *write.refusal);
    }
    const std::string request = write.request;
    const QJsonObject written =
        BlockReport(system_parameters::ParseBlockAnswer("R" + request.substr(2)));
    return SettingWrite{setting, [setting, request, written](LoggerJob &job) {
                            job.then([&job, setting, request, written] {
                                job.ask(request,
                                        [&job, setting, request, written](const std::string &) {
                                            VerifyBlock(job, setting, request, written);
                                        });
                            });
                        }};
}

QJsonObject BlockReport(const BlockControls &block)
{
    // The numbers of a block read are decimal texts of whole numbers.
    const auto Number = [](const std::string &decimal) {
        return QJsonValue(protocol::TryParseInteger(decimal).value_or(0));
    };
    const auto item = [](int index, const char *off, const char *on) {
        return QLatin1String(index == 0 ? off : on);
    };
    return {{"start", Text(block.startHour + ":" + block.startMinute)},
            {"stop", Text(block.stopHour + ":" + block.stopMinute)},
            {"data_interval_seconds", Number(block.dataIntervalSeconds)},
            {"heartbeat_minutes", Number(block.heartbeatMinutes)},
            {"retries", Number(block.retries)},
            {"wait_for_response", item(block.waitForResponse, "no", "yes")},
            {"reconnect", item(block.reconnect, "no", "yes")},
            {"transport", item(block.transport, "udp", "tcp")},
            {"gprs", item(block.gprs, "off", "on")}};
}

std::variant<BlockControls, QString> BlockFromReport(const QJsonObject &report)
{
    BlockControls block;
    const auto time = [&report](const char *key, std::string &hour,
                                std::string &minute) -> std::optional<QString> {
        const QStringList parts =
            report.value(QLatin1String(key)).toString().split(QLatin1Char(':'));
        if (parts.size() != 2) {
            return QStringLiteral("system: %1 must be HH:MM").arg(QLatin1String(key));
        }
        hour = ToWire(parts[0]);
        minute = ToWire(parts[1]);
        return std::nullopt;
    };
    if (auto problem = time("start", block.startHour, block.startMinute)) {
        return *problem;
    }
    if (auto problem = time("stop", block.stopHour, block.stopMinute)) {
        return *problem;
    }
    const auto number = [&report](const char *key) {
        const QJsonValue value = report.value(QLatin1String(key));
        return ToWire(value.isDouble() ? QString::number(value.toInteger()) : value.toString());
    };
    block.dataIntervalSeconds = number("data_interval_seconds");
    block.heartbeatMinutes = number("heartbeat_minutes");
    block.retries = number("retries");
    const auto choice = [&report](const char *key, const char *off,
                                  const char *on) -> std::optional<int> {
        const QString value = report.value(QLatin1String(key)).toString();
        if (value == QLatin1String(off)) {
            return 0;
        }
        if (value == QLatin1String(on)) {
            return 1;
        }
        return std::nullopt;
    };
    const struct {
        const char *key;
        const char *off;
        const char *on;
        int *item;
    } choices[] = {{"wait_for_response", "no", "yes", &block.waitForResponse},
                   {"reconnect", "no", "yes", &block.reconnect},
                   {"transport", "udp", "tcp", &block.transport},
                   {"gprs", "off", "on", &block.gprs}};
    for (const auto &entry : choices) {
        const auto index = choice(entry.key, entry.off, entry.on);
        if (!index) {
            return QStringLiteral("system: %1 must be %2 or %3")
                .arg(QLatin1String(entry.key), QLatin1String(entry.off), QLatin1String(entry.on));
        }
        *entry.item = *index;
    }
    return block;
}

CheckedWrite ParseAssignment(const QString &assignment)
{
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        return QStringLiteral("%1: expected SETTING=VALUE").arg(assignment);
    }
    const bool append = assignment.at(equals - 1) == QLatin1Char('+');
    const QString name = assignment.left(append ? equals - 1 : equals);
    const QString value = assignment.mid(equals + 1);
    const QStringList parts = value.split(QLatin1Char(','));
    const auto wrongCount = [&name](const char *form) {
        return CheckedWrite(QStringLiteral("%1: expected %1=%2").arg(name, QLatin1String(form)));
    };
    if (append && name != QLatin1String("devices")) {
        return QStringLiteral("%1: only devices+= adds to a setting").arg(name);
    }
    if (name == QLatin1String("ip")) {
        if (value.trimmed() == QLatin1String("dhcp")) {
            return DhcpWrite();
        }
        return parts.size() == 3 ? FixedIpWrite(parts[0], parts[1], parts[2])
                                 : wrongCount("dhcp or ip=ADDRESS,MASK,GATEWAY");
    }
    if (name == QLatin1String("data-server")) {
        return DataServerWrite(value);
    }
    if (name == QLatin1String("apn")) {
        return parts.size() == 3 ? ApnWrite(parts[0], parts[1], parts[2])
                                 : wrongCount("NAME,USER,PASSWORD");
    }
    if (name == QLatin1String("pin")) {
        return PinWrite(value);
    }
    if (name == QLatin1String("operator")) {
        return OperatorWrite(value);
    }
    if (name == QLatin1String("front-end")) {
        return FrontEndWrite(value);
    }
    if (name == QLatin1String("gprs")) {
        if (value == QLatin1String("on") || value == QLatin1String("off")) {
            return GprsWrite(value == QLatin1String("on"));
        }
        return wrongCount("on or gprs=off");
    }
    if (name == QLatin1String("intervals")) {
        return parts.size() == 2 ? IntervalsWrite(parts[0], parts[1])
                                 : wrongCount("DATA_MINUTES,HEART_MINUTES");
    }
    if (name == QLatin1String("devices")) {
        if (!append) {
            return value == QLatin1String("clear") ? DevicesClearWrite() : wrongCount("clear");
        }
        // The append info is the rest of the value and may hold commas of its own.
        if (parts.size() < 3) {
            return QStringLiteral("devices: expected devices+=SERIAL,ADDRESS,TYPE[,APPEND]");
        }
        return DeviceAddWrite(parts[0], parts[1], parts[2],
                              parts.size() > 3 ? QStringList(parts.mid(3)).join(QLatin1Char(','))
                                               : QString());
    }
    return QStringLiteral("%1: not a setting that can be written").arg(name);
}

} // namespace fleet
