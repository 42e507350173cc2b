// SPDX-License-Identifier: Apache-2.0
// The Flame stages: a stabilizer setup of about 342 MB (a thousand trackers
// of a thousand keys, in the 2014 layout Flame writes) read from the file,
// with its speed beside read-3de4's and its peak beside the rows it read,
// then converted to 3DE v4 as the converter streams it.
#include "bench.h"

#include "import/dispatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>

using namespace corvane;

namespace {

constexpr int SetupTrackers = 1000, SetupKeys = 1000;

void channel(QByteArray &out, const QByteArray &name, const char *part, const char *extrapolation,
             const QByteArray &value)
{
    out += "Channel " + name + '/' + part + "\n\tExtrapolation " + extrapolation + "\n\tValue " +
           value + "\n\tColour 50 50 50\n\tEnd\n";
}

// A channel of one constant key, as ref/x and ref/dx are written.
void constantChannel(QByteArray &out, const QByteArray &name, const char *part,
                     const QByteArray &value)
{
    out += "Channel " + name + '/' + part + "\n\tExtrapolation constant\n\tValue " + value +
           "\n\tSize 1\n\tKeyVersion 2\n\tKey 0\n\t\tFrame 1\n\t\tValue " + value +
           "\n\t\tRHandle_dX 0.25\n\t\tRHandle_dY 0\n\t\tLHandle_dX -0.25\n\t\tLHandle_dY 0\n"
           "\t\tCurveMode hermite\n\t\tCurveOrder constant\n\t\tEnd\n\tColour 50 50 50\n\tEnd\n";
}

void shiftChannel(QByteArray &out, const QByteArray &name, const char *part, double start,
                  double step)
{
    out += "Channel " + name + '/' + part + "\n\tExtrapolation linear\n\tValue 0\n\tSize " +
           QByteArray::number(SetupKeys) + "\n\tKeyVersion 2\n";
    const QByteArray right = QByteArray::number(step / 3, 'f', 6);
    const QByteArray left = QByteArray::number(-step / 3, 'f', 6);
    for (int k = 0; k < SetupKeys; ++k)
        out += "\tKey " + QByteArray::number(k) + "\n\t\tFrame " + QByteArray::number(k + 1) +
               "\n\t\tValue " + QByteArray::number(start + k * step, 'f', 6) +
               "\n\t\tRHandle_dX 0.333333\n\t\tRHandle_dY " + right +
               "\n\t\tLHandle_dX -0.333333\n\t\tLHandle_dY " + left +
               "\n\t\tCurveMode hermite\n\t\tCurveOrder linear\n\t\tEnd\n";
    out += "\tColour 255 0 0\n\tEnd\n";
}

QByteArray tracker(int t)
{
    const QByteArray name = "tracker" + QByteArray::number(t + 1);
    QByteArray out;
    constantChannel(out, name, "ref/x", QByteArray::number(100 + t));
    constantChannel(out, name, "ref/y", QByteArray::number(900 - t % 500));
    channel(out, name, "ref/width", "constant", "28");
    channel(out, name, "ref/height", "constant", "28");
    constantChannel(out, name, "ref/dx", "0");
    constantChannel(out, name, "ref/dy", "0");
    channel(out, name, "track/x", "linear", "0");
    channel(out, name, "track/y", "linear", "0");
    shiftChannel(out, name, "shift/x", -0.25 * t, -0.731);
    shiftChannel(out, name, "shift/y", 0.125 * t, 0.417);
    channel(out, name, "offset/x", "linear", "0");
    channel(out, name, "offset/y", "linear", "0");
    return out;
}

bool writeSetup(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray head = "StabilizerFileVersion 6.0\nCreationDate Wed Dec 9 00:00:00 2026\n\n\n"
                      "NbTrackers " +
                      QByteArray::number(SetupTrackers) +
                      "\nSelected 0\nFrameWidth 1920\nFrameHeight 1080\nAnim\n";
    bool ok = file.write(head) >= 0;
    for (int t = 0; ok && t < SetupTrackers; ++t)
        ok = file.write(tracker(t)) >= 0;
    QByteArray settings = "ChannelEnd\n";
    for (int t = 0; t < SetupTrackers; ++t)
        settings += "Tracker " + QByteArray::number(t) +
                    "\n\tActive yes\n\tColour\n\t\tRed 100\n\t\tGreen 0\n\t\tBlue 0\n"
                    "\tFixedRef yes\n\tTolerance 100\n";
    return ok && file.write(settings + "End\n") >= 0;
}

double megabytes(qint64 bytes)
{
    return double(bytes) / (1 << 20);
}

// The bytes a reading's rows take: its tables' room for frames and values.
qint64 rowBytes(const TrackSet &set)
{
    return qint64(set.frames.capacity() * sizeof(int) +
                  (set.x.capacity() + set.y.capacity()) * sizeof(double));
}

} // namespace

void runFlameStages(const QString &folder, const QString &threeDESource)
{
    const QString path = QDir(folder).filePath(QStringLiteral("large.stabilizer"));
    if (!writeSetup(path)) {
        std::fprintf(stderr, "corvane-bench: cannot write %s\n", qPrintable(path));
        return;
    }
    const qint64 size = QFileInfo(path).size();
    {
        QFile file(path); // in the system's cache, as the other read stages' files
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(4 << 20).isEmpty()) {
            }
    }
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    const long before = statusMegabytes("VmRSS:");
    ReadResult read;
    stage("read-flame-342mb", [&] {
        read = dispatch(path, QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)"));
    });
    const long peak = statusMegabytes("VmHWM:");
    if (read.set.count != SetupTrackers * SetupKeys)
        std::fprintf(stderr, "corvane-bench: read %d setup rows %s\n", read.set.count,
                     qPrintable(read.error));
    const double seconds = stageSeconds("read-flame-342mb");
    const double threeDESeconds = stageSeconds("read-3de4");
    const double rows = megabytes(rowBytes(read.set));
    // read-3de4's speed where that stage ran (not with --flame-only).
    const QByteArray beside =
        threeDESeconds > 0
            ? " (read-3de4: " +
                  QByteArray::number(megabytes(QFileInfo(threeDESource).size()) / threeDESeconds,
                                     'f', 0) +
                  " MB/s)"
            : QByteArray();
    std::printf("# read-flame-342mb: %.1f MB at %.0f MB/s%s; peak %.0f MB beyond the %.0f MB of "
                "rows\n",
                megabytes(size), seconds > 0 ? megabytes(size) / seconds : 0.0, beside.constData(),
                double(peak - before) - rows, rows);
    read = ReadResult();
    // The setup converted as corvane-convert converts it: read, converted
    // and written a piece at a time.
    const QString output = QDir(folder).filePath(QStringLiteral("from-flame.txt"));
    stage("stream-flame-342mb-3de4", [&] { convertFile(path, "3de4", output, {0, 0}); });
    QFile::remove(output);
    QFile::remove(path);
}
