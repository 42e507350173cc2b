// SPDX-License-Identifier: Apache-2.0
#include "edit/sort.h"
#include "edit/tableedit.h"
#include "settings/apply.h"
#include "settings/conversion.h"
#include "settings/platesettings.h"
#include "table/tracktable.h"

#include <QTest>

using namespace corvane;

// The coordinate conversion and Apply on the track table.
class TestConversion : public QObject
{
    Q_OBJECT

    const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
    const QString nukeTracker = QStringLiteral("Nuke Tracker File (*.txt)");
    const QString synthEyes = QStringLiteral("SynthEyes Track File (*.txt)");

    struct Row
    {
        const char *name;
        int frame;
        double x, y;
    };

    TrackTable table(const QList<Row> &rows, const QString &source)
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(int(rows.size()));
        quint16 s = t.internSource(source);
        for (int i = 0; i < rows.size(); ++i)
            t.setImportedRow(i, t.internName(QLatin1String(rows[i].name)), rows[i].frame, rows[i].x,
                             rows[i].y, s);
        return t;
    }

    ApplyParams params(const QString &target, int predefined = 0)
    {
        ApplyParams p;
        p.plateWidth = 1920;
        p.plateHeight = 1080;
        p.targetFilter = target;
        p.predefinedIndex = predefined;
        p.programConventions = false; // the files' own rules, as Apply gives them
        auto window = predefinedWindow(predefined, QStringLiteral("1920"), QStringLiteral("1080"));
        p.x0 = window->x0.toInt();
        p.x1 = window->x1.toInt();
        p.y0 = window->y0.toInt();
        p.y1 = window->y1.toInt();
        return p;
    }

    static QString text(const TrackTable &t, int r, int c) { return t.text(r, c); }

    // Every cell as the window shows it, with its tips, and the source values.
    static QStringList cells(const TrackTable &t)
    {
        QStringList out;
        for (int r = 0; r < t.rowCount(); ++r) {
            for (int c = 0; c < TrackColumnCount; ++c)
                for (int role :
                     {int(Qt::DisplayRole), int(Qt::ToolTipRole), int(Qt::StatusTipRole)})
                    out << t.data(r, c, role).toString();
            double x = 0, y = 0;
            t.sourcePoint(r, &x, &y);
            out << QString::number(x, 'g', 17) + ' ' + QString::number(y, 'g', 17);
        }
        return out;
    }

private slots:
    // Apply worked out beside the table and put in by one exchange leaves
    // the table as Apply on it does; the exchange again takes it back, also
    // after an earlier Apply, and typing into it afterwards goes back
    // through the same inverse.
    void applyBesideTheTableIsApply()
    {
        TrackTable t = table({{"a", 1, 100, 200}, {"b", 7, 300.123456789, -4}}, v4);
        std::vector<TrackTable> states;
        for (const ApplyParams &p : {params(nukeTracker), params(synthEyes, HalfSize)}) {
            TrackTable whole = t.clone();
            const ApplyResult applied = applySettings(whole, p);
            ApplyResult result;
            TrackTable::ConvertedRows converted;
            const QStringList before = cells(t);
            QVERIFY(applyBeside(t, p, result, converted));
            QCOMPARE(cells(t), before); // beside: the table is as it was
            QCOMPARE(result.notes, applied.notes);
            t.exchangeConverted(converted);
            QCOMPARE(cells(t), cells(whole));
            t.exchangeConverted(converted);
            QCOMPARE(cells(t), before);
            t.exchangeConverted(converted);
            states.push_back(std::move(whole));
        }
        states.back().setText(1, XColumn, QStringLiteral("10"));
        t.setText(1, XColumn, QStringLiteral("10"));
        QCOMPARE(t.importedValue(1, XColumn), states.back().importedValue(1, XColumn));
        // A typed text is a rare attribute: that table takes Apply itself.
        ApplyResult result;
        TrackTable::ConvertedRows converted;
        QVERIFY(!applyBeside(t, params(v4), result, converted));
    }

    // Each row's shown and pixel values and frame, to the bit.
    static QList<QList<double>> bits(const TrackTable &t)
    {
        QList<QList<double>> out;
        for (int r = 0; r < t.rowCount(); ++r) {
            double x = 0, y = 0, px = 0, py = 0;
            t.numericCoordinate(r, XColumn, &x);
            t.numericCoordinate(r, YColumn, &y);
            t.pixelPoint(r, &px, &py);
            out.append({x, y, px, py, double(t.frame(r))});
        }
        return out;
    }

    // Apply into rows as imported, put in a slice at a time, is Apply on
    // the table; undone, the rows are as imported to the bit, and redone,
    // Apply's again, with the inverse of each state for what is typed in.
    void applyToImportedRowsIsApply()
    {
        struct Target : EditTarget
        {
            TrackTable &t;
            explicit Target(TrackTable &table) : t(table) {}
            TrackTable &table() override { return t; }
        };
        TrackTable t = table({{"a", 1, 100, 200},
                              {"b", 7, 300.123456789, -4},
                              {"c", -3, 0.1, 1e-9},
                              {"d", 2, 1919.999999999, 1079.5}},
                             v4);
        t.setRowCount(5); // a row of another source format
        t.setImportedRow(4, t.internName(QStringLiteral("e")), 9, 10.5, 20.25,
                         t.internSource(synthEyes));
        for (int r = 0; r < t.rowCount(); ++r)
            QVERIFY(t.showsImported(r));
        ApplyParams p = params(nukeTracker, HalfSize);
        p.programConventions = true;
        p.importFirst = 1;
        p.exportFirst = 1001;
        TrackTable whole = t.clone();
        const ApplyResult applied = applySettings(whole, p);
        const QStringList before = cells(t);
        const auto beforeBits = bits(t);

        ApplyResult result;
        ImportedConversion conversion;
        QVERIFY(prepareImportedApply(t, p, result, conversion));
        QVERIFY(result.error.isEmpty());
        QCOMPARE(result.notes, applied.notes);
        QCOMPARE(cells(t), before); // prepared beside the table
        conversion.convert(t, 0, 2);
        conversion.convert(t, 2, t.rowCount());
        t.setShownToSource(conversion.inverse);
        QCOMPARE(cells(t), cells(whole));
        QCOMPARE(bits(t), bits(whole));
        QVERIFY(!t.showsImported(0));

        Target target(t);
        ImportedRowsConverted edit(conversion.convert, conversion.frameShift, {});
        edit.toggle(target);
        QCOMPARE(cells(t), before);
        QCOMPARE(bits(t), beforeBits);
        for (int r = 0; r < t.rowCount(); ++r)
            QVERIFY(t.showsImported(r));
        edit.toggle(target);
        QCOMPARE(cells(t), cells(whole));
        QCOMPARE(bits(t), bits(whole));
        // Typed in after the redo, a number goes back through this Apply's inverse.
        whole.setText(1, YColumn, QStringLiteral("10"));
        t.setText(1, YColumn, QStringLiteral("10"));
        QCOMPARE(t.importedValue(1, YColumn), whole.importedValue(1, YColumn));
    }

    // Rows an in-place Apply converted hold nothing beside their own 32
    // bytes, and whatever is done to them next does what it does to rows
    // Apply stored: edits, tips set, track operations, rows taken out and
    // put back (also after the rule changed), a second Apply, and its undo.
    void rowsShownByTheRuleActAsStored()
    {
        QList<Row> rows;
        for (int i = 0; i < 1000; ++i)
            rows.append({i % 2 ? "a" : "b", i, i * 1.37 + 0.1, 1079.9 - i * 0.77});
        TrackTable t = table(rows, v4);
        ApplyParams p = params(nukeTracker, HalfSize);
        p.programConventions = true;
        p.exportFirst = 1001;
        TrackTable whole = t.clone();
        QVERIFY(applySettings(whole, p).error.isEmpty());
        ApplyResult result;
        ImportedConversion conversion;
        QVERIFY(prepareImportedApply(t, p, result, conversion));
        conversion.convert(t, 0, t.rowCount());
        t.setShownToSource(conversion.inverse);
        QVERIFY2(t.memoryUse() <= 32 * 1000, qPrintable(QString::number(t.memoryUse())));
        QCOMPARE(cells(t), cells(whole));
        QCOMPARE(bits(t), bits(whole));
        const TrackTable copy = t.clone();
        QCOMPARE(bits(copy), bits(whole));
        {
            // Rows deleted and put back by undo show by the rule again.
            TrackTable again = copy.clone();
            RowBlock deleted = again.takeRows({1, 998});
            again.putRows({1, 998}, std::move(deleted));
            QCOMPARE(bits(again), bits(whole));
            QVERIFY2(again.memoryUse() <= 32 * 1000,
                     qPrintable(QString::number(again.memoryUse())));
        }

        for (TrackTable *each : {&t, &whole}) {
            each->setText(3, XColumn, QStringLiteral("12.5"));
            each->setData(5, YColumn, Qt::ToolTipRole, QStringLiteral("7"));
            each->setSourcePoint(7, 1.5, 2.5, 1);
            each->removeItem(9, YColumn);
            each->setItemText(11, FrameColumn, QStringLiteral("4"));
        }
        QCOMPARE(cells(t), cells(whole));
        QCOMPARE(bits(t), bits(whole));

        // Taken out, the rows keep what they showed while the table changes around them.
        const std::vector<int> some{0, 2, 500, 999};
        RowBlock copied = t.copyRows(some), copiedWhole = whole.copyRows(some);
        RowBlock taken = t.takeRows(some), takenWhole = whole.takeRows(some);
        QCOMPARE(cells(t), cells(whole));
        t.putRows(some, std::move(taken));
        whole.putRows(some, std::move(takenWhole));
        t.swapRows({20, 21, 22, 23}, copied);
        whole.swapRows({20, 21, 22, 23}, copiedWhole);
        QCOMPARE(cells(t), cells(whole));
        QCOMPARE(bits(t), bits(whole));

        // Rows in a block keep what they showed when the table's rule changes.
        TrackTable u = table(rows.mid(0, 10), v4), uWhole = u.clone();
        QVERIFY(applySettings(uWhole, p).error.isEmpty());
        QVERIFY(prepareImportedApply(u, p, result, conversion));
        conversion.convert(u, 0, u.rowCount());
        RowBlock held = u.takeRows({1, 2});
        u.restoreImported(0, u.rowCount(), conversion.frameShift);
        ImportedConversion other;
        QVERIFY(prepareImportedApply(u, params(synthEyes), result, other));
        other.convert(u, 0, u.rowCount());
        u.restoreImported(0, u.rowCount(), other.frameShift);
        u.putRows({1, 2}, std::move(held));
        constexpr int perRow = 3 * TrackColumnCount + 1;
        QCOMPARE(cells(u).mid(perRow, 2 * perRow), cells(uWhole).mid(perRow, 2 * perRow));

        // A second Apply, beside the table, and back.
        ApplyParams again = params(synthEyes);
        again.exportFirst = 1;
        TrackTable againWhole = whole.clone();
        QVERIFY(applySettings(againWhole, again).error.isEmpty());
        TrackTable::ConvertedRows converted;
        QVERIFY(!applyBeside(t, again, result, converted)); // the edits left rare attributes
        TrackTable plain = copy.clone(), plainWhole = copy.clone();
        QVERIFY(applySettings(plainWhole, again).error.isEmpty());
        QVERIFY(applyBeside(plain, again, result, converted));
        QVERIFY(converted.rows.empty() && converted.rule); // only the rule changes
        const QStringList before = cells(plain);
        plain.exchangeConverted(converted);
        QCOMPARE(cells(plain), cells(plainWhole));
        QCOMPARE(bits(plain), bits(plainWhole));
        QVERIFY(plain.memoryUse() <= 32 * 1000);
        plain.exchangeConverted(converted);
        QCOMPARE(cells(plain), before);
        QCOMPARE(bits(plain), bits(copy));
        // An edit after it stores the second Apply's values.
        plain.exchangeConverted(converted);
        plainWhole.setText(8, YColumn, QStringLiteral("3.25"));
        plain.setText(8, YColumn, QStringLiteral("3.25"));
        QCOMPARE(cells(plain), cells(plainWhole));
    }

    // A table that is written and dropped shows the same converted values,
    // keeping no tips of its imported and pixel values, nor room for them.
    void applyWithoutSourcesShowsTheSame()
    {
        QList<Row> rows;
        for (int i = 0; i < 1000; ++i)
            rows.append({"a", i, i + 0.125, 2.0 * i});
        TrackTable kept = table(rows, v4), dropped = table(rows, v4);
        ApplyParams p = params(nukeTracker);
        p.exportFirst = 7;
        QVERIFY(applySettings(kept, p).error.isEmpty());
        p.keepSources = false;
        QVERIFY(applySettings(dropped, p).error.isEmpty());
        for (int r = 0; r < 1000; ++r)
            for (int c = 0; c < TrackColumnCount; ++c)
                QCOMPARE(dropped.text(r, c), kept.text(r, c));
        double x = 0, y = 0;
        QVERIFY(kept.pixelPoint(3, &x, &y));
        QVERIFY(!dropped.pixelPoint(3, &x, &y));
        QVERIFY(kept.hasImportedValue(3));
        QVERIFY(!dropped.hasImportedValue(3));
        QVERIFY(!dropped.data(3, XColumn, Qt::StatusTipRole).isValid());
        QVERIFY2(dropped.memoryUse() <= 40 * 1000,
                 qPrintable(QString::number(dropped.memoryUse())));
    }

    // Only a table whose every row is as imported takes Apply in slices;
    // a refusal is told as Apply tells it, with nothing to put in.
    void applyToImportedDeclinesOrRefuses()
    {
        ApplyResult result;
        ImportedConversion conversion;
        TrackTable applied = table({{"a", 1, 100, 200}, {"b", 2, 1, 2}}, v4);
        applySettings(applied, params(nukeTracker));
        QVERIFY(!prepareImportedApply(applied, params(v4), result, conversion));
        TrackTable typed = table({{"a", 1, 100, 200}, {"b", 2, 1, 2}}, v4);
        typed.setItemText(1, XColumn, QStringLiteral("5"));
        QVERIFY(!typed.showsImported(1));
        QVERIFY(!prepareImportedApply(typed, params(nukeTracker), result, conversion));
        TrackTable moved = table({{"a", 1, 100, 200}}, v4);
        moved.setSourcePoint(0, 3, 4, 3); // a track operation's new source point
        QVERIFY(moved.showsImported(0));
        TrackTable formula = table({{"a", 1, 100, 200}}, v4);
        formula.setText(0, XColumn, QStringLiteral("=1+1"));
        QVERIFY(!prepareImportedApply(formula, params(nukeTracker), result, conversion));
        TrackTable shapes = table({{"Track_1", 1, 1, 2}, {"S01_Track_1", 1, 3, 4}}, v4);
        QVERIFY(!prepareImportedApply(
            shapes, params(QStringLiteral("Shake RotoShape File (*.ssf)")), result, conversion));
        TrackTable huge = table({{"a", 1, 1e308, 200}}, v4);
        ApplyParams p = params(nukeTracker);
        p.pixelAspect = 10;
        QVERIFY(prepareImportedApply(huge, p, result, conversion));
        QCOMPARE(result.valueRow, 0);
        QVERIFY(!conversion.convert);
        std::atomic<bool> cancel{true};
        ApplyResult cancelled;
        QVERIFY(!prepareImportedApply(table({{"a", 1, 1, 2}}, v4), params(nukeTracker), cancelled,
                                      conversion, &cancel));
    }

    // What only Apply on the table itself does, it declines; a refusal is
    // told as Apply tells it, and changes nothing.
    void applyBesideDeclinesOrRefuses()
    {
        ApplyResult result;
        TrackTable::ConvertedRows converted;
        TrackTable typed = table({{"a", 1, 100, 200}}, v4);
        typed.insertRows(1, 1);
        for (int c = 0; c < TrackColumnCount; ++c)
            typed.setItemText(1, c, QStringLiteral("1"));
        QVERIFY(!applyBeside(typed, params(nukeTracker), result, converted));
        TrackTable formula = table({{"a", 1, 100, 200}}, v4);
        formula.setText(0, XColumn, QStringLiteral("=1+1"));
        QVERIFY(!applyBeside(formula, params(nukeTracker), result, converted));
        TrackTable shapes = table({{"Track_1", 1, 1, 2}, {"S01_Track_1", 1, 3, 4}}, v4);
        QVERIFY(!applyBeside(shapes, params(QStringLiteral("Shake RotoShape File (*.ssf)")), result,
                             converted));
        TrackTable huge = table({{"a", 1, 1e308, 200}}, v4);
        ApplyParams p = params(nukeTracker);
        p.pixelAspect = 10;
        QVERIFY(applyBeside(huge, p, result, converted));
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(result.valueRow, 0);
        QVERIFY(converted.rows.empty());
        std::atomic<bool> cancel{true};
        ApplyResult cancelled;
        QVERIFY(!applyBeside(table({{"a", 1, 1, 2}}, v4), params(nukeTracker), cancelled, converted,
                             &cancel));
    }

    void threeDEToNukeAndSynthEyes()
    {
        TrackTable t = table({{"a", 1, 100, 200}}, v4);
        QVERIFY(applySettings(t, params(nukeTracker)).error.isEmpty());
        QCOMPARE(text(t, 0, 2), QStringLiteral("100.000000"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("200.000000"));
        QCOMPARE(t.data(0, 3, Qt::StatusTipRole).toString(),
                 QStringLiteral("880.000000")); // pixels from the top
        applySettings(t, params(synthEyes));
        QCOMPARE(text(t, 0, 2), QStringLiteral("-0.895833"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("0.629630"));
        // The imported values stay where Apply starts from.
        QCOMPARE(t.data(0, 2, Qt::ToolTipRole).toString(), QStringLiteral("100"));
    }

    void predefinedWindows()
    {
        TrackTable t = table({{"a", 1, 100, 200}}, v4);
        applySettings(t, params(synthEyes, Normalized));
        QCOMPARE(text(t, 0, 2), QStringLiteral("0.052083"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("0.814815"));
        t = table({{"a", 1, 960, 540}}, v4);
        applySettings(t, params(nukeTracker, CenterOrigin));
        QCOMPARE(text(t, 0, 2), QStringLiteral("0.000000"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("0.000000"));
        t = table({{"a", 1, 5, 980}}, v4); // intermediate Y 100
        applySettings(t, params(nukeTracker, BottomLeft));
        QCOMPARE(text(t, 0, 3), QStringLiteral("980.000000"));
        t = table({{"a", 1, 100, 200}}, v4);
        applySettings(t, params(nukeTracker, HalfSize));
        QCOMPARE(text(t, 0, 2), QStringLiteral("50.000000"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("440.000000"));
    }

    // A number typed in before Apply is the source; one typed in after Apply
    // is in the convention shown, and the next Apply keeps it or converts it
    // like its neighbours.
    void editsSurviveApply()
    {
        TrackTable t = table({{"a", 1, 100, 200}, {"b", 1, 300, 400}}, v4);
        t.setItemText(0, XColumn, QStringLiteral("12.3456789"));
        applySettings(t, params(nukeTracker));
        QCOMPARE(t.coordinate(0, XColumn), 12.345679); // shown with 6 decimals
        QCOMPARE(t.importedValue(0, XColumn), 12.3456789);

        t.setItemText(1, YColumn, QStringLiteral("500.000000")); // b's Y, as Nuke shows it
        applySettings(t, params(nukeTracker));
        QCOMPARE(text(t, 1, YColumn), QStringLiteral("500.000000"));
        QCOMPARE(text(t, 1, XColumn), QStringLiteral("300.000000"));
        applySettings(t, params(synthEyes, HalfSize)); // half size, pixels from the top-left
        QCOMPARE(text(t, 1, YColumn), QStringLiteral("290.000000")); // 1080 - 500, halved
        QCOMPARE(text(t, 0, YColumn),
                 QStringLiteral("440.000000")); // a neighbour: 1080 - 200, halved
        t.setItemText(1, XColumn, QStringLiteral("10"));
        applySettings(t, params(synthEyes, HalfSize));
        QCOMPARE(text(t, 1, XColumn), QStringLiteral("10.000000"));
        applySettings(t, params(v4));
        QCOMPARE(text(t, 1, XColumn), QStringLiteral("20.000000"));
        QCOMPARE(text(t, 1, YColumn), QStringLiteral("500.000000"));
    }

    // Every conversion comes back through its inverse.
    void inversesUndoTheRules()
    {
        const Plate plate{1920, 1080};
        const Point p{123.456789, -987.654321};
        auto near = [](Point a, Point b) {
            return qAbs(a.x - b.x) < 1e-9 && qAbs(a.y - b.y) < 1e-9;
        };
        // Every rule of the table, both ways, and the calls that look rules up.
        for (const CoordinateRule *rule = coordinateRulesBegin(); rule != coordinateRulesEnd();
             ++rule) {
            QVERIFY2(near(rule->pixelsToSource(rule->sourceToPixels(p, plate), plate), p),
                     rule->name);
            QVERIFY(near(
                fromIntermediate(rule->source, toIntermediate(rule->source, p, plate), plate), p));
            if (!rule->writes) continue;
            QVERIFY2(near(rule->targetToPixels(rule->pixelsToTarget(p, plate), plate), p),
                     rule->name);
            QVERIFY(near(fromTarget(rule->target, toTarget(rule->target, p, plate), plate), p));
            // A format read and written by one rule lands where it started.
            QVERIFY2(near(rule->pixelsToTarget(rule->sourceToPixels(p, plate), plate), p),
                     rule->name);
        }
        for (Window w : {Window{0, 960, 0, 540}, Window{0, 1920, 1080, 0}, Window{-1, 1, -1, 1}})
            QVERIFY(near(fromWindow(toWindow(p, plate, w), plate, w), p));
        // And with the programs' pixel centres, on a plate of one pixel too.
        for (Plate on : {plate, Plate{1, 1}})
            for (PixelCentres centres : {PixelCentres::Edge, PixelCentres::FirstPixelCentre,
                                         PixelCentres::EdgePixelCentres}) {
                const SourceConvention source{SourceRule::SynthEyes, centres};
                const TargetConvention target{TargetRule::Flip, centres};
                QVERIFY(near(pixelsToSource(source, sourceToPixels(source, p, on), on), p));
                QVERIFY(near(targetToPixels(target, pixelsToTarget(target, p, on), on), p));
            }
    }

    // Program conventions: PFTrack's 0 is the lower-left pixel's centre,
    // SynthEyes' -1 and +1 are the edge pixels' centres.
    void pixelCentres()
    {
        const Plate plate{720, 576};
        const SourceConvention pf{SourceRule::Flip, PixelCentres::FirstPixelCentre};
        Point mid = sourceToPixels(pf, {0, 0}, plate);
        QCOMPARE(mid.x, 0.5);
        QCOMPARE(mid.y, 575.5); // from the top
        const SourceConvention se{SourceRule::SynthEyes, PixelCentres::EdgePixelCentres};
        mid = sourceToPixels(se, {-1, 1}, plate);
        QCOMPARE(mid.x, 0.5);
        QCOMPARE(mid.y, 575.5);
        mid = sourceToPixels(se, {1, -1}, plate);
        QCOMPARE(mid.x, 719.5);
        QCOMPARE(mid.y, 0.5);
        const TargetConvention seTarget{TargetRule::SynthEyes, PixelCentres::EdgePixelCentres};
        Point out = pixelsToTarget(seTarget, {0, 576}, plate); // the raster's corner
        QVERIFY(qAbs(out.x - (-1 - 1.0 / 719)) < 1e-12);
        QVERIFY(qAbs(out.y - (1 + 1.0 / 575)) < 1e-12);
        // Off, the files' own rules: -1 and +1 are the raster's edges.
        QCOMPARE(sourceConventionOf(QStringLiteral("SynthEyes Track File (*.txt)"), false).centres,
                 PixelCentres::Edge);
        QCOMPARE(sourceConventionOf(QStringLiteral("PF v5 Track File (*.2dt *.3dt)"), true).centres,
                 PixelCentres::FirstPixelCentre);
    }

    void pixelAspectAndShortenedImport()
    {
        TrackTable t =
            table({{"a", 1, 987.6543, 200}}, QStringLiteral("Boujou Track File (*.txt)"));
        ApplyParams p = params(QStringLiteral("Boujou Track File (*.txt)"));
        p.pixelAspect = 2.0;
        applySettings(t, p);
        QCOMPARE(text(t, 0, 2), QStringLiteral("1975.308600")); // 987.6543 doubled, in full
    }

    void frameShiftIsIdempotent()
    {
        TrackTable t = table({{"a", 101, 1, 1}, {"a", 150, 1, 1}}, v4);
        ApplyParams p = params(nukeTracker);
        p.exportFirst = 1;
        p.importFirst = 101;
        applySettings(t, p);
        QCOMPARE(text(t, 0, 1), QStringLiteral("1"));
        QCOMPARE(text(t, 1, 1), QStringLiteral("50"));
        p.importFirst = 1; // the window moves its record along after each Apply
        applySettings(t, p);
        QCOMPARE(text(t, 1, 1), QStringLiteral("50"));
    }

    void shapeNamesAndOrdering()
    {
        const QString roto = QStringLiteral("Nuke RotoPaint File (*.nk)");
        TrackTable t = table({{"Track1", 1, 1, 1}, {"Shape01_Track_1", 1, 2, 2}}, v4);
        ApplyResult r = applySettings(t, params(roto));
        QVERIFY(r.sorted);
        QVERIFY(!r.shapeNameProblem);
        QCOMPARE(t.name(0), QStringLiteral("Shape01_Track_1"));
        t = table({{"Shape01_Track_1", 1, 2, 2}, {"Track1", 1, 1, 1}}, v4);
        r = applySettings(t, params(roto));
        QVERIFY(!r.sorted);
        QCOMPARE(t.name(0), QStringLiteral("Shape01_Track_1"));
        t = table({{"Shape01", 1, 2, 2}}, v4);
        r = applySettings(t, params(roto));
        QVERIFY(r.shapeNameProblem);
        QCOMPARE(text(t, 0, 3), QStringLiteral("2.000000")); // converted all the same
        // A camera-tracker target checks nothing.
        t = table({{"Track1", 1, 1, 1}, {"Shape01", 1, 2, 2}}, v4);
        r = applySettings(t, params(v4));
        QVERIFY(!r.sorted && !r.shapeNameProblem);
    }

    void plateMustBePositive()
    {
        TrackTable t = table({{"a", 1, 100, 200}}, v4);
        ApplyParams p = params(synthEyes);
        p.plateHeight = 0;
        ApplyResult r = applySettings(t, p);
        QCOMPARE(r.error, QStringLiteral("Plate resolution must be greater than zero!"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("200.000000"));
    }

    void rowsWithoutImportTakeTheirShownValues()
    {
        TrackTable t;
        t.setColumnCount(4);
        t.setRowCount(1);
        t.setItemText(0, 0, QStringLiteral("typed"));
        t.setItemText(0, 1, QStringLiteral("3"));
        t.setItemText(0, 2, QStringLiteral("10.5"));
        t.setItemText(0, 3, QStringLiteral("20"));
        applySettings(t, params(nukeTracker)); // no source convention: pixels as typed
        QCOMPARE(text(t, 0, 3), QStringLiteral("1060.000000"));
        QCOMPARE(t.data(0, 2, Qt::ToolTipRole).toString(), QStringLiteral("10.5"));
    }

    // Every convention to pixels and back gives the imported values.
    void roundTripThroughEveryConvention_data()
    {
        QTest::addColumn<QString>("filter");
        for (const Format &f : formats())
            QTest::newRow(f.id) << QString::fromLatin1(f.importFilter);
    }

    void roundTripThroughEveryConvention()
    {
        QFETCH(QString, filter);
        const Plate plate{1920, 1080};
        const Format *f = formatForFilter(filter);
        QVERIFY(f);
        for (Point p : {Point{0.25, -0.5}, Point{123.456, 789.012}, Point{-3, 1500}}) {
            Point back = toTarget(f->target, toIntermediate(f->source, p, plate), plate);
            if (f->source ==
                SourceRule::CombustionGMask) // its writer moves the origin to the centre
                back = {back.x - 960, back.y - 540};
            QVERIFY2(
                qAbs(back.x - p.x) < 1e-6 && qAbs(back.y - p.y) < 1e-6,
                qPrintable(
                    QStringLiteral("%1,%2 -> %3,%4").arg(p.x).arg(p.y).arg(back.x).arg(back.y)));
        }
    }

    void mayaLiveToMayaLiveKeepsValues()
    {
        const QString maya = QStringLiteral("Maya Live Track File (*.txt)");
        TrackTable t = table({{"a", 1, 0.25, -0.5}}, maya);
        applySettings(t, params(maya));
        QCOMPARE(text(t, 0, 2), QStringLiteral("0.250000"));
        QCOMPARE(text(t, 0, 3), QStringLiteral("-0.500000"));
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
