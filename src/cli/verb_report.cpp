// SPDX-License-Identifier: GPL-3.0-or-later
#include "commission_record.h"
#include "session.h"
#include "verbs.h"

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    // Every verb takes --wait with the run options; a report probes nothing, so it is not
    // offered.
    QCommandLineOption wait("wait", "Not used.", "ms", "0");
    wait.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(wait);
}

int Run(const QCommandLineParser &parser, Session &session)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        return session.refuse({QStringLiteral("report takes one record file")});
    }
    const fleet::Checked<std::vector<HandoverLogger>> loggers = ReadHandover(arguments.first());
    if (!loggers.accepted()) {
        return session.refuse(loggers.refusal());
    }
    session.console().out << FormatHandover(loggers.value(), session.options().format);
    session.console().out.flush();
    return kAllSucceeded;
}

} // namespace

Verb ReportVerb()
{
    return {"report",
            "report RECORD.jsonl",
            QStringLiteral(
                "Turns a commissioning record into the handover document: for each logger, by\n"
                "serial number, its address, when it was commissioned, and each setting's\n"
                "value with the time it was set (or first found holding it). Sends nothing."),
            AddOptions, Run, false};
}

} // namespace cli
