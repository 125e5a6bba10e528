// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "refusal/refusal.h"
#include "console_output.h"
#include "fleet/logger_job.h"
#include "report_format.h"
#include "transport/settings.h"

#include <QCommandLineParser>

namespace cli {

// The options every verb takes: the output format, how many loggers at once, the
// exchange's timeout and retries, the sockets, the trace.
struct RunOptions {
    Format format = Format::Table;
    int parallel = 64;
    fleet::ExchangePolicy policy;
    int waitMs = 3000; // how long to listen for answers to the probe after the last one
    NetworkSettings network;
    enum class Trace { Off, OnStandardError } trace = Trace::Off;
    Secrets secrets = Secrets::Hidden; // in the reports and the trace
};

// --parallel is offered by the verbs that work on many loggers; the others take it without
// offering it in their help.
enum class ParallelOption { Offered, Hidden };
void AddRunOptions(QCommandLineParser &parser, ParallelOption parallel = ParallelOption::Offered);
Checked<RunOptions> ReadRunOptions(const QCommandLineParser &parser);

// The option's value as a whole number within the bounds.
Checked<int> NumberOption(const QCommandLineParser &parser, const QString &name, int lowest,
                          int highest);

} // namespace cli
