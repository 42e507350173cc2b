// SPDX-License-Identifier: Apache-2.0
// What a format writer sees of a save: the output, the values read once per
// save, the running previous name and track counter, and the track census.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace corvane {

class TrackTable;

// One exported row, as the writers take it. The coordinate texts are made
// only when a writer asks for them.
class ExportRow
{
public:
    ExportRow() = default;
    ExportRow(const TrackTable *table, int row);
    // The same under a name already made (rows of one track share it).
    ExportRow(const TrackTable *table, int row, const QString &name);
    // Another row of the same track: the name stays, made once a track.
    void moveTo(int row);

    QString name;
    int frame = 0;
    // The coordinates as numbers (in full, as the cells hold them).
    double x() const { return number(2); }
    double y() const { return number(3); }

    // The cells' texts as shown, and the values as writers write numbers
    // (appendDecimal6: up to 6 decimals, never an exponent), appended to the
    // bytes of the file being written.
    void appendXCell(QByteArray &out) const { appendCell(out, 2); }
    void appendYCell(QByteArray &out) const { appendCell(out, 3); }
    void appendX(QByteArray &out) const { appendNumber(out, 2); }
    void appendY(QByteArray &out) const { appendNumber(out, 3); }
    // "frame x y" with the separator between them, as most writers write a row.
    void appendFrameXY(QByteArray &out, const char *separator) const;
    // The table's interned id of the row's name (rows of one name share it),
    // or -1 where the name is not a plain interned text.
    qint64 nameId() const;

private:
    void appendCell(QByteArray &out, int column) const;
    void appendNumber(QByteArray &out, int column) const;
    double number(int column) const;

    const TrackTable *m_table = nullptr;
    int m_row = -1;
};

struct TrackCensus
{
    int changes = 0;              // tracks minus one
    std::vector<int> rowCounts;   // rows per track, in export order
    std::vector<int> shapeCounts; // vertex tracks per shape
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
    // The bytes of the file being written, for writers that append numbers.
    virtual QByteArray &out() = 0;
    // A point between whole pieces of the file (rows, shapes): what was
    // written so far may go to disk, so a large save holds little of it.
    // done (from 0 to 1) is how far the writer is, for the save's progress.
    // False when the save was cancelled: the writer stops there.
    virtual bool mayFlush(double done)
    {
        Q_UNUSED(done);
        return true;
    }
    // Per-track formats: further text goes to the track's own file (the
    // target's stem, "_", the name made safe, the format's extension).
    virtual void switchToTrackFile(const QString &trackName) = 0;

    virtual const TrackCensus &census() = 0; // computed on first use
    virtual ExportRow firstRow() const = 0;  // the first exported row
    // Every exported row, for writers that gather rows before writing.
    virtual int exportRowCount() const = 0;
    virtual ExportRow exportRow(int k) const = 0;
    // A note for the user after a successful save (rows a format cannot hold).
    virtual void note(const QString &text) = 0;

    // After a row is written: its track's name is the previous name. Rows
    // of one track share their name's text, so it changes once a track.
    void rowWritten(const QString &name)
    {
        if (!hasPreviousName || !name.isSharedWith(previousName)) previousName = name;
        hasPreviousName = true;
    }

    QString previousName;
    bool hasPreviousName = false;
    int trackCounter = 0;
    int rowsLeftOut = 0; // rows of the save the format did not hold (the notes say why)
    int windowWidth = 0, windowHeight = 0; // X1 and Y1 of the target window
    QString targetPath;                    // the file chosen in Step 2
    double pixelAspect = 0;
    // Corner pin targets: the tracks of the upper-left, upper-right,
    // lower-left and lower-right corners (empty: the save's four tracks).
    QStringList corners;
};

struct WriterSteps
{
    void (*header)(WriteContext &) = nullptr;
    void (*row)(WriteContext &, const ExportRow &) = nullptr;
    void (*footer)(WriteContext &) = nullptr;
};

} // namespace corvane
