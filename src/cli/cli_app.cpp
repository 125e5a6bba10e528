// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_app.h"

#include "run_options.h"
#include "session.h"
#include "verbs.h"

#include "fleet/settings/catalogue.h"
#include "tarnwick_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <optional>
#include <vector>

namespace cli {
namespace {

const char kUsage[] = R"(Usage: tarnwick-cli VERB [options]

Reads and writes the settings of many PV data loggers at once.

Verbs:
  search      find the loggers of a network
  read        read settings of loggers
  write       write settings to loggers, each read back
  backup      save every readable setting of one logger as a profile
  apply       write a profile to many loggers, each setting read back
  watch       read one logger's signal quality again and again
  commission  write a profile and a plan to each logger as it comes up, with a record
  report      turn a commissioning record into the handover document

tarnwick-cli VERB --help describes a verb; tarnwick-cli --version prints the version.
Exit status: 0 every logger succeeded, 1 some logger failed, 2 bad usage or input,
130 interrupted (Ctrl+C or SIGTERM; the report says what was done).
)";

std::optional<Verb> VerbNamed(const QString &name)
{
    for (Verb (*verb)() : {SearchVerb, ReadVerb, WriteVerb, BackupVerb, ApplyVerb, WatchVerb,
                              CommissionVerb, ReportVerb}) {
        if (Verb candidate = verb(); name == QLatin1String(candidate.name)) {
            return candidate;
        }
    }
    return std::nullopt;
}

// The words a SETTING argument of the verb starts with, one a line, for the shells'
// completion: "ip" for read, "ip=" and "devices+=" for write; with "json", every setting
// described for other programs (the Ansible modules). Not in the usage.
QString SettingWords(const QString &verbName)
{
    if (verbName == QLatin1String("json")) {
        return QString::fromUtf8(fleet::SettingsDescription());
    }
    QStringList words;
    if (verbName == QLatin1String("read")) {
        words = fleet::ReadableSettingNames();
    } else if (verbName == QLatin1String("write")) {
        for (const QString &form : fleet::WriteForms()) {
            const QString word = form.left(form.indexOf(QLatin1Char('=')) + 1);
            if (!words.contains(word)) {
                words.append(word);
            }
        }
    }
    return words.isEmpty() ? QString() : words.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

int RunCli(const QStringList &arguments, Console &console)
{
    const QString verbName = arguments.value(1);
    const std::optional<Verb> verb = VerbNamed(verbName);
    if (!verb) {
        if (verbName == QLatin1String("--help") || verbName == QLatin1String("-h")) {
            console.out << kUsage;
            return kAllSucceeded;
        }
        if (verbName == QLatin1String("--version")) {
            console.out << "tarnwick-cli " TARNWICK_VERSION "\n";
            return kAllSucceeded;
        }
        if (verbName == QLatin1String("--list-settings")) {
            console.out << SettingWords(arguments.value(2));
            return kAllSucceeded;
        }
        console.err << (verbName.isEmpty() ? QString()
                                           : QStringLiteral("'%1' is not a verb\n").arg(verbName))
                    << kUsage;
        return kBadUsage;
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(verb->description);
    parser.addHelpOption();
    parser.addPositionalArgument(QLatin1String(verb->name), QStringLiteral("the verb, as above"),
                                 QLatin1String(verb->synopsis));
    AddRunOptions(parser, verb->manyLoggers ? ParallelOption::Offered : ParallelOption::Hidden);
    verb->addOptions(parser);
    QStringList verbArguments = arguments.mid(2);
    verbArguments.prepend(arguments.first() + QLatin1Char(' ') + verbName);
    if (!parser.parse(verbArguments)) {
        console.err << parser.errorText() << '\n';
        return kBadUsage;
    }
    if (parser.isSet("help")) {
        // The usage line names the program, not the path it was started by.
        QString help = parser.helpText();
        const QString usage = QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0);
        if (QCoreApplication::instance() != nullptr && help.startsWith(usage)) {
            help.replace(0, usage.size(), QStringLiteral("Usage: tarnwick-cli"));
        }
        console.out << help;
        return kAllSucceeded;
    }
    const Checked<RunOptions> options = ReadRunOptions(parser);
    if (!options.accepted()) {
        return PrintRefusal(console, verbName, options.refusal());
    }
    Session session(verbName, console, options.value());
    return verb->run(parser, session);
}

} // namespace cli
