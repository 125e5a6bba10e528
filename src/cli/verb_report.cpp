// SPDX-License-Identifier: GPL-3.0-or-later
#include "handover.h"
#include "reports/plant_report.h"
#include "session.h"
#include "verbs.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QSysInfo>

namespace cli {
namespace {

void AddOptions(QCommandLineParser &parser)
{
    // Every verb takes --wait with the run options; a report probes nothing, so it is not
    // offered.
    QCommandLineOption wait("wait", "Not used.", "ms", "0");
    wait.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(wait);
    parser.addOption({"pdf", "Also write the handover document to this file as a PDF (A4 landscape).",
                      "file"});
}

// The handover document drawn as the plant view's report is, titled for the handover.
int WritePdf(const QString &path, const std::vector<HandoverLogger> &loggers, Session &session)
{
    // main() starts Qt GUI on the offscreen platform for report --pdf alone.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr) {
        return session.refuse({QStringLiteral("--pdf cannot be painted in this program")});
    }
    ListTable table{HandoverHeader(), {}};
    for (QStringList &row : HandoverRows(loggers)) {
        table.rows.append(std::move(row));
    }
    PlantReportHeading heading{QDateTime::currentDateTime(), QSysInfo::machineHostName(),
                               QStringLiteral("Commissioning handover"),
                               static_cast<qsizetype>(loggers.size())};
    if (const auto failure = WritePlantReport(path, heading, table)) {
        session.console().err << QStringLiteral("tarnwick-cli report: cannot write %1: %2\n")
                                     .arg(path, *failure);
        return kSomeFailed;
    }
    return kAllSucceeded;
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
    if (parser.isSet("pdf")) {
        if (const int status = WritePdf(parser.value("pdf"), loggers.value(), session);
            status != kAllSucceeded) {
            return status;
        }
    }
    session.console().out << FormatHandover(loggers.value(), session.options().format);
    session.console().out.flush();
    return kAllSucceeded;
}

} // namespace

Verb ReportVerb()
{
    return {"report",
            "report RECORD.jsonl [--pdf FILE.pdf]",
            QStringLiteral(
                "Turns a commissioning record into the handover document: for each logger, by\n"
                "serial number, its address, when it was commissioned, and each setting's\n"
                "value with the time it was set (or first found holding it). --pdf also\n"
                "draws it as the plant view's report is drawn. Sends nothing."),
            AddOptions, Run, false};
}

} // namespace cli
