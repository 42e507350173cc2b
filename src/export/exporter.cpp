#include "exporter.h"

#include "census.h"
#include "formats/registry.h"
#include "table/numbers.h"
#include "table/tracktable.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringEncoder>
#include <QThreadPool>

#include <optional>

namespace corvane {

const char *const emptyCellMessage = "There is empty cell! Check values!";
const char *const nothingToExportMessage = "There is nothing to export: the table has no rows.";

Validation validateForExport(const TrackTable &table)
{
    Validation v;
    const int rows = table.rowCount();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < TrackColumnCount; ++c) {
            if (table.isBlank(r, c)) {
                v.error = QString::fromLatin1(emptyCellMessage);
                return v;
            }
        }
    }
    for (int r = 0; r < rows; ++r) {
        bool ok = true;
        table.frame(r, &ok);
        if (!ok) {
            v.error =
                QStringLiteral("Row %1: the frame \"%2\" is not a whole number. Check values!")
                    .arg(r + 1)
                    .arg(table.displayText(r, FrameColumn));
            return v;
        }
        for (int c : {int(XColumn), int(YColumn)}) {
            table.coordinate(r, c, &ok);
            if (!ok) {
                v.error = QStringLiteral(
                              "Row %1: the %2 coordinate \"%3\" is not a number. Check values!")
                              .arg(r + 1)
                              .arg(c == XColumn ? QStringLiteral("X") : QStringLiteral("Y"))
                              .arg(table.displayText(r, c));
                return v;
            }
        }
    }
    for (int r = 0; r < rows; ++r)
        if (table.isMarked(r)) v.markedRows.append(r);
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

// Collects the save's files in memory, then puts each in place with QSaveFile.
class Sink : public WriteContext
{
public:
    Sink(const TrackTable &table, const QList<int> &rows, QString targetPath)
        : m_table(table), m_rows(rows), m_stem(pathStem(targetPath)),
          m_encoder(QStringConverter::System)
    {
        open(targetPath);
    }

    void write(const QString &text) override { current() += m_encoder.encode(text); }
    void write(const char *ascii) override { current().append(ascii); }
    void write(const QByteArray &ascii) override { current().append(ascii); }
    void writeInt(long long value) override { appendInt(current(), value); }
    QByteArray &out() override { return current(); }

    void switchToTrackFile(const QString &trackName, const char *extension) override
    {
        open(m_stem + QLatin1Char('_') + safeFileNamePart(trackName) + QLatin1String(extension));
    }

    const TrackCensus &census() override
    {
        if (!m_census) m_census = takeCensus(m_table, m_rows);
        return *m_census;
    }

    ExportRow firstRow() const override { return ExportRow(&m_table, m_rows.value(0)); }

    // Puts every file in place. Each goes through its own QSaveFile, whose
    // sync to disk is slow; per-track saves of many files share the wait
    // on a few threads. Reports the first file, in order, that failed.
    QString commit(QStringList &written)
    {
        std::vector<QString> errors(m_files.size());
        auto save = [this, &errors](size_t i) {
            auto &[path, bytes] = m_files[i];
#ifdef Q_OS_WIN
            bytes.replace("\n", "\r\n"); // text mode
#endif
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
                !file.commit())
                errors[i] = QStringLiteral("Could not write \"%1\": %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString());
        };
        if (m_files.size() < 4) {
            for (size_t i = 0; i < m_files.size(); ++i)
                save(i);
        } else {
            QThreadPool pool;
            pool.setMaxThreadCount(8);
            for (size_t i = 0; i < m_files.size(); ++i)
                pool.start([&save, i] { save(i); });
            pool.waitForDone();
        }
        for (size_t i = 0; i < m_files.size(); ++i) {
            if (!errors[i].isEmpty()) return errors[i];
            written.append(m_files[i].first);
        }
        return QString();
    }

private:
    QByteArray &current()
    {
        return m_files[m_current].second;
    }

    // A file of this save is opened once; coming back to it writes on at its end.
    void open(const QString &path)
    {
        auto it = m_index.constFind(path);
        if (it != m_index.cend()) {
            m_current = it.value();
            return;
        }
        m_current = m_files.size();
        m_index.insert(path, m_current);
        m_files.push_back({path, QByteArray()});
    }

    const TrackTable &m_table;
    const QList<int> &m_rows;
    QString m_stem;
    QStringEncoder m_encoder;
    std::vector<std::pair<QString, QByteArray>> m_files;
    QHash<QString, size_t> m_index;
    size_t m_current = 0;
    std::optional<TrackCensus> m_census;
};

} // namespace

ExportResult exportTable(const TrackTable &table, const ExportParams &params)
{
    ExportResult result;
    const Format *format = formatForFilter(params.targetFilter);
    if (!format) {
        result.error =
            QStringLiteral("\"%1\" is not a format Corvane writes.").arg(params.targetFilter);
        return result;
    }
    if (!format->writer) {
        result.error = QStringLiteral("Writing %1 files is not available yet.")
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

    Sink sink(table, rows, params.targetPath);
    sink.windowWidth = toInt(params.windowWidth);
    sink.windowHeight = toInt(params.windowHeight);
    sink.pixelAspect = toDouble(params.pixelAspect);

    const WriterSteps &steps = *format->writer;
    if (steps.header) steps.header(sink);
    for (int r : rows) {
        ExportRow row(&table, r);
        if (steps.row) steps.row(sink, row);
        sink.previousName = row.name;
        sink.hasPreviousName = true;
    }
    if (steps.footer) steps.footer(sink);
    result.error = sink.commit(result.written);
    return result;
}

} // namespace corvane
