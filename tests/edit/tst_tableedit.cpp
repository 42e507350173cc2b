// SPDX-License-Identifier: Apache-2.0
#include "edit/celledits.h"
#include "edit/groups.h"
#include "edit/rowedits.h"
#include "testdata.h"

#include <QTest>

#include <cstdlib>

using namespace corvane;

// A plain table as an edit target.
struct Target : EditTarget
{
    TrackTable t;
    TrackTable &table() override { return t; }
};

class TestTableEdit : public QObject
{
    Q_OBJECT

    // Rows A0, A1, ... with a formula cell, a tip of its own and a mark
    // among them, so that exactness is checked on more than plain rows.
    static void fill(Target &target, int rows)
    {
        QList<TestRow> list;
        for (int i = 0; i < rows; ++i)
            list.append({QStringLiteral("T%1").arg(i / 3), i, i + 0.1234567, -i - 0.5});
        target.t = importedTable(list);
        target.t.internSource(QStringLiteral("3DE v4 Track File (*.txt)"));
        if (rows > 4) {
            target.t.removeItem(1, XColumn);
            target.t.setText(1, XColumn, QStringLiteral("=sum(1,2)"));
            target.t.setData(2, NameColumn, Qt::ToolTipRole, QStringLiteral("tip"));
            target.t.setBackground(3, FrameColumn, colors::rowMark);
        }
    }

    // Every attribute of every cell, as text.
    static QStringList state(const TrackTable &t)
    {
        QStringList out;
        for (int r = 0; r < t.rowCount(); ++r) {
            QString line;
            for (int c = 0; c < t.columnCount(); ++c) {
                for (int role : {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole, Qt::StatusTipRole,
                                 Qt::WhatsThisRole, Qt::TextAlignmentRole})
                    line += t.data(r, c, role).toString() + QLatin1Char('|');
                auto bg = t.background(r, c);
                line += bg ? QString::number(bg->r) : QStringLiteral("-");
                line += QString::number(int(t.kind(r, c))) + QLatin1Char(';');
                if (c >= XColumn && t.hasImportedValue(r))
                    line += QString::number(t.importedValue(r, c), 'g', 17);
            }
            out << line;
        }
        return out;
    }

    // The count the table keeps as its rows change is the count of its marked rows.
    static bool marksCounted(const TrackTable &t)
    {
        int marked = 0;
        for (int r = 0; r < t.rowCount(); ++r)
            marked += t.isMarked(r);
        return t.markedCount() == marked;
    }

    // Undoes and redoes the edit, checking both states exactly.
    static void checkToggles(Target &target, TableEdit &edit, const QStringList &before)
    {
        const QStringList after = state(target.t);
        edit.toggle(target);
        QCOMPARE(state(target.t), before);
        edit.toggle(target);
        QCOMPARE(state(target.t), after);
    }

    // Undoing the whole history gives back the first table, redoing it the last.
    static void checkHistory(Target &target, std::vector<EditPtr> &history,
                             const QStringList &start)
    {
        const QStringList end = state(target.t);
        for (auto it = history.rbegin(); it != history.rend(); ++it) {
            (*it)->toggle(target);
            QVERIFY(marksCounted(target.t));
        }
        QCOMPARE(state(target.t), start);
        for (auto &edit : history) {
            edit->toggle(target);
            QVERIFY(marksCounted(target.t));
        }
        QCOMPARE(state(target.t), end);
    }

    static QStringList names(const TrackTable &t)
    {
        QStringList out;
        for (int r = 0; r < t.rowCount(); ++r)
            out << t.text(r, FrameColumn);
        return out;
    }

private slots:
    void copyAndPaste()
    {
        Target target;
        fill(target, 12);
        QCOMPARE(copyText(target.t, {0, 1, 1, 3}), QStringLiteral("0\t0.123457\t-0.500000\n"
                                                                  "1\t=sum(1,2)\t-1.500000"));
        QCOMPARE(copyText(target.t, CellRange()), QString());

        const QStringList before = state(target.t);
        // A block of any size at a single cell; one final line feed (and CR LF
        // line ends) do not add a row.
        PasteResult pasted = pasteText(target, {5, 1, 5, 1}, QStringLiteral("7\t8\r\n9\t10\n"));
        QVERIFY(pasted.error.isEmpty());
        QCOMPARE(target.t.text(5, 1), QStringLiteral("7"));
        QCOMPARE(target.t.text(6, 2), QStringLiteral("10"));
        QCOMPARE(target.t.text(7, 1), QStringLiteral("7"));
        checkToggles(target, *pasted.edit, before);

        // A range must match the block; an empty selection never does.
        QVERIFY(pasteText(target, {0, 0, 2, 0}, QStringLiteral("a\nb\n")).error ==
                QLatin1String(pasteShapeMessage));
        QVERIFY(!pasteText(target, {0, 0, 1, 0}, QStringLiteral("a\nb\n")).error.size());
        QVERIFY(!pasteText(target, CellRange(), QStringLiteral("a")).error.isEmpty());

        // Cells past the end of the table are counted, not written.
        pasted = pasteText(target, {11, 3, 11, 3}, QStringLiteral("1\t2\n3\t4"));
        QCOMPARE(pasted.outside, 3);
        QCOMPARE(target.t.rowCount(), 12);
    }

    void pasteReachesEveryRow()
    {
        Target target;
        fill(target, 12000);
        PasteResult pasted = pasteText(target, {11998, 0, 11998, 0}, QStringLiteral("x\ny"));
        QCOMPARE(target.t.text(11999, 0), QStringLiteral("y"));
        QCOMPARE(pasted.outside, 0);
    }

    void clearRenameAndMark()
    {
        Target target;
        fill(target, 6);
        QStringList before = state(target.t);
        EditPtr edit = setCellsText(target, {{2, 0, 2, 3}}, QString());
        QVERIFY(target.t.isBlank(2, XColumn));
        QCOMPARE(target.t.data(2, NameColumn, Qt::ToolTipRole).toString(), QStringLiteral("tip"));
        QVERIFY(target.t.background(2, FrameColumn).has_value());
        checkToggles(target, *edit, before);

        before = state(target.t);
        edit = setCellsText(target, {{0, 0, 1, 0}, {4, 1, 4, 1}}, QStringLiteral("12"));
        QCOMPARE(target.t.name(1), QStringLiteral("12"));
        QCOMPARE(target.t.text(4, FrameColumn), QStringLiteral("12"));
        checkToggles(target, *edit, before);

        before = state(target.t);
        edit = markRows(target, {1, 4}, true);
        QVERIFY(target.t.isMarked(1) && target.t.isMarked(4) && !target.t.isMarked(2));
        EditPtr unmark = markRows(target, {4}, false);
        QVERIFY(!target.t.isMarked(4));
        unmark->toggle(target);
        checkToggles(target, *edit, before);
    }

    void deleteExactlyTheSelectedRows()
    {
        Target target;
        fill(target, 8);
        const QStringList before = state(target.t);
        EditPtr edit = deleteRows(target, selectedRows({{2, 1, 2, 1}, {5, 0, 5, 0}}, 8));
        QCOMPARE(names(target.t), QStringList({"0", "1", "3", "4", "6", "7"}));
        checkToggles(target, *edit, before);
        QVERIFY(!deleteRows(target, {}));
    }

    void addRows()
    {
        Target target;
        fill(target, 10);
        const QStringList before = state(target.t);
        EditPtr edit = corvane::addRows(target, 3);
        QCOMPARE(target.t.rowCount(), 13);
        QCOMPARE(target.t.data(12, NameColumn, Qt::StatusTipRole).toString(),
                 QStringLiteral("Empty"));
        QCOMPARE(target.t.sourceFormat(10), QStringLiteral("Boujou"));
        QCOMPARE(target.t.data(11, FrameColumn, Qt::TextAlignmentRole).toInt(), 132);
        QVERIFY(target.t.isBlank(11, NameColumn) && target.t.hasItem(11, YColumn));
        checkToggles(target, *edit, before);

        QVERIFY(!corvane::addRows(target, -14));
        QVERIFY(!corvane::addRows(target, 0));
        edit = corvane::addRows(target, -4);
        QCOMPARE(target.t.rowCount(), 9);
    }

    void moves_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("move");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("order"); // the frames afterwards, first rows
        const int first = int(RowMove::First), up = int(RowMove::Up), down = int(RowMove::Down),
                  last = int(RowMove::Last), to = int(RowMove::ToLine);
        QTest::newRow("up block") << QList<int>{4, 5, 6} << up << 0 << "0 1 2 4 5 6 3 7 8 9";
        QTest::newRow("up at top") << QList<int>{0, 1} << up << 0 << "";
        QTest::newRow("down at bottom") << QList<int>{9} << down << 0 << "";
        QTest::newRow("down gaps") << QList<int>{2, 5} << down << 0 << "0 1 3 2 4 6 5 7 8 9";
        QTest::newRow("first gaps") << QList<int>{2, 5} << first << 0 << "2 5 0 1 3 4 6 7 8 9";
        QTest::newRow("last") << QList<int>{0, 1} << last << 0 << "2 3 4 5 6 7 8 9 0 1";
        QTest::newRow("line 1") << QList<int>{7, 8, 9} << to << 1 << "7 8 9 0 1 2 3 4 5 6";
        QTest::newRow("line past end") << QList<int>{1, 2, 3} << to << 100 << "0 4 5 6 7 8 9 1 2 3";
        QTest::newRow("line 9") << QList<int>{1, 2, 3} << to << 9 << "0 4 5 6 7 8 9 1 2 3";
        QTest::newRow("line 3") << QList<int>{6} << to << 3 << "0 1 6 2 3 4 5 7 8 9";
    }

    void moves()
    {
        QFETCH(QList<int>, rows);
        QFETCH(int, move);
        QFETCH(int, line);
        QFETCH(QString, order);
        Target target;
        fill(target, 10);
        const QStringList before = state(target.t);
        EditPtr edit =
            moveRows(target, std::vector<int>(rows.begin(), rows.end()), RowMove(move), line);
        if (order.isEmpty()) {
            QVERIFY(!edit);
            return;
        }
        QCOMPARE(names(target.t).join(QLatin1Char(' ')), order);
        // Rows move whole: the formula of row 1 and the mark of row 3 go with them.
        for (int r = 0; r < 10; ++r) {
            const int was = target.t.text(r, FrameColumn).toInt();
            QCOMPARE(state(target.t).at(r), before.at(was));
        }
        checkToggles(target, *edit, before);
    }

    void groups()
    {
        Target target;
        fill(target, 7); // T0 rows 0-2, T1 rows 3-5, T2 row 6
        Group g = selectGroup(target.t, 4, GroupKind::Frames);
        QCOMPARE(g.rows, std::vector<int>({3, 4, 5}));
        QCOMPARE(g.copyText, QStringLiteral("3\n4\n5\n"));
        g = selectGroup(target.t, 6, GroupKind::Coordinates);
        QCOMPARE(g.copyText, QStringLiteral("6.123457\t-6.500000\n"));
        QCOMPARE(g.firstColumn, int(XColumn));
        g = selectGroup(target.t, 6, GroupKind::Rows);
        QCOMPARE(g.copyText, QStringLiteral("T2\t6\t6.123457\t-6.500000\n"));

        // A shape covers its first to last vertex row, other rows between included.
        target.t.setItemText(1, NameColumn, QStringLiteral("S01_Track_1"));
        target.t.setItemText(4, NameColumn, QStringLiteral("S01_Track_2"));
        target.t.setItemText(5, NameColumn, QStringLiteral("S02_Track_1"));
        g = selectGroup(target.t, 4, GroupKind::Shape);
        QCOMPARE(g.rows, std::vector<int>({1, 2, 3, 4}));
        QCOMPARE(g.currentRow, 1);
        QCOMPARE(g.scrollRow, 4);
        g = selectGroup(target.t, 0, GroupKind::Shape); // "T0" is no shape
        QVERIFY(g.rows.empty() && g.copyText.isEmpty());
        QCOMPARE(g.currentRow, -1);
    }

    // Random runs of every kind of edit: undoing all gives back the first
    // table exactly, redoing all the last.
    void randomHistories()
    {
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::srand(seed);
            Target target;
            fill(target, 12);
            // The first rows converted: their tips go apart from their values.
            for (int r = 0; r < int(seed % 7); ++r)
                target.t.setConverted(r, r + 100.25, r + 0.5, 2.0 * r - 7, -3.0 * r);
            const QStringList start = state(target.t);
            std::vector<EditPtr> history;
            for (int step = 0; step < 12; ++step) {
                const int n = target.t.rowCount();
                auto pick = [&] { return n > 0 ? std::rand() % n : 0; };
                std::vector<int> rows;
                for (int r = 0; r < n; ++r)
                    if (std::rand() % 3 == 0) rows.push_back(r);
                EditPtr edit;
                switch (std::rand() % 7) {
                case 6:
                    edit = setCellsText(target, {{pick(), XColumn, pick(), YColumn}},
                                        QStringLiteral("12.500000"));
                    break;
                case 0:
                    edit = pasteText(target, {pick(), std::rand() % 4, 0, 0},
                                     QStringLiteral("p\t=1+2\n7\t8"))
                               .edit;
                    break;
                case 1:
                    edit = deleteRows(target, rows);
                    break;
                case 2:
                    edit = corvane::addRows(target, std::rand() % 5 - 2);
                    break;
                case 3:
                    edit = moveRows(target, rows, RowMove(std::rand() % 5), pick() + 1);
                    break;
                case 4:
                    edit = markRows(target, rows, std::rand() % 2);
                    break;
                default:
                    edit = setCellsText(target, {{pick(), 0, pick(), 3}}, QStringLiteral("x"));
                }
                if (edit) history.push_back(std::move(edit));
                QVERIFY(marksCounted(target.t));
            }
            checkHistory(target, history, start);
        }
    }

    // A run of edits undone in reverse order gives back the first table.
    void undoHistory()
    {
        Target target;
        fill(target, 9);
        const QStringList start = state(target.t);
        std::vector<EditPtr> history;
        history.push_back(deleteRows(target, {0, 4, 8}));
        history.push_back(moveRows(target, {1, 2}, RowMove::Last));
        history.push_back(corvane::addRows(target, 2));
        history.push_back(pasteText(target, {0, 0, 0, 0}, QStringLiteral("a\tb\nc\td")).edit);
        history.push_back(markRows(target, {3, 7}, true));
        TrackTable before = target.t.clone();
        target.t.permuteRows({1, 0, 2, 3, 4, 5, 6, 7});
        history.push_back(std::make_unique<TableReplaced>(
            std::move(before), std::vector<int>{1, 0, 2, 3, 4, 5, 6, 7}));
        checkHistory(target, history, start);
    }
};

QTEST_GUILESS_MAIN(TestTableEdit)
#include "tst_tableedit.moc"
