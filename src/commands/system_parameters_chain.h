// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/request.h"
#include "system_parameters_codec.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace system_parameters {

// A write of one part of the block: the block is read, that part changed, and the whole
// block written back as the Set button writes it. The GPRS on/off and the interval
// buttons are such chains, and so is every write of the block by the fleet. Given the
// read's answer, the chain says what to write or why nothing is written; it sends nothing
// and waits for nothing, so the window and the fleet both drive it.
class BlockChain
{
public:
    using Change = std::function<BlockControls(BlockControls)>;

    explicit BlockChain(Change change) : m_change(std::move(change)) {}
    // GPRS set on or off.
    static BlockChain Gprs(bool on);
    // The data interval and the heartbeat set from minutes as the operator enters them;
    // the entries must have passed CheckIntervalEntries.
    static BlockChain Intervals(std::string dataMinutes, std::string heartbeatMinutes);

    // The first request: the read of the block.
    static protocol::Request ReadRequest();

    // What follows the read: the changed block to write, or why nothing is written
    // (RefuseWriteAfterRead: a block not read whole is never written back).
    struct Next {
        std::optional<Refusal> refusal;
        BlockControls block;
    };
    Next takeBlock(std::string_view answer) const;

private:
    Change m_change;
};

} // namespace system_parameters
