// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_registry_codec.h"

#include "protocol/crc.h"
#include "protocol/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace device_registry {
namespace {

constexpr std::size_t kTypeCodeSplitLength = 3;

// Characters `position` (1-based) onward, at most `length` of them; empty past the end.
std::string_view Field(std::string_view item, std::size_t position, std::size_t length)
{
    if (position > item.size()) {
        return {};
    }
    return item.substr(position - 1, length);
}

std::string TwoHexDigits(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value) & 0xFFU);
    return text;
}

}  // namespace

std::string FitToWidth(std::string_view bytes, std::size_t width,
                       const CharacterBoundaryTest &isCharacterBoundary)
{
    std::size_t cut = std::min(bytes.size(), width);
    while (cut > 0 && cut < bytes.size() && !isCharacterBoundary(bytes, cut)) {
        --cut;
    }
    std::string fitted(bytes.substr(0, cut));
    fitted.resize(width, ' ');
    return fitted;
}

std::string AddressText(std::int32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<std::uint32_t>(address));
    return text;
}

std::string DeviceRecordBody(std::string_view serialNumber, std::string_view addressText,
                             std::string_view typeCode)
{
    std::string body(serialNumber);
    if (body.size() < kSerialNumberWidth) {
        body.resize(kSerialNumberWidth, ' ');
    }
    if (typeCode.size() == kTypeCodeSplitLength) {
        return body + typeCode.front() + '0' + std::string(addressText) +
               std::string(typeCode.substr(1));
    }
    return body + "00" + std::string(addressText) + std::string(typeCode);
}

std::string AppendInfoField(std::string_view appendInfo,
                            const CharacterBoundaryTest &isCharacterBoundary)
{
    const std::size_t separator = appendInfo.find('#');
    if (separator == std::string_view::npos) {
        return FitToWidth(appendInfo, kAppendInfoWidth, isCharacterBoundary);
    }
    return FitToWidth(appendInfo.substr(0, separator), kAppendInfoFirstPartWidth,
                      isCharacterBoundary) +
           FitToWidth(appendInfo.substr(separator + 1), kAppendInfoSecondPartWidth,
                      isCharacterBoundary);
}

std::string CompoundRequest(const std::vector<std::string> &subCommands)
{
    std::string request = "RC";
    for (const std::string &subCommand : subCommands) {
        request += subCommand + protocol::CrcText(subCommand) + '#';
    }
    return request;
}

std::optional<Refusal> RefusedDeviceEntry(const DeviceInput &device)
{
    const std::int32_t address = protocol::ParseInteger(protocol::TrimText(device.address));
    if (address < 0 || address > 255) {
        return Refusal::FromAscii("Device Address must be 0 to 255");
    }
    const std::size_t typeCodeLength = protocol::TrimText(device.typeCode).size();
    if (typeCodeLength != 2 && typeCodeLength != 3) {
        return Refusal::FromAscii("Type Code must be 2 or 3 characters");
    }
    if (protocol::TrimText(device.serialNumber).size() > kSerialNumberWidth) {
        return Refusal::FromAscii("Serial No must be at most 16 characters");
    }
    return std::nullopt;
}

std::optional<Refusal> RefusedDeviceTexts(const DeviceInput &device)
{
    const struct {
        const char *part;
        const std::string *value;
        std::size_t separators; // the "#" a text may hold: the append info's divides its parts
    } texts[] = {{"serial number", &device.serialNumber, 0},
                 {"type code", &device.typeCode, 0},
                 {"append info", &device.appendInfo, 1}};
    for (const auto &text : texts) {
        const std::string value = protocol::TrimText(*text.value);
        if (protocol::HoldsControlCharacter(value)) {
            return Refusal::FromAscii(std::string("the ") + text.part + " " +
                                      protocol::kNoControlCharacters);
        }
        if (static_cast<std::size_t>(std::count(value.begin(), value.end(), '#')) >
            text.separators) {
            return Refusal::FromAscii(
                std::string("the ") + text.part +
                (text.separators == 0
                     ? " must not hold \"#\", at which the device read is split"
                     : " may hold one \"#\", between its two parts: the device read is "
                       "split at every \"#\""));
        }
    }
    return std::nullopt;
}

std::optional<Refusal> RefusedDevice(const DeviceInput &device)
{
    if (auto refusal = RefusedDeviceEntry(device)) {
        return refusal;
    }
    return RefusedDeviceTexts(device);
}

RegistryEntry EntryAsReadBack(const DeviceInput &device,
                              const CharacterBoundaryTest &isCharacterBoundary)
{
    const std::string address =
        AddressText(protocol::ParseInteger(protocol::TrimText(device.address)));
    return {ParseRecordItem("D" + DeviceRecordBody(protocol::TrimText(device.serialNumber), address,
                                                   protocol::TrimText(device.typeCode))),
            ParseAppendInfoItem(
                "A" + AppendInfoField(protocol::TrimText(device.appendInfo), isCharacterBoundary))};
}

std::string AddDeviceRequest(const DeviceInput &device,
                             const CharacterBoundaryTest &isCharacterBoundary)
{
    const std::string serialNumber = protocol::TrimText(device.serialNumber);
    const std::string typeCode = protocol::TrimText(device.typeCode);
    const std::string address =
        AddressText(protocol::ParseInteger(protocol::TrimText(device.address)));
    std::string record = "DA" + DeviceRecordBody(serialNumber, address, typeCode);

    const std::string appendInfo = protocol::TrimText(device.appendInfo);
    if (appendInfo.empty()) {
        return record;
    }
    return CompoundRequest(
        {record, "AA" + AppendInfoField(appendInfo, isCharacterBoundary) + address});
}

std::string DeviceReadRequest(int count)
{
    std::vector<std::string> subCommands;
    for (int index = 1; index <= count; ++index) {
        subCommands.push_back("DR" + TwoHexDigits(index));
        subCommands.push_back("AB" + TwoHexDigits(index));
    }
    return CompoundRequest(subCommands);
}

int DeviceCount(std::string_view answer)
{
    return protocol::ParseHexField(Field(answer, 2, 2));
}

bool IsDeviceCountAnswer(std::string_view answer)
{
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    return answer.size() >= 3 && hex(answer[1]) && hex(answer[2]);
}

std::optional<std::vector<std::string>> DeviceReadItems(std::string_view answer)
{
    if (!answer.starts_with("RC")) {
        return std::nullopt;
    }
    // The last byte is the "#" that closes the last item.
    answer.remove_suffix(1);
    std::vector<std::string> items = protocol::SplitText(answer, "#");
    items.erase(items.begin());  // the leading part
    return items;
}

DeviceRow ParseRecordItem(std::string_view item)
{
    DeviceRow row;
    row.serialNumber = protocol::TrimText(Field(item, 2, 16));
    row.address = std::to_string(protocol::ParseHexField(Field(item, 20, 2)));
    const std::string_view typePrefix = Field(item, 18, 1);
    row.typeCode = typePrefix == "0" ? std::string(Field(item, 22, 2))
                                     : std::string(typePrefix) + std::string(Field(item, 22, 2));
    return row;
}

std::string ParseAppendInfoItem(std::string_view item)
{
    const std::size_t secondPart = 2 + kAppendInfoFirstPartWidth;
    return protocol::TrimText(Field(item, 2, kAppendInfoFirstPartWidth)) + '#' +
           protocol::TrimText(Field(item, secondPart, kAppendInfoSecondPartWidth));
}

}  // namespace device_registry
