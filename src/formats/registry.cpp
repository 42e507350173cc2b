// SPDX-License-Identifier: Apache-2.0
#include "registry.h"

#include "families.h"

#include <QRegularExpression>

#include <algorithm>

namespace corvane {

namespace {

std::vector<Format> makeFormats()
{
    std::vector<Format> all;
    for (auto family : {threeDEFormats,      pfTrackFormats,        boujouFormats,
                        synthEyesFormats,    matchMoverFormats,     mayaLiveFormats,
                        nukeFormats,         shakeFormats,          fusionFormats,
                        afterEffectsFormats, combustionFormats,     flameFormats,
                        shakeScriptFormats,  synthEyesPathsFormats, matchMoverRzmlFormats,
                        nukeScriptFormats,   mayaAsciiFormats,      afterEffectsScriptFormats,
                        maxScriptFormats,    blenderFormats,        uvTrackFormats}) {
        Formats formats = family();
        all.insert(all.end(), formats.begin(), formats.end());
    }
    return all;
}

int indexOf(const char *id)
{
    const auto &all = formats();
    for (size_t i = 0; i < all.size(); ++i)
        if (qstrcmp(all[i].id, id) == 0) return int(i);
    return -1;
}

std::vector<Program> makePrograms()
{
    auto ids = [](std::initializer_list<const char *> list) {
        std::vector<int> out;
        for (const char *id : list)
            out.push_back(indexOf(id));
        return out;
    };
    // clang-format off
    return {
        {"3D Equalizer 2d Track File(*.ascii, *.txt)", "3D Equalizer 2d Track File(*.ascii, *.txt)( 2d)",
         "Select a 3D Equalizer File", "Save as a 3D Equalizer File", ":/3d/3DE16.png", true, ids({"3de4", "3de3"})},
        {"PFTrack 2d Track File(*.txt, *.2dt, *.3dt)", "PFTrack 2d Track File(*.txt, *.2dt, *.3dt)( 2d)",
         "Select a PF Track File", "Save as a PF Track File", ":/3d/pf16.png", true,
         ids({"pftrack2011", "pftrack5", "pftrack4"})},
        {"Boujou 2d Track File(*.txt)", "Boujou 2d Track File(*.txt)( 2d)",
         "Select a Boujou File", "Save as a Boujou File", ":/3d/bj16.png", true, ids({"boujou"})},
        {"SynthEyes 2d Track File(*.txt)", "SynthEyes 2d Track File(*.txt)( 2d)",
         "Select a SynthEyes File", "Save as a SynthEyes File", ":/3d/se16.png", true,
         ids({"syntheyes", "syntheyes-all-paths"})},
        {"MatchMover/Movimento 2d Track File(*.rz2)", "MatchMover/Movimento 2d Track File(*.rz2)( 2d)",
         "Select a Matchmover/Movimento File", "Save as a Matchmover/Movimento File", ":/3d/mm16.png", true,
         ids({"matchmover", "matchmover-rzml"})},
        {"Maya Live 2d Track File(*.txt)", "Maya Live 2d Track File(*.txt)( 2d)",
         "Select a Maya Live File", "Save as a Maya Live File", ":/3d/maya16.png", true, ids({"mayalive"})},
        {"Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)",
         "Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)",
         "Select a Nuke File", "Save as a Nuke File", ":/2d/nuke16.png", false,
         ids({"nuke-rotopaint", "nuke-tracker", "nuke-cameratracker", "nuke-script"})},
        {"Shake RotoShape & 2d Track File(*.ssf, *.txt)", "Shake RotoShape & 2d Track File(*.ssf, *.txt)",
         "Select a Shake File", "Save as a Shake File", ":/2d/shake16.png", false,
         ids({"shake-rotoshape", "shake-track", "shake-script"})},
        {"Fusion Mask & 2d Track File(*.comp, *.dfmo)", "Fusion Mask & 2d Track File(*.comp, *.dfmo)",
         "Select a Fusion File", "Save as a Fusion File", ":/2d/fusion16.png", false,
         ids({"fusion-mask", "fusion-track"})},
        {"After Effects Mask & 2d Track File(*.*)", "After Effects Mask & 2d Track File(*.txt)",
         "Select an After Effects File", "Save as an After Effects File", ":/2d/affter16.png", false,
         ids({"ae-mask", "ae-track", "ae-nulls", "ae-cornerpin"})},
        {"Combustion GMask & 2d Track File(*.GMask, *.ascii)", "Combustion GMask & 2d Track File(*.GMask, *.ascii)",
         "Select a Combustion File", "Save as a Combustion File", ":/2d/combustion16.png", false,
         ids({"combustion-gmask", "combustion-track"})},
        {"Flame/Smoke 2d Stabilizer File(*.stabilizer)", "Flame/Smoke 2d Stabilizer File(*.stabilizer)",
         "Select a Flame/Smoke File", "Save as a Flame/Smoke File", ":/2d/flame16.png", false,
         ids({"flame-stabilizer"})},
        {"Maya Scene & mmSolver 2d Track File(*.ma, *.uv)", "Maya Scene & mmSolver 2d Track File(*.ma, *.uv)",
         "Select an mmSolver File", "Save as a Maya File", ":/3d/maya16.png", true,
         ids({"maya-ascii", "uvtrack"})},
        {"3ds Max Script File(*.ms)", "3ds Max Script File(*.ms)",
         "Select a 3ds Max File", "Save as a 3ds Max Script", ":/3d/max16.png", true, ids({"max-nulls"})},
        {"Blender Tracks Script File(*.py)", "Blender Tracks Script File(*.py)",
         "Select a Blender File", "Save as a Blender Script", ":/3d/blender16.png", true,
         ids({"blender-tracks"})},
    };
    // clang-format on
}

} // namespace

const std::vector<Format> &formats()
{
    static const std::vector<Format> all = makeFormats();
    return all;
}

const std::vector<Program> &programs()
{
    static const std::vector<Program> all = makePrograms();
    return all;
}

QStringList Format::extensions() const
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([^ )]+)"));
    QStringList out;
    for (const char *filter : {importFilter, treeExportFilter}) {
        auto it = pattern.globalMatch(QString::fromLatin1(filter));
        while (it.hasNext()) {
            QString ext = it.next().captured(1);
            if (!out.contains(ext)) out.append(ext);
        }
    }
    return out;
}

QString Format::fileExtension() const
{
    for (const QString &ext : extensions())
        if (ext != QLatin1String("*")) return ext;
    return QStringLiteral("txt");
}

bool Format::matchesFilter(const QString &filter) const
{
    return filter == QLatin1String(importFilter) || filter == QLatin1String(treeExportFilter);
}

// Whether character i of a track name is one the format cannot hold.
static bool cannotHold(const Format &format, const QString &name, qsizetype i)
{
    const QChar c = name.at(i);
    const QLatin1String forbidden(format.nameForbids);
    // Printable ASCII but the blank is held unless the format forbids it.
    if (c.unicode() > 0x20 && c.unicode() < 0x7f) return forbidden.contains(c);
    const bool blank = c == QLatin1Char(' ') || c == QLatin1Char('\t');
    const bool atEnd = i == 0 || i == name.size() - 1;
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator || (blank && (format.nameNoBlanks || atEnd)) ||
           (!blank && c.isSpace() && c != QChar::Nbsp) || forbidden.contains(c);
}

QString Format::writableName(const QString &name) const
{
    if (shapes) return name; // shape files number their vertices: names stay the table's
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i)
        if (cannotHold(*this, name, i)) out[i] = QLatin1Char('_');
    if (out.isEmpty()) out = QStringLiteral("_");
    return out;
}

bool Format::holdsName(const QString &name) const
{
    if (shapes) return true;
    if (name.isEmpty()) return false;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (cannotHold(*this, name, i)) return false;
    return true;
}

const Format *formatById(const QString &id)
{
    // Ids are lower case; "3DE4" is what a user may type for 3de4.
    for (const Format &f : formats())
        if (id.compare(QLatin1String(f.id), Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

const Format *formatForFilter(const QString &filter)
{
    for (const Format &f : formats())
        if (f.matchesFilter(filter)) return &f;
    return nullptr;
}

const Format *formatForImportFilter(const QString &filter)
{
    for (const Format &f : formats())
        if (filter == QLatin1String(f.importFilter)) return &f;
    return nullptr;
}

const Program *programOf(const Format &format)
{
    int index = int(&format - formats().data());
    for (const Program &p : programs())
        if (std::find(p.formats.begin(), p.formats.end(), index) != p.formats.end()) return &p;
    return nullptr;
}

bool isCompositorFilter(const QString &filter)
{
    return isCompositorFormat(formatForFilter(filter));
}

bool isCompositorFormat(const Format *format)
{
    const Program *program = format ? programOf(*format) : nullptr;
    return program && !program->cameraTracker;
}

const Format *formatByIdOrFilter(const QString &text)
{
    if (const Format *f = formatById(text)) return f;
    return formatForFilter(text);
}

const Program *programForTreeText(const QString &text)
{
    for (const Program &p : programs())
        if (text == QLatin1String(p.importTreeText) || text == QLatin1String(p.exportTreeText))
            return &p;
    return nullptr;
}

QString allFiltersText()
{
    // Formats Corvane writes but does not read are no choice for an import.
    QStringList list;
    for (const Format &f : formats())
        if (f.read) list.append(QLatin1String(f.importFilter));
    return list.join(QStringLiteral(";;"));
}

QString writableFiltersText()
{
    QStringList list;
    for (const Format &f : formats())
        if (f.writer) list.append(QLatin1String(f.importFilter));
    return list.join(QStringLiteral(";;"));
}

QString importFiltersText(const Program &program)
{
    QStringList list;
    for (int i : program.formats)
        if (formats()[size_t(i)].read)
            list.append(QLatin1String(formats()[size_t(i)].importFilter));
    return list.join(QStringLiteral(";;"));
}

QString exportFiltersText(const Program &program)
{
    // Formats Corvane reads but does not write are no choice for a save.
    QStringList list;
    for (int i : program.formats)
        if (formats()[size_t(i)].writer)
            list.append(QLatin1String(formats()[size_t(i)].treeExportFilter));
    return list.join(QStringLiteral(";;"));
}

} // namespace corvane
