// SPDX-License-Identifier: Apache-2.0
#include "edit/sort.h"
#include "table/tracktable.h"

#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <numeric>

using namespace corvane;

class TestSort : public QObject
{
    Q_OBJECT

    struct Row
    {
        const char *name;
        int frame;
        double x;
    };

    static TrackTable table(const QList<Row> &rows)
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(int(rows.size()));
        quint16 source = t.internSource(QStringLiteral("3DE v4 Track File (*.txt)"));
        for (int i = 0; i < rows.size(); ++i)
            t.setImportedRow(i, t.internName(QLatin1String(rows[i].name)), rows[i].frame, rows[i].x,
                             i, source);
        return t;
    }

    static QStringList order(const TrackTable &t)
    {
        QStringList out;
        for (int r = 0; r < t.rowCount(); ++r)
            out << t.name(r) + QLatin1Char('/') + t.text(r, FrameColumn);
        return out;
    }

private slots:
    void keys()
    {
        QCOMPARE(sortKey(QStringLiteral("A"), 9), QStringLiteral("A00009"));
        QCOMPARE(sortKey(QStringLiteral("A"), 10), QStringLiteral("A00010"));
        QCOMPARE(sortKey(QStringLiteral("A"), 9999), QStringLiteral("A09999"));
        QCOMPARE(sortKey(QStringLiteral("A"), 123456), QStringLiteral("A123456"));
        QCOMPARE(sortKey(QStringLiteral("A"), -5), QStringLiteral("A0000-5"));
    }

    void bothOrders()
    {
        TrackTable t = table({{"B", 2, 0}, {"A", 10, 0}, {"A", 9, 0}});
        sortRows(t, SortOrder::Ascending);
        QCOMPARE(order(t), QStringList({"A/9", "A/10", "B/2"}));
        sortRows(t, SortOrder::Descending);
        QCOMPARE(order(t), QStringList({"B/2", "A/10", "A/9"}));
    }

    void wholeKeyComparedCharacterByCharacter()
    {
        TrackTable t = table({{"Track1", 5, 0}, {"Track10", 1, 0}, {"Track1", 0, 0}});
        sortRows(t, SortOrder::Ascending);
        QCOMPARE(order(t), QStringList({"Track1/0", "Track10/1", "Track1/5"}));
        t = table({{"A", -50, 0}, {"A", -5, 0}});
        sortRows(t, SortOrder::Ascending);
        QCOMPARE(order(t), QStringList({"A/-5", "A/-50"}));
    }

    // The order is the one of the whole keys, compared as texts, for names
    // that are each other's prefixes or end in digits, frames of any
    // length or sign, formula names, and equal keys in table order: checked
    // on many random rows, in several pieces.
    void orderIsTheKeysOrder()
    {
        const char *names[] = {"T", "T1", "T10", "T100", "T0", "T00001", "U", "Ta", "", "T1\u00e9"};
        const int frames[] = {-50, -5, 0, 1, 9, 10, 99, 100, 9999, 10000, 99999, 100000, 123456};
        std::srand(7);
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        const int rows = 300000;
        t.setRowCount(rows);
        const quint8 source = t.internSource(QStringLiteral("3DE v4 Track File (*.txt)"));
        for (int r = 0; r < rows; ++r)
            t.setImportedRow(r, t.internName(QString::fromUtf8(names[std::rand() % 10])),
                             frames[std::rand() % 13], r, 0, source);
        t.setText(5, NameColumn, QStringLiteral("=\"T1\"")); // a formula's name
        t.removeItem(6, NameColumn);
        for (SortOrder order : {SortOrder::Ascending, SortOrder::Descending}) {
            std::vector<QString> keys;
            for (int r = 0; r < rows; ++r)
                keys.push_back(sortKey(t.name(r), t.frame(r)));
            std::vector<int> expected(static_cast<size_t>(rows));
            std::iota(expected.begin(), expected.end(), 0);
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                const int c = keys[size_t(a)].compare(keys[size_t(b)]);
                return order == SortOrder::Ascending ? c < 0 : c > 0;
            });
            QVERIFY(sortOrder(t, order) == expected);
        }
    }

    void rowsStayWholeAndStable()
    {
        TrackTable t = table({{"B", 1, 123.456789}, {"A", 1, 1.0}, {"A", 1, 2.0}});
        t.setBackground(0, NameColumn, colors::rowMark);
        t.setData(1, XColumn, Qt::WhatsThisRole, QStringLiteral("Nuke Tracker File (*.*)"));
        sortRows(t, SortOrder::Ascending);
        // Equal keys keep their order and their own values.
        QCOMPARE(t.text(0, XColumn), QStringLiteral("1.000000"));
        QCOMPARE(t.text(1, XColumn), QStringLiteral("2.000000"));
        QCOMPARE(t.data(0, XColumn, Qt::WhatsThisRole).toString(),
                 QStringLiteral("Nuke Tracker File (*.*)"));
        // Texts untouched, tips kept, colours back to normal.
        QCOMPARE(t.text(2, XColumn), QStringLiteral("123.456789"));
        QCOMPARE(t.data(2, XColumn, Qt::ToolTipRole).toString(), QStringLiteral("123.457"));
        QCOMPARE(t.data(2, YColumn, Qt::WhatsThisRole).toString(),
                 QStringLiteral("3DE v4 Track File (*.txt)"));
        QVERIFY(!t.isMarked(2));
        QCOMPARE(t.background(2, NameColumn), std::optional<Rgba>(colors::nameCell));
        sortRows(t, SortOrder::Descending);
        QCOMPARE(t.text(1, XColumn), QStringLiteral("1.000000"));
        QCOMPARE(t.text(2, XColumn), QStringLiteral("2.000000"));
    }
};

QTEST_GUILESS_MAIN(TestSort)
#include "tst_sort.moc"
