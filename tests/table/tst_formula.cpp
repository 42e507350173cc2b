// SPDX-License-Identifier: Apache-2.0
#include "table/formula.h"
#include "table/tracktable.h"

#include <QTest>

using namespace corvane;

// Formula cells as the table shows them: text put at an empty position.
class TestFormula : public QObject
{
    Q_OBJECT

    TrackTable table;

    void put(int row, int column, const QString &text) { table.setText(row, column, text); }
    QString shown(int row, int column)
    {
        return table.data(row, column, Qt::DisplayRole).toString();
    }
    int alignment(int row, int column)
    {
        return table.data(row, column, Qt::TextAlignmentRole).toInt();
    }

private slots:
    void init()
    {
        table.clear();
        table.setColumnCount(TrackColumnCount);
        table.setRowCount(5);
    }

    void evaluation_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("shows");
        QTest::newRow("precedence") << "=1+2*3"
                                    << "7";
        QTest::newRow("parentheses") << "=(1+2)*3"
                                     << "9";
        QTest::newRow("left associative minus") << "=10-4-3"
                                                << "3";
        QTest::newRow("left associative division") << "=8/4/2"
                                                   << "1";
        QTest::newRow("division by zero") << "=8/0"
                                          << "####";
        QTest::newRow("blanks removed") << "= 2 * 3"
                                        << "6";
        QTest::newRow("blanks join digits") << "=2 3"
                                            << "23";
        QTest::newRow("missing parenthesis") << "=(1+2"
                                             << "####";
        QTest::newRow("trailing text") << "=1+2)"
                                       << "####";
        QTest::newRow("unary minus") << "=-2*3"
                                     << "-6";
        QTest::newRow("unary minus of parentheses") << "=-(1+2)"
                                                    << "-3";
        QTest::newRow("double minus is an error") << "=--2"
                                                  << "####";
        QTest::newRow("decimals") << "=0.5+0.25"
                                  << "0.75";
        QTest::newRow("unknown token") << "=abc"
                                       << "####";
        QTest::newRow("four-digit reference is no reference") << "=A1000"
                                                              << "####";
        QTest::newRow("empty reference counts as zero") << "=C5+1"
                                                        << "1";
        QTest::newRow("empty formula") << "="
                                       << "####";
        QTest::newRow("plain number") << "2.500000"
                                      << "2.5";
        QTest::newRow("plain text") << "abc"
                                    << "abc";
        QTest::newRow("apostrophe keeps text") << "'12"
                                               << "12";
    }

    void evaluation()
    {
        QFETCH(QString, formula);
        QFETCH(QString, shows);
        put(4, 3, formula);
        QCOMPARE(table.kind(4, 3), CellKind::Formula);
        QCOMPARE(shown(4, 3), shows);
        QCOMPARE(table.text(4, 3), formula); // the edit text stays the formula
    }

    void alignmentFollowsTheResultType()
    {
        put(0, 0, QStringLiteral("'12"));
        put(0, 1, QStringLiteral("12"));
        put(0, 2, QStringLiteral("abc"));
        put(0, 3, QStringLiteral("=1/0"));
        QCOMPARE(alignment(0, 0), int(Qt::AlignLeft | Qt::AlignVCenter));
        QCOMPARE(alignment(0, 1), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(alignment(0, 2), int(Qt::AlignLeft | Qt::AlignVCenter));
        QCOMPARE(alignment(0, 3), int(Qt::AlignRight | Qt::AlignVCenter));
    }

    void references()
    {
        put(0, 0, QStringLiteral("4"));
        put(1, 1, QStringLiteral("=a1*2")); // lower-case letters refer too
        put(2, 2, QStringLiteral("=B2+A1"));
        QCOMPARE(shown(1, 1), QStringLiteral("8"));
        QCOMPARE(shown(2, 2), QStringLiteral("12"));
        // A changed cell is seen by the formulas that refer to it.
        table.setText(0, 0, QStringLiteral("5"));
        QCOMPARE(shown(2, 2), QStringLiteral("15"));
        // A string in arithmetic is an error.
        put(3, 0, QStringLiteral("x"));
        put(3, 1, QStringLiteral("=A4+1"));
        QCOMPARE(shown(3, 1), QStringLiteral("####"));
    }

    void referenceToPlainItemReadsItsText()
    {
        table.setImportedRow(0, table.internName(QStringLiteral("t")), 7, 1.5, 2.0, 0);
        put(1, 0, QStringLiteral("=B1+C1"));
        QCOMPARE(shown(1, 0), QStringLiteral("8.5"));
    }

    void selfAndCyclicReferencesEnd()
    {
        put(0, 0, QStringLiteral("=A1+1"));
        QCOMPARE(shown(0, 0), QStringLiteral("####"));
        put(1, 0, QStringLiteral("=B2"));
        put(1, 1, QStringLiteral("=A2"));
        QCOMPARE(shown(1, 0), QStringLiteral("####"));
    }

    // Deep nesting and long reference chains end in an error, never a crash.
    void deepFormulasAreErrors()
    {
        put(0, 0, QStringLiteral("=") + QString(200000, QLatin1Char('(')) + QStringLiteral("1"));
        QCOMPARE(shown(0, 0), QStringLiteral("####"));
        QString nested =
            QString(256, QLatin1Char('(')) + QStringLiteral("2") + QString(256, QLatin1Char(')'));
        QCOMPARE(evaluateExpression(nested, {}).toDouble(), 2.0);
        QVERIFY(!evaluateExpression(QLatin1Char('(') + nested + QLatin1Char(')'), {}).isValid());

        table.setRowCount(999);
        for (int r = 0; r < 998; ++r)
            put(r, 1, QStringLiteral("=B%1+1").arg(r + 2));
        put(998, 1, QStringLiteral("1"));
        QCOMPARE(shown(0, 1), QStringLiteral("####"));
        QCOMPARE(shown(900, 1), QStringLiteral("99"));
    }

    void textAtPositionWithItemEditsIt()
    {
        table.setImportedRow(0, table.internName(QStringLiteral("t")), 7, 1.5, 2.0, 0);
        table.setText(0, 1, QStringLiteral("=1+1"));
        QCOMPARE(table.kind(0, 1), CellKind::Item); // a plain item keeps being one
        QCOMPARE(shown(0, 1), QStringLiteral("=1+1"));
    }
};

QTEST_GUILESS_MAIN(TestFormula)
#include "tst_formula.moc"
