// SPDX-License-Identifier: Apache-2.0
#include "trackoperations.h"

#include "conversion.h"
#include "platesettings.h"
#include "table/numbers.h"
#include "table/tracktable.h"

namespace corvane {

namespace {

class SourceSpace : public ValueSpace
{
public:
    SourceSpace(const TrackTable &table, bool programConventions)
        : m_table(table), m_program(programConventions)
    {
        // Every source format's convention, found once: rows are then
        // placed from any thread.
        for (int id = 0; id < table.sourceFormatCount(); ++id)
            m_byId.push_back(sourceConventionOf(table.sourceFormatOfId(id), programConventions));
    }

    void toPixels(int row, double &x, double &y, PlateSize plate) const override
    {
        const Point p = sourceToPixels(convention(row), {x, y}, {plate.width, plate.height});
        x = p.x;
        y = p.y;
    }
    void fromPixels(int row, double &x, double &y, PlateSize plate) const override
    {
        const Point p = pixelsToSource(convention(row), {x, y}, {plate.width, plate.height});
        x = p.x;
        y = p.y;
    }
    bool dependsOnPlate(int row) const override
    {
        const SourceConvention c = convention(row);
        return c.rule != SourceRule::None || c.centres == PixelCentres::EdgePixelCentres;
    }

private:
    SourceConvention convention(int row) const
    {
        const int id = m_table.sourceFormatId(row);
        if (id < 0 || size_t(id) >= m_byId.size())
            return sourceConventionOf(m_table.sourceFormat(row), m_program);
        return m_byId[size_t(id)];
    }

    const TrackTable &m_table;
    bool m_program;
    std::vector<SourceConvention> m_byId; // by the table's source ids
};

} // namespace

std::unique_ptr<ValueSpace> sourceSpace(const TrackTable &table, bool programConventions)
{
    return std::make_unique<SourceSpace>(table, programConventions);
}

TrackOperationsOutcome runTrackOperations(TrackTable &table, PlateSettings &settings,
                                          const std::vector<TrackOperation> &operations)
{
    TrackOperationsOutcome outcome;
    PlateSize plate{std::max(toInt(settings.plateWidth), 0),
                    std::max(toInt(settings.plateHeight), 0)};
    if (!plate.known()) plate = {};
    const std::unique_ptr<ValueSpace> space = sourceSpace(table, settings.programConventions);
    for (const TrackOperation &op : operations) {
        const TrackOperationResult result =
            runTrackOperation(table, plate, op, nullptr, space.get());
        if (!result.ok()) {
            outcome.error = result.error;
            outcome.failed = int(&op - operations.data());
            outcome.plateMissing = result.plateMissing;
            return outcome;
        }
        outcome.summaries << result.summary;
        if (result.plateChanged) {
            settings.setPlateWidth(QString::number(plate.width));
            settings.setPlateHeight(QString::number(plate.height));
        }
    }
    return outcome;
}

} // namespace corvane
