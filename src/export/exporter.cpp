// SPDX-License-Identifier: Apache-2.0
#include "exporter.h"

#include "table/parallel.h"

#include "census.h"
#include "formats/kit/stoprequest.h"
#include "formats/registry.h"
#include "savecontext.h"
#include "settings/platesettings.h"
#include "table/cameras.h"
#include "table/namerule.h"
#include "table/numbers.h"
#include "table/tracknames.h"
#include "table/tracktable.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringEncoder>

#include <cmath>
#include <limits>
#include <optional>

namespace corvane {

const char *const emptyCellMessage = "There is empty cell! Check values!";
const char *const nothingToExportMessage = "There is nothing to export: the table has no rows.";
const char *const noShapesMessage =
    "%1 files hold shapes, and none of the rows to save is a shape vertex (a track named like "
    "\"S01_Track_0001\"): nothing was written.";
const char *const saveCancelledMessage = "The save was cancelled: no file was written.";

namespace {

// The first row of [begin, end) whose frame or coordinates are not numbers.
int firstBadValue(const TrackTable &table, int begin, int end)
{
    for (int r = begin; r < end; ++r) {
        bool ok = true;
        table.frame(r, &ok);
        if (!ok) return r;
        for (int c : {int(XColumn), int(YColumn)})
            if (!std::isfinite(table.coordinate(r, c, &ok)) || !ok) return r;
    }
    return -1;
}

QString badValueMessage(const TrackTable &table, int r)
{
    bool ok = true;
    table.frame(r, &ok);
    if (!ok)
        return QStringLiteral("Row %1: the frame \"%2\" is not a whole number. Check values!")
            .arg(r + 1)
            .arg(table.displayText(r, FrameColumn));
    const int c = std::isfinite(table.coordinate(r, XColumn, &ok)) && ok ? YColumn : XColumn;
    table.coordinate(r, c, &ok);
    return QStringLiteral("Row %1: the %2 coordinate \"%3\" is not a %4number. Check values!")
        .arg(r + 1)
        .arg(c == XColumn ? QStringLiteral("X") : QStringLiteral("Y"))
        .arg(table.displayText(r, c))
        .arg(ok ? QStringLiteral("finite ") : QString());
}

} // namespace

Validation validateForExport(const TrackTable &table)
{
    // Read-only checks, split between the cores unless formulas (which
    // cache their values as they are read) are about.
    struct Piece
    {
        int blank = -1; // the first row with an empty cell
        int badValue = -1;
        QList<int> marked;
    };
    std::vector<Piece> pieces(static_cast<size_t>(workerThreads()));
    forRowRanges(
        table.rowCount(),
        [&](int begin, int end, int index) {
            Piece &piece = pieces[size_t(index)];
            for (int r = begin; r < end && piece.blank < 0; ++r)
                if (table.hasBlankCell(r)) piece.blank = r;
            piece.badValue = firstBadValue(table, begin, end);
            for (int r = begin; r < end; ++r)
                if (table.isMarked(r)) piece.marked.append(r);
        },
        table.hasFormulas() ? std::numeric_limits<int>::max() : 65536);
    Validation v;
    for (const Piece &piece : pieces)
        if (piece.blank >= 0) {
            // Where it is, as the table shows it: "Row 17, Track Name is empty."
            int column = 0;
            while (column < TrackColumnCount - 1 && !table.isBlank(piece.blank, column))
                ++column;
            v.error = QStringLiteral("%1 Row %2, %3 is empty.")
                          .arg(QLatin1String(emptyCellMessage))
                          .arg(piece.blank + 1)
                          .arg(TrackTable::headerLabels().value(column).trimmed());
            return v;
        }
    for (const Piece &piece : pieces)
        if (piece.badValue >= 0) {
            v.error = badValueMessage(table, piece.badValue);
            return v;
        }
    for (const Piece &piece : pieces)
        v.markedRows.append(piece.marked);
    return v;
}

QString pathStem(const QString &targetPath)
{
    // Cut the file name, not the folders, so that per-track files stay beside the target.
    qsizetype slash = std::max(targetPath.lastIndexOf(QLatin1Char('/')),
                               targetPath.lastIndexOf(QLatin1Char('\\')));
    qsizetype dot = targetPath.indexOf(QLatin1Char('.'), slash + 1);
    return dot < 0 ? targetPath : targetPath.left(dot);
}

QString safeFileNamePart(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("_");
    QString out = name;
    for (QChar &ch : out) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f ||
            QStringLiteral("/\\:*?\"<>|").contains(ch))
            ch = QLatin1Char('_');
    }
    return out;
}

namespace {

// The names the tracks are written under: each track's name as the format
// can hold it, kept apart from every other track's ("_2", "_3", …, as
// per-track files are), so that no two tracks merge. Names are compared as
// readers that pad a short last part give them back ("x_01" is "x_0001").
class WrittenNames
{
public:
    WrittenNames(const TrackTable &table, const QList<int> &rows, const Format &format)
        : m_table(table), m_rows(rows), m_format(format)
    {
    }

    const QString &written(const QString &name) const
    {
        // Rows of one track follow each other: most rows ask the last name again.
        if (m_hasLast && (name.isSharedWith(m_lastName) || name == m_lastName))
            return m_lastWritten;
        m_lastName = name;
        m_hasLast = true;
        auto it = m_written.constFind(name);
        if (it != m_written.cend()) {
            m_lastWritten = it.value();
        } else {
            // Most names need no change; only changed ones are kept.
            m_lastWritten =
                m_format.holdsName(name) ? name : rename(name, m_format.writableName(name));
        }
        return m_lastWritten;
    }

    QList<RenamedTrack> renamed() const { return m_renamed; }

private:
    QString rename(const QString &name, const QString &safe) const
    {
        if (m_originals.isEmpty()) {
            // A changed name must not take a name another track has as it is.
            QString previous;
            for (int r : m_rows) {
                const QString &original = m_table.name(r);
                if (original != previous) m_originals.insert(applyNameRule(original));
                previous = original;
            }
        }
        QString out = safe;
        for (int n = 2;
             m_taken.contains(applyNameRule(out)) || m_originals.contains(applyNameRule(out)); ++n)
            out = safe + QLatin1Char('_') + QString::number(n);
        m_taken.insert(applyNameRule(out));
        m_written.insert(name, out);
        m_renamed.append({name, out});
        return out;
    }

    const TrackTable &m_table;
    const QList<int> &m_rows;
    const Format &m_format;
    mutable QHash<QString, QString> m_written; // the changed names only
    mutable QSet<QString> m_taken, m_originals;
    mutable QList<RenamedTrack> m_renamed;
    mutable QString m_lastName, m_lastWritten;
    mutable bool m_hasLast = false;
};

// Writes a save's files into one transaction. Per-track files are named
// once per track: the target's stem, "_", the track name made safe, and
// the format's extension; names that would share a file (compared without
// case, as some file systems do) get "_2", "_3", … so no two tracks share one.
class Sink : public SaveContext
{
public:
    Sink(const TrackTable &table, const QList<int> &rows, const Format &format,
         const ExportParams &params)
        : SaveContext(params, format.perTrack() ? 0 : qsizetype(rows.size()) * 64 + 4096),
          m_table(table), m_rows(rows), m_names(table, rows, format),
          m_stem(pathStem(params.targetPath)), m_extension(QLatin1String(format.trackFileExtension))
    {
        m_used.insert(QFileInfo(params.targetPath).absoluteFilePath().toCaseFolded());
    }

    void switchToTrackFile(const QString &trackName) override
    {
        auto it = m_trackPaths.constFind(trackName);
        if (it == m_trackPaths.cend()) it = m_trackPaths.insert(trackName, uniquePath(trackName));
        writeTo(it.value());
    }

    const TrackCensus &census() override
    {
        if (!m_census) m_census = takeCensus(m_table, m_rows);
        return *m_census;
    }

    ExportRow firstRow() const override { return exportRow(0); }
    int exportRowCount() const override { return int(m_rows.size()); }
    ExportRow exportRow(int k) const override { return exportRowOfTable(m_rows.value(k)); }
    // A row of the table as the writers see it: its track under the name it is written as.
    ExportRow exportRowOfTable(int r) const
    {
        const QString name = m_table.name(r);
        const QString &written = m_names.written(name);
        return ExportRow(&m_table, r, written.isSharedWith(name) ? name : written);
    }
    // The rows in order, as the save goes through them: a track's rows
    // share the one row object, whose name is made once a track.
    const ExportRow &nextRow(int r)
    {
        const qint64 id = m_table.nameId(r);
        if (id < 0 || id != m_lastNameId) {
            m_row = exportRowOfTable(r);
            m_lastNameId = id;
        } else {
            m_row.moveTo(r);
        }
        return m_row;
    }

    QString commit(ExportResult &result, bool inMemory, bool perTrack)
    {
        result.trackFiles = m_trackFiles;
        result.renamed = m_names.renamed();
        if (perTrack && !inMemory) {
            QStringList files{m_targetPath};
            for (const TrackFile &file : std::as_const(m_trackFiles))
                files << file.path;
            m_save.replaceSet(m_targetPath, files);
        }
        return commitFiles(result, inMemory);
    }

private:
    QString uniquePath(const QString &trackName)
    {
        // File names hold 255 bytes; room is kept for a number and for the
        // hidden files the save writes beside it (".name.corvane-part-XXXXXX").
        constexpr qsizetype fileNameBytes = 224;
        const QString part = safeFileNamePart(trackName);
        const qsizetype fixedBytes =
            (QFileInfo(m_stem).fileName() + QLatin1Char('_') + m_extension).toUtf8().size();
        const QString cut = leadingBytes(part, fileNameBytes - fixedBytes);
        const QString base = m_stem + QLatin1Char('_') + cut;
        QString path = base + m_extension;
        int n = 1;
        while (m_used.contains(QFileInfo(path).absoluteFilePath().toCaseFolded()))
            path = base + QLatin1Char('_') + QString::number(++n) + m_extension;
        m_used.insert(QFileInfo(path).absoluteFilePath().toCaseFolded());
        m_trackFiles.append({trackName, path, n > 1, cut.size() < part.size()});
        return path;
    }

    // The longest start of text that takes at most bytes in UTF-8, cut
    // between characters.
    static QString leadingBytes(const QString &text, qsizetype bytes)
    {
        qsizetype used = 0, end = 0;
        while (end < text.size()) {
            const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size();
            const char32_t c = pair ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1))
                                    : text.at(end).unicode();
            const qsizetype size = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
            if (used + size > bytes) break;
            used += size;
            end += pair ? 2 : 1;
        }
        return text.left(end);
    }

    const TrackTable &m_table;
    const QList<int> &m_rows;
    WrittenNames m_names;
    QString m_stem;
    QString m_extension;
    ExportRow m_row; // the row at hand, under its track's written name
    qint64 m_lastNameId = -1;
    QHash<QString, QString> m_trackPaths;
    QSet<QString> m_used; // case-folded absolute paths of this save's files
    QList<TrackFile> m_trackFiles;
    std::optional<TrackCensus> m_census;
};

} // namespace

QString renamedNote(const RenamedTrack &track, const QString &targetFilter)
{
    const Format *format = formatForFilter(targetFilter);
    return QStringLiteral("track \"%1\" is written as \"%2\": %3 cannot hold its name as it is.")
        .arg(track.from, track.to, format ? QLatin1String(format->name) : targetFilter);
}

ExportParams exportParams(const PlateSettings &settings, const QString &targetFilter,
                          const QString &targetPath)
{
    ExportParams params;
    params.targetFilter = targetFilter;
    params.targetPath = targetPath;
    params.windowWidth = settings.x1;
    params.windowHeight = settings.y1;
    params.pixelAspect = settings.pixelAspect;
    return params;
}

ExportParams exportParams(const PlateSettings &settings, const Format &target,
                          const QString &targetPath)
{
    ExportParams params =
        exportParams(settings, QLatin1String(target.treeExportFilter), targetPath);
    params.format = &target;
    return params;
}

namespace {

// A format without cameras holds a stereo shot's secondary camera only by
// the camera in its tracks' names: the save says so.
void noteCameraNames(const TrackTable &table, const QList<int> &rows,
                     const std::vector<int> &starts, const Format &format, ExportResult &result)
{
    QSet<QString> secondary;
    for (int first : starts) {
        const QString name = table.name(rows.at(first));
        if (isSecondaryCameraTrack(name)) secondary.insert(name);
    }
    if (!secondary.isEmpty())
        result.notes << QStringLiteral("%1 tracks of the secondary camera were written with \"%2\" "
                                       "in their names: %3 files hold one camera.")
                            .arg(secondary.size())
                            .arg(secondaryCameraSuffix(), QLatin1String(format.name));
}

} // namespace

QStringList savedTrackNames(const TrackTable &table, const QList<int> &rows, const Format &format)
{
    QStringList names;
    QSet<QString> seen;
    auto note = [&](int r) {
        const QString name = format.writableName(table.name(r));
        if (!seen.contains(name)) {
            seen.insert(name);
            names << name;
        }
    };
    if (rows.isEmpty())
        for (int r = 0; r < table.rowCount(); ++r)
            note(r);
    for (int r : rows)
        note(r);
    return names;
}

QString cornerPinError(const TrackTable &table, const QList<int> &rows, const Format &format,
                       const QStringList &corners)
{
    if (!format.cornerPin) return QString();
    const QStringList names = savedTrackNames(table, rows, format);
    if (corners.isEmpty()) {
        if (names.size() == 4) return QString();
        return QStringLiteral("%1 takes four tracks as its corners and the table has %2: name "
                              "the upper-left, upper-right, lower-left and lower-right corners' "
                              "tracks.")
            .arg(QLatin1String(format.name))
            .arg(names.size());
    }
    if (corners.size() != 4)
        return QStringLiteral("%1 takes four tracks as its corners, not %2.")
            .arg(QLatin1String(format.name))
            .arg(corners.size());
    for (const QString &corner : corners)
        if (!names.contains(corner))
            return QStringLiteral("no track \"%1\" to be a corner of %2: the tracks are %3.")
                .arg(corner, QLatin1String(format.name), names.join(QStringLiteral(", ")));
    return QString();
}

ExportResult exportTable(const TrackTable &table, const ExportParams &params)
{
    ExportResult result;
    const Format *format = params.format ? params.format : formatForFilter(params.targetFilter);
    if (!format) {
        result.error =
            QStringLiteral("\"%1\" is not a format Corvane writes.").arg(params.targetFilter);
        return result;
    }
    if (!format->writer) {
        result.error =
            QStringLiteral("Corvane reads %1 files but does not write them: choose another target.")
                .arg(QLatin1String(format->name));
        return result;
    }
    if (params.targetPath.isEmpty()) {
        result.error = QStringLiteral("No file to save to: choose the export file first.");
        return result;
    }
    QList<int> rows = params.rows;
    if (rows.isEmpty()) {
        rows.reserve(table.rowCount());
        for (int r = 0; r < table.rowCount(); ++r)
            rows.append(r);
    }
    if (rows.isEmpty()) {
        result.error = QString::fromLatin1(nothingToExportMessage);
        return result;
    }

    // A shape format would write an empty file for point tracks alone.
    if (format->shapes && std::none_of(rows.begin(), rows.end(),
                                       [&](int r) { return isShapeTrack(table.name(r)); })) {
        result.error = QString::fromLatin1(noShapesMessage).arg(QLatin1String(format->name));
        return result;
    }
    result.error = cornerPinError(table, rows, *format, params.corners);
    if (!result.ok()) return result;
    Sink sink(table, rows, *format, params);
    sink.windowWidth = toInt(params.windowWidth);
    sink.windowHeight = toInt(params.windowHeight);
    sink.pixelAspect = toDouble(params.pixelAspect);
    sink.targetPath = params.targetPath;
    sink.corners = params.corners;

    const WriterSteps &steps = *format->writer;
    if (steps.header) steps.header(sink);
    int done = 0;
    if (steps.row && !sink.cancelled())
        for (int r : rows) {
            const ExportRow &row = sink.nextRow(r);
            steps.row(sink, row);
            sink.rowWritten(row.name);
            if (++done % 4096 == 0 && !sink.mayFlush(double(done) / double(rows.size()))) break;
        }
    if (steps.footer && !sink.cancelled()) steps.footer(sink);
    // A cancelled save writes nothing: its temporary files go with the sink.
    if (sink.cancelled() || (params.cancel && params.cancel->load()) || stopRequested()) {
        result.error = QString::fromLatin1(stopRequested() ? stoppedMessage : saveCancelledMessage);
        return result;
    }
    result.error = sink.commit(result, params.inMemory, format->perTrack());
    if (params.progress) params.progress->store(1000);
    result.rows = int(rows.size()) - sink.rowsLeftOut;
    // The tracks as the census counts them, without making its texts.
    const std::vector<int> starts = trackStarts(table, rows);
    result.tracks = int(starts.size());
    if (!format->cameras && result.ok()) noteCameraNames(table, rows, starts, *format, result);
    return result;
}

} // namespace corvane
