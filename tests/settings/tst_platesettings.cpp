// SPDX-License-Identifier: Apache-2.0
#include "settings/platesettings.h"

#include <QTest>

using namespace corvane;

class TestPlateSettings : public QObject
{
    Q_OBJECT

private slots:
    void imageSizes()
    {
        QCOMPARE(imageSize(7)->first, QStringLiteral("1920"));
        QCOMPARE(imageSize(7)->second, QStringLiteral("1080"));
        QCOMPARE(imageSize(1)->first, QStringLiteral("640")); // leading blanks skipped
        QCOMPARE(imageSize(1)->second, QStringLiteral("480"));
        QVERIFY(!imageSize(0));
        QVERIFY(!imageSize(11));
    }

    void predefinedWindows_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("w");
        QTest::addColumn<QString>("h");
        QTest::addColumn<QStringList>("window");
        QTest::newRow("default") << 0 << "1920"
                                 << "1080" << QStringList({"0", "1920", "0", "1080"});
        QTest::newRow("bottom-left") << 2 << "1920"
                                     << "1080" << QStringList({"0", "1920", "1080", "0"});
        QTest::newRow("x2") << 3 << "1920"
                            << "1080" << QStringList({"0", "3840", "0", "2160"});
        QTest::newRow("x4") << 4 << "1920"
                            << "1080" << QStringList({"0", "7680", "0", "4320"});
        QTest::newRow("half") << 5 << "1920"
                              << "1080" << QStringList({"0", "960", "0", "540"});
        QTest::newRow("quarter") << 6 << "1920"
                                 << "1080" << QStringList({"0", "480", "0", "270"});
        QTest::newRow("odd half") << 5 << "1023"
                                  << "777" << QStringList({"0", "511", "0", "388"});
        QTest::newRow("odd quarter") << 6 << "1023"
                                     << "777" << QStringList({"0", "255", "0", "194"});
        QTest::newRow("normalized") << 7 << "1920"
                                    << "1080" << QStringList({"0", "1", "0", "1"});
        QTest::newRow("center") << 8 << "1920"
                                << "1080" << QStringList({"-1", "1", "-1", "1"});
    }

    void predefinedWindows()
    {
        QFETCH(int, index);
        QFETCH(QString, w);
        QFETCH(QString, h);
        QFETCH(QStringList, window);
        auto got = predefinedWindow(index, w, h);
        QVERIFY(got);
        QCOMPARE(QStringList({got->x0, got->x1, got->y0, got->y1}), window);
        QVERIFY(!predefinedWindow(9, w, h));
    }

    void valuesFollowThePanelsRules()
    {
        PlateSettings s;
        s.setPlateWidth(QStringLiteral("1920"));
        s.setPlateHeight(QStringLiteral("1080"));
        QCOMPARE(s.x1, QStringLiteral("1920"));
        s.choosePredefined(BottomLeft);
        s.setPlateHeight(QStringLiteral("720")); // Y1 follows, Y0 keeps the old height
        QCOMPARE(s.y1, QStringLiteral("720"));
        QCOMPARE(s.y0, QStringLiteral("1080"));
        PlateSettings none;
        none.choosePredefined(HalfSize); // a plate field reads "0": nothing changes
        QCOMPARE(none.x1, QStringLiteral("0"));
        s.importFirst = QString();
        s.exportFirst = QStringLiteral("7");
        s.resetValues();
        QCOMPARE(s.exportFirst, QString());
        QCOMPARE(s.plateWidth, QStringLiteral("0"));
        QCOMPARE(s.pixelAspect, QStringLiteral("1.0"));
    }
};

QTEST_GUILESS_MAIN(TestPlateSettings)
#include "tst_platesettings.moc"
