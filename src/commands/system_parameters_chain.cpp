// SPDX-License-Identifier: GPL-3.0-or-later
#include "system_parameters_chain.h"

#include <utility>

namespace system_parameters {

BlockChain BlockChain::Gprs(bool on)
{
    return BlockChain([on](BlockControls block) { return WithGprsState(std::move(block), on); });
}

BlockChain BlockChain::Intervals(std::string dataMinutes, std::string heartbeatMinutes)
{
    return BlockChain([dataMinutes = std::move(dataMinutes),
                       heartbeatMinutes = std::move(heartbeatMinutes)](BlockControls block) {
        return WithIntervals(std::move(block), dataMinutes, heartbeatMinutes);
    });
}

protocol::Request BlockChain::ReadRequest()
{
    return protocol::Request::Bare(protocol::command_codes::kSystemBlockRead);
}

BlockChain::Next BlockChain::takeBlock(std::string_view answer) const
{
    if (auto refusal = RefuseWriteAfterRead(answer)) {
        return {std::move(refusal), {}};
    }
    return {std::nullopt, m_change(ParseBlockAnswer(answer))};
}

} // namespace system_parameters
