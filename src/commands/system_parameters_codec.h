// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"

#include <optional>
#include <string>
#include <string_view>

// The 20-character system-parameter block: the daily logging window, the data and
// heartbeat intervals, the send retries, the wait-for-response flag and the link flags.
// It is the answer to SR after its leading "R" and the write request after its "SW".
namespace system_parameters {

// A drop-down list with no item selected.
inline constexpr int kNoItem = -1;

// The items of the GPRS list.
inline constexpr int kGprsOffItem = 0;
inline constexpr int kGprsOnItem = 1;

// The block in the window's controls: texts as the edits hold them, lists as item indices.
struct BlockControls {
    std::string startHour; // two decimal digits on the wire
    std::string startMinute;
    std::string stopHour;
    std::string stopMinute;
    std::string dataIntervalSeconds; // decimal in the window, hexadecimal on the wire
    std::string heartbeatMinutes;
    std::string retries;
    int waitForResponse = kNoItem; // 0 No, 1 Yes
    int reconnect = kNoItem;
    int transport = kNoItem;
    int gprs = kNoItem;

    bool operator==(const BlockControls &) const = default;
};

// Reads the block of an SR answer into `block` field by field, in block order, the times
// exactly as received. A hexadecimal field that is not one, or that the answer cuts short,
// throws InvalidIntegerError for its text; the fields before it are already read.
// Characters after the block are ignored.
void ReadBlockAnswer(std::string_view payload, BlockControls &block);

// Why nothing is written after an SR answer that does not hold the whole block.
inline constexpr char kIncompleteBlockMessage[] =
    "the system parameters read from the logger are incomplete, so nothing was written";

// The rule of every write that follows a read of the block (the GPRS and interval chains,
// and the fleet's write of a whole block): the SR answer must hold the whole block, 20
// hexadecimal digits after its "R". A field cut short is read from the digits it holds
// (flags "7" read as 0x07, not 0x70), so writing back a block that was not read whole
// would change the logger's settings. Refuses with kIncompleteBlockMessage when the answer
// does not hold it, nothing when the write may go out.
std::optional<Refusal> RefuseWriteAfterRead(std::string_view payload);

// The block of an SR answer, as ReadBlockAnswer reads it into empty controls.
BlockControls ParseBlockAnswer(std::string_view payload);

// The data interval in whole minutes, rounded up: 0 s give 0, 60 give 1, 61 give 2.
std::string MinutesRoundedUp(std::string_view decimalSeconds);

// The checks made before anything else, in their order: every field filled, every list
// chosen, the times below 24 hours and 60 minutes. Refuses with the message of the first that
// fails. A time that is not a whole number throws InvalidIntegerError.
std::optional<Refusal> CheckBlockInput(const BlockControls &controls);

// A time typed as one character, such as 7, is written as 07.
std::string ZeroFilledTime(std::string_view time);

// The fields must keep their fixed widths on the wire, or the logger would misread every
// field after the first one that overflows: each time exactly two characters, the data
// interval 0 to 65535, heartbeat and retries 0 to 255. Refuses with the message of the first
// field that does not fit. A number that is not a whole number throws InvalidIntegerError.
std::optional<Refusal> CheckFieldWidths(const BlockControls &controls);

// "SW" and the block of a checked input: the times as given, the numbers in upper-case
// hexadecimal zero-filled to their widths, "00"/"01" and the link flags byte.
std::string BuildBlockWrite(const BlockControls &controls);

// The times of the block as they go on the wire: each one-character time zero-filled.
void ZeroFillTimes(BlockControls &block);

// The write of a block with the Set button's checks in their order, the times zero-filled
// between the two groups of checks; either the refusal of the first check that fails or
// the request. A time or number that is not a whole number throws InvalidIntegerError.
struct BlockWrite {
    std::optional<Refusal> refusal;
    std::string request;
};
BlockWrite PrepareBlockWrite(BlockControls block);

// The block the GPRS on/off chain writes back: the block just read with the GPRS state set.
BlockControls WithGprsState(BlockControls block, bool on);

// The block the interval chain writes back: the block just read with the data interval
// taken from the entered minutes (in seconds) and the entered heartbeat minutes, trimmed.
// The entries must have passed CheckIntervalEntries.
BlockControls WithIntervals(BlockControls block, std::string_view dataMinutes,
                            std::string_view heartbeatMinutes);

// The data and heartbeat intervals of the visible row, in minutes: each a decimal whole
// number from 1 to 20. Refuses with the message of the first check that fails.
std::optional<Refusal> CheckIntervalEntries(std::string_view dataMinutes,
                                            std::string_view heartbeatMinutes);

// The data interval of the visible row in seconds, as decimal text.
std::string DataIntervalSeconds(std::string_view dataMinutes);

} // namespace system_parameters
