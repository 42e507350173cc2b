// SPDX-License-Identifier: Apache-2.0
// The whole import road on any bytes: detection, every fitting reader, the
// fill, Apply towards every writer and the writing itself, in memory.
#include "export/exporter.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/filetext.h"
#include "import/importer.h"
#include "settings/apply.h"
#include "settings/platesettings.h"
#include "table/tracktable.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString name = QStringLiteral("fuzz.txt");
    FileText text =
        trackText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), name);
    if (!text.ok()) return 0;
    for (const Format *source : formatsFitting(text.bytes)) {
        ReadResult read = readBytes(text.bytes, name, *source);
        if (!read.ok()) continue;
        for (const Format &target : formats()) {
            if (!target.writer) continue;
            TrackTable table;
            PlateSettings settings;
            takeOverImport(settings, read.set, ImportMode::NewList);
            fillImport(table, read.set, ImportMode::NewList, QLatin1String(source->importFilter));
            settings.setPlateWidth(QStringLiteral("1920"));
            settings.setPlateHeight(QStringLiteral("1080"));
            const QString filter = QLatin1String(target.treeExportFilter);
            if (!applySettings(table, applyParams(settings, filter)).error.isEmpty()) continue;
            ExportParams params = exportParams(settings, filter, QStringLiteral("/fuzz/out.txt"));
            params.inMemory = true;
            exportTable(table, params);
        }
    }
    return 0;
}
