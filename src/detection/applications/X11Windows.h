#pragma once

#include "TopLevelWindow.h"

#include <QList>
#include <QString>

// The top-level windows of an X display, in the window manager's order:
// _NET_CLIENT_LIST, or, where no window manager keeps it, the mapped children
// of the root window. Empty when the display cannot be reached or stops
// answering; every request is bounded by XcbSession's time-outs.
QList<TopLevelWindow> x11TopLevelWindows(const QString &display);
