// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShadowImage.h"

#include <QTest>

#include <cmath>

// The nine-patch shadow image: what stretching it relies on, and a soft edge
// whose darkness matches the colour asked for.
class TestShadowImage : public QObject
{
    Q_OBJECT

private slots:
    void looks_data()
    {
        QTest::addColumn<int>("corner");
        QTest::addColumn<int>("blur");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("card: black at 10 %") << 20 << 20 << QColor::fromRgbF(0, 0, 0, 0.1f);
        QTest::newRow("button: its own blue at 30 %")
            << 15 << 8 << QColor::fromRgbF(0.2f, 0.4f, 0.8f, 0.3f);
        QTest::newRow("opaque, square corners") << 0 << 5 << QColor(Qt::red);
        QTest::newRow("no blur") << 12 << 0 << QColor(Qt::black);
    }

    void looks()
    {
        QFETCH(int, corner);
        QFETCH(int, blur);
        QFETCH(QColor, colour);
        const QImage image = shadowImage(corner, blur, colour);
        const int border = shadowImageBorder(corner, blur);
        const int size = 2 * border + 1;
        QCOMPARE(image.size(), QSize(size, size));

        // Inside: the colour itself, premultiplied.
        const QRgb inside = image.pixel(border, border);
        QVERIFY(qAbs(qAlpha(inside) - colour.alpha()) <= 1);
        QVERIFY(qAbs(qRed(inside) - qRound(colour.red() * colour.alphaF())) <= 1);
        QVERIFY(qAbs(qBlue(inside) - qRound(colour.blue() * colour.alphaF())) <= 1);

        // A blurred shadow fades out before the image's edge, and the four
        // sides are alike but for a step of anti-aliasing.
        for (int i = 0; blur > 0 && i < size; ++i)
            QVERIFY2(qAlpha(image.pixel(i, 0)) <= 2 && qAlpha(image.pixel(0, i)) <= 2,
                     qPrintable(QString::number(i)));
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                QVERIFY(qAbs(qAlpha(image.pixel(x, y)) -
                             qAlpha(image.pixel(size - 1 - x, size - 1 - y))) <= 1);
                QVERIFY(qAbs(qAlpha(image.pixel(x, y)) - qAlpha(image.pixel(y, x))) <= 1);
            }

        // Across an edge: darker towards the inside and about half dark at the
        // rectangle's outline.
        for (int y = 1; y <= border; ++y)
            QVERIFY(qAlpha(image.pixel(border, y)) >= qAlpha(image.pixel(border, y - 1)));
        if (blur > 0) {
            const double atOutline =
                (qAlpha(image.pixel(border, blur)) + qAlpha(image.pixel(border, blur - 1))) / 2.0;
            QVERIFY2(qAbs(atOutline - colour.alpha() / 2.0) <= colour.alpha() * 0.1 + 1,
                     qPrintable(QString::number(atOutline)));
        }
        // The softness of a Gaussian of deviation (blur + 1) / 3.3333, measured
        // one deviation outside the outline.
        if (blur >= 8) {
            const double deviation = (blur + 1) / 3.3333;
            const int row = blur - qRound(deviation);
            const double distance = blur - (row + 0.5);
            const double expected =
                colour.alpha() * 0.5 * std::erfc(distance / (deviation * std::sqrt(2.0)));
            QVERIFY2(qAbs(qAlpha(image.pixel(border, row)) - expected) <=
                         0.03 * colour.alpha() + 1.5,
                     qPrintable(QStringLiteral("%1 at row %2, expected %3")
                                    .arg(qAlpha(image.pixel(border, row)))
                                    .arg(row)
                                    .arg(expected)));
        }

        // A rounded corner is lighter than the edge at the same depth.
        if (corner >= 10) {
            const int inset = blur + corner * 3 / 10;
            QVERIFY(qAlpha(image.pixel(inset, inset)) < qAlpha(image.pixel(border, blur)));
        }
    }
};

QTEST_APPLESS_MAIN(TestShadowImage)
#include "tst_shadowimage.moc"
