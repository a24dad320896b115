// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QColor>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRawFont>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

#include <cmath>
#include <memory>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

using namespace Qt::StringLiterals;

namespace {

// WCAG 2.2 relative luminance and contrast ratio of opaque sRGB colours.
double luminance(const QColor &colour)
{
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// A translucent colour as it shows over an opaque one.
QColor over(const QColor &top, const QColor &below)
{
    const auto mix = [&](double t, double b) { return t * top.alphaF() + b * (1 - top.alphaF()); };
    return QColor::fromRgbF(mix(top.redF(), below.redF()), mix(top.greenF(), below.greenF()),
                            mix(top.blueF(), below.blueF()));
}

} // namespace

// The shared look: colours that must stay legible and glyphs that must exist.
class TestStyles : public QObject
{
    Q_OBJECT

    QQmlEngine m_engine;

    std::unique_ptr<QObject> create(const QByteArray &qml)
    {
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport Nimbrel\n" + qml, QUrl());
        std::unique_ptr<QObject> object(component.create());
        if (!object)
            qWarning().noquote() << component.errorString();
        return object;
    }

private slots:
    void initTestCase() { m_engine.addImportPath(u"qrc:/"_s); }

    // WCAG 2.2 focus appearance and non-text contrast: at least 3:1 against
    // each focusable control's fill and each background a control sits on.
    void legibleColours_data()
    {
        QTest::addColumn<QByteArray>("colour");
        QTest::addColumn<QColor>("against");
        const auto theme = create("QtObject { property QtObject theme: Theme }");
        const auto colour = [&](const char *name) {
            return theme->property("theme").value<QObject *>()->property(name).value<QColor>();
        };
        const QColor white = Qt::white, lightGrey = colour("lightGrey"), red = colour("accentRed");
        // The detections card: red at 5 % over the window's gradient, at its lightest and darkest.
        const QColor redTint = QColor::fromRgbF(red.redF(), red.greenF(), red.blueF(), 0.05f);
        const QColor cardOnWhite = over(redTint, white), cardOnGrey = over(redTint, lightGrey);
        const QList<std::pair<const char *, QColor>> ringNeighbours = {
            {"Send, Verify, Manual Scan", colour("primaryBlue")},
            {"Start Monitor", colour("accentGreen")},
            {"Stop Monitor", red},
            {"text field", colour("fieldFill")},
            {"card", white},
            {"window", lightGrey},
            {"detections card", cardOnGrey}};
        for (const auto &[name, colour] : ringNeighbours)
            QTest::addRow("focus ring on %s", name) << "Theme.focusRingColor"_ba << colour;
        for (const auto &[name, card] :
             {std::pair{"white", cardOnWhite}, std::pair{"grey", cardOnGrey}})
            QTest::addRow("scroll thumb on the card over %s", name) << "thumb"_ba << card;
    }
    void legibleColours()
    {
        QFETCH(QByteArray, colour);
        QFETCH(QColor, against);
        QColor shown;
        if (colour == "thumb") {
            const auto bar = create("ModernScrollBar {}");
            QVERIFY(bar);
            shown = bar->findChild<QObject *>(u"scrollThumb"_s)->property("color").value<QColor>();
        } else {
            const auto holder = create("QtObject { property color shown: " + colour + " }");
            QVERIFY(holder);
            shown = holder->property("shown").value<QColor>();
        }
        QCOMPARE(shown.alphaF(), 1.0f);
        const double ratio = contrast(shown, against);
        QVERIFY2(ratio >= 3.0, qPrintable(u"%1:1"_s.arg(ratio, 0, 'f', 2)));
    }

    // White labels on the buttons' fills in both palettes, listed; in the one
    // a desktop gets by asking for high contrast at least 4.5:1 (WCAG 2.2
    // AA), and the focus ring around them still at least 3:1.
    void labelsOnFillsInBothPalettes()
    {
        const auto theme = create("QtObject { property QtObject theme: Theme }");
        const auto colour = [&](const char *name) {
            return theme->property("theme").value<QObject *>()->property(name).value<QColor>();
        };
        const std::tuple<const char *, const char *, const char *, bool> fills[] = {
            // button, its fill, its fill in high contrast, takes the focus
            {"Send, Verify, Manual Scan", "primaryBlue", "primaryBlue", true},
            {"Send, disabled", "mediumGrey", "mediumGrey", false},
            {"Start Monitor", "accentGreen", "highContrastGreen", true},
            {"Stop Monitor", "accentRed", "highContrastRed", true}};
        for (const auto &[button, standard, high, focusable] : fills) {
            QVERIFY2(colour(high).isValid(), high);
            const double ring = contrast(colour("focusRingColor"), colour(high));
            const double label = contrast(Qt::white, colour(high));
            qInfo("%-26s white %5.2f:1, high contrast %5.2f:1 (focus ring %.2f:1)", button,
                  contrast(Qt::white, colour(standard)), label, ring);
            QVERIFY2(label >= 4.5 && (ring >= 3.0 || !focusable), button);
        }
        // No portal asks for high contrast here: the palette stays as it is.
        QCOMPARE(colour("startFill"), colour("accentGreen"));
    }

    // Every icon the screens name is drawn from the embedded font: a code
    // point it lacks would be drawn by whatever other font has one.
    void everySymbolIsInTheIconFont()
    {
        QFile file(u":/Nimbrel/fonts/MaterialIcons-Regular.ttf"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QRawFont font(file.readAll(), 24);
        QVERIFY(font.isValid());
        const auto icon = create("MaterialIcon { symbol: \"radar\" }");
        QVERIFY(icon);
        const QVariantMap codePoints = icon->property("codePoints").toMap();
        QVERIFY(codePoints.size() >= 14);
        for (auto it = codePoints.cbegin(); it != codePoints.cend(); ++it) {
            const QString glyph = it.value().toString();
            QVERIFY2(glyph.size() == 1 && font.supportsCharacter(glyph.at(0)),
                     qPrintable(it.key()));
        }
        // Material's own "radar" glyph reads as an "@" at text sizes.
        QVERIFY(codePoints.value(u"radar"_s).toString() != QString(QChar(0xf04e)));
    }
};

QTEST_MAIN(TestStyles)
#include "tst_styles.moc"
