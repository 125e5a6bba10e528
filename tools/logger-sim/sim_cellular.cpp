// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_cellular.h"

#include "fleet/settings/catalogue.h"

#include <optional>
#include <vector>

namespace {

using Answer = std::optional<std::string>;

// Values after a command code, each in double quotes, joined by commas: "a","b","c".
// The logger knows no escaping, so a value may not hold the sequence "," itself.
std::optional<std::vector<std::string>> QuotedValues(const std::string &request, std::size_t count)
{
    const std::string body = request.substr(2);
    if (body.size() < 2 || body.front() != '"' || body.back() != '"') {
        return std::nullopt;
    }
    std::vector<std::string> values;
    std::size_t start = 1;
    for (std::size_t next = body.find("\",\"", start); next != std::string::npos;
         next = body.find("\",\"", start)) {
        values.push_back(body.substr(start, next - start));
        start = next + 3;
    }
    if (start > body.size() - 1) {
        return std::nullopt; // the closing quote was taken by a separator
    }
    values.push_back(body.substr(start, body.size() - 1 - start));
    if (values.size() != count) {
        return std::nullopt;
    }
    return values;
}

std::string Quoted(const std::string &value)
{
    return '"' + value + '"';
}

void InstallApn(LoggerSim &sim, CellularState &state)
{
    sim.setCommandHandler("AR", [&state](const std::string &request) -> Answer {
        if (request != "AR") {
            return std::nullopt;
        }
        return "R" + Quoted(state.apnName) + "," + Quoted(state.apnUser) + "," +
               Quoted(state.apnPassword);
    });
    sim.setCommandHandler("AW", [&state](const std::string &request) -> Answer {
        const auto values = QuotedValues(request, 3);
        if (!values) {
            return std::nullopt;
        }
        state.apnName = (*values)[0];
        state.apnUser = (*values)[1];
        state.apnPassword = (*values)[2];
        return "RAW";
    });
}

void InstallPin(LoggerSim &sim, CellularState &state)
{
    sim.setCommandHandler("PW", [&state](const std::string &request) -> Answer {
        state.pin = request.substr(2);
        return "RPW";
    });
    sim.setCommandHandler("PC", [&state](const std::string &request) -> Answer {
        if (request != "PC") {
            return std::nullopt;
        }
        state.pin.clear();
        return "RPC";
    });
}

void InstallOperator(LoggerSim &sim, CellularState &state)
{
    sim.setCommandHandler("CR", [&state](const std::string &request) -> Answer {
        if (request != "CR") {
            return std::nullopt;
        }
        return "R" + Quoted(state.telecomOperator);
    });
    sim.setCommandHandler("CW", [&state](const std::string &request) -> Answer {
        const auto values = QuotedValues(request, 1);
        if (!values) {
            return std::nullopt;
        }
        state.telecomOperator = values->front();
        return "RCW";
    });
}

void InstallSignalQuality(LoggerSim &sim, CellularState &state)
{
    sim.setCommandHandler("IF", [&state](const std::string &request) -> Answer {
        if (request != "IF") {
            return std::nullopt;
        }
        if (!state.signalQualitySequence.empty()) {
            const std::vector<std::string> &sequence = state.signalQualitySequence;
            const std::string &next = sequence[state.nextInSequence++ % sequence.size()];
            if (next.empty()) {
                return std::nullopt;
            }
            state.signalQuality = next;
        }
        // "R" and twelve bytes of report head put the value at bytes 14 and 15.
        return "RIF,QUALITY: " + state.signalQuality + ",99";
    });
}

void InstallFrontEnd(LoggerSim &sim, CellularState &state)
{
    sim.setCommandHandler("QR", [&state](const std::string &request) -> Answer {
        if (request != "QR") {
            return std::nullopt;
        }
        return "R" + state.frontEndAddress + "," + state.frontEndPort + "," + state.frontEndMinutes;
    });
    sim.setCommandHandler("QW", [&state](const std::string &request) -> Answer {
        const std::string body = request.substr(2);
        const std::size_t firstComma = body.find(',');
        const std::size_t secondComma =
            firstComma == std::string::npos ? std::string::npos : body.find(',', firstComma + 1);
        if (secondComma == std::string::npos) {
            return std::nullopt;
        }
        state.frontEndAddress = body.substr(0, firstComma);
        state.frontEndPort = body.substr(firstComma + 1, secondComma - firstComma - 1);
        state.frontEndMinutes = body.substr(secondComma + 1);
        return "RQW";
    });
}

} // namespace

void InstallCellularCommands(LoggerSim &sim, CellularState &state)
{
    InstallApn(sim, state);
    InstallPin(sim, state);
    InstallOperator(sim, state);
    InstallSignalQuality(sim, state);
    InstallFrontEnd(sim, state);
}

void InstallQuotedTextCommands(LoggerSim &sim, std::map<std::string, std::string> &texts)
{
    for (const fleet::SettingSpec &setting : fleet::Catalogue()) {
        if (setting.shape != fleet::ValueShape::Text || setting.readCodes.size() != 1 ||
            setting.writeCodes.size() != 1 || sim.handles(setting.readCodes.front().str())) {
            continue;
        }
        const std::string read = setting.readCodes.front().str();
        const std::string key = setting.reportKey;
        texts.try_emplace(key);
        sim.setCommandHandler(read, [&texts, read, key](const std::string &request) -> Answer {
            if (request != read) {
                return std::nullopt;
            }
            return "R" + Quoted(texts[key]);
        });
        const std::string write = setting.writeCodes.front().str();
        sim.setCommandHandler(write, [&texts, write, key](const std::string &request) -> Answer {
            const auto values = QuotedValues(request, 1);
            if (!values) {
                return std::nullopt;
            }
            texts[key] = values->front();
            return "R" + write;
        });
    }
}
