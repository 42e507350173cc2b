#include "registry.h"

#include "nuke.h"
#include "threedequalizer.h"

#include <QRegularExpression>

#include <algorithm>

namespace corvane {

namespace {

using R = Recognition;

std::vector<Format> makeFormats()
{
    // clang-format off
    return {
        {"3de4", "3D Equalizer v4", "3DE v4 Track File (*.txt)", "3DE v4 Track File (*.txt)",
         {R::NoDoubleSlash, nullptr, "This is not a 3DE File! Check type of versions!"},
         readThreeDEv4, looksLikeThreeDEv4, &threeDEv4Writer, SourceRule::Flip, TargetRule::Flip, nullptr, false, false},
        {"3de3", "3D Equalizer v3", "3DE v3 Track File (*.ascii)", "3DE v3 Track File (*.ascii)",
         {R::DoubleSlash, nullptr, "This is not a 3DE File! Check type of versions!"},
         nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, nullptr, false, true},
        {"pftrack2011", "PFTrack 2011", "PF 2011 Track File (*.txt)", "PF 2011 Track File (*.txt)",
         {}, nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, nullptr, false, false},
        {"pftrack5", "PFTrack v5", "PF v5 Track File (*.2dt *.3dt)", "PF v5 Track File (*.2dt)",
         {}, nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, nullptr, false, false},
        {"pftrack4", "PFTrack v4", "PF v4 Track File (*.2dt *.3dt)", "PF v4 Track File (*.2dt)",
         {}, nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, nullptr, false, false},
        {"boujou", "Boujou", "Boujou Track File (*.txt)", "Boujou Track File (*.txt)",
         {R::Marker, "boujou 2d", "This is not a Boujou File!"},
         nullptr, nullptr, nullptr, SourceRule::None, TargetRule::None, nullptr, false, false},
        {"syntheyes", "SynthEyes", "SynthEyes Track File (*.txt)", "SynthEyes Track File (*.txt)",
         {}, nullptr, nullptr, nullptr, SourceRule::SynthEyes, TargetRule::SynthEyes, nullptr, false, false},
        {"matchmover", "MatchMover/Movimento", "MatchMover/Movimento Track File (*.rz2)",
         "MatchMover/Movimento Track File (*.rz2)",
         {R::Marker, "imageSequence", "This is not a MatchMover/Movimento File!"},
         nullptr, nullptr, nullptr, SourceRule::None, TargetRule::None, nullptr, false, true},
        {"mayalive", "Maya Live", "Maya Live Track File (*.txt)", "Maya Live Track File (*.txt)",
         {R::Marker, "Size", "This is not a Maya Live File!"},
         nullptr, nullptr, nullptr, SourceRule::Maya, TargetRule::Maya, nullptr, false, true},
        {"nuke-tracker", "Nuke Tracker", "Nuke Tracker File (*.*)", "Nuke Tracker File (*.txt)",
         {}, readNukeTracker, looksLikeNukeTracker, &nukeTrackerWriter, SourceRule::Flip, TargetRule::Flip, ".txt", false, false},
        {"nuke-rotopaint", "Nuke RotoPaint", "Nuke RotoPaint File (*.nk)", "Nuke RotoPaint File (*.nk)",
         {}, nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, nullptr, true, false},
        {"nuke-cameratracker", "Nuke CameraTracker", "Nuke CameraTracker File (*.*)",
         "Nuke CameraTracker File (*.txt)",
         {}, readNukeCameraTracker, looksLikeNukeCameraTracker, &nukeCameraTrackerWriter, SourceRule::Flip, TargetRule::Flip, nullptr, false, false},
        {"shake-track", "Shake Track", "Shake Track File (*.txt)", "Shake Track File (*.txt)",
         {R::Marker, "TrackName", "This is not a Shake File!"},
         nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, ".txt", false, false},
        {"shake-rotoshape", "Shake RotoShape", "Shake RotoShape File (*.ssf)", "Shake RotoShape File (*.ssf)",
         {R::Marker, "shake_shape_data", "This is not a Shake File!"},
         nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, nullptr, true, false},
        {"fusion-track", "Fusion Track", "Fusion Track File (*.dfmo)", "Fusion Track File (*.dfmo)",
         {R::Marker, "DFMO", "This is not a Fusion File!"},
         nullptr, nullptr, nullptr, SourceRule::FusionTrack, TargetRule::FusionTrack, ".dfmo", false, false},
        {"fusion-mask", "Fusion Mask", "Fusion Mask File (*.comp)", "Fusion Mask File (*.comp)",
         {}, nullptr, nullptr, nullptr, SourceRule::FusionMask, TargetRule::FusionMask, nullptr, true, false},
        {"ae-track", "After Effects Track", "After Effects Track File (*.txt)",
         "After Effects Track File (*.txt)",
         {}, nullptr, nullptr, nullptr, SourceRule::None, TargetRule::None, nullptr, false, true},
        {"ae-mask", "After Effects Mask", "After Effects Mask File (*.*)", "After Effects Mask File (*.txt)",
         {}, nullptr, nullptr, nullptr, SourceRule::AfterEffectsMask, TargetRule::AfterEffectsMask, nullptr, true, true},
        {"combustion-track", "Combustion Track", "Combustion Track File (*.ascii)",
         "Combustion Track File (*.ascii)",
         {R::Marker, ":", "This is not a Combustion File!"},
         nullptr, nullptr, nullptr, SourceRule::Flip, TargetRule::Flip, ".ascii", false, false},
        {"combustion-gmask", "Combustion GMask", "Combustion GMask File (*.GMask)",
         "Combustion GMask File (*.GMask)",
         {R::Marker, "GMask", "This is not a Combustion File!"},
         nullptr, nullptr, nullptr, SourceRule::CombustionGMask, TargetRule::Flip, nullptr, true, true},
    };
    // clang-format on
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
         "Select a SynthEyes File", "Save as a SynthEyes File", ":/3d/se16.png", true, ids({"syntheyes"})},
        {"MatchMover/Movimento 2d Track File(*.rz2)", "MatchMover/Movimento 2d Track File(*.rz2)( 2d)",
         "Select a Matchmover/Movimento File", "Save as a Matchmover/Movimento File", ":/3d/mm16.png", true,
         ids({"matchmover"})},
        {"Maya Live 2d Track File(*.txt)", "Maya Live 2d Track File(*.txt)( 2d)",
         "Select a Maya Live File", "Save as a Maya Live File", ":/3d/maya16.png", true, ids({"mayalive"})},
        {"Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)",
         "Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)",
         "Select a Nuke File", "Save as a Nuke File", ":/2d/nuke16.png", false,
         ids({"nuke-rotopaint", "nuke-tracker", "nuke-cameratracker"})},
        {"Shake RotoShape & 2d Track File(*.ssf, *.txt)", "Shake RotoShape & 2d Track File(*.ssf, *.txt)",
         "Select a Shake File", "Save as a Shake File", ":/2d/shake16.png", false,
         ids({"shake-rotoshape", "shake-track"})},
        {"Fusion Mask & 2d Track File(*.comp, *.dfmo)", "Fusion Mask & 2d Track File(*.comp, *.dfmo)",
         "Select a Fusion File", "Save as a Fusion File", ":/2d/fusion16.png", false,
         ids({"fusion-mask", "fusion-track"})},
        {"After Effects Mask & 2d Track File(*.*)", "After Effects Mask & 2d Track File(*.txt)",
         "Select an After Effects File", "Save as an After Effects File", ":/2d/affter16.png", false,
         ids({"ae-mask", "ae-track"})},
        {"Combustion GMask & 2d Track File(*.GMask, *.ascii)", "Combustion GMask & 2d Track File(*.GMask, *.ascii)",
         "Select a Combustion File", "Save as a Combustion File", ":/2d/combustion16.png", false,
         ids({"combustion-gmask", "combustion-track"})},
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

bool Format::matchesFilter(const QString &filter) const
{
    return filter == QLatin1String(importFilter) || filter == QLatin1String(treeExportFilter);
}

const Format *formatById(const QString &id)
{
    for (const Format &f : formats())
        if (id == QLatin1String(f.id)) return &f;
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
    const Format *format = formatForFilter(filter);
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
    QStringList list;
    for (const Format &f : formats())
        list.append(QLatin1String(f.importFilter));
    return list.join(QStringLiteral(";;"));
}

QString importFiltersText(const Program &program)
{
    QStringList list;
    for (int i : program.formats)
        list.append(QLatin1String(formats()[size_t(i)].importFilter));
    return list.join(QStringLiteral(";;"));
}

QString exportFiltersText(const Program &program)
{
    QStringList list;
    for (int i : program.formats)
        list.append(QLatin1String(formats()[size_t(i)].treeExportFilter));
    return list.join(QStringLiteral(";;"));
}

} // namespace corvane
