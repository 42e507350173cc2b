// SPDX-License-Identifier: Apache-2.0
// corvane-convert: the window's import, Apply and Save Data on the command line.
#include "converter.h"
#include "manpage.h"
#include "options.h"
#include "progressline.h"
#include "report.h"

#include "formats/kit/stoprequest.h"
#include "formats/kit/textscan.h"
#include "formats/registry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace corvane;

namespace {

// Every line goes out with its control characters escaped: a file's bytes
// in a message never reach the terminal raw.
void printLine(FILE *stream, const QString &rawText)
{
    const QString text = printableText(rawText);
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

// With --json, standard output carries one JSON document a run and nothing else.
bool jsonOutput = false;
bool progressShown = false; // the progress line on standard error

void printJson(const QJsonObject &report)
{
    const QByteArray text = QJsonDocument(report).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

int complain(ExitCode code, const QString &message)
{
    printLine(stderr, QStringLiteral("corvane-convert: ") + message);
    if (code == UsageError) printLine(stderr, QStringLiteral("Try 'corvane-convert --help'."));
    return code;
}

// A run that stops before it reads anything.
int fail(ExitCode code, const QString &message)
{
    if (jsonOutput) printJson(failureReport(code, message));
    return complain(code, message);
}

// Standard output's last words: a write error there is the run's failure.
int finish(int code)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("corvane-convert: could not write to standard output.\n", stderr);
        return code == Done ? OutputError : code;
    }
    return code;
}

// Ctrl+C, SIGTERM and SIGHUP ask the run to stop: the save under way gives
// every file back before the run ends. A second one ends the run at once
// (the next run puts back what this one left, from its journal).
void onStopSignal(int signal)
{
    if (stopRequested()) ::_exit(128 + signal);
    requestStop(signal);
}

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// A run a signal stopped ends with the shell's status for it (130 for
// Ctrl+C, 143 for SIGTERM).
int stopped(bool saved)
{
    const int signal = stopSignal();
    const char *name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    printLine(stderr, saved ? QStringLiteral("corvane-convert: stopped by %1 after the save was "
                                             "done.")
                                  .arg(QLatin1String(name))
                            : QStringLiteral("corvane-convert: stopped by %1: no file was "
                                             "changed.")
                                  .arg(QLatin1String(name)));
    return finish(128 + signal);
}

// --help, the man page and --version: printed, nothing else done.
int printAbout(const QCommandLineParser &parser, const ConverterOptions &options,
               const QCommandLineOption &help, const QCommandLineOption &version)
{
    // --help-all (Qt's, beside --help) has no generic options to add here.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        printLine(stdout, parser.helpText());
        printLine(stdout, QString::fromLatin1(converterExitStatus));
        return Done;
    }
    if (parser.isSet(options.man)) {
        // --help-all is Qt's own, added with --help.
        const QCommandLineOption helpAll(QStringLiteral("help-all"),
                                         QStringLiteral("Displays help, including generic Qt "
                                                        "options."));
        std::fputs(manPage(QList<QCommandLineOption>{help, helpAll, version} + options.list(),
                           QCoreApplication::applicationVersion())
                       .toUtf8()
                       .constData(),
                   stdout);
        return Done;
    }
    printLine(stdout,
              QStringLiteral("corvane-convert %1").arg(QCoreApplication::applicationVersion()));
    return Done;
}

int listFormats()
{
    if (jsonOutput) {
        printJson(formatsReport());
    } else {
        for (const QString &line : formatList())
            printLine(stdout, line);
    }
    return finish(Done);
}

void printRecovered(const Outcome &outcome)
{
    for (const QString &text : outcome.recovered)
        printLine(stderr, QStringLiteral("corvane-convert: ") + text);
}

// --info: each input described, on standard output.
int describeInputs(const ConvertOptions &source)
{
    if (source.inputs.isEmpty())
        return finish(fail(UsageError, QStringLiteral("--info needs at least one INPUT.")));
    ExitCode status = Done;
    QList<InputReport> reports;
    QList<Outcome> outcomes;
    for (const QString &input : source.inputs) {
        InputReport report;
        Outcome outcome = describe(input, source.from, report, source.strict);
        printRecovered(outcome);
        if (stopSignal() != 0) return stopped(false);
        if (outcome.code != Done) {
            status = outcome.code;
            complain(outcome.code, outcome.message);
        } else if (!jsonOutput) {
            for (const QString &line : describeLines(report))
                printLine(stdout, line);
        }
        reports.append(report);
        outcomes.append(outcome);
    }
    if (jsonOutput) printJson(infoReport(reports, outcomes, status));
    return finish(status);
}

// What a conversion wrote and noted, on standard error.
void printOutcome(const Outcome &outcome, bool terminal)
{
    for (const QString &note : outcome.notes)
        printLine(stderr, QStringLiteral("corvane-convert: note: ") + note);
    for (const TrackFile &file : outcome.trackFiles)
        if (file.shortened)
            printLine(stderr, QStringLiteral("corvane-convert: track \"%1\" is too long for a file "
                                             "name; it went to %2")
                                  .arg(file.track, file.path));
        else if (file.numbered)
            printLine(stderr, QStringLiteral("corvane-convert: track \"%1\" shares its file name "
                                             "with another track; it went to %2")
                                  .arg(file.track, file.path));
    if (terminal)
        for (const QString &file : outcome.written)
            printLine(stderr, QStringLiteral("corvane-convert: wrote ") + file);
}

// "-" as the input: standard input, read whole into a file of the run's own
// (readers take files), named "standard input" in what is said.
struct StandardInput
{
    std::unique_ptr<QTemporaryFile> file;
    QString error;
};

StandardInput readStandardInput()
{
    StandardInput in;
    in.file = std::make_unique<QTemporaryFile>(
        QDir::temp().filePath(QStringLiteral("corvane-stdin-XXXXXX.txt")));
    QFile input;
    if (!in.file->open() || !input.open(stdin, QIODevice::ReadOnly)) {
        in.error = QStringLiteral("standard input cannot be read into %1.").arg(QDir::tempPath());
        return in;
    }
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = input.read(buffer, sizeof buffer);
        if (n < 0) {
            in.error = QStringLiteral("standard input cannot be read: %1").arg(input.errorString());
            return in;
        }
        if (n == 0) break;
        if (in.file->write(buffer, n) != n) {
            in.error = QStringLiteral("standard input cannot be kept in %1: %2")
                           .arg(QDir::tempPath(), in.file->errorString());
            return in;
        }
    }
    in.file->flush();
    return in;
}

void nameStandardInput(Outcome &outcome, const QString &path)
{
    const QString name = QStringLiteral("standard input");
    outcome.message.replace(path, name);
    for (QString &note : outcome.notes)
        note.replace(path, name);
    if (outcome.errorFile == path) outcome.errorFile = name;
}

int runConversion(ConvertOptions options)
{
    StandardInput standardInput;
    const qsizetype dash = options.inputs.indexOf(QStringLiteral("-"));
    if (dash >= 0) {
        if (options.inputs.count(QStringLiteral("-")) > 1)
            return finish(fail(UsageError, QStringLiteral("standard input (-) is one input.")));
        standardInput = readStandardInput();
        if (!standardInput.error.isEmpty()) return finish(fail(InputError, standardInput.error));
        options.inputs[dash] = standardInput.file->fileName();
        if (options.output.isEmpty()) options.output = QStringLiteral("-");
    }
    if (options.output == QLatin1String("-") && jsonOutput)
        return finish(fail(UsageError, QStringLiteral("--json and -o - would both write standard "
                                                      "output; name a file with -o.")));
    // Progress for a person watching a terminal (or when asked for).
    const bool terminal = isatty(fileno(stderr));
    Outcome outcome;
    {
        std::unique_ptr<ProgressLine> line;
        if (progressShown) {
            line = std::make_unique<ProgressLine>(terminal);
            options.bytesRead = &line->bytesRead;
            options.applied = &line->applied;
        }
        outcome = convert(options, [&line](const QString &step) {
            if (line) line->stage(step);
        });
    }
    if (standardInput.file) nameStandardInput(outcome, standardInput.file->fileName());
    if (outcome.code == Done && options.output == QLatin1String("-")) {
        printRecovered(outcome);
        printOutcome(outcome, false); // the notes, on standard error
        QFile output;
        if (!output.open(stdout, QIODevice::WriteOnly) ||
            output.write(outcome.standardOutput) != outcome.standardOutput.size() ||
            !output.flush())
            return finish(complain(OutputError, QStringLiteral("standard output cannot be "
                                                               "written.")));
        return finish(Done);
    }
    printRecovered(outcome);
    if (stopSignal() != 0) return stopped(outcome.code == Done);
    if (jsonOutput) printJson(convertReport(options, outcome));
    if (outcome.code != Done) return finish(complain(outcome.code, outcome.message));
    printOutcome(outcome, terminal);
    return finish(Done);
}

} // namespace

int main(int argc, char *argv[])
{
    // A reader that goes away (a closed pipe) is a write error to report, not
    // a signal that ends the process unheard.
    std::signal(SIGPIPE, SIG_IGN);
    catchStopSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(converterSummary));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const ConverterOptions options;
    parser.addOptions(options.list());
    parser.addPositionalArgument(QStringLiteral("INPUT"),
                                 QStringLiteral("Track files to convert (- reads standard input)."),
                                 QStringLiteral("INPUT..."));

    const bool parsed = parser.parse(withOptionalValues(QCoreApplication::arguments()));
    jsonOutput = parser.isSet(options.json);
    progressShown =
        parser.isSet(options.progress) || (isatty(fileno(stderr)) && !parser.isSet(options.quiet));
    if (!parsed) return finish(fail(UsageError, parser.errorText()));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")) ||
        parser.isSet(options.man) || parser.isSet(version))
        return printAbout(parser, options, help, version);
    if (parser.isSet(options.listFormats)) return listFormats();
    if (parser.isSet(options.info)) {
        ConvertOptions source;
        const QString error = checkSource(parser, options, source);
        if (!error.isEmpty()) return finish(fail(UsageError, error));
        return describeInputs(source);
    }
    const CheckedOptions checked = checkConversion(parser, options);
    if (!checked.error.isEmpty()) return finish(fail(UsageError, checked.error));
    return runConversion(checked.convert);
}
