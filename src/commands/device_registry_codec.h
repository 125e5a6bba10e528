// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The device registry on the wire: the device record, the append info, the compound
// request that carries several sub-commands in one frame, and the answers read back.
// All texts are bytes of the loggers' code page; every width counts bytes.
namespace device_registry {

// Whether cutting a byte text at a position splits no multi-byte character of the
// loggers' code page.
using CharacterBoundaryTest = std::function<bool(std::string_view bytes, std::size_t at)>;

inline constexpr std::size_t kSerialNumberWidth = 16;
inline constexpr std::size_t kAppendInfoWidth = 84;
inline constexpr std::size_t kAppendInfoFirstPartWidth = 60;
inline constexpr std::size_t kAppendInfoSecondPartWidth = 24;

inline constexpr char kDeleteAllRequest[] = "DEAA55";

// The Device Set group's texts as the controls hold them, untrimmed.
struct DeviceInput {
    std::string serialNumber;
    std::string address;  // decimal
    std::string typeCode;
    std::string appendInfo;
};

// One device as the device list shows it.
struct DeviceRow {
    std::string serialNumber;
    std::string address;  // decimal
    std::string typeCode;

    bool operator==(const DeviceRow &) const = default;
};

// Fills with spaces to `width` bytes, or cuts to `width` bytes; a cut that would split
// a multi-byte character moves back before it and the gap is filled with spaces.
std::string FitToWidth(std::string_view bytes, std::size_t width,
                       const CharacterBoundaryTest &isCharacterBoundary);

// Upper-case hexadecimal with at least two digits; a negative value as its 32-bit pattern.
std::string AddressText(std::int32_t address);

// Serial number (filled to 16 bytes, a longer one unchanged), then the type prefix, "0",
// the address and the type code. A 3-byte type code is split around the address; any
// other type code follows it whole, so the body is then not 22 bytes long.
std::string DeviceRecordBody(std::string_view serialNumber, std::string_view addressText,
                             std::string_view typeCode);

// The 84 bytes of the append info: with a "#", the text before the first one fitted to
// 60 bytes and the text after it fitted to 24; without, the whole text fitted to 84.
std::string AppendInfoField(std::string_view appendInfo,
                            const CharacterBoundaryTest &isCharacterBoundary);

// "RC", then each sub-command followed by its own CRC text and "#".
std::string CompoundRequest(const std::vector<std::string> &subCommands);

// Why the entry would not fit the fixed-width record, or nothing when it fits: the address
// must be 0 to 255 (two hex digits), the type code two or three bytes, the serial number
// at most 16 bytes. A trimmed address that is not a whole number throws
// protocol::InvalidIntegerError.
std::optional<Refusal> RefusedDeviceEntry(const DeviceInput &device);

// The texts go inside a request and come back in the device read, which is split at every
// "#": a "#" in the serial number or the type code, a second one in the append info (whose
// first divides its two parts), or a control character (which would break the frame) could
// never be read back. The first such text and its rule ("the serial number must not hold
// \"#\", ..."). A double quote is kept: the device read does not quote its texts.
std::optional<Refusal> RefusedDeviceTexts(const DeviceInput &device);

// Every check of a device before it is added, the window's and the fleet's alike:
// RefusedDeviceEntry, then RefusedDeviceTexts. A trimmed address that is not a whole number
// throws protocol::InvalidIntegerError.
std::optional<Refusal> RefusedDevice(const DeviceInput &device);

// One device as a device read gives it back: its record and its append info.
struct RegistryEntry {
    DeviceRow row;
    std::string appendInfo;

    bool operator==(const RegistryEntry &) const = default;
};

// The entry a device read gives back for a device added from this input: the record and
// append info as they go out. A trimmed address that is not a whole number throws
// protocol::InvalidIntegerError.
RegistryEntry EntryAsReadBack(const DeviceInput &device,
                              const CharacterBoundaryTest &isCharacterBoundary);

// "DA" + the device record body; with a non-blank append info, that record and the
// "AA" append-info sub-command in one compound request. A trimmed address that is not
// a whole number throws protocol::InvalidIntegerError.
std::string AddDeviceRequest(const DeviceInput &device,
                             const CharacterBoundaryTest &isCharacterBoundary);

// The compound request for the record ("DR") and append info ("AB") of devices 1 to count.
std::string DeviceReadRequest(int count);

// The device count of a count answer: its characters 2-3 in hexadecimal.
int DeviceCount(std::string_view answer);
// Whether an answer is shaped as the count's: two hexadecimal digits after the "R". A late
// acknowledgement of an earlier write ("ROK") is not.
bool IsDeviceCountAnswer(std::string_view answer);

// The items of a device read answer after its leading part, alternately a record item
// and an append-info item; nothing when the answer does not begin with "RC".
std::optional<std::vector<std::string>> DeviceReadItems(std::string_view answer);

// A record item (prefix + record body). An address that is not hexadecimal throws
// protocol::InvalidIntegerError. Fields beyond the item's end are empty.
DeviceRow ParseRecordItem(std::string_view item);

// An append-info item (prefix + 60 + 24 bytes): both parts trimmed, "#" between them.
std::string ParseAppendInfoItem(std::string_view item);

}  // namespace device_registry
