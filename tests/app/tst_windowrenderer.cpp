// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRenderer.h"

#include <QTest>

using WindowRenderer::Backend;
using Facts = WindowRenderer::MachineFacts;

Q_DECLARE_METATYPE(Facts)
Q_DECLARE_METATYPE(std::optional<Backend>)

// Which scene graph backend draws the window on which machine.
class TestWindowRenderer : public QObject
{
    Q_OBJECT

private slots:
    void beforeStart_data()
    {
        QTest::addColumn<Facts>("facts");
        QTest::addColumn<std::optional<Backend>>("expected");
        const std::optional<Backend> ask;
        QTest::newRow("no GPU: software") << Facts{} << std::optional(Backend::Software);
        QTest::newRow("GPU: the driver decides") << Facts{.gpuDevicePresent = true} << ask;
        QTest::newRow("GPU, Mesa told to rasterise in software")
            << Facts{.softwareOpenGlForced = true, .gpuDevicePresent = true}
            << std::optional(Backend::Software);
        QTest::newRow("the user's choice wins without a GPU")
            << Facts{.backendChosenByUser = true} << std::optional(Backend::QtDefault);
        QTest::newRow("the user's choice wins over forced software OpenGL")
            << Facts{.backendChosenByUser = true, .softwareOpenGlForced = true}
            << std::optional(Backend::QtDefault);
    }

    void beforeStart()
    {
        QFETCH(Facts, facts);
        QFETCH(std::optional<Backend>, expected);
        QCOMPARE(WindowRenderer::backendBeforeStart(facts), expected);
    }

    void forOpenGlRenderer_data()
    {
        QTest::addColumn<QByteArray>("renderer");
        QTest::addColumn<Backend>("expected");
        QTest::newRow("llvmpipe") << QByteArray("llvmpipe (LLVM 15.0.6, 256 bits)")
                                  << Backend::Software;
        QTest::newRow("softpipe") << QByteArray("softpipe") << Backend::Software;
        QTest::newRow("old swrast") << QByteArray("Mesa X11 swrast") << Backend::Software;
        QTest::newRow("SwiftShader") << QByteArray("Google SwiftShader") << Backend::Software;
        QTest::newRow("no context at all") << QByteArray() << Backend::Software;
        QTest::newRow("Intel") << QByteArray("Mesa Intel(R) UHD Graphics 620 (KBL GT2)")
                               << Backend::QtDefault;
        QTest::newRow("AMD") << QByteArray("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)")
                             << Backend::QtDefault;
        QTest::newRow("virgl") << QByteArray("virgl (Intel(R) Iris(R) Xe Graphics)")
                               << Backend::QtDefault;
    }

    void forOpenGlRenderer()
    {
        QFETCH(QByteArray, renderer);
        QFETCH(Backend, expected);
        QCOMPARE(WindowRenderer::backendForOpenGlRenderer(renderer), expected);
    }
};

QTEST_APPLESS_MAIN(TestWindowRenderer)
#include "tst_windowrenderer.moc"
