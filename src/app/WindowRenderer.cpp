// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QRegularExpression>

namespace WindowRenderer {

namespace {

bool undecided = false;
bool glIntegrationTurnedOff = false;

bool gpuDevicePresent()
{
    const QDir dri(QStringLiteral("/dev/dri"));
    const QFileInfoList nodes = dri.entryInfoList({QStringLiteral("renderD*")}, QDir::System);
    return std::any_of(nodes.cbegin(), nodes.cend(), [](const QFileInfo &node) {
        return node.isReadable() && node.isWritable();
    });
}

bool environmentSet(const char *name)
{
    const QByteArray value = qgetenv(name);
    return !value.isEmpty() && value != "0" && value.toLower() != "false";
}

QByteArray openGlRendererName()
{
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface))
        return {};
    const auto *name =
        reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    QByteArray rendererName(name ? name : "");
    context.doneCurrent();
    return rendererName;
}

void use(Backend backend)
{
    if (backend == Backend::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace

std::optional<Backend> backendBeforeStart(const MachineFacts &facts)
{
    if (facts.backendChosenByUser)
        return Backend::QtDefault;
    if (facts.softwareOpenGlForced || !facts.gpuDevicePresent)
        return Backend::Software;
    return std::nullopt;
}

Backend backendForOpenGlRenderer(const QByteArray &rendererName)
{
    static const QRegularExpression rasterisers(
        QStringLiteral("llvmpipe|softpipe|swrast|software rasterizer|swiftshader"),
        QRegularExpression::CaseInsensitiveOption);
    if (rendererName.isEmpty() || rasterisers.match(QString::fromUtf8(rendererName)).hasMatch())
        return Backend::Software;
    return Backend::QtDefault;
}

void prepare()
{
    const MachineFacts facts{
        .backendChosenByUser = qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
                               qEnvironmentVariableIsSet("QSG_RHI_BACKEND"),
        .softwareOpenGlForced = environmentSet("LIBGL_ALWAYS_SOFTWARE"),
        .gpuDevicePresent = gpuDevicePresent(),
    };
    const std::optional<Backend> backend = backendBeforeStart(facts);
    undecided = !backend;
    if (backend != Backend::Software)
        return;
    use(Backend::Software);
    // Loading the X11 OpenGL integration maps Mesa and LLVM, tens of MiB.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        glIntegrationTurnedOff = true;
    }
}

void choose()
{
    // Processes started from here on see the environment as it was.
    if (glIntegrationTurnedOff)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    if (undecided)
        use(backendForOpenGlRenderer(openGlRendererName()));
}

} // namespace WindowRenderer
