// SPDX-License-Identifier: Apache-2.0
#include "streaming.h"

#include "census.h"
#include "formats/format.h"
#include "formats/kit/piecequeue.h"
#include "import/dispatch.h"
#include "import/importer.h"
#include "import/recognise.h"
#include "import/streamedimport.h"
#include "savecontext.h"
#include "settings/apply.h"
#include "table/cameras.h"
#include "table/numbers.h"
#include "table/tracknames.h"
#include "table/tracktable.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

namespace corvane {

namespace {

// The tracks of a file as runs of one name, and its frames. A run keeps its
// name's hash and its length, not the name: a file of a million tracks
// costs 12 bytes a track here.
struct Runs
{
    std::vector<size_t> keys; // each run's name, hashed
    std::vector<int> lengths;
    QString last; // the last run's name
    long long rows = 0;
    int low = 0, high = 0;

    void add(const TrackSet &piece)
    {
        const QStringList &runs = piece.names.runs();
        const std::vector<qsizetype> &starts = piece.names.runStarts();
        for (qsizetype k = 0; k < runs.size(); ++k) {
            const qsizetype end = k + 1 < runs.size() ? starts[size_t(k) + 1] : piece.count;
            const int length = int(end - starts[size_t(k)]);
            // A track may go on from the piece before.
            if (!keys.empty() && last == runs.at(k)) {
                lengths.back() += length;
            } else {
                keys.push_back(qHash(runs.at(k), 0));
                lengths.push_back(length);
                last = runs.at(k);
            }
        }
        if (piece.count == 0) return;
        const auto [lo, hi] = std::minmax_element(piece.frames.begin(), piece.frames.end());
        low = rows == 0 ? *lo : std::min(low, *lo);
        high = rows == 0 ? *hi : std::max(high, *hi);
        rows += piece.count;
    }
    bool operator==(const Runs &o) const
    {
        return keys == o.keys && lengths == o.lengths && rows == o.rows;
    }
    // Tracks by name (a name may come back after another's).
    int distinctNames() const
    {
        std::vector<size_t> sorted = keys;
        std::sort(sorted.begin(), sorted.end());
        return int(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
    }
};

class Survey : public RowStream
{
public:
    bool take(TrackSet &piece) override
    {
        runs.add(piece);
        return true;
    }
    Runs runs;
};

// What the writers see of a streamed save: the rows in order, and the
// census (which looks the file over once, when a writer asks for it before
// the end). A writer that asks for more, writes a file per track or notes
// something declines the stream.
class StreamSink : public SaveContext
{
public:
    StreamSink(const ExportParams &params, std::function<const TrackCensus *()> census)
        : SaveContext(params, params.heldBytes), m_takeCensus(std::move(census))
    {
    }

    const TrackCensus &census() override
    {
        if (!m_census) {
            const TrackCensus *taken = m_takeCensus();
            if (!taken) m_declined = true;
            m_census = taken ? *taken : TrackCensus();
        }
        return *m_census;
    }
    // The first row stands for the save's first row while its piece is at hand.
    ExportRow firstRow() const override
    {
        if (!firstAtHand) m_declined = true;
        return first;
    }
    int exportRowCount() const override
    {
        m_declined = true;
        return 0;
    }
    ExportRow exportRow(int) const override
    {
        m_declined = true;
        return first;
    }
    void switchToTrackFile(const QString &) override { m_declined = true; }
    void note(const QString &) override { m_declined = true; }

    bool declined() const { return m_declined; }
    bool censusTaken() const { return m_census.has_value(); }
    QString commit(ExportResult &result) { return commitFiles(result, false); }

    ExportRow first;
    bool firstAtHand = true;

private:
    std::function<const TrackCensus *()> m_takeCensus;
    std::optional<TrackCensus> m_census;
    mutable bool m_declined = false;
};

class Conversion
{
public:
    explicit Conversion(const StreamJob &job)
        : m_job(job), m_target(*job.target), m_steps(*job.target->writer),
          m_filter(QLatin1String(job.source->importFilter))
    {
    }

    StreamOutcome run()
    {
        if (m_job.needsImportFirst && !survey()) return m_outcome;
        std::thread reader([this] {
            m_queue.finish(readInPieces(m_job.input, *m_job.source, m_queue, m_job.bytesRead));
        });
        const bool converted = convertAll();
        m_queue.close();
        reader.join();
        if (converted && m_queue.outcome() == Streamed::Read && finish())
            m_outcome.status = Streamed::Read;
        return m_outcome;
    }

private:
    bool survey()
    {
        if (!m_survey) {
            Survey survey;
            if (readInPieces(m_job.input, *m_job.source, survey) != Streamed::Read) return false;
            m_survey = std::move(survey.runs);
        }
        return true;
    }

    bool convertAll()
    {
        TrackSet piece;
        while (m_queue.next(piece))
            if (!convertPiece(piece)) return false;
        return m_sink != nullptr;
    }

    // The settings of the import and the caller, with the import's first frame as given.
    bool settle(PlateSettings &settings, const TrackSet &first, int importFirst) const
    {
        takeOverImport(settings, streamedStart(*m_job.source, importFirst, first),
                       ImportMode::NewList, m_filter);
        return m_job.settle(settings);
    }

    bool begin(const TrackSet &first)
    {
        // Without a look over the file its first frame is the first piece's;
        // the end checks that the whole file's gives the same conversion.
        m_importFirst =
            m_survey ? m_survey->low : *std::min_element(first.frames.begin(), first.frames.end());
        if (m_job.source->statesPlate) m_statedPlate = {first.plateWidth, first.plateHeight};
        if (!settle(m_outcome.settings, first, m_importFirst)) return false;
        m_params = applyParams(m_outcome.settings, m_target);
        m_params.keepSources = false; // each piece is written and dropped
        ExportParams save = exportParams(m_outcome.settings, m_target, m_job.output);
        save.inputs = m_job.inputs;
        save.replaceProtected = m_job.replaceProtected;
        m_sink = std::make_unique<StreamSink>(save, [this]() -> const TrackCensus * {
            if (!survey()) return nullptr;
            m_census = censusOfLengths(m_survey->lengths);
            return &*m_census;
        });
        m_sink->windowWidth = toInt(save.windowWidth);
        m_sink->windowHeight = toInt(save.windowHeight);
        m_sink->pixelAspect = toDouble(save.pixelAspect);
        m_sink->targetPath = m_job.output;
        return true;
    }

    // A track the stream can write as the whole table's save would.
    bool plainTrack(const QString &name) const
    {
        return !isShapeTrack(name) && (m_target.cameras || !isSecondaryCameraTrack(name)) &&
               m_target.holdsName(name);
    }

    bool convertPiece(TrackSet &piece)
    {
        if (piece.count == 0) return true;
        if (!m_sink && !begin(piece)) return false;
        for (const QString &name : piece.names.runs())
            if (!plainTrack(name)) return false;
        m_table.setRowCount(0);
        m_table.dropNames(); // the piece's own only
        fillRows(m_table, piece, prepareFill(m_table, piece.count, false), m_filter);
        const ApplyResult applied = applySettings(m_table, m_params);
        if (!applied.error.isEmpty() || applied.sorted || applied.shapeNameProblem) return false;
        if (m_runs.rows == 0)
            m_outcome.applyNotes = applied.notes;
        else if (applied.notes != m_outcome.applyNotes)
            return false;
        if (!write(piece)) return false;
        m_runs.add(piece);
        return !m_sink->declined();
    }

    bool write(const TrackSet &piece)
    {
        StreamSink &sink = *m_sink;
        const QStringList &runs = piece.names.runs();
        const std::vector<qsizetype> &starts = piece.names.runStarts();
        sink.firstAtHand = m_runs.rows == 0;
        if (m_runs.rows == 0) {
            sink.first = ExportRow(&m_table, 0, runs.first());
            if (m_steps.header) m_steps.header(sink);
        }
        if (!m_steps.row) return true;
        for (qsizetype k = 0; k < runs.size(); ++k) {
            const QString &name = runs.at(k);
            const qsizetype end = k + 1 < runs.size() ? starts[size_t(k) + 1] : piece.count;
            ExportRow row(&m_table, int(starts[size_t(k)]), name);
            for (qsizetype r = starts[size_t(k)]; r < end; ++r) {
                row.moveTo(int(r));
                m_steps.row(sink, row);
                sink.rowWritten(name);
                if (++m_written % 4096 == 0 && !sink.mayFlush(0)) return false;
            }
        }
        return true;
    }

    // The whole file is read: the conversion it had is the one its own
    // first frame gives, and the census the writer had is its tracks'.
    bool finish()
    {
        StreamSink &sink = *m_sink;
        if (m_steps.footer) m_steps.footer(sink);
        if (sink.declined() || !sink.mayFlush(1)) return false;
        if (m_survey && !(*m_survey == m_runs)) return false;
        if (m_runs.low != m_importFirst) {
            PlateSettings settings;
            TrackSet first;
            first.plateWidth = m_statedPlate.first;
            first.plateHeight = m_statedPlate.second;
            if (!settle(settings, first, m_runs.low)) return false;
            const ApplyParams whole = applyParams(settings, m_target);
            if (whole.exportFirst - whole.importFirst !=
                    m_params.exportFirst - m_params.importFirst ||
                whole.frameBaseNote != m_params.frameBaseNote)
                return false;
            m_outcome.settings = settings;
        }
        ExportResult &saved = m_outcome.saved;
        saved.error = sink.commit(saved);
        saved.rows = int(m_runs.rows) - sink.rowsLeftOut;
        saved.tracks = int(m_runs.keys.size());
        m_outcome.rows = int(m_runs.rows);
        // Tracks by name (a name may come back after another's), once the reading is done.
        m_outcome.tracks = m_runs.distinctNames();
        m_outcome.frames = {m_runs.low, m_runs.high};
        return true;
    }

    const StreamJob &m_job;
    const Format &m_target;
    const WriterSteps &m_steps;
    const QString m_filter;
    PieceQueue m_queue;
    TrackTable m_table; // the piece at hand
    ApplyParams m_params;
    std::unique_ptr<StreamSink> m_sink;
    std::optional<Runs> m_survey;
    std::optional<TrackCensus> m_census;
    int m_importFirst = 0;
    std::pair<int, int> m_statedPlate{0, 0};
    long long m_written = 0;
    Runs m_runs; // what was converted so far
    StreamOutcome m_outcome;
};

} // namespace

bool mayStream(const Format &source, const Format &target)
{
    return source.stream && target.writer && !target.perTrack() && !target.cornerPin &&
           !target.shapes;
}

StreamOutcome streamConversion(const StreamJob &job)
{
    if (!job.source || !job.target || !mayStream(*job.source, *job.target) ||
        !recognise(job.input, *job.source).ok())
        return StreamOutcome();
    return Conversion(job).run();
}

} // namespace corvane
