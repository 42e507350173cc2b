// What a format writer sees of a save: the output, the values read once per
// save, the running previous name and track counter, and the track census.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvane {

// One exported row, as the writers take it.
struct ExportRow
{
    QString name;
    int frame = 0;
    QString xCell, yCell; // the cells' texts as shown
    QByteArray x, y;      // the values in 6-digit "g" form
};

struct TrackCensus
{
    int changes = 0;          // tracks minus one
    QStringList rowCounts;    // rows per track, in export order
    QStringList shapeCounts;  // vertex tracks per shape
};

class WriteContext
{
public:
    virtual ~WriteContext() = default;

    // Appends text to the file being written (system 8-bit codec).
    virtual void write(const QString &text) = 0;
    virtual void write(const char *ascii) = 0;
    virtual void write(const QByteArray &ascii) = 0;
    virtual void writeInt(long long value) = 0;
    // Per-track formats: further text goes to stem + "_" + name + extension.
    virtual void switchToTrackFile(const QString &trackName, const char *extension) = 0;

    virtual const TrackCensus &census() = 0; // computed on first use
    virtual ExportRow firstRow() const = 0;  // the first exported row

    QString previousName;
    bool hasPreviousName = false;
    int trackCounter = 0;
    int windowWidth = 0, windowHeight = 0; // X1 and Y1 of the target window
    double pixelAspect = 0;
};

struct WriterSteps
{
    void (*header)(WriteContext &) = nullptr;
    void (*row)(WriteContext &, const ExportRow &) = nullptr;
    void (*footer)(WriteContext &) = nullptr;
};

} // namespace corvane
