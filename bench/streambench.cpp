// SPDX-License-Identifier: Apache-2.0
// The streamed conversions: a generated 3DE v4 file of any size converted
// as corvane-convert converts it, its peak memory beside its time. The
// input is written in pieces and removed after, so that a hundred million
// points need their disk space only for the run.
#include "bench.h"

#include "cli/converter.h"
#include "formats/registry.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <cstdio>

using namespace corvane;

namespace {

bool writeGenerated(const QString &path, qint64 rows, int tracks)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    bool ok = true;
    generateThreeDEv4(rows, tracks,
                      [&](QByteArray &piece) { ok = ok && file.write(piece) == piece.size(); });
    return ok;
}

QString sizeName(qint64 rows)
{
    return rows >= 1000000 && rows % 1000000 == 0 ? QString::number(rows / 1000000) + 'm'
                                                  : QString::number(rows);
}

} // namespace

void convertFile(const QString &input, const char *to, const QString &output,
                 std::pair<int, int> plate)
{
    ConvertOptions options;
    options.target = formatById(QLatin1String(to));
    if (plate.first > 0) options.plate = plate;
    options.inputs = {input};
    options.output = output;
    const Outcome outcome = convert(options);
    if (outcome.code != Done)
        std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(outcome.message));
}

void runStreamStages(const QString &folder, qint64 rows)
{
    const QString source = QDir(folder).filePath(QStringLiteral("stream-input.txt"));
    // Tracks of 2,000 frames; then, up to 10,000,000 points, one point a
    // track ("-many-": the cost of a track beside that of a row).
    const QList<std::pair<qint64, const char *>> layouts{{2000, ""}, {1, "many-"}};
    for (const auto &[frames, kind] : layouts) {
        const qint64 tracks = std::max<qint64>(1, rows / frames);
        if (tracks > 10000000) continue;
        if (!writeGenerated(source, rows, int(tracks))) {
            std::fprintf(stderr, "corvane-bench: cannot write %s\n", qPrintable(source));
            return;
        }
        for (const char *to : {"nuke-cameratracker", "3de4"}) {
            const QString name = QStringLiteral("stream-%1%2-%3")
                                     .arg(QLatin1String(kind), sizeName(rows), QLatin1String(to));
            const QString output = QDir(folder).filePath(QStringLiteral("stream-output"));
            stage(qPrintable(name), [&] { convertFile(source, to, output, {1920, 1080}); });
            QFile::remove(output);
        }
        QFile::remove(source);
    }
}
