// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QPointer>

#include <utility>

// Runs `apply(*target)` later on the GUI thread, and only if `target` still
// exists then. E-mail completions may run on any thread, or synchronously
// inside the send call, so their results are always queued; the guard is
// only read on the GUI thread, where the target lives and dies.
template <typename Target, typename Apply>
void postToGuiThread(QPointer<Target> target, Apply apply)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [target = std::move(target), apply = std::move(apply)]() mutable {
            if (target)
                apply(*target);
        },
        Qt::QueuedConnection);
}
