// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"
#include "verbs.h"

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddSearchOptions(parser, AllOption::NotOffered);
}

int Run(const QCommandLineParser &parser, Session &session)
{
    if (!parser.positionalArguments().isEmpty()) {
        return session.refuse(
            {QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())});
    }
    const Checked<SearchArea> area = ParseSearchArea(parser);
    if (!area.accepted()) {
        return session.refuse(area.refusal());
    }
    if (!session.open()) {
        return kSomeFailed;
    }
    session.search(area.value(), [&session](const Session::Loggers &loggers) {
        session.console().out << FormatLoggers(loggers, session.options().format);
        session.console().out.flush();
        int status = kAllSucceeded;
        for (const fleet::LoggerTarget &logger : loggers) {
            if (!logger.clashingSerial.isEmpty()) {
                session.console().err << AddressClash(logger) << '\n';
                status = kSomeFailed;
            }
        }
        session.finish(status);
    });
    return session.exec();
}

} // namespace

Verb SearchVerb()
{
    return {"search",
            "search [--network A.B.C.0/24 | --range CIDR|FIRST-LAST] [--wait MS] [--probes N] "
            "[--expect N]",
            QStringLiteral(
                "Probes every address of the network on the search port, --probes times, and "
                "lists\nthe loggers that answer: serial, ip and version. Finding fewer than "
                "--expect loggers\n(default 1) is a failure. Without --network or --range it "
                "sweeps the /24 network of\nthe PC's address, chosen as the window chooses it."),
            AddOptions, Run};
}

} // namespace cli
