// SPDX-License-Identifier: Apache-2.0
#include "formats/registry.h"

#include <QTest>

using namespace corvane;

// The registry against the substring tests that select readers, recognition
// rows, conventions and writers, for every filter string the program offers.
class TestRegistry : public QObject
{
    Q_OBJECT

    // The formats the substring tests describe: the first twenty.
    static constexpr size_t specified = 20;

    static bool isSpecified(const QString &filter)
    {
        const Format *f = formatForFilter(filter);
        return f && size_t(f - formats().data()) < specified;
    }

    static QStringList offeredFilters()
    {
        QStringList all = allFiltersText().split(QStringLiteral(";;"));
        for (const Program &p : programs()) {
            all += importFiltersText(p).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
            all += exportFiltersText(p).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        }
        all.removeDuplicates();
        QStringList out;
        for (const QString &filter : all)
            if (isSpecified(filter) || !formatForFilter(filter)) out << filter;
        return out;
    }

    // The recognition table: the first key found in the filter decides.
    static QPair<Recognition::Kind, QString> recognitionBySubstring(const QString &filter)
    {
        const QList<QPair<QString, QString>> rows{{"3DE", ""},
                                                  {"PF", ""},
                                                  {"Boujou", "boujou 2d"},
                                                  {"SynthEyes", ""},
                                                  {"MatchMover/Movimento", "imageSequence"},
                                                  {"Maya Live", "Size"},
                                                  {"Nuke Tracker", ""},
                                                  {"Nuke CameraTracker", ""},
                                                  {"Nuke RotoPaint", ""},
                                                  {"Shake Track", "TrackName"},
                                                  {"Shake RotoShape", "shake_shape_data"},
                                                  {"Fusion Track", "DFMO"},
                                                  {"Fusion Mask", ""},
                                                  {"Combustion Track", ":"},
                                                  {"Combustion GMask", "GMask"},
                                                  {"After", ""}};
        for (const auto &row : rows) {
            if (!filter.contains(row.first)) continue;
            if (row.first == QLatin1String("3DE"))
                return {filter.contains(QLatin1String("v4")) ? Recognition::NoDoubleSlash
                                                             : Recognition::DoubleSlash,
                        {}};
            return {row.second.isEmpty() ? Recognition::Always : Recognition::Marker, row.second};
        }
        return {Recognition::Always, QStringLiteral("none")};
    }

    static SourceRule sourceBySubstring(const QString &s)
    {
        for (const char *key : {"3D", "PF", "Nuke", "Shake", "Combustion Track"})
            if (s.contains(QLatin1String(key))) return SourceRule::Flip;
        const QList<QPair<QString, SourceRule>> rules{
            {"SynthEyes", SourceRule::SynthEyes},
            {"Maya", SourceRule::Maya},
            {"Fusion Track", SourceRule::FusionTrack},
            {"Fusion Mask", SourceRule::FusionMask},
            {"Combustion GMask", SourceRule::CombustionGMask},
            {"After Effects Mask", SourceRule::AfterEffectsMask}};
        for (const auto &r : rules)
            if (s.contains(r.first)) return r.second;
        return SourceRule::None;
    }

    static TargetRule targetBySubstring(const QString &t)
    {
        for (const char *key : {"3D", "PF", "Nuke", "Shake", "Combustion"})
            if (t.contains(QLatin1String(key))) return TargetRule::Flip;
        const QList<QPair<QString, TargetRule>> rules{
            {"SynthEyes", TargetRule::SynthEyes},
            {"Maya", TargetRule::Maya},
            {"Fusion Track", TargetRule::FusionTrack},
            {"Fusion Mask", TargetRule::FusionMask},
            {"After Effects Mask", TargetRule::AfterEffectsMask}};
        for (const auto &r : rules)
            if (t.contains(r.first)) return r.second;
        return TargetRule::None;
    }

    // The export driver's branch tests, in its row order.
    static QStringList writerBranches(const QString &filter)
    {
        QStringList out;
        for (const char *test :
             {"3DE v4", "3DE v3", "PF", "Boujou", "SynthEyes", "MatchMover/Movimento", "Maya",
              "Nuke Track", "Shake Track", "Nuke RotoPaint", "Nuke Camera", "Shake RotoShape",
              "Fusion Track", "Fusion Mask", "After Effects Track", "After Effects Mask",
              "Combustion Track", "Combustion GMask"})
            if (filter.contains(QLatin1String(test))) out << QLatin1String(test);
        return out;
    }

private slots:
    // A name a format holds as it is is told without a copy; every other is
    // written with "_" for each character the format cannot hold.
    void writableNames()
    {
        const QStringList names{QStringLiteral("Track_1"),      QStringLiteral("a b"),
                                QStringLiteral(" a"),           QStringLiteral("a "),
                                QStringLiteral("a\tb"),         QStringLiteral("a\nb"),
                                QStringLiteral("a/b#c"),        QStringLiteral("\u00e9t\u00e9"),
                                QStringLiteral("a\u2028b"),     QStringLiteral("a\u00a0b"),
                                QStringLiteral("a\u3000b"),     QStringLiteral("\u0007"),
                                QStringLiteral("~!\"$%&'()*+"), QString()};
        for (const Format &f : formats())
            for (const QString &name : names)
                QVERIFY2(f.holdsName(name) == (f.writableName(name) == name),
                         qPrintable(QLatin1String(f.id) + QLatin1Char(' ') + name));
        const Format &boujou = *formatById(QStringLiteral("boujou"));
        QCOMPARE(boujou.writableName(QStringLiteral("a b#\tc")), QStringLiteral("a_b__c"));
        const Format &v4 = *formatById(QStringLiteral("3de4"));
        QCOMPARE(v4.writableName(QStringLiteral(" a b\u2028\u00a0")),
                 QStringLiteral("_a b_\u00a0"));
        QCOMPARE(v4.writableName(QString()), QStringLiteral("_"));
    }

    void twentyImportFiltersInMenuOrder()
    {
        QCOMPARE(
            allFiltersText(),
            QStringLiteral("3DE v4 Track File (*.txt);;3DE v3 Track File (*.ascii);;PF 2011 Track "
                           "File (*.txt);;"
                           "PF v5 Track File (*.2dt *.3dt);;PF v4 Track File (*.2dt *.3dt);;Boujou "
                           "Track File (*.txt);;"
                           "SynthEyes Track File (*.txt);;MatchMover/Movimento Track File (*.rz2);;"
                           "Maya Live Track File (*.txt);;Nuke Tracker File (*.*);;Nuke RotoPaint "
                           "File (*.nk);;"
                           "Nuke CameraTracker File (*.*);;Shake Track File (*.txt);;Shake "
                           "RotoShape File (*.ssf);;"
                           "Fusion Track File (*.dfmo);;Fusion Mask File (*.comp);;After Effects "
                           "Track File (*.txt);;"
                           "After Effects Mask File (*.*);;Combustion Track File "
                           "(*.ascii);;Combustion GMask File (*.GMask);;"
                           "Flame/Smoke Stabilizer File (*.stabilizer);;Shake Script File (*.shk);;"
                           "SynthEyes All Tracker Paths File (*.txt);;MatchMover RZML File "
                           "(*.rzml);;Nuke Script File (*.nk);;mmSolver UV Track File (*.uv)"));
        // The scripts and scenes for other programs are written, not read.
        QCOMPARE(formats().size(), size_t(31));
    }

    // Formats that joined later: after the twenty, each in its program's
    // entry, and offered for saving only where Corvane writes them.
    void laterFormatsJoinTheirPrograms()
    {
        const QList<QPair<const char *, const char *>> joined{
            {"flame-stabilizer", "Flame/Smoke 2d Stabilizer File(*.stabilizer)"},
            {"shake-script", "Shake RotoShape & 2d Track File(*.ssf, *.txt)"},
            {"syntheyes-all-paths", "SynthEyes 2d Track File(*.txt)"},
            {"matchmover-rzml", "MatchMover/Movimento 2d Track File(*.rz2)"},
            {"nuke-script", "Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)"}};
        size_t index = specified;
        for (const auto &[id, entry] : joined) {
            const Format *f = formatById(QLatin1String(id));
            QVERIFY2(f, id);
            QCOMPARE(size_t(f - formats().data()), index++);
            const Program *program = programForTreeText(QLatin1String(entry));
            QVERIFY2(program && programOf(*f) == program, id);
            QVERIFY(importFiltersText(*program).contains(QLatin1String(f->importFilter)));
            QCOMPARE(exportFiltersText(*program).contains(QLatin1String(f->treeExportFilter)),
                     f->writer != nullptr);
            QVERIFY(f->read && f->sniff);
        }
        const Program *flame = programOf(*formatById(QStringLiteral("flame-stabilizer")));
        QVERIFY(!flame->cameraTracker);
        QVERIFY(isCompositorFilter(QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)")));
        QCOMPARE(QLatin1String(flame->icon), QLatin1String(":/2d/flame16.png"));
        QVERIFY(formatById(QStringLiteral("flame-stabilizer"))->writer);
        QCOMPARE(formatById(QStringLiteral("flame-stabilizer"))->source, SourceRule::Flip);
        QCOMPARE(formatById(QStringLiteral("shake-script"))->source, SourceRule::Flip);
        const Format *paths = formatById(QStringLiteral("syntheyes-all-paths"));
        QCOMPARE(paths->source, SourceRule::None);
        QCOMPARE(paths->frameBase, FrameBase::FromZero);
        QCOMPARE(formatById(QStringLiteral("matchmover-rzml"))->source, SourceRule::None);
    }

    void programDialogs()
    {
        const Program *nuke = programForTreeText(
            QStringLiteral("Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)"));
        QVERIFY(nuke);
        QCOMPARE(QLatin1String(nuke->importCaption), QLatin1String("Select a Nuke File"));
        QCOMPARE(importFiltersText(*nuke),
                 QStringLiteral("Nuke RotoPaint File (*.nk);;Nuke Tracker File (*.*);;Nuke "
                                "CameraTracker File (*.*);;Nuke Script File (*.nk)"));
        QCOMPARE(exportFiltersText(*nuke),
                 QStringLiteral("Nuke RotoPaint File (*.nk);;Nuke Tracker File (*.txt);;Nuke "
                                "CameraTracker File (*.txt);;Nuke Script File (*.nk)"));
        const Program *pf =
            programForTreeText(QStringLiteral("PFTrack 2d Track File(*.txt, *.2dt, *.3dt)( 2d)"));
        QVERIFY(pf);
        QCOMPARE(
            exportFiltersText(*pf),
            QStringLiteral(
                "PF 2011 Track File (*.txt);;PF v5 Track File (*.2dt);;PF v4 Track File (*.2dt)"));
        QCOMPARE(QLatin1String(pf->exportCaption), QLatin1String("Save as a PF Track File"));
        const Program *ae =
            programForTreeText(QStringLiteral("After Effects Mask & 2d Track File(*.txt)"));
        QVERIFY(ae);
        QCOMPARE(QLatin1String(ae->exportCaption), QLatin1String("Save as an After Effects File"));
        QCOMPARE(exportFiltersText(*ae),
                 QStringLiteral("After Effects Mask File (*.txt);;After Effects Track File "
                                "(*.txt);;After Effects Null Layers Script (*.jsx);;After "
                                "Effects Corner Pin File (*.txt)"));
        QCOMPARE(importFiltersText(*ae), QStringLiteral("After Effects Mask File (*.*);;After "
                                                        "Effects Track File (*.txt)"));
        // The 3D programs that take tracks by script or scene.
        for (const auto &[id, entry] : QList<QPair<const char *, const char *>>{
                 {"maya-ascii", "Maya Scene & mmSolver 2d Track File(*.ma, *.uv)"},
                 {"uvtrack", "Maya Scene & mmSolver 2d Track File(*.ma, *.uv)"},
                 {"max-nulls", "3ds Max Script File(*.ms)"},
                 {"blender-tracks", "Blender Tracks Script File(*.py)"}}) {
            const Program *program = programForTreeText(QLatin1String(entry));
            QVERIFY2(program && program->cameraTracker, id);
            QCOMPARE(programOf(*formatById(QLatin1String(id))), program);
            QVERIFY(exportFiltersText(*program).contains(
                QLatin1String(formatById(QLatin1String(id))->treeExportFilter)));
        }
        QCOMPARE(
            importFiltersText(*programForTreeText(QStringLiteral("3ds Max Script File(*.ms)"))),
            QString());
        QVERIFY(!programForTreeText(QStringLiteral("3D Software Files")));
        int members = 0;
        for (const Program &p : programs())
            members += int(p.formats.size());
        QCOMPARE(members, 31);
    }

    void everyOfferedFilterSelectsWhatTheSubstringTestsSelect()
    {
        const QStringList filters = offeredFilters();
        QCOMPARE(filters.size(), 25); // 20 plus five spellings of the Step 2 tree
        for (const QString &filter : filters) {
            const Format *f = formatForFilter(filter);
            QVERIFY2(f, qPrintable(filter));
            auto expected = recognitionBySubstring(filter);
            QCOMPARE(f->recognition.kind, expected.first);
            if (expected.first == Recognition::Marker)
                QCOMPARE(QLatin1String(f->recognition.marker), expected.second);
            QCOMPARE(f->source, sourceBySubstring(filter));
            QCOMPARE(f->target, targetBySubstring(filter));
            // Exactly one writer branch, and one program group, per filter.
            QStringList branches = writerBranches(filter);
            QVERIFY2(branches.size() == 1,
                     qPrintable(filter + QLatin1String(": ") + branches.join(',')));
            bool compositor = false;
            for (const char *key : {"Nuke", "Shake", "Fusion", "After", "Combustion"})
                compositor |= filter.contains(QLatin1String(key));
            QCOMPARE(isCompositorFilter(filter), compositor);
        }
        QVERIFY(!formatForFilter(QStringLiteral("Select Files:")));
        QCOMPARE(formatForImportFilter(QStringLiteral("Nuke Tracker File (*.txt)")), nullptr);
    }

    void idsAndExtensions()
    {
        QStringList ids;
        for (const Format &f : formats())
            ids << QLatin1String(f.id);
        QCOMPARE(ids, QStringList({"3de4",
                                   "3de3",
                                   "pftrack2011",
                                   "pftrack5",
                                   "pftrack4",
                                   "boujou",
                                   "syntheyes",
                                   "matchmover",
                                   "mayalive",
                                   "nuke-tracker",
                                   "nuke-rotopaint",
                                   "nuke-cameratracker",
                                   "shake-track",
                                   "shake-rotoshape",
                                   "fusion-track",
                                   "fusion-mask",
                                   "ae-track",
                                   "ae-mask",
                                   "combustion-track",
                                   "combustion-gmask",
                                   "flame-stabilizer",
                                   "shake-script",
                                   "syntheyes-all-paths",
                                   "matchmover-rzml",
                                   "nuke-script",
                                   "maya-ascii",
                                   "ae-nulls",
                                   "ae-cornerpin",
                                   "max-nulls",
                                   "blender-tracks",
                                   "uvtrack"}));
        QCOMPARE(formatById(QStringLiteral("pftrack5"))->extensions(), QStringList({"2dt", "3dt"}));
        QCOMPARE(formatById(QStringLiteral("nuke-tracker"))->extensions(),
                 QStringList({"*", "txt"}));
        QVERIFY(!formatById(QStringLiteral("nope")));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
