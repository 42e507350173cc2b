// SPDX-License-Identifier: Apache-2.0
#include "apply.h"

#include "table/parallel.h"

#include "conventions.h"
#include "conversion.h"
#include "edit/sort.h"
#include "platesettings.h"
#include "table/framelimit.h"
#include "table/numbers.h"
#include "table/tracknames.h"
#include "table/tracktable.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace corvane {

const char *const shapeNameMessage =
    "Attention!  Shape name must be like \"Shape01_Track_1\"  or  \"S01_Track_1\"\n"
    " It'd be corrected with 'Track Names(Ctrl+T)' and 'Rename(Ctrl+R)' tools!";
const char *const plateMissingMessage = "Plate resolution must be greater than zero!";

namespace {

// Checks shape names and tells whether shape rows follow other rows.
void checkShapes(const TrackTable &table, ApplyResult &result, bool &needsOrder)
{
    bool seenOther = false;
    needsOrder = false;
    for (int r = 0; r < table.rowCount(); ++r) {
        QString name = table.name(r);
        bool shape = isShapeTrack(name);
        if (!shape)
            seenOther = true;
        else if (seenOther)
            needsOrder = true;
        if (shape && !name.contains(QLatin1Char('_'))) result.shapeNameProblem = true;
    }
}

// A number typed into a converted row, taken back through this Apply's
// conversion to the row's source convention, so that the next Apply with
// the same settings leaves it where the user put it.
ShownToSource inverseOf(const ApplyParams &params, Plate plate, Window window,
                        TargetConvention target)
{
    const double aspect = params.pixelAspect;
    const bool program = params.programConventions;
    return [=](const TrackTable &table, int row, int column, double shown) {
        Point p{table.coordinate(row, XColumn), table.coordinate(row, YColumn)};
        double kept = 0;
        if (table.numericCoordinate(row, XColumn, &kept)) p.x = kept;
        if (table.numericCoordinate(row, YColumn, &kept)) p.y = kept;
        (column == XColumn ? p.x : p.y) = shown;
        Point mid = targetToPixels(target, fromWindow(p, plate, window), plate);
        Point source =
            pixelsToSource(sourceConventionOf(table.sourceFormat(row), program), mid, plate);
        double value = column == XColumn ? source.x / aspect : source.y;
        // A window that collapses to zero cannot be inverted: keep what was typed.
        return std::isfinite(value) ? value : shown;
    };
}

} // namespace

// A row whose values convert to no finite number, its values in %g form (a
// huge value written out in full would be hundreds of digits).
static QString outOfRangeMessage(int row, Point source, Point out)
{
    auto g = [](double v) { return QString::asprintf("%g", v); };
    return QStringLiteral("Row %1: %2, %3 converts to %4, %5: the converted value is not a finite "
                          "number; check the values, the plate and the target window.")
        .arg(row + 1)
        .arg(g(source.x), g(source.y), g(out.x), g(out.y));
}

namespace {

ApplyParams paramsFor(const PlateSettings &settings, const QString &targetFilter,
                      const Format *target)
{
    ApplyParams params;
    params.target = target;
    params.pixelAspect = toDouble(settings.pixelAspect);
    params.plateWidth = toInt(settings.plateWidth);
    params.plateHeight = toInt(settings.plateHeight);
    params.x0 = toInt(settings.x0);
    params.x1 = toInt(settings.x1);
    params.y0 = toInt(settings.y0);
    params.y1 = toInt(settings.y1);
    params.exportFirst = toInt(settings.exportFirst);
    params.importFirst = toInt(settings.exportFirstTip);
    params.targetFilter = targetFilter;
    params.predefinedIndex = settings.predefinedIndex;
    params.programConventions = settings.programConventions;
    params.frameBaseNote = settings.frameBaseNote(target);
    return params;
}

} // namespace

ApplyParams applyParams(const PlateSettings &settings, const QString &targetFilter)
{
    return paramsFor(settings, targetFilter, formatForFilter(targetFilter));
}

ApplyParams applyParams(const PlateSettings &settings, const Format &target)
{
    return paramsFor(settings, QLatin1String(target.treeExportFilter), &target);
}

namespace {

// What Apply adds to every frame, in 64 bits.
qint64 frameShiftOf(const ApplyParams &params)
{
    return qint64(params.exportFirst) - params.importFirst;
}

// One Apply's conversion of a row: its source point through pixels to the
// target, and its frame shifted, in 64 bits.
struct RowConversion
{
    const ApplyParams &params;
    Plate plate;
    Window window;
    TargetConvention target;
    std::vector<std::optional<SourceConvention>> sources; // by the table's source format id
    bool metOwnText = false;                              // a row whose source is a text of its own

    Point mid, out;
    long long frame = 0;

    // The one arithmetic of a point's conversion: a row shown by the
    // in-place Apply's rule is converted by it too, to the same bits.
    static void convertPoint(const ApplyParams &params, const Plate &plate, const Window &window,
                             const TargetConvention &target, const SourceConvention &source,
                             Point in, Point &mid, Point &out)
    {
        mid = sourceToPixels(source, {in.x * params.pixelAspect, in.y}, plate);
        out = toWindow(pixelsToTarget(target, mid, plate), plate, window);
    }

    // False when the row's values do not convert to finite numbers, or its
    // frame would leave the frames Corvane handles.
    bool convert(const TrackTable &table, int r, Point source)
    {
        convertPoint(params, plate, window, target, sourceConvention(table, r), source, mid, out);
        frame = table.frame(r) + frameShiftOf(params);
        return std::isfinite(mid.x) && std::isfinite(mid.y) && std::isfinite(out.x) &&
               std::isfinite(out.y);
    }

    SourceConvention sourceConvention(const TrackTable &table, int r)
    {
        const bool program = params.programConventions;
        const int id = table.sourceFormatId(r);
        if (id < 0) {
            metOwnText = true;
            return sourceConventionOf(table.sourceFormat(r), program);
        }
        if (size_t(id) >= sources.size()) sources.resize(size_t(id) + 1);
        if (!sources[size_t(id)])
            sources[size_t(id)] = sourceConventionOf(table.sourceFormat(r), program);
        return *sources[size_t(id)];
    }

    bool frameInRange() const { return frame >= -FrameLimit && frame <= FrameLimit; }
};

// The formats the rows of a conversion came from, each once: the pieces'
// source ids, and the rows whose source is a text of their own.
QList<const Format *> sourceFormatsMet(const TrackTable &table,
                                       const std::vector<RowConversion> &pieces)
{
    std::vector<char> met;
    bool ownTexts = false;
    for (const RowConversion &piece : pieces) {
        ownTexts = ownTexts || piece.metOwnText;
        for (size_t id = 0; id < piece.sources.size(); ++id)
            if (piece.sources[id]) {
                if (met.size() <= id) met.resize(id + 1, 0);
                met[id] = 1;
            }
    }
    qsizetype remaining = std::count(met.begin(), met.end(), 1);
    QList<const Format *> out;
    QSet<QString> texts; // each text of its own looked up once
    for (int r = 0; r < table.rowCount() && (remaining > 0 || ownTexts); ++r) {
        const int id = table.sourceFormatId(r);
        const bool first = id >= 0 ? size_t(id) < met.size() && met[size_t(id)]
                                   : ownTexts && !texts.contains(table.sourceFormat(r));
        if (!first) continue;
        if (id >= 0) {
            met[size_t(id)] = 0; // named once, from its first row
            --remaining;
        } else {
            texts.insert(table.sourceFormat(r));
        }
        const Format *format = formatForFilter(table.sourceFormat(r));
        if (format && !out.contains(format)) out.append(format);
    }
    return out;
}

// What Apply converts a row from: its source value, or what it shows.
Point sourceOf(const TrackTable &table, int r)
{
    if (table.hasImportedValue(r))
        return {table.importedValue(r, XColumn), table.importedValue(r, YColumn)};
    return {table.coordinate(r, XColumn), table.coordinate(r, YColumn)};
}

} // namespace

namespace {

// The rows both passes have done, as thousandths of the whole Apply; the
// pieces report every few thousand rows.
class ApplyProgress
{
public:
    ApplyProgress(std::atomic<qint64> *out, int rows) : m_out(out), m_total(2 * qint64(rows) + 1) {}
    void add(qint64 rows)
    {
        if (!m_out) return;
        const qint64 done = m_rows.fetch_add(rows, std::memory_order_relaxed) + rows;
        m_out->store(std::min<qint64>(999, done * 1000 / m_total), std::memory_order_relaxed);
    }
    static constexpr int Step = 16384;

private:
    std::atomic<qint64> *m_out;
    std::atomic<qint64> m_rows{0};
    qint64 m_total;
};

} // namespace

namespace {

// One Apply's conversion, once every row was found to convert.
struct ApplyRun
{
    const Format *targetFormat = nullptr;
    Plate plate;
    Window window;
    TargetConvention target;
    int minimumPerPiece = 0;
};

// Every row is checked before any changes, so that a refusal changes
// nothing; false with the refusal in result. Rows are independent unless
// formulas refer to other cells, so the rows are split between the cores.
bool checkRows(const TrackTable &table, const ApplyParams &params, ApplyProgress &progress,
               ApplyRun &run, ApplyResult &result, std::vector<RowConversion> *met = nullptr)
{
    // The target, found once (params made by hand may name its filter only).
    run.targetFormat = params.target ? params.target : formatForFilter(params.targetFilter);
    if (params.plateWidth <= 0 || params.plateHeight <= 0) {
        result.error = QString::fromLatin1(plateMissingMessage);
        return false;
    }
    run.plate = {params.plateWidth, params.plateHeight};
    run.window = {params.x0, params.x1, params.y0, params.y1};
    // A predefined setting other than Default keeps pixels from the top-left.
    run.target = params.predefinedIndex != 0
                     ? TargetConvention{}
                     : targetConventionOf(run.targetFormat, params.programConventions);
    run.minimumPerPiece = table.hasFormulas() ? std::numeric_limits<int>::max() : 65536;
    RowConversion conversion{params, run.plate, run.window, run.target, {}, false, {}, {}, 0};
    std::vector<int> firstBad(size_t(workerThreads()), -1); // per piece
    if (met) *met = std::vector<RowConversion>(size_t(workerThreads()), conversion);
    forRowRanges(
        table.rowCount(),
        [&](int begin, int end, int piece) {
            RowConversion local = conversion;
            for (int r = begin; r < end; ++r) {
                if (!local.convert(table, r, sourceOf(table, r)) || !local.frameInRange()) {
                    firstBad[size_t(piece)] = r;
                    return;
                }
                if ((r - begin + 1) % ApplyProgress::Step == 0) progress.add(ApplyProgress::Step);
            }
            progress.add((end - begin) % ApplyProgress::Step);
            if (met) {
                (*met)[size_t(piece)].sources = std::move(local.sources);
                (*met)[size_t(piece)].metOwnText = local.metOwnText;
            }
        },
        run.minimumPerPiece);
    for (int r : firstBad) {
        if (r < 0) continue;
        if (!conversion.convert(table, r, sourceOf(table, r))) {
            result.error = outOfRangeMessage(r, sourceOf(table, r), conversion.out);
            result.valueRow = r;
            return false;
        }
        result.error = QStringLiteral("Row %1: frame %2 shifted to the export first frame "
                                      "gives %3, outside the frames Corvane handles.")
                           .arg(r + 1)
                           .arg(table.frame(r))
                           .arg(conversion.frame);
        return false;
    }
    return true;
}

// Converts every row, handing each row's conversion to store(r, conversion);
// the pieces' conversions keep the source formats they met, for the notes.
template <typename Store>
std::vector<RowConversion> convertRows(const TrackTable &table, const ApplyParams &params,
                                       const ApplyRun &run, ApplyProgress &progress, Store store)
{
    RowConversion conversion{params, run.plate, run.window, run.target, {}, false, {}, {}, 0};
    std::vector<RowConversion> pieces(size_t(workerThreads()), conversion);
    forRowRanges(
        table.rowCount(),
        [&](int begin, int end, int piece) {
            RowConversion local = conversion; // on this thread's stack: no shared cache lines
            for (int r = begin; r < end; ++r) {
                local.convert(table, r, sourceOf(table, r));
                store(r, local);
                if ((r - begin + 1) % ApplyProgress::Step == 0) progress.add(ApplyProgress::Step);
            }
            pieces[size_t(piece)].sources = std::move(local.sources);
            pieces[size_t(piece)].metOwnText = local.metOwnText;
        },
        run.minimumPerPiece);
    return pieces;
}

void noteConventions(const TrackTable &table, const ApplyParams &params, const ApplyRun &run,
                     const std::vector<RowConversion> &pieces, ApplyResult &result)
{
    if (params.programConventions) {
        const Format *shown = params.predefinedIndex != 0 ? nullptr : run.targetFormat;
        result.notes = pixelCentreNotes(sourceFormatsMet(table, pieces), shown);
    }
    if (!params.frameBaseNote.isEmpty()) result.notes.prepend(params.frameBaseNote);
}

} // namespace

ApplyResult applySettings(TrackTable &table, const ApplyParams &params)
{
    ApplyResult result;
    ApplyProgress progress(params.progress, table.rowCount());
    ApplyRun run;
    if (!checkRows(table, params, progress, run, result)) return result;
    if (isCompositorFormat(run.targetFormat)) {
        bool needsOrder = false;
        checkShapes(table, result, needsOrder);
        if (needsOrder) {
            result.order = sortRows(table, SortOrder::Ascending);
            result.sorted = true;
        }
    }
    // Rows typed in without an imported value take their shown one first
    // (this writes shared state, so it is not split).
    for (int r = 0; r < table.rowCount(); ++r)
        if (!table.hasImportedValue(r)) table.takeImportedFromDisplay(r);
    if (params.keepSources) table.holdPoints();
    const std::vector<RowConversion> pieces =
        convertRows(table, params, run, progress, [&](int r, const RowConversion &c) {
            if (params.keepSources)
                table.storeConverted(r, c.mid.x, c.mid.y, c.out.x, c.out.y, int(c.frame));
            else
                table.storeShown(r, c.out.x, c.out.y, int(c.frame));
        });
    table.touched();
    table.setShownToSource(inverseOf(params, run.plate, run.window, run.target));
    noteConventions(table, params, run, pieces, result);
    return result;
}

namespace {

// Whether pass(r) holds for every row (checked on every core), with no
// formula in the table; false too when cancel was set.
template <typename Pass>
bool everyRow(const TrackTable &table, const std::atomic<bool> *cancel, Pass pass)
{
    if (table.hasFormulas()) return false;
    std::atomic<bool> all{true};
    forRowRanges(table.rowCount(), [&](int begin, int end, int) {
        for (int r = begin; r < end && all.load(std::memory_order_relaxed); ++r)
            if (!pass(r) || (cancel && r % 65536 == 0 && cancel->load(std::memory_order_relaxed)))
                all = false;
    });
    return all;
}

// The checks of an Apply that changes rows in place: false when it cannot
// (a shape order to make, or cancel set); checked false with a refusal in
// result.
bool checkInPlace(const TrackTable &table, const ApplyParams &params, ApplyProgress &progress,
                  ApplyRun &run, ApplyResult &result, bool &checked,
                  const std::atomic<bool> *cancel, std::vector<RowConversion> *met = nullptr)
{
    checked = checkRows(table, params, progress, run, result, met);
    if (!checked) return true;
    if (isCompositorFormat(run.targetFormat)) {
        bool needsOrder = false;
        checkShapes(table, result, needsOrder);
        if (needsOrder) return false;
    }
    return !(cancel && cancel->load());
}

// How the rows of an in-place Apply show their values (TrackTable::ShownRule):
// the Apply's conversion of each source format the table has met.
class RuleOfApply : public ShownRule
{
public:
    RuleOfApply(const ApplyParams &params, const ApplyRun &run, const TrackTable &table)
        : m_params(params), m_plate(run.plate), m_window(run.window), m_target(run.target)
    {
        m_params.progress = nullptr; // the Apply's job's, gone with it
        for (int id = 0; id < table.sourceFormatCount(); ++id)
            m_sources.push_back(
                sourceConventionOf(table.sourceFormatOfId(id), params.programConventions));
    }
    void show(int sourceId, const double imported[2], double shown[2],
              double pixel[2]) const override
    {
        Point mid, out;
        RowConversion::convertPoint(m_params, m_plate, m_window, m_target,
                                    m_sources[size_t(sourceId)], {imported[0], imported[1]}, mid,
                                    out);
        pixel[0] = mid.x;
        pixel[1] = mid.y;
        shown[0] = out.x;
        shown[1] = out.y;
    }
    bool knowsSource(int sourceId) const override
    {
        return sourceId >= 0 && size_t(sourceId) < m_sources.size();
    }

private:
    ApplyParams m_params;
    Plate m_plate;
    Window m_window;
    TargetConvention m_target;
    std::vector<SourceConvention> m_sources; // by the table's source format id
};

} // namespace

bool prepareImportedApply(const TrackTable &table, const ApplyParams &params, ApplyResult &result,
                          ImportedConversion &conversion, const std::atomic<bool> *cancel)
{
    if (!everyRow(table, cancel, [&](int r) { return table.showsImported(r); })) return false;
    ApplyProgress progress(params.progress, table.rowCount());
    ApplyRun run;
    std::vector<RowConversion> met;
    bool checked = false;
    if (!checkInPlace(table, params, progress, run, result, checked, cancel, &met)) return false;
    if (!checked) return true;
    auto rule = std::make_shared<const RuleOfApply>(params, run, table);
    const qint64 frameShift = frameShiftOf(params);
    // The rows keep their imported values and show by the rule: nothing is
    // held beside them, and a slice only marks its rows and shifts their frames.
    conversion.convert = [rule, frameShift](TrackTable &t, int begin, int end) {
        t.setShownRule(rule);
        for (int r = begin; r < end; ++r)
            t.showByRule(r, int(t.frame(r) + frameShift));
        t.touched();
    };
    conversion.frameShift = frameShift;
    conversion.inverse = inverseOf(params, run.plate, run.window, run.target);
    noteConventions(table, params, run, met, result);
    return true;
}

bool applyBeside(const TrackTable &table, const ApplyParams &params, ApplyResult &result,
                 TrackTable::ConvertedRows &converted, const std::atomic<bool> *cancel)
{
    // Only what an exchange of values can put in: no shape order to make,
    // no shown value to take first, no formula or rare attribute to keep.
    std::atomic<bool> allByRule{true};
    if (!everyRow(table, cancel, [&](int r) {
            if (!table.showsByRule(r)) allByRule.store(false, std::memory_order_relaxed);
            return table.convertsInPlace(r) && table.hasImportedValue(r);
        }))
        return false;
    ApplyProgress progress(params.progress, table.rowCount());
    ApplyRun run;
    bool checked = false;
    std::vector<RowConversion> met;
    if (!checkInPlace(table, params, progress, run, result, checked, cancel, &met)) return false;
    if (!checked) return true;
    converted.inverse = inverseOf(params, run.plate, run.window, run.target);
    if (allByRule) {
        // The rows keep their imported values: only the rule they show by changes.
        converted.rule = std::make_shared<const RuleOfApply>(params, run, table);
        converted.frameShift = frameShiftOf(params);
        noteConventions(table, params, run, met, result);
        return true;
    }
    converted.rows.resize(size_t(table.rowCount()));
    const std::vector<RowConversion> pieces =
        convertRows(table, params, run, progress, [&](int r, const RowConversion &c) {
            converted.rows[size_t(r)] =
                table.convertedRow(r, c.mid.x, c.mid.y, c.out.x, c.out.y, int(c.frame));
        });
    noteConventions(table, params, run, pieces, result);
    return true;
}

} // namespace corvane
