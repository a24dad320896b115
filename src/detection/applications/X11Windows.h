#pragma once

#include "TopLevelWindow.h"

#include <QList>
#include <QString>

// The top-level windows of an X display: those in the window manager's
// _NET_CLIENT_LIST, then the viewable children of the root window that it
// does not list (with the client windows inside window-manager frames), and
// override-redirect windows among them. Any client may rewrite the root's
// list, so it is never the only source. Empty when the display cannot be
// reached or stops answering; every request is bounded by XcbSession's
// time-outs.
QList<TopLevelWindow> x11TopLevelWindows(const QString &display);
