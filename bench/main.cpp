// SPDX-License-Identifier: Apache-2.0
// corvane-bench: times the core's stages on a generated table and prints
// one line per stage: "<stage> <seconds> s <peak-rss-MB> MB (cpu <seconds> s)".
#include "bench.h"

#include "cli/converter.h"
#include "edit/celledits.h"
#include "edit/rowedits.h"
#include "edit/sort.h"
#include "edit/trackops.h"
#include "edit/trackpaths.h"
#include "export/exporter.h"
#include "formats/3de/threedequalizer.h"
#include "formats/kit/shapes.h"
#include "formats/registry.h"
#include "import/dispatch.h"
#include "settings/apply.h"
#include "settings/trackoperations.h"
#include "table/parallel.h"
#include "table/tracktable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

// A memory figure of /proc/self/status ("VmHWM:", "VmRSS:") in megabytes;
// -1 where the system has none.
long statusMegabytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLong() /
                       1024;
    return -1;
}

using namespace corvane;

namespace {

// The peak resident memory since the last reset, from the kernel's
// high-water mark (which resetPeak clears, where the system allows it).
long peakMegabytes()
{
    const long peak = statusMegabytes("VmHWM:");
    if (peak >= 0) return peak;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024; // kilobytes on Linux
}

long residentMegabytes()
{
    return std::max(0L, statusMegabytes("VmRSS:"));
}

// Memory freed by an earlier stage goes back to the system, so that the
// next stage's peak counts what it holds, not what the allocator kept.
void giveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

QString fileDigest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (file.open(QIODevice::ReadOnly)) hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

// Reads a file through once: saves leave what they write out of the
// system's cache, and the read stages time the reader, not the disk.
void readThrough(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    QByteArray block(4 << 20, Qt::Uninitialized);
    while (file.read(block.data(), block.size()) > 0) {
    }
}

// The process's processor time, user and system: beside a stage's wall time
// it tells work from waiting (a save waits for the disk to take the file).
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void resetPeak()
{
    giveBackFreedMemory();
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

TrackTable shapeTable(int shapes, int vertices, int frames)
{
    TrackTable table;
    TrackSet set;
    set.reserve(shapes * vertices * frames);
    for (int s = 1; s <= shapes; ++s)
        for (int v = 1; v <= vertices; ++v) {
            const QString name = shapeVertexName(s, v);
            for (int f = 1; f <= frames; ++f)
                set.append(name, f, 100.0 + s % 1000 + f * 0.25, 900.0 - v - f * 0.5);
        }
    FillRange range = prepareFill(table, set.count, false);
    fillRows(table, set, range, QStringLiteral("Shake RotoShape File (*.ssf)"));
    return table;
}

// A Nuke 7+ roto script of about `bytes` bytes: shapes of ten vertices,
// each keyed at a hundred frames, their values as the hexadecimal singles
// Nuke writes; `rows` is set to the vertex keys it holds.
QByteArray generateNukeRotoScript(qsizetype bytes, int &rows)
{
    auto hex = [](QByteArray &out, float value) {
        quint32 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        out += " x";
        out += QByteArray::number(bits, 16).rightJustified(8, '0');
    };
    constexpr int vertices = 10, keys = 100;
    QByteArray out;
    out.reserve(bytes + (1 << 20));
    out += "Root {\n inputs 0\n format \"1920 1080 0 0 1920 1080 1 HD_1080\"\n}\n"
           "RotoPaint {\n curves {{{v x3f99999a}\n  {f 0}\n  {n\n   {layer Root\n    {f 512}\n"
           "    {t x44700000 x44070000}\n    {a}";
    rows = 0;
    for (int s = 0; out.size() < bytes; ++s) {
        out += "\n    {curvegroup Bezier" + QByteArray::number(s + 1) +
               " 512 bezier\n     {{cc\n       {f 8192}\n       {px {";
        for (int k = 0; k < keys; ++k)
            hex(out, float(k + 1));
        out += '}';
        for (int v = 0; v < vertices; ++v)
            for (int p = 0; p < 3; ++p) {
                out += "\n        {";
                for (int axis = 0; axis < 2; ++axis) {
                    out += '{';
                    for (int k = 0; k < keys; ++k)
                        hex(out, p != 1
                                     ? (axis ? 1.5f : -2.5f)
                                     : float(axis ? 900 - v - k * 0.5 : 100 + s % 1000 + k * 0.25));
                    out += '}';
                }
                out += '}';
            }
        out += "}}     idem}\n     {tx x3f800000 x44700000 x44070000}\n     {a str 1}}";
        rows += vertices * keys;
    }
    out += "}}}}\n name RotoPaint1\n}\n";
    return out;
}

// A 100 MB roto script in the layout Nuke writes since version 7.
void runRotoScriptStage(const QString &folder)
{
    int rotoRows = 0;
    const QString script = QDir(folder).filePath(QStringLiteral("roto.nk"));
    QFile file(script);
    if (file.open(QIODevice::WriteOnly))
        file.write(generateNukeRotoScript(qsizetype(100) << 20, rotoRows));
    file.close();
    stage("read-nuke-roto-100mb", [&] {
        ReadResult read = dispatch(script, QStringLiteral("Nuke RotoPaint File (*.nk)"));
        if (read.set.count != rotoRows)
            std::fprintf(stderr, "corvane-bench: read %d of %d roto rows %s\n", read.set.count,
                         rotoRows, qPrintable(read.error));
    });
    QFile::remove(script);
}

// 1,000,000 shape rows twice: 1,000,000 one-vertex shapes of one key
// ("-many"), and 100 shapes of 10 vertices over 1,000 frames ("-keyed"),
// written in every shape format, then read back once the table is gone, so
// that a read's peak is the reader's own, with the file in the system's cache. With digests, each
// file's SHA-1 is printed (to compare writers' bytes across changes).
void runShapeStages(const QString &folder, bool digests, const QString &only)
{
    const std::pair<const char *, std::function<TrackTable()>> tables[] = {
        {"many", [] { return shapeTable(1000000, 1, 1); }},
        {"keyed", [] { return shapeTable(100, 10, 1000); }}};
    std::map<std::string, long> resident; // megabytes with each table
    for (const auto &[kind, make] : tables) {
        std::vector<std::pair<const Format *, QString>> written;
        int rows = 0;
        {
            const TrackTable shapes = make();
            rows = shapes.rowCount();
            giveBackFreedMemory();
            resident[kind] = residentMegabytes();
            std::printf("# %s table: %ld MB resident\n", kind, resident[kind]);
            for (const Format &format : formats()) {
                if (!format.shapes || !format.read || !format.writer) continue;
                if (!only.isEmpty() && only != QLatin1String(format.id)) continue;
                const QString path =
                    QDir(folder).filePath(QStringLiteral("shapes-%1.%2")
                                              .arg(QLatin1String(kind), format.fileExtension()));
                const QByteArray suffix = QByteArray(format.id) + '-' + kind;
                stage(("write-" + suffix).constData(), [&] {
                    ExportParams params;
                    params.targetFilter = QLatin1String(format.treeExportFilter);
                    params.targetPath = path;
                    params.windowWidth = QStringLiteral("1920");
                    params.windowHeight = QStringLiteral("1080");
                    params.pixelAspect = QStringLiteral("1.0");
                    ExportResult result = exportTable(shapes, params);
                    if (!result.ok())
                        std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(result.error));
                });
                std::printf("# %s: %.1f MB%s\n", qPrintable(QFileInfo(path).fileName()),
                            double(QFileInfo(path).size()) / (1 << 20),
                            digests ? qPrintable(QStringLiteral(" sha1 ") + fileDigest(path)) : "");
                written.emplace_back(&format, path);
            }
        }
        giveBackFreedMemory();
        for (const auto &entry : written) {
            // Named, not bound: a lambda cannot take a structured binding in C++17.
            const Format *format = entry.first;
            const QString path = entry.second;
            const QByteArray suffix = QByteArray(format->id) + '-' + kind;
            readThrough(path);
            stage(("read-" + suffix).constData(), [&] {
                ReadResult read = dispatch(path, QLatin1String(format->importFilter));
                if (read.set.count != rows)
                    std::fprintf(stderr, "corvane-bench: %s read %d shape rows %s\n", format->id,
                                 read.set.count, qPrintable(read.error));
            });
            QFile::remove(path);
        }
    }
    // A track costs little beside its rows: one-vertex shapes against the
    // same rows in a thousand vertex tracks, as a ratio and per track (the
    // many table's 999,000 tracks more).
    constexpr double moreTracks = 999000;
    std::printf("# a track: %.0f bytes of the table beside its rows\n",
                double(resident["many"] - resident["keyed"]) * (1 << 20) / moreTracks);
    for (const Format &format : formats()) {
        if (!format.shapes || !format.read || !format.writer) continue;
        const QByteArray id(format.id);
        const double writeMany = stageSeconds(("write-" + id + "-many").constData());
        const double writeKeyed = stageSeconds(("write-" + id + "-keyed").constData());
        const double readMany = stageSeconds(("read-" + id + "-many").constData());
        const double readKeyed = stageSeconds(("read-" + id + "-keyed").constData());
        if (writeKeyed > 0 && readKeyed > 0)
            std::printf("# %s: many/keyed write %.2fx, read %.2fx; a track %.2f us to write, "
                        "%.2f us to read\n",
                        format.id, writeMany / writeKeyed, readMany / readKeyed,
                        (writeMany - writeKeyed) / moreTracks * 1e6,
                        (readMany - readKeyed) / moreTracks * 1e6);
    }
    if (only.isEmpty()) runRotoScriptStage(folder);
}

} // namespace

struct PlainTarget : EditTarget
{
    TrackTable &t;
    explicit PlainTarget(TrackTable &table) : t(table) {}
    TrackTable &table() override { return t; }
};

// Deleting every other row and its undo, and pasting 100,000 rows of four cells.
void runEditStages(TrackTable &table)
{
    PlainTarget target(table);
    std::vector<int> everyOther;
    for (int r = 0; r < table.rowCount(); r += 2)
        everyOther.push_back(r);
    EditPtr removal;
    stage("delete-rows", [&] { removal = deleteRows(target, everyOther); });
    stage("undo-delete-rows", [&] { removal->toggle(target); });
    QString text;
    for (int r = 0; r < 100000; ++r)
        text += QStringLiteral("Pasted_%1\t%2\t%3.25\t-%3.5\n").arg(r / 100).arg(r).arg(r);
    stage("paste", [&] { pasteText(target, {0, 0, 0, 0}, text); });
}

// Every track operation on the million rows of the generated file, read
// into a table as the converter reads it (before Apply): "op-<option>".
void runOperationStages(const QString &source)
{
    const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
    TrackSet set = dispatch(source, v4).set;
    TrackTable table;
    FillRange range = prepareFill(table, set.count, false);
    fillRows(table, set, range, v4, [](int) { return true; });
    set = TrackSet();
    const std::unique_ptr<ValueSpace> space = sourceSpace(table, true);
    PlateSize plate{1920, 1080};
    QString mapping;
    for (int t = 0; t < 1000; ++t)
        mapping += QStringLiteral("sh010_Track_%1_v2\tpoint%2\n")
                       .arg(t + 1, 4, 10, QLatin1Char('0'))
                       .arg(t + 1);
    const std::vector<std::pair<const char *, QString>> operations{
        {"prefix", QStringLiteral("sh010_")},
        {"suffix", QStringLiteral("_v2")},
        {"rename-file", mapping},
        {"rename", QStringLiteral("^point(\\d+)$=track_\\1")},
        {"slip", QStringLiteral("1000")},
        {"start-at", QStringLiteral("1")},
        {"shift", QStringLiteral("10.5,-3.25")},
        {"scale", QStringLiteral("2")},
        {"reformat", QStringLiteral("1920x1080")},
        {"flip", QString()},
        {"flop", QString()},
        {"crop", QStringLiteral("100,20,10,30")},
        {"pad", QStringLiteral("0.1,0,0.05,0")},
        {"lens-distort", QStringLiteral("-0.05,0.01")},
        {"lens-undistort", QStringLiteral("-0.05,0.01")},
        {"drop-before", QStringLiteral("2")},
        {"trim", QStringLiteral("1..900")},
        {"min-keys", QStringLiteral("2")},
    };
    auto run = [&](const char *option, const QString &text) {
        const ParsedOperation parsed = parseTrackOperation(QLatin1String(option), text);
        if (!parsed.operation) {
            std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(parsed.error));
            return;
        }
        TrackOperationResult result;
        stage(qPrintable(QStringLiteral("op-") + QLatin1String(option)), [&] {
            result = runTrackOperation(table, plate, *parsed.operation, nullptr, space.get());
        });
        std::printf("#   %s\n", qPrintable(result.ok() ? result.summary
                                                       : QStringLiteral("error: ") + result.error));
    };
    std::printf("# track operations on %d rows\n", table.rowCount());
    for (const auto &[option, text] : operations)
        run(option, text);
    // Gaps to fill: every fifth key taken out.
    std::vector<int> fifth;
    for (int r = 2; r < table.rowCount(); r += 5)
        fifth.push_back(r);
    table.takeRows(fifth);
    run("fill-gaps", QString());
    // The window's live count as the user types, on the whole table.
    const ParsedOperation shift =
        parseTrackOperation(QStringLiteral("shift"), QStringLiteral("1,1"));
    TrackOperationResult counted;
    stage("op-count-shift", [&] {
        counted = countTrackOperation(table, plate, *shift.operation, nullptr, space.get());
    });
    std::printf("#   %s\n", qPrintable(counted.summary));
}

namespace {
std::map<std::string, double> &stageTimes()
{
    static std::map<std::string, double> times;
    return times;
}
} // namespace

double stageSeconds(const char *name)
{
    const auto it = stageTimes().find(name);
    return it == stageTimes().end() ? 0 : it->second;
}

void stage(const char *name, const std::function<void()> &work)
{
    std::fflush(stdout);
    resetPeak();
    QElapsedTimer clock;
    const double cpuBefore = cpuSeconds();
    clock.start();
    work();
    const double wall = clock.nsecsElapsed() / 1e9;
    stageTimes()[name] = wall;
    std::printf("%s %.3f s %ld MB (cpu %.3f s)\n", name, wall, peakMegabytes(),
                cpuSeconds() - cpuBefore);
    std::fflush(stdout);
}

void generateThreeDEv4(qint64 rows, int tracks, const std::function<void(QByteArray &)> &take)
{
    QByteArray out;
    out.reserve(8 << 20);
    out += QByteArray::number(tracks) + '\n';
    const qint64 perTrack = rows / tracks;
    for (int t = 0; t < tracks; ++t) {
        const qint64 count = t == tracks - 1 ? rows - perTrack * (tracks - 1) : perTrack;
        out += "Track_" + QByteArray::number(t + 1).rightJustified(4, '0') + "\n0\n" +
               QByteArray::number(count) + '\n';
        for (qint64 f = 0; f < count; ++f) {
            out += QByteArray::number(f + 1) + ' ' +
                   QByteArray::number(100.0 + t + f * 0.731, 'f', 6) + ' ' +
                   QByteArray::number(900.0 - f * 0.417, 'f', 6) + '\n';
            if (out.size() >= (8 << 20)) {
                take(out);
                out.clear();
            }
        }
    }
    take(out);
}

QByteArray generateThreeDEv4(int rows, int tracks)
{
    QByteArray whole;
    whole.reserve(qsizetype(rows) * 40);
    generateThreeDEv4(rows, tracks, [&](QByteArray &piece) { whole += piece; });
    return whole;
}

// A Shake script of Tracker nodes, a hundred tracks each, every track's X
// and Y a Linear curve keyed at every one of its frames.
QByteArray generateShakeScript(int rows, int tracks)
{
    QByteArray out;
    out.reserve(qsizetype(rows) * 28 + tracks * 64);
    out += "// Shake v4.10.0606\nSetDefaultWidth(1920);\nSetDefaultHeight(1080);\n";
    const int perTrack = rows / tracks;
    for (int t = 0; t < tracks; ++t) {
        if (t % 100 == 0)
            out += (t > 0 ? "1);\n" : "") + QByteArray("Tracker") +
                   QByteArray::number(t / 100 + 1) +
                   " = Tracker(In, \"1-100\", \"1/64\", \"luminance\", 0.75, \"use start frame\", "
                   "0.5, \"stop\", 1, 1, \"v2.0\", 0.3, 0.59, 0.11, 0, 10,\n";
        const int count = t == tracks - 1 ? rows - perTrack * (tracks - 1) : perTrack;
        out += "\"track" + QByteArray::number(t % 100 + 1) + "\", ";
        for (int axis = 0; axis < 2; ++axis) {
            out += "Linear(0";
            for (int f = 0; f < count; ++f)
                out +=
                    ',' +
                    QByteArray::number(axis ? 900.0 - f * 0.417 : 100.0 + t + f * 0.731, 'f', 3) +
                    '@' + QByteArray::number(f + 1);
            out += "),\n";
        }
        out += "1, -10, 10, -10, 10, -20, 20, -20, 20, 960, 540, 1, 1, ";
    }
    out += "1);\n";
    return out;
}

int main(int argc, char *argv[])
{
    // The window stages draw offscreen unless told otherwise.
    // The core's stages run as the converter does, without a GUI; the
    // window's stages draw offscreen unless told otherwise.
    bool coreOnly = false;
    for (int i = 1; i < argc; ++i)
        coreOnly = coreOnly || qstrcmp(argv[i], "--core-only") == 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(coreOnly ? new QCoreApplication(argc, argv)
                                                   : new QApplication(argc, argv));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times Corvane's import, Apply, sort and export stages."));
    parser.addHelpOption();
    QCommandLineOption rowsOption(QStringLiteral("rows"),
                                  QStringLiteral("Rows of the generated table."),
                                  QStringLiteral("N"), QStringLiteral("1000000"));
    QCommandLineOption tracksOption(QStringLiteral("tracks"),
                                    QStringLiteral("Tracks sharing the rows."), QStringLiteral("N"),
                                    QStringLiteral("1000"));
    QCommandLineOption generateOption(
        QStringLiteral("generate"),
        QStringLiteral("Only write the generated 3DE v4 file to PATH (for timing "
                       "corvane-convert on it) and exit."),
        QStringLiteral("PATH"));
    parser.addOption(rowsOption);
    parser.addOption(tracksOption);
    parser.addOption(generateOption);
    QCommandLineOption coreOnlyOption(QStringLiteral("core-only"),
                                      QStringLiteral("Skip the window's stages."));
    parser.addOption(coreOnlyOption);
    QCommandLineOption shapesOnlyOption(QStringLiteral("shapes-only"),
                                        QStringLiteral("Only the shape stages (for profiling)."));
    parser.addOption(shapesOnlyOption);
    QCommandLineOption digestsOption(QStringLiteral("digests"),
                                     QStringLiteral("Print the SHA-1 of each shape file written."));
    parser.addOption(digestsOption);
    QCommandLineOption shapeFormatOption(QStringLiteral("shape-format"),
                                         QStringLiteral("Only this shape format's stages."),
                                         QStringLiteral("ID"));
    parser.addOption(shapeFormatOption);
    QCommandLineOption operationsOnlyOption(QStringLiteral("operations-only"),
                                            QStringLiteral("Only the track operations' stages."));
    parser.addOption(operationsOnlyOption);
    QCommandLineOption windowOnlyOption(QStringLiteral("window-only"),
                                        QStringLiteral("Only the window's stages (for "
                                                       "profiling; no window/core ratios)."));
    parser.addOption(windowOnlyOption);
    QCommandLineOption threadsOption(QStringLiteral("threads"),
                                     QStringLiteral("Threads the core may use (default: every "
                                                    "core)."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(threadsOption);
    QCommandLineOption streamRowsOption(
        QStringLiteral("stream-rows"),
        QStringLiteral("Only the streamed conversions, of N generated points (100000000: a "
                       "hundred million, about 7 GB of disk for the run)."),
        QStringLiteral("N"));
    parser.addOption(streamRowsOption);
    QCommandLineOption flameOnlyOption(QStringLiteral("flame-only"),
                                       QStringLiteral("Only the Flame setup's stages."));
    parser.addOption(flameOnlyOption);
    parser.process(*app);
    setWorkerThreads(parser.value(threadsOption).toInt());
    const int rows = std::max(1, parser.value(rowsOption).toInt());
    const int tracks = std::clamp(parser.value(tracksOption).toInt(), 1, rows);
    if (parser.isSet(generateOption)) {
        QFile file(parser.value(generateOption));
        if (!file.open(QIODevice::WriteOnly) || file.write(generateThreeDEv4(rows, tracks)) < 0) {
            std::fprintf(stderr, "corvane-bench: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
        return 0;
    }

    QTemporaryDir dir;
    if (parser.isSet(streamRowsOption)) {
        runStreamStages(dir.path(),
                        std::max<qint64>(1, parser.value(streamRowsOption).toLongLong()));
        return 0;
    }
    if (parser.isSet(flameOnlyOption)) {
        runFlameStages(dir.path(), QString());
        return 0;
    }
    if (parser.isSet(shapesOnlyOption)) {
        runShapeStages(dir.path(), parser.isSet(digestsOption), parser.value(shapeFormatOption));
        return 0;
    }
    const QString source = dir.filePath(QStringLiteral("generated.txt"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(generateThreeDEv4(rows, tracks)) < 0) {
            std::fprintf(stderr, "corvane-bench: cannot write %s\n", qPrintable(source));
            return 1;
        }
    }
    std::printf("# %d rows, %d tracks\n", rows, tracks);
    if (parser.isSet(operationsOnlyOption)) {
        runOperationStages(source);
        return 0;
    }
    if (parser.isSet(windowOnlyOption)) {
        runWindowStages(source, dir.path());
        return 0;
    }

    for (const char *to : {"nuke-cameratracker", "3de4"}) {
        const QString name =
            QStringLiteral("convert-") +
            (qstrcmp(to, "3de4") == 0 ? QStringLiteral("3de4") : QStringLiteral("cameratracker"));
        stage(qPrintable(name), [&] {
            ConvertOptions options;
            options.target = formatById(QLatin1String(to));
            options.plate = std::make_pair(1920, 1080);
            options.inputs = {source};
            options.output = dir.filePath(QStringLiteral("converted-") + QLatin1String(to));
            Outcome outcome = convert(options);
            if (outcome.code != Done)
                std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(outcome.message));
        });
    }

    runStreamStages(dir.path(), rows);

    const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
    TrackSet set;
    stage("read-3de4", [&] { set = dispatch(source, v4).set; });
    TrackTable table;
    stage("fill", [&] {
        FillRange range = prepareFill(table, set.count, false);
        fillRows(table, set, range, v4, [](int) { return true; });
    });
    set = TrackSet();

    stage("apply", [&] {
        ApplyParams params;
        params.plateWidth = params.x1 = 1920;
        params.plateHeight = params.y1 = 1080;
        params.targetFilter = QStringLiteral("Nuke Tracker File (*.txt)");
        params.exportFirst = params.importFirst = 1;
        applySettings(table, params);
    });
    stage("sort-ascending", [&] { sortRows(table, SortOrder::Ascending); });
    stage("sort-descending", [&] { sortRows(table, SortOrder::Descending); });
    sortRows(table, SortOrder::Ascending);

    auto write = [&](const char *name, const char *filter, const char *file) {
        stage(name, [&] {
            ExportParams params;
            params.targetFilter = QLatin1String(filter);
            params.targetPath = dir.filePath(QLatin1String(file));
            params.windowWidth = QStringLiteral("1920");
            params.windowHeight = QStringLiteral("1080");
            params.pixelAspect = QStringLiteral("1.0");
            ExportResult result = exportTable(table, params);
            if (!result.ok()) std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(result.error));
        });
    };
    // The checks a save makes first, as the converter and the window do.
    stage("validate", [&] {
        if (!validateForExport(table).ok()) std::fprintf(stderr, "corvane-bench: not valid\n");
    });
    write("write-3de4", "3DE v4 Track File (*.txt)", "out.txt");
    write("write-nuke-tracker", "Nuke Tracker File (*.txt)", "shot.txt");
    write("write-nuke-cameratracker", "Nuke CameraTracker File (*.txt)", "camera.txt");
    write("write-pftrack5", "PF v5 Track File (*.2dt)", "tracks.2dt");
    readThrough(dir.filePath(QStringLiteral("tracks.2dt")));
    stage("read-pftrack5", [&] {
        ReadResult read = dispatch(dir.filePath(QStringLiteral("tracks.2dt")),
                                   QStringLiteral("PF v5 Track File (*.2dt *.3dt)"));
        if (read.set.count != rows)
            std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(read.error));
    });
    write("write-flame-stabilizer", "Flame/Smoke Stabilizer File (*.stabilizer)",
          "setup.stabilizer");
    readThrough(dir.filePath(QStringLiteral("setup.stabilizer")));
    stage("read-flame-stabilizer", [&] {
        ReadResult read = dispatch(dir.filePath(QStringLiteral("setup.stabilizer")),
                                   QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)"));
        if (read.set.count != rows)
            std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(read.error));
    });
    write("write-nuke-script", "Nuke Script File (*.nk)", "tracker.nk");
    readThrough(dir.filePath(QStringLiteral("tracker.nk")));
    stage("read-nuke-script", [&] {
        ReadResult read = dispatch(dir.filePath(QStringLiteral("tracker.nk")),
                                   QStringLiteral("Nuke Script File (*.nk)"));
        if (read.set.count != rows)
            std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(read.error));
    });
    // The scripts and scenes for other programs, of every row.
    write("write-maya-ascii", "Maya ASCII Scene (*.ma)", "tracks.ma");
    write("write-ae-nulls", "After Effects Null Layers Script (*.jsx)", "nulls.jsx");
    write("write-max-nulls", "3ds Max Script (*.ms)", "points.ms");
    write("write-blender-tracks", "Blender Tracks Script (*.py)", "tracks.py");
    write("write-uvtrack", "mmSolver UV Track File (*.uv)", "tracks.uv");
    readThrough(dir.filePath(QStringLiteral("tracks.uv")));
    stage("read-uvtrack", [&] {
        ReadResult read = dispatch(dir.filePath(QStringLiteral("tracks.uv")),
                                   QStringLiteral("mmSolver UV Track File (*.uv)"));
        if (read.set.count != rows)
            std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(read.error));
    });
    {
        // A corner pin holds four tracks: every row among four.
        TrackTable corners;
        corners.setColumnCount(TrackColumnCount);
        corners.setRowCount(rows);
        quint32 names[4];
        for (int c = 0; c < 4; ++c)
            names[c] = corners.internName(QStringLiteral("corner%1").arg(c + 1));
        const int perCorner = (rows + 3) / 4;
        for (int r = 0; r < rows; ++r)
            corners.setImportedRow(r, names[r / perCorner], r % perCorner, 100 + r * 1e-3,
                                   900 - r * 1e-3, 0);
        stage("write-ae-cornerpin", [&] {
            ExportParams params;
            params.targetFilter = QStringLiteral("After Effects Corner Pin File (*.txt)");
            params.targetPath = dir.filePath(QStringLiteral("cornerpin.txt"));
            params.windowWidth = QStringLiteral("1920");
            params.windowHeight = QStringLiteral("1080");
            params.pixelAspect = QStringLiteral("1.0");
            ExportResult result = exportTable(corners, params);
            if (!result.ok()) std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(result.error));
        });
    }
    {
        const QString script = dir.filePath(QStringLiteral("tracks.shk"));
        QFile file(script);
        if (file.open(QIODevice::WriteOnly)) file.write(generateShakeScript(rows, tracks));
        file.close();
        stage("read-shake-script", [&] {
            ReadResult read = dispatch(script, QStringLiteral("Shake Script File (*.shk)"));
            if (read.set.count != rows)
                std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(read.error));
        });
    }
    runSaveStages(rows, dir.path());
    stage("track-view-model", [&] { TrackPaths::build(table, PathValues::Converted); });
    runEditStages(table);
    table = TrackTable();
    runFlameStages(dir.path(), source);
    runOperationStages(source);
    runShapeStages(dir.path(), parser.isSet(digestsOption), parser.value(shapeFormatOption));

    if (!parser.isSet(coreOnlyOption)) runWindowStages(source, dir.path());
    return 0;
}
