// SPDX-License-Identifier: Apache-2.0
// corvane-convert: the window's import, Apply and Save Data on the command line.
#include "converter.h"
#include "manpage.h"
#include "report.h"

#include "formats/registry.h"
#include "formats/stoprequest.h"
#include "formats/textscan.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>

#include <csignal>
#include <cstdio>
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
    QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Target format."),
                          QStringLiteral("FORMAT"));
    QCommandLineOption from(QStringLiteral("from"),
                            QStringLiteral("Source format (default: detected from the content)."),
                            QStringLiteral("FORMAT"));
    QCommandLineOption output(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral(
            "Output file (default: the input's name with the target's extension, "
            "in the current folder); a folder when several inputs are converted one by one."),
        QStringLiteral("OUTPUT"));
    QCommandLineOption plate(QStringLiteral("plate"),
                             QStringLiteral("Plate resolution (default: what the file states)."),
                             QStringLiteral("WxH"));
    QCommandLineOption preset(QStringLiteral("preset"),
                              QStringLiteral("Predefined setting: %1 (default: default).")
                                  .arg(presetNames().join(QStringLiteral(", "))),
                              QStringLiteral("NAME"), QStringLiteral("default"));
    QCommandLineOption par(QStringLiteral("par"),
                           QStringLiteral("Pixel aspect ratio (default: 1.0)."),
                           QStringLiteral("RATIO"), QStringLiteral("1.0"));
    QCommandLineOption firstFrame(
        QStringLiteral("first-frame"),
        QStringLiteral("Export first frame (default: the import's first frame, moved "
                       "between the programs' frame bases under program conventions)."),
        QStringLiteral("N"));
    QCommandLineOption conventions(
        QStringLiteral("conventions"),
        QStringLiteral("program: follow each program's pixel centres and frame numbering "
                       "(default); file: convert by the files' coordinate rules alone."),
        QStringLiteral("KIND"), QStringLiteral("program"));
    QCommandLineOption append(
        QStringLiteral("append"),
        QStringLiteral("Add every further INPUT to the first one's list, into one OUTPUT."));
    QCommandLineOption listFormats(QStringLiteral("list-formats"),
                                   QStringLiteral("List every format and exit."));
    QCommandLineOption info(
        QStringLiteral("info"),
        QStringLiteral("Describe each INPUT: format, tracks, rows, frames, plate."));
    QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Print one JSON document on standard output: what --info found, what "
                       "a conversion read and wrote, or the error (schema in the manual)."));
    QCommandLineOption strict(
        QStringLiteral("strict"),
        QStringLiteral("Fail (exit 2, nothing written) when a reading leaves something out or "
                       "changes it: a curve it cannot read, a key it passes, a node it skips."));
    QCommandLineOption camera(
        QStringLiteral("camera"),
        QStringLiteral("The cameras of a stereo shot to take: primary, secondary or all "
                       "(default: all; the secondary's tracks are NAME_Secondary)."),
        QStringLiteral("WHICH"), QStringLiteral("all"));
    QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("Replace output files that are write-protected and belong to another "
                       "user."));
    QCommandLineOption man(QStringLiteral("man-page"),
                           QStringLiteral("Print the man page (troff) and exit."));
    man.setFlags(QCommandLineOption::HiddenFromHelp);
    const QList<QCommandLineOption> optionList{
        to,     from,        output, plate, preset, par,    firstFrame, conventions,
        append, listFormats, info,   json,  strict, camera, force,      man};
    parser.addOptions(optionList);
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Track files to convert."),
                                 QStringLiteral("INPUT..."));

    const bool parsed = parser.parse(QCoreApplication::arguments());
    jsonOutput = parser.isSet(json);
    if (!parsed) return finish(fail(UsageError, parser.errorText()));
    if (parser.isSet(help)) {
        printLine(stdout, parser.helpText());
        printLine(stdout, QString::fromLatin1(converterExitStatus));
        return Done;
    }
    if (parser.isSet(man)) {
        // --help-all is Qt's own, added with --help.
        const QCommandLineOption helpAll(QStringLiteral("help-all"),
                                         QStringLiteral("Displays help, including generic Qt "
                                                        "options."));
        std::fputs(manPage(QList<QCommandLineOption>{help, helpAll, version} + optionList,
                           QCoreApplication::applicationVersion())
                       .toUtf8()
                       .constData(),
                   stdout);
        return Done;
    }
    if (parser.isSet(version)) {
        printLine(stdout,
                  QStringLiteral("corvane-convert %1").arg(QCoreApplication::applicationVersion()));
        return Done;
    }
    if (parser.isSet(listFormats)) {
        if (jsonOutput) {
            printJson(formatsReport());
        } else {
            for (const QString &line : formatList())
                printLine(stdout, line);
        }
        return finish(Done);
    }

    const QStringList inputs = parser.positionalArguments();
    const Format *source = nullptr;
    if (parser.isSet(from)) {
        source = formatByIdOrFilter(parser.value(from));
        if (!source)
            return finish(fail(UsageError,
                               QStringLiteral("--from: unknown format \"%1\" (see --list-formats).")
                                   .arg(parser.value(from))));
    }
    const std::optional<Camera> cameraChoice = parseCamera(parser.value(camera));
    if (!cameraChoice)
        return finish(fail(UsageError, QStringLiteral("--camera: \"%1\" is not primary, secondary "
                                                      "or all.")
                                           .arg(parser.value(camera))));
    if (parser.isSet(info)) {
        if (inputs.isEmpty())
            return finish(fail(UsageError, QStringLiteral("--info needs at least one INPUT.")));
        ExitCode status = Done;
        QList<InputReport> reports;
        QList<Outcome> outcomes;
        for (const QString &input : inputs) {
            InputReport report;
            Outcome outcome = describe(input, source, report, parser.isSet(strict));
            for (const QString &text : outcome.recovered)
                printLine(stderr, QStringLiteral("corvane-convert: ") + text);
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

    ConvertOptions options;
    if (!parser.isSet(to))
        return finish(
            fail(UsageError,
                 QStringLiteral("no target format: give --to FORMAT (see --list-formats).")));
    options.target = formatByIdOrFilter(parser.value(to));
    if (!options.target)
        return finish(
            fail(UsageError, QStringLiteral("--to: unknown format \"%1\" (see --list-formats).")
                                 .arg(parser.value(to))));
    if (inputs.isEmpty()) return finish(fail(UsageError, QStringLiteral("no INPUT file given.")));
    options.inputs = inputs;
    options.from = source;
    options.output = parser.value(output);
    options.append = parser.isSet(append);
    options.strict = parser.isSet(strict);
    options.force = parser.isSet(force);
    options.camera = *cameraChoice;
    if (parser.isSet(plate)) {
        options.plate = parsePlate(parser.value(plate));
        if (!options.plate)
            return finish(fail(
                UsageError,
                QStringLiteral("--plate: \"%1\" is not WIDTHxHEIGHT with positive whole numbers, "
                               "such as 1920x1080.")
                    .arg(parser.value(plate))));
    }
    auto presetIndex = parsePreset(parser.value(preset));
    if (!presetIndex)
        return finish(fail(
            UsageError, QStringLiteral("--preset: \"%1\" is not one of %2.")
                            .arg(parser.value(preset), presetNames().join(QStringLiteral(", ")))));
    options.preset = *presetIndex;
    bool ok = false;
    double ratio = parser.value(par).toDouble(&ok);
    if (!ok || ratio <= 0 || ratio > 100)
        return finish(
            fail(UsageError, QStringLiteral("--par: \"%1\" is not a ratio between 0 and 100.")
                                 .arg(parser.value(par))));
    options.pixelAspect = parser.value(par);
    if (parser.isSet(firstFrame)) {
        int frame = parser.value(firstFrame).toInt(&ok);
        if (!ok || frame < -999999 || frame > 999999)
            return finish(
                fail(UsageError, QStringLiteral("--first-frame: \"%1\" is not a whole number.")
                                     .arg(parser.value(firstFrame))));
        options.firstFrame = frame;
    }
    const QString kind = parser.value(conventions).toLower();
    if (kind != QLatin1String("program") && kind != QLatin1String("file"))
        return finish(
            fail(UsageError, QStringLiteral("--conventions: \"%1\" is not program or file.")
                                 .arg(parser.value(conventions))));
    options.programConventions = kind == QLatin1String("program");

    // Progress only for a person watching a terminal.
    const bool terminal = isatty(fileno(stderr));
    Outcome outcome = convert(options, [terminal](const QString &step) {
        if (terminal)
            printLine(stderr, QStringLiteral("corvane-convert: ") + step + QStringLiteral("..."));
    });
    for (const QString &text : outcome.recovered)
        printLine(stderr, QStringLiteral("corvane-convert: ") + text);
    if (stopSignal() != 0) return stopped(outcome.code == Done);
    if (jsonOutput) printJson(convertReport(options, outcome));
    if (outcome.code != Done) return finish(complain(outcome.code, outcome.message));
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
    return finish(Done);
}
