// SPDX-License-Identifier: GPL-3.0-or-later
// The answers of the device registry: the count answer to DN, which starts the read,
// and the read answer to DR with its record and append-info items.

#include "commands/device_registry_codec.h"
#include "fuzz_check.h"
#include "protocol/frame.h"
#include "protocol/text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

bool IsTrimmed(const std::string &text)
{
    return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

// The datagram area of the receive path on the logger's side is no larger than ours.
constexpr std::size_t kLargestDatagram = 10230;

void CheckCount(std::string_view answer)
{
    int count = 0;
    try {
        count = device_registry::DeviceCount(answer);
    } catch (const protocol::InvalidIntegerError &) {
        return; // reported to the operator; nothing is sent
    }
    FUZZ_CHECK(count >= 0 && count <= 0xFF);
    // The read request that a count starts must fit one datagram and go out intact.
    // There are only 256 counts: each request is built and checked once per run.
    static std::array<bool, 256> checked{};
    if (checked[static_cast<std::size_t>(count)]) {
        return;
    }
    checked[static_cast<std::size_t>(count)] = true;
    const std::string frame = protocol::BuildFrame(device_registry::DeviceReadRequest(count));
    FUZZ_CHECK(frame.size() <= kLargestDatagram);
    FUZZ_CHECK(protocol::DecodeFrame(frame).valid);
}

void CheckRecord(const std::string &item)
{
    device_registry::DeviceRow row;
    try {
        row = device_registry::ParseRecordItem(item);
    } catch (const protocol::InvalidIntegerError &) {
        return;
    }
    FUZZ_CHECK(row.serialNumber.size() <= device_registry::kSerialNumberWidth);
    FUZZ_CHECK(IsTrimmed(row.serialNumber));
    const int address = std::stoi(row.address);
    FUZZ_CHECK(address >= 0 && address <= 0xFF && std::to_string(address) == row.address);
    FUZZ_CHECK(row.typeCode.size() <= 3);
}

// Items come cut at "#", so the one "#" of the text is the one between its two parts.
void CheckAppendInfo(const std::string &item)
{
    const std::string text = device_registry::ParseAppendInfoItem(item);
    const std::size_t hash = text.find('#');
    FUZZ_CHECK(hash != std::string::npos && text.find('#', hash + 1) == std::string::npos);
    FUZZ_CHECK(hash <= device_registry::kAppendInfoFirstPartWidth);
    FUZZ_CHECK(text.size() - hash - 1 <= device_registry::kAppendInfoSecondPartWidth);
    FUZZ_CHECK(IsTrimmed(text.substr(0, hash)) && IsTrimmed(text.substr(hash + 1)));
}

void CheckRead(std::string_view answer)
{
    const auto items = device_registry::DeviceReadItems(answer);
    FUZZ_CHECK(items.has_value() == answer.starts_with("RC"));
    if (!items) {
        return;
    }
    // The items are the answer after its leading part, without the closing byte.
    const std::string_view body = answer.substr(0, answer.size() - 1);
    const std::size_t lead = body.find('#');
    std::string joined;
    for (std::size_t index = 0; index < items->size(); ++index) {
        joined += (index == 0 ? "" : "#") + (*items)[index];
        if (index % 2 == 0) {
            CheckRecord((*items)[index]);
        } else {
            CheckAppendInfo((*items)[index]);
        }
    }
    FUZZ_CHECK(lead == std::string_view::npos ? items->empty() : joined == body.substr(lead + 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view answer(reinterpret_cast<const char *>(data), size);
    CheckCount(answer);
    CheckRead(answer);
    return 0;
}
