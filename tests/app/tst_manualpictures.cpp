// SPDX-License-Identifier: Apache-2.0
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

// The manual's pictures: every one it names was made by the build, shows
// something, and went into the PDF.
class TestManualPictures : public QObject
{
    Q_OBJECT

    static QStringList pictures()
    {
        QFile html(QStringLiteral(CORVANE_SOURCE_DIR "/docs/manual.html"));
        if (!html.open(QIODevice::ReadOnly)) return {};
        static const QRegularExpression img(QStringLiteral("<img[^>]*\\ssrc=\"([^\"]+)\""));
        QStringList names;
        for (const QRegularExpressionMatch &m : img.globalMatch(QString::fromUtf8(html.readAll())))
            names << m.captured(1);
        return names;
    }

private slots:
    void everyPictureIsThere()
    {
        const QStringList names = pictures();
        // The window after an import, Step 3, the track view, a message, the plate windows.
        QVERIFY2(names.size() >= 5, qPrintable(names.join(QLatin1Char(' '))));
        const QDir built(QStringLiteral(CORVANE_BUILT_DOCS));
        for (const QString &name : names) {
            const QImage image(built.filePath(name));
            QVERIFY2(!image.isNull(), qPrintable(name + QStringLiteral(" is missing")));
            QVERIFY2(image.width() >= 200 && image.height() >= 60, qPrintable(name));
            // Not blank: many colours, none covering nearly all of it.
            QHash<QRgb, int> counts;
            const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < pixels.height(); y += 2)
                for (int x = 0; x < pixels.width(); x += 2)
                    ++counts[pixels.pixel(x, y)];
            int most = 0, all = 0;
            for (int count : std::as_const(counts)) {
                most = std::max(most, count);
                all += count;
            }
            QVERIFY2(counts.size() >= 8, qPrintable(name + QStringLiteral(" is blank")));
            QVERIFY2(most < all * 95 / 100, qPrintable(name + QStringLiteral(" is nearly blank")));
        }
        QFile pdf(built.filePath(QStringLiteral("Corvane.pdf")));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.readAll().count("/Subtype /Image"), names.size());
    }

    // The pictures show what the manual says they show.
    void picturesShowTheirSubject()
    {
        const QDir shots(QStringLiteral(CORVANE_BUILT_DOCS "/shots"));
        QCOMPARE(QImage(shots.filePath(QStringLiteral("window-import.png"))).size(),
                 QSize(800, 506));
        QCOMPARE(QImage(shots.filePath(QStringLiteral("step3-apply.png"))).size(), QSize(800, 506));
        // Step 3 differs from Step 1: the panel was filled and Apply pressed.
        QVERIFY(QImage(shots.filePath(QStringLiteral("window-import.png"))) !=
                QImage(shots.filePath(QStringLiteral("step3-apply.png"))));
    }
};

QTEST_MAIN(TestManualPictures)
#include "tst_manualpictures.moc"
