// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/profile.h"
#include "fleet/settings/catalogue.h"
#include "session.h"
#include "verbs.h"

#include <QFileInfo>
#include <QSaveFile>

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    AddLoggerOption(parser);
    AddSerialWaitOption(parser);
    parser.addOption({"output", "The profile file to write.", "file"});
}

int Run(const QCommandLineParser &parser, Session &session)
{
    if (!parser.positionalArguments().isEmpty()) {
        return session.refuse(
            {QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())});
    }
    if (!parser.isSet("output")) {
        return session.refuse({QStringLiteral("backup needs --output FILE.json")});
    }
    const Checked<std::vector<QHostAddress>> addresses =
        ParseLoggerAddresses(parser, PcAdapters(session.options().network.bindAddress));
    if (!addresses.accepted()) {
        return session.refuse(addresses.refusal());
    }
    if (addresses.value().size() != 1) {
        return session.refuse({QStringLiteral("backup takes exactly one --logger")});
    }
    const QString output = parser.value("output");
    // Checked before the logger is read, so that a read is never lost for want of a file.
    if (QFileInfo(output).isSymLink()) {
        return session.refuse({QStringLiteral("--output: %1 is a symbolic link; give the file "
                                              "it stands for")
                                   .arg(output)});
    }
    QSaveFile writable(output);
    if (!writable.open(QIODevice::WriteOnly)) {
        return session.refuse(
            {QStringLiteral("--output: cannot write %1: %2").arg(output, writable.errorString())});
    }
    writable.cancelWriting();
    if (!session.open()) {
        return kSomeFailed;
    }
    QStringList keys;
    for (const fleet::Setting setting : fleet::ReadableSettings()) {
        keys.append(fleet::ReportKey(setting));
    }
    session.findLoggers(addresses.value(), Session::Serials::Needed,
                        [&session, output, keys](Session::Loggers loggers) {
                            session.runJobs(
                                std::move(loggers),
                                [](fleet::LoggerJob &job, const fleet::LoggerTarget &) {
                                    fleet::AddReads(job, fleet::ReadableSettings());
                                },
                                [&session, output, keys](const Session::Outcomes &outcomes) {
                                    const int status = session.printOutcomes(outcomes, keys);
                                    if (status != kAllSucceeded) {
                                        session.finish(status); // no file from a partial read
                                        return;
                                    }
                                    if (const auto refusal = fleet::SaveProfile(
                                            output, fleet::ProfileDocument(outcomes.front()))) {
                                        session.console().err << refusal->message << '\n';
                                        session.finish(kSomeFailed);
                                        return;
                                    }
                                    session.finish(kAllSucceeded);
                                });
                        });
    return session.exec();
}

} // namespace

Verb BackupVerb()
{
    return {"backup",
            "backup --logger IP --output FILE.json",
            QStringLiteral("Saves every readable setting of one logger as a profile "
                           "(docs/profile.md). A file\nthat holds an APN password is created "
                           "readable by its owner only."),
            AddOptions,
            Run,
            false};
}

} // namespace cli
