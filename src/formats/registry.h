// SPDX-License-Identifier: Apache-2.0
// The format registry: collects the formats' own descriptions in the order
// of the File menu's lists, and the programs of the Step 1 and Step 2 trees.
// Dialogs, recognition, dispatch, detection, Apply, the export driver, the
// converter and the tests all look formats up here.
#pragma once

#include "format.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvane {

// A program's entry of the Step 1 and Step 2 trees.
struct Program
{
    const char *importTreeText;
    const char *exportTreeText;
    const char *importCaption;
    const char *exportCaption;
    const char *icon;
    bool cameraTracker;       // the "3D Software Files" group
    std::vector<int> formats; // indices into formats(), in its dialogs' order
};

// Every format, in the order of the File menu's lists.
const std::vector<Format> &formats();
const std::vector<Program> &programs();

const Format *formatById(const QString &id);
// The format a filter string names (any of its import or export filters).
const Format *formatForFilter(const QString &filter);
// The format whose import filter is exactly this text (the reader's key).
const Format *formatForImportFilter(const QString &filter);
const Program *programForTreeText(const QString &text);
// A format id ("nuke-tracker") or one of its exact filter texts.
const Format *formatByIdOrFilter(const QString &text);
const Program *programOf(const Format &format);
// Targets of the compositors, which hold shapes: Apply checks shape names.
bool isCompositorFilter(const QString &filter);
bool isCompositorFormat(const Format *format);

// The File menu's list: every import filter, joined by ";;".
QString allFiltersText();
// The same list of the formats Corvane writes, for the menu's Export Files.
QString writableFiltersText();
// A program's dialog filter list, joined by ";;".
QString importFiltersText(const Program &program);
QString exportFiltersText(const Program &program);

} // namespace corvane
