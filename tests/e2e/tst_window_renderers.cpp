// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NimbrelWindow.h"
#include "XvfbServer.h"

#include <QTest>

namespace {

struct Rendering
{
    QImage screen;
    QString renderLoop;
};

// The first screen of a fresh window, at rest, drawn with these settings.
Rendering firstScreen(const QProcessEnvironment &environment)
{
    NimbrelWindow app;
    // Nothing is sent: the provider's address is never asked.
    if (!app.start({.apiKey = QStringLiteral("renderers"),
                    .baseUrl = QUrl(QStringLiteral("http://127.0.0.1:9")),
                    .environment = environment})) {
        qWarning().noquote() << app.error();
        return {};
    }
    return {NimbrelWindow::waitForStillScreen(), app.renderLoop()};
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max(
        {qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
}

// The lowest row of the white card in the window's middle column.
int cardBottom(const QImage &screen, int x)
{
    for (int y = screen.height() - 1; y >= 0; --y)
        if (screen.pixel(x, y) == qRgb(255, 255, 255))
            return y;
    return -1;
}

} // namespace

// The window drawn by the renderer chosen for this machine (the software
// scene graph without a GPU driver) and by OpenGL looks the same: the same
// gradient, card and soft shadow, text differing only in its anti-aliasing.
class TestWindowRenderers : public QObject
{
    Q_OBJECT

    XvfbServer m_xvfb;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_xvfb.start({1024, 800}), "Xvfb did not start");
        qputenv("DISPLAY", m_xvfb.display().toLocal8Bit());
    }

    void bothRenderersDrawTheSameWindow()
    {
        const Rendering chosen = firstScreen({});
        QProcessEnvironment forceOpenGl;
        forceOpenGl.insert(QStringLiteral("QSG_RHI_BACKEND"), QStringLiteral("opengl"));
        const Rendering openGl = firstScreen(forceOpenGl);
        QVERIFY2(!chosen.screen.isNull() && !openGl.screen.isNull(), "a window never came to rest");
        QVERIFY2(openGl.renderLoop != QStringLiteral("software"), qPrintable(openGl.renderLoop));
        if (!QFile::exists(QStringLiteral("/dev/dri")))
            QCOMPARE(chosen.renderLoop, QStringLiteral("software"));

        // The card's shadow, below it: present, and alike in both.
        const int middle = 320;
        const int bottom = cardBottom(chosen.screen, middle);
        QVERIFY(bottom > 0);
        QCOMPARE(cardBottom(openGl.screen, middle), bottom);
        for (const QImage &screen : {chosen.screen, openGl.screen})
            QVERIFY2(qGray(screen.pixel(middle, bottom + 40)) -
                             qGray(screen.pixel(middle, bottom + 8)) >=
                         8,
                     "no shadow under the card");
        int worstInShadow = 0;
        for (int y = bottom + 1; y <= bottom + 40; ++y)
            for (int x = 60; x < 580; ++x)
                worstInShadow =
                    std::max(worstInShadow, channelDifference(chosen.screen.pixel(x, y),
                                                              openGl.screen.pixel(x, y)));
        QVERIFY2(worstInShadow <= 4, qPrintable(QString::number(worstInShadow)));

        // Everywhere else only glyph edges differ.
        const QRect window(0, 0, 640, 760);
        int differing = 0;
        for (int y = window.top(); y <= window.bottom(); ++y)
            for (int x = window.left(); x <= window.right(); ++x)
                differing +=
                    channelDifference(chosen.screen.pixel(x, y), openGl.screen.pixel(x, y)) > 13;
        const double share = double(differing) / (window.width() * window.height());
        qInfo("pixels that differ by more than 5 %%: %.2f %%", 100 * share);
        QVERIFY2(share < 0.03, qPrintable(QString::number(share)));
    }
};

QTEST_GUILESS_MAIN(TestWindowRenderers)
#include "tst_window_renderers.moc"
