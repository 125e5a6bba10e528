// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_network.h"

#include <QTimer>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Answer = std::optional<std::string>;

const std::string kWritten = "ROK";

// The text after the two-letter command code, cut at every comma.
std::vector<std::string> CommaFields(const std::string &request)
{
    std::vector<std::string> fields;
    std::string rest = request.substr(2);
    std::size_t comma = rest.find(',');
    while (comma != std::string::npos) {
        fields.push_back(rest.substr(0, comma));
        rest.erase(0, comma + 1);
        comma = rest.find(',');
    }
    fields.push_back(rest);
    return fields;
}

// A read request is the bare code; anything longer is not one.
void InstallRead(LoggerSim &sim, const std::string &code, std::function<std::string()> answer)
{
    sim.setCommandHandler(code,
                          [code, answer = std::move(answer)](const std::string &request) -> Answer {
                              if (request != code) {
                                  return std::nullopt;
                              }
                              return "R" + answer();
                          });
}

void InstallIpConfiguration(LoggerSim &sim, NetworkState &state)
{
    InstallRead(sim, "ER", [&state] {
        return state.ipAddress + "," + state.subnetMask + "," + state.gateway;
    });
    sim.setCommandHandler("EW", [&sim, &state](const std::string &request) -> Answer {
        const std::vector<std::string> fields = CommaFields(request);
        if (fields.size() != 4) {
            return std::nullopt;
        }
        state.ipAddress = fields[0];
        state.subnetMask = fields[1];
        state.gateway = fields[2];
        state.ipConfigurationPort = fields[3];
        // All-zero addresses ask the logger to take its configuration from DHCP.
        state.dhcp = fields[0] == "0.0.0.0" && fields[1] == "0.0.0.0" && fields[2] == "0.0.0.0";
        if (state.movesToAWrittenAddress && !state.dhcp) {
            // Queued, so that the answer leaves from the old address first.
            QTimer::singleShot(0, &sim,
                               [&sim, address = QHostAddress(QString::fromStdString(fields[0]))] {
                                   sim.moveTo(address);
                               });
        }
        return kWritten;
    });
}

void InstallDataServer(LoggerSim &sim, NetworkState &state)
{
    InstallRead(sim, "R3",
                [&state] { return state.dataServerAddress + "," + state.dataServerPort; });
    sim.setCommandHandler("R4", [&state](const std::string &request) -> Answer {
        const std::vector<std::string> fields = CommaFields(request);
        if (fields.size() != 2) {
            return std::nullopt;
        }
        state.dataServerAddress = fields[0];
        state.dataServerPort = fields[1];
        return kWritten;
    });
}

void InstallUpstreamServer(LoggerSim &sim, const std::string &writeCode,
                           const std::string &readCode, UpstreamServerSlot &slot)
{
    InstallRead(sim, readCode, [&slot] { return slot.address + "," + slot.port; });
    sim.setCommandHandler(writeCode, [&slot](const std::string &request) -> Answer {
        const std::vector<std::string> fields = CommaFields(request);
        if (fields.size() != 2) {
            return std::nullopt;
        }
        slot.address = fields[0];
        slot.port = fields[1];
        return kWritten;
    });
}

} // namespace

void InstallNetworkCommands(LoggerSim &sim, NetworkState &state)
{
    InstallIpConfiguration(sim, state);
    InstallDataServer(sim, state);
    InstallRead(sim, "MR", [&state] { return state.mac; });
    InstallUpstreamServer(sim, "GW", "GR", state.gprsServer);
    InstallUpstreamServer(sim, "RW", "RR", state.ethernetServer);
}
