// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-pdf: paints the handover document that tarnwick-cli report --pdf asks for, read
// as JSON from standard input, into the file named by its one argument. tarnwick-cli runs
// it; it is not meant to be run by hand. Exits 0 once the file is written; 1 when it cannot
// be written, with the reason on standard output; 2 when the request is not understood.

#include "pdf_request.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    // Qt GUI looks up the user's runtime directory and warns when the session names none
    // (a cron job, a container): this run then has a private one of its own, which goes
    // with it.
    std::optional<QTemporaryDir> runtimeDirectory;
#ifndef Q_OS_WIN
    // Windows' own platform needs no display; elsewhere one may be missing.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDirectory.emplace().isValid()) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDirectory->path()));
    }
#endif
    QGuiApplication application(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = QCoreApplication::arguments();
    QFile input;
    std::optional<cli::PdfRequest> request;
    if (arguments.size() == 2 && input.open(stdin, QIODevice::ReadOnly)) {
        request = cli::DecodePdfRequest(input.readAll());
    }
    if (!request) {
        out << "usage: tarnwick-pdf FILE.pdf, the document as tarnwick-cli writes it on "
               "standard input\n";
        return 2;
    }
    if (const std::optional<QString> failure =
            WritePlantReport(arguments.at(1), request->heading, request->table)) {
        out << *failure;
        return 1;
    }
    return 0;
}
