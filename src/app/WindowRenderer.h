// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <optional>

// Chooses the scene graph backend that draws Nimbrel's windows. Without a GPU
// driver, OpenGL is a software rasteriser (Mesa's llvmpipe and its kind) that
// redraws the whole window in every frame of an animation; the software
// backend repaints only what changed and needs no OpenGL at all. A real GPU
// keeps Qt's own choice. The user's QT_QUICK_BACKEND or QSG_RHI_BACKEND wins.
namespace WindowRenderer {

enum class Backend { QtDefault, Software };

struct MachineFacts
{
    bool backendChosenByUser = false;  // QT_QUICK_BACKEND or QSG_RHI_BACKEND
    bool softwareOpenGlForced = false; // LIBGL_ALWAYS_SOFTWARE
    bool gpuDevicePresent = false;     // a DRM render node to draw with
};

// The choice from what is known before the application starts, or nothing
// when only the OpenGL driver itself can tell.
std::optional<Backend> backendBeforeStart(const MachineFacts &facts);

// The choice from the name of the OpenGL renderer; empty when no context
// could be made.
Backend backendForOpenGlRenderer(const QByteArray &rendererName);

// Call before the QGuiApplication exists: settles what it can and, for the
// software backend, keeps the platform from loading OpenGL at all.
void prepare();

// Call after the QGuiApplication exists and before the first window: asks
// the OpenGL driver when prepare() could not decide.
void choose();

} // namespace WindowRenderer
