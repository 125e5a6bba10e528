// SPDX-License-Identifier: GPL-3.0-or-later
#include "handover.h"
#include "pdf_request.h"
#include "session.h"
#include "verbs.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

#include <optional>

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

// The program that paints the PDF: beside tarnwick-cli in a build and on Windows, in the
// folder of the programs' own helpers where the package installs it; empty when neither
// holds it.
QString PdfPainter()
{
    const QDir here(QCoreApplication::applicationDirPath());
    return QStandardPaths::findExecutable(
        QLatin1String(kPdfPainterProgram),
        {here.path(), here.filePath(QStringLiteral(TARNWICK_PDF_PAINTER_FROM_PROGRAM))});
}

// Has the painter draw the document into `path`; the reason when it was not written.
std::optional<QString> Paint(const QString &path, const PdfRequest &request)
{
    const QString painter = PdfPainter();
    if (painter.isEmpty()) {
        return QStringLiteral("its painter %1 is not installed beside tarnwick-cli")
            .arg(QLatin1String(kPdfPainterProgram));
    }
    QProcess process;
    // Whatever Qt GUI warns of reaches the console as it did when tarnwick-cli painted.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(painter, {path});
    if (!process.waitForStarted(-1)) {
        return QStringLiteral("%1 did not start: %2").arg(painter, process.errorString());
    }
    process.write(EncodePdfRequest(request));
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        return QStringLiteral("%1 ended before it was done").arg(painter);
    }
    if (process.exitCode() != 0) {
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    return std::nullopt;
}

// The handover document drawn as the plant view's report is, titled for the handover.
int WritePdf(const QString &path, const std::vector<HandoverLogger> &loggers, Session &session)
{
    PdfRequest request{{QDateTime::currentDateTime(), QSysInfo::machineHostName(),
                        QStringLiteral("Commissioning handover"),
                        static_cast<qsizetype>(loggers.size())},
                       {HandoverHeader(), {}}};
    for (QStringList &row : HandoverRows(loggers)) {
        request.table.rows.append(std::move(row));
    }
    if (const auto failure = Paint(path, request)) {
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
    const Checked<std::vector<HandoverLogger>> loggers = ReadHandover(arguments.first());
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
