// SPDX-License-Identifier: Apache-2.0
#include "table/numbers.h"
#include "table/tracktable.h"

#include <QRandomGenerator>
#include <QTest>

#include <cstdlib>
#include <numeric>

#include <cmath>
#include <limits>

using namespace corvane;

class TestTrackTable : public QObject
{
    Q_OBJECT

    static TrackTable importedTable()
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(2);
        quint16 source = t.internSource(QStringLiteral("3DE v4 Track File (*.txt)"));
        t.setImportedRow(0, t.internName(QStringLiteral("Track_0001")), 1, 987.6543, 200.25,
                         source);
        t.setImportedRow(1, t.internName(QStringLiteral("Track_0001")), 2, -0.0000123, 1e7, source);
        return t;
    }

private slots:
    void numberTextsMatchQt_data()
    {
        QTest::addColumn<double>("value");
        for (double v :
             {0.0, 1.0, -1.0, 0.5, 123.456789, 987.6543, 1234.5678, 0.0000123, -0.0000001, 1e7,
              1e15, 1e21, 123456789.123456, 2.5e-9, 100.0, 99999.95, 0.1 + 0.2,
              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
            QTest::newRow(qPrintable(QString::number(v, 'g', 17))) << v;
    }

    void numberTextsMatchQt()
    {
        QFETCH(double, value);
        QCOMPARE(fixed6(value), QString::number(value, 'f', 6));
        QCOMPARE(general6(value), QString::number(value, 'g', 6));
        if (std::isfinite(value)) {
            QCOMPARE(roundFixed6(value), QString::number(value, 'f', 6).toDouble());
        }
    }

    void fastRoundingAgreesWithTheText()
    {
        QRandomGenerator random(11);
        for (int i = 0; i < 200000; ++i) {
            double scale = std::pow(10.0, random.bounded(-7, 8));
            double v = (random.generateDouble() * 2 - 1) * scale;
            if (i % 3 == 0) // values on and next to a 6-decimal tie
                v = std::nextafter((std::floor(v * 1e6) + 0.5) / 1e6, i % 2 ? 1e9 : -1e9);
            QCOMPARE(roundFixed6(v), QString::number(v, 'f', 6).toDouble());
        }
    }

    void importedRowRoles()
    {
        TrackTable t = importedTable();
        QCOMPARE(t.text(0, NameColumn), QStringLiteral("Track_0001"));
        QCOMPARE(t.text(0, FrameColumn), QStringLiteral("1"));
        QCOMPARE(t.text(0, XColumn), QStringLiteral("987.654300"));
        QCOMPARE(t.data(0, YColumn, Qt::DisplayRole).toString(), QStringLiteral("200.250000"));
        for (int c = 0; c < TrackColumnCount; ++c) {
            QCOMPARE(t.data(0, c, Qt::TextAlignmentRole).toInt(), 132);
            QCOMPARE(t.background(0, c),
                     std::optional<Rgba>(c == 0 ? Rgba{65, 77, 88, 127} : Rgba{80, 80, 80, 127}));
        }
        // Coordinates carry the imported value (6 digits), the 6-decimal text and the source.
        QCOMPARE(t.data(0, XColumn, Qt::ToolTipRole).toString(), QStringLiteral("987.654"));
        QCOMPARE(t.data(0, XColumn, Qt::StatusTipRole).toString(), QStringLiteral("987.654300"));
        QCOMPARE(t.data(0, YColumn, Qt::WhatsThisRole).toString(),
                 QStringLiteral("3DE v4 Track File (*.txt)"));
        QCOMPARE(t.data(1, XColumn, Qt::ToolTipRole).toString(), QStringLiteral("-1.23e-05"));
        QCOMPARE(t.data(1, YColumn, Qt::ToolTipRole).toString(), QStringLiteral("1e+07"));
        QCOMPARE(t.importedValue(0, XColumn), 987.6543); // in full, whatever the tip shows
        // Name and frame cells have no tips.
        QVERIFY(!t.data(0, NameColumn, Qt::ToolTipRole).isValid());
        QVERIFY(!t.data(0, FrameColumn, Qt::WhatsThisRole).isValid());
        QCOMPARE(t.frame(1), 2);
        QCOMPARE(t.coordinate(1, XColumn), -0.000012);
    }

    void emptyPositionsHaveNothing()
    {
        TrackTable t;
        QCOMPARE(t.text(0, 0), QString());
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(1);
        QCOMPARE(t.kind(0, 2), CellKind::None);
        QCOMPARE(t.text(0, 2), QString());
        QVERIFY(!t.data(0, 2, Qt::DisplayRole).isValid());
        QVERIFY(!t.background(0, 2));
        QCOMPARE(t.text(5, 9), QString()); // out of range reads as empty
    }

    void editedCellsKeepTheirText()
    {
        TrackTable t = importedTable();
        t.setItemText(0, XColumn, QStringLiteral("12.5"));
        QCOMPARE(t.text(0, XColumn), QStringLiteral("12.5"));
        QCOMPARE(t.coordinate(0, XColumn), 12.5);
        // Before any Apply, a number typed in becomes what Apply starts from.
        QCOMPARE(t.data(0, XColumn, Qt::ToolTipRole).toString(), QStringLiteral("12.5"));
        QCOMPARE(t.importedValue(0, XColumn), 12.5);
        t.setItemText(0, FrameColumn, QStringLiteral("abc"));
        bool ok = true;
        QCOMPARE(t.frame(0, &ok), 0);
        QVERIFY(!ok);
        t.setItemText(0, NameColumn, QStringLiteral("renamed"));
        QCOMPARE(t.name(0), QStringLiteral("renamed"));
        QCOMPARE(t.name(1), QStringLiteral("Track_0001"));
    }

    void otherRolesAreKept()
    {
        TrackTable t = importedTable();
        t.setData(0, NameColumn, Qt::ToolTipRole, QStringLiteral("tip"));
        t.setData(0, XColumn, Qt::ToolTipRole, QStringLiteral("5"));
        t.setData(0, NameColumn, Qt::UserRole + 3, 42);
        QCOMPARE(t.data(0, NameColumn, Qt::ToolTipRole).toString(), QStringLiteral("tip"));
        QCOMPARE(t.importedValue(0, XColumn), 5.0);
        QCOMPARE(t.data(0, NameColumn, Qt::UserRole + 3).toInt(), 42);
        t.setBackground(0, NameColumn, colors::rowMark);
        QVERIFY(t.isMarked(0));
        QVERIFY(!t.isMarked(1));
        t.setBackground(1, FrameColumn, Rgba{1, 2, 3, 4});
        QCOMPARE(t.background(1, FrameColumn), std::optional<Rgba>(Rgba{1, 2, 3, 4}));
    }

    void rowsMoveWhole()
    {
        TrackTable t = importedTable();
        t.setBackground(1, NameColumn, colors::rowMark);
        t.setItemText(1, FrameColumn, QStringLiteral("x"));
        t.permuteRows({1, 0});
        QCOMPARE(t.text(0, FrameColumn), QStringLiteral("x"));
        QVERIFY(t.isMarked(0));
        QCOMPARE(t.data(0, XColumn, Qt::ToolTipRole).toString(), QStringLiteral("-1.23e-05"));
        t.insertRows(1, 2);
        QCOMPARE(t.rowCount(), 4);
        QCOMPARE(t.kind(1, 0), CellKind::None);
        QCOMPARE(t.text(3, FrameColumn), QStringLiteral("1"));
        t.removeRows(0, 3);
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.text(0, XColumn), QStringLiteral("987.654300"));
    }

    // The marked rows are counted as the table changes, without a pass
    // over it; every way rows come and go keeps the count.
    void marksAreCountedAsRowsChange()
    {
        TrackTable t = importedTable();
        t.setRowCount(6);
        for (int r = 2; r < 6; ++r)
            t.setItemText(r, NameColumn, QStringLiteral("T%1").arg(r));
        for (int r : {0, 2, 4, 5})
            t.setBackground(r, NameColumn, colors::rowMark);
        t.setBackground(4, NameColumn, colors::rowMark); // again: still one row
        t.setBackground(1, XColumn, colors::rowMark);    // not the name: no mark
        QCOMPARE(t.markedCount(), 4);
        t.setBackground(2, NameColumn, colors::nameCell);
        t.removeItem(5, NameColumn);
        QCOMPARE(t.markedCount(), 2);
        t.setImportedRow(0, t.internName(QStringLiteral("Again")), 1, 0, 0, 0); // read anew
        QCOMPARE(t.markedCount(), 1);
        t.setBackground(3, NameColumn, colors::rowMark);
        RowBlock taken = t.takeRows({3});
        QCOMPARE(t.markedCount(), 1);
        t.putRows({0}, std::move(taken));
        QCOMPARE(t.markedCount(), 2);
        RowBlock blank = RowBlock::blank(1);
        t.swapRows({0}, blank);
        QCOMPARE(t.markedCount(), 1);
        t.swapRows({0}, blank);
        QCOMPARE(t.markedCount(), 2);
        TrackTable copy = t.clone();
        t.removeRows(0, 1);
        QCOMPARE(t.markedCount(), 1);
        QCOMPARE(copy.markedCount(), 2);
        TrackTable moved = std::move(copy);
        QCOMPARE(moved.markedCount(), 2);
        copy.setColumnCount(TrackColumnCount);
        copy.setRowCount(3); // the moved-from table starts again, without marks
        QCOMPARE(copy.markedCount(), 0);
        moved.setRowCount(1);
        QCOMPARE(moved.markedCount(), 1);
        moved.setColumnCount(0);
        QCOMPARE(moved.markedCount(), 0); // no "Track Name" column, nothing marked
        moved.clear();
        moved.setColumnCount(TrackColumnCount);
        QCOMPARE(moved.markedCount(), 0);
    }

    // Places that do not give each row put back its own: the rows go where
    // a merge down the table puts them (none listed: first; past the end: last).
    void rowsPutWithoutTheirPlaces()
    {
        auto names = [](const TrackTable &t) {
            QStringList out;
            for (int r = 0; r < t.rowCount(); ++r)
                out << t.text(r, NameColumn);
            return out;
        };
        auto table = [] {
            TrackTable t;
            t.setColumnCount(TrackColumnCount);
            t.setRowCount(4);
            for (int r = 0; r < 4; ++r)
                t.setItemText(r, NameColumn, QString(QChar(u'A' + r)));
            return t;
        };
        TrackTable t = table();
        t.putRows({}, t.takeRows({2, 3}));
        QCOMPARE(names(t), QStringList({"C", "D", "A", "B"}));
        t = table();
        t.putRows({9}, t.takeRows({0}));
        QCOMPARE(names(t), QStringList({"B", "C", "D", "A"}));
    }

    // A permutation of many cycles (and rows that stay) puts each row,
    // with its own texts, where the order says.
    void permutationsPutEveryRowInPlace()
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        const int rows = 1000;
        t.setRowCount(rows);
        for (int r = 0; r < rows; ++r)
            t.setItemText(r, NameColumn, QString::number(r));
        std::vector<int> order(static_cast<size_t>(rows));
        std::iota(order.begin(), order.end(), 0);
        std::srand(3);
        for (int i = rows - 1; i > 100; --i) // the first rows stay
            std::swap(order[size_t(i)], order[size_t(100 + std::rand() % (i - 99))]);
        t.permuteRows(order);
        for (int r = 0; r < rows; ++r)
            QCOMPARE(t.text(r, NameColumn), QString::number(order[size_t(r)]));
    }

    void removingOneCoordinateKeepsTheOthersTips()
    {
        TrackTable t = importedTable();
        t.removeItem(0, XColumn);
        QVERIFY(!t.hasItem(0, XColumn));
        QCOMPARE(t.data(0, YColumn, Qt::ToolTipRole).toString(), QStringLiteral("200.25"));
        QCOMPARE(t.data(0, YColumn, Qt::WhatsThisRole).toString(),
                 QStringLiteral("3DE v4 Track File (*.txt)"));
        t.setText(0, XColumn, QStringLiteral("3"));
        QVERIFY(!t.data(0, XColumn, Qt::ToolTipRole).isValid());
    }

    void importedRowsAreCompact()
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(10000);
        quint32 name = t.internName(QStringLiteral("a"));
        for (int r = 0; r < 10000; ++r)
            t.setImportedRow(r, name, r, r, r, 0);
        QVERIFY2(t.memoryUse() / 10000 <= 40, qPrintable(QString::number(t.memoryUse() / 10000)));
        // A converted row keeps its imported and pixel values beside it.
        t.holdPoints();
        for (int r = 0; r < 10000; ++r)
            t.storeConverted(r, r + 0.5, r + 0.25, 2.0 * r, -r, r);
        QVERIFY2(t.memoryUse() / 10000 <= 64, qPrintable(QString::number(t.memoryUse() / 10000)));
        QCOMPARE(t.data(9999, XColumn, Qt::ToolTipRole).toString(), QStringLiteral("9999"));
        QCOMPARE(t.data(9999, XColumn, Qt::StatusTipRole).toString(),
                 QStringLiteral("9999.500000"));
        // Rows taken or removed give back the room they held, once most are gone.
        RowBlock taken = t.takeRows([] {
            std::vector<int> rows;
            for (int r = 0; r < 9000; r += 1)
                rows.push_back(r);
            return rows;
        }());
        QCOMPARE(t.rowCount(), 1000);
        QCOMPARE(t.data(0, XColumn, Qt::StatusTipRole).toString(), QStringLiteral("9000.500000"));
        TrackTable big;
        big.setColumnCount(TrackColumnCount);
        big.setRowCount(300000);
        big.holdPoints();
        big.removeRows(1000, 299000);
        QVERIFY2(big.memoryUse() <= 64 * 1000, qPrintable(QString::number(big.memoryUse())));
    }

    // The imported and pixel values of the first rows an edit or a
    // conversion set apart from their shown values go with their rows
    // through every reordering; the other rows' are their shown values.
    void rowsKeepTheirTipsAsTheyMove()
    {
        auto make = [] {
            TrackTable t;
            t.setColumnCount(TrackColumnCount);
            t.setRowCount(8);
            for (int r = 0; r < 8; ++r)
                t.setImportedRow(r, t.internName(QString::number(r)), r, r + 0.5, -r, 0);
            t.setConverted(1, 101, 7, 1001, 8);
            t.setItemText(5, XColumn, QStringLiteral("55.000000")); // its status tip stays
            return t;
        };
        auto tips = [](const TrackTable &table) {
            QMap<QString, QString> out;
            for (int r = 0; r < table.rowCount(); ++r)
                if (table.hasItem(r, NameColumn))
                    out[table.name(r)] = table.text(r, XColumn) + QLatin1Char('|') +
                                         table.data(r, XColumn, Qt::ToolTipRole).toString() +
                                         QLatin1Char('|') +
                                         table.data(r, XColumn, Qt::StatusTipRole).toString();
            return out;
        };
        auto within = [&](const TrackTable &table, const QMap<QString, QString> &all) {
            const QMap<QString, QString> some = tips(table);
            for (auto it = some.cbegin(); it != some.cend(); ++it)
                if (it.value() != all.value(it.key())) return false;
            return true;
        };
        TrackTable t = make();
        const QMap<QString, QString> before = tips(t);
        QCOMPARE(before.value(QStringLiteral("1")), QStringLiteral("1001.000000|1.5|101.000000"));
        QCOMPARE(before.value(QStringLiteral("5")), QStringLiteral("55.000000|55|5.500000"));
        QCOMPARE(before.value(QStringLiteral("7")), QStringLiteral("7.500000|7.5|7.500000"));

        RowBlock taken = t.takeRows({0, 2, 4, 5, 7});
        QVERIFY(within(t, before));
        RowBlock front = taken.takeFront(2);
        front.append(std::move(taken));
        t.putRows({0, 2, 4, 5, 7}, std::move(front));
        QCOMPARE(tips(t), before);

        TrackTable cut = make();
        cut.removeRows(4, 3);
        QCOMPARE(tips(cut).size(), 5);
        QVERIFY(within(cut, before));
        cut.setRowCount(2);
        QVERIFY(within(cut, before));

        t.permuteRows({7, 5, 3, 1, 0, 2, 4, 6});
        QCOMPARE(tips(t), before);
        t.insertRowsAfter({-1, 2, 6});
        QCOMPARE(tips(t), before);
        RowBlock copied = t.copyRows({1, 10});
        t.swapRows({3, 4}, copied);
        QVERIFY(tips(t) != before);
        t.swapRows({3, 4}, copied);
        QCOMPARE(tips(t), before);
        t.insertRows(0, 3);
        QCOMPARE(tips(t.clone()), before);
    }

    void rowsInsertedAfterRows()
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(3);
        for (int r = 0; r < 3; ++r)
            t.setImportedRow(r, t.internName(QString::number(r)), r, r, r, 0);
        t.setData(1, NameColumn, Qt::ToolTipRole, QStringLiteral("kept"));
        t.insertRowsAfter({-1, 1, 1, 2});
        QCOMPARE(t.rowCount(), 7);
        const QStringList names{QString(), QStringLiteral("0"), QStringLiteral("1"),
                                QString(), QString(),           QStringLiteral("2"),
                                QString()};
        for (int r = 0; r < 7; ++r)
            QCOMPARE(t.name(r), names.at(r));
        QCOMPARE(t.data(2, NameColumn, Qt::ToolTipRole).toString(), QStringLiteral("kept"));
        QVERIFY(!t.hasItem(3, NameColumn));
        t.setRowNote(5, QStringLiteral("made"));
        QCOMPARE(t.data(5, NameColumn, Qt::StatusTipRole).toString(), QStringLiteral("made"));
        QCOMPARE(t.clone().rowNote(5), QStringLiteral("made"));
        t.setData(5, NameColumn, Qt::StatusTipRole, QStringLiteral("own"));
        QCOMPARE(t.data(5, NameColumn, Qt::StatusTipRole).toString(), QStringLiteral("own"));
    }

    void sourcePointsChangeOnlyTheirAxes()
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(2);
        t.setImportedRow(0, t.internName(QStringLiteral("a")), 1, 0.1, 0.2, 0);
        t.setImportedRow(1, t.internName(QStringLiteral("a")), 2, 0.3, 0.4, 0);
        t.setSourcePoint(0, 5.5, 99, 1);
        double x = 0, y = 0;
        QVERIFY(t.sourcePoint(0, &x, &y));
        QCOMPARE(x, 5.5);
        QCOMPARE(y, 0.2);
        QCOMPARE(t.text(0, XColumn), QStringLiteral("5.500000"));
        // A converted row shows its source values again, its other axis too.
        t.setConverted(1, 10, 20, 30, 40);
        t.setData(1, YColumn, Qt::ToolTipRole, QStringLiteral("0.4"));
        t.setSourcePoint(1, 0.3, 7.25, 2);
        QVERIFY(!t.pixelPoint(1, &x, &y));
        QCOMPARE(t.text(1, XColumn), QStringLiteral("0.300000"));
        QCOMPARE(t.importedValue(1, YColumn), 7.25);
        QVERIFY(t.sourcePoint(1, &x, &y));
        QCOMPARE(y, 7.25);
    }
};

QTEST_GUILESS_MAIN(TestTrackTable)
#include "tst_tracktable.moc"
