// SPDX-License-Identifier: GPL-3.0-or-later
// The answers of the cellular-link commands: AR (APN), CR (telecom operator), IF (signal
// quality) and the items of QR (front-end computer).

#include "commands/cellular_link_codec.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsInside(std::string_view part, std::string_view whole)
{
    return whole.find(part) != std::string_view::npos;
}

void CheckApnAnswer(std::string_view payload)
{
    const auto apn = cellular::ParseApnAnswer(payload);
    std::size_t commas = 0;
    for (const char c : payload) {
        commas += c == ',' ? 1 : 0;
    }
    FUZZ_CHECK(apn.has_value() == (commas >= 2));
    if (apn) {
        for (const std::string *value : {&apn->name, &apn->user, &apn->password}) {
            FUZZ_CHECK(value->find(',') == std::string::npos);
            FUZZ_CHECK(IsInside(*value, payload));
        }
        FUZZ_CHECK(apn->name.size() + apn->user.size() + apn->password.size() + 2 <=
                   payload.size());
    }
}

void CheckOperatorAnswer(std::string_view payload)
{
    const std::string name = cellular::ParseOperatorAnswer(payload);
    FUZZ_CHECK(payload.size() <= 3 ? name.empty() : name == payload.substr(2, payload.size() - 3));
}

void CheckSignalQualityAnswer(std::string_view payload)
{
    const std::string quality = cellular::ParseSignalQualityAnswer(payload);
    FUZZ_CHECK(payload.size() <= 13 ? quality.empty() : quality == payload.substr(13, 2));
}

// Items quoted the way a logger writes them come back exactly, whatever they hold.
void CheckQuotedItemsRoundTrip(std::string_view bytes)
{
    std::vector<std::string> items;
    std::string encoded;
    std::size_t from = 0;
    while (true) {
        const std::size_t end = bytes.find('\0', from);
        const std::string_view item =
            bytes.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
        items.emplace_back(item);
        if (items.size() > 1) {
            encoded += ',';
        }
        encoded += '"';
        for (const char c : item) {
            encoded += c;
            if (c == '"') {
                encoded += '"';
            }
        }
        encoded += '"';
        if (end == std::string_view::npos) {
            break;
        }
        from = end + 1;
    }
    FUZZ_CHECK(cellular::SplitDelimitedItems(encoded) == items);
}

void CheckFrontEndAnswer(std::string_view payload)
{
    const std::vector<std::string> items =
        cellular::SplitDelimitedItems(payload.substr(payload.empty() ? 0 : 1));
    std::size_t itemBytes = 0;
    for (const std::string &item : items) {
        itemBytes += item.size();
    }
    FUZZ_CHECK(itemBytes <= payload.size());
    const auto minutes = cellular::ParseFrontEndAnswer(payload);
    FUZZ_CHECK(minutes.has_value() == (items.size() >= 3));
    if (minutes) {
        FUZZ_CHECK(*minutes == items[2]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view payload(reinterpret_cast<const char *>(data), size);
    CheckApnAnswer(payload);
    CheckOperatorAnswer(payload);
    CheckSignalQualityAnswer(payload);
    CheckFrontEndAnswer(payload);
    CheckQuotedItemsRoundTrip(payload);
    return 0;
}
