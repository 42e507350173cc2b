#include "apply.h"

#include "conversion.h"
#include "edit/sort.h"
#include "platesettings.h"
#include "table/numbers.h"
#include "table/tracktable.h"

#include <QHash>

#include <cmath>

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
        bool shape = name.startsWith(QLatin1Char('S'));
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
ShownToSource inverseOf(const ApplyParams &params, Plate plate, Window window, TargetRule target)
{
    const double aspect = params.pixelAspect;
    return [=](const TrackTable &table, int row, int column, double shown) {
        Point p{table.coordinate(row, XColumn), table.coordinate(row, YColumn)};
        double kept = 0;
        if (table.numericCoordinate(row, XColumn, &kept)) p.x = kept;
        if (table.numericCoordinate(row, YColumn, &kept)) p.y = kept;
        (column == XColumn ? p.x : p.y) = shown;
        Point mid = fromTarget(target, fromWindow(p, plate, window), plate);
        Point source = fromIntermediate(sourceRuleOf(table.sourceFormat(row)), mid, plate);
        double value = column == XColumn ? source.x / aspect : source.y;
        // A window that collapses to zero cannot be inverted: keep what was typed.
        return std::isfinite(value) ? value : shown;
    };
}

} // namespace

ApplyParams applyParams(const PlateSettings &settings, const QString &targetFilter)
{
    ApplyParams params;
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
    return params;
}

ApplyResult applySettings(TrackTable &table, const ApplyParams &params)
{
    ApplyResult result;
    if (params.plateWidth <= 0 || params.plateHeight <= 0) {
        result.error = QString::fromLatin1(plateMissingMessage);
        return result;
    }
    if (isCompositorFilter(params.targetFilter)) {
        bool needsOrder = false;
        checkShapes(table, result, needsOrder);
        if (needsOrder) {
            result.order = sortRows(table, SortOrder::Ascending);
            result.sorted = true;
        }
    }

    const Plate plate{params.plateWidth, params.plateHeight};
    const Window window{params.x0, params.x1, params.y0, params.y1};
    // A predefined setting other than Default keeps pixels from the top-left.
    const TargetRule target =
        params.predefinedIndex != 0 ? TargetRule::None : targetRuleOf(params.targetFilter);
    // Rows of one import share their source; look each filter up once.
    QHash<QString, SourceRule> sources;
    for (int r = 0; r < table.rowCount(); ++r) {
        int f = table.frame(r);
        if (!table.hasImportedValue(r)) table.takeImportedFromDisplay(r);
        Point p{table.importedValue(r, XColumn) * params.pixelAspect,
                table.importedValue(r, YColumn)};
        QString source = table.sourceFormat(r);
        auto it = sources.constFind(source);
        if (it == sources.cend()) it = sources.insert(source, sourceRuleOf(source));
        Point mid = toIntermediate(it.value(), p, plate);
        Point out = toWindow(toTarget(target, mid, plate), plate, window);
        table.setConverted(r, mid.x, mid.y, out.x, out.y);
        table.setFrame(r, params.exportFirst + f - params.importFirst);
    }
    table.setShownToSource(inverseOf(params, plate, window, target));
    return result;
}

} // namespace corvane
