// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/GraphicalSession.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A connection the server never sees completed: the socket is closed at once.
bool isListening(const QByteArray &path)
{
    struct stat status = {};
    sockaddr_un address{};
    if (lstat(path.constData(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
        size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const bool listening =
        ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 ||
        errno == EAGAIN; // a full backlog: there is a server, a busy one
    ::close(socket);
    return listening;
}

// Whether a server listens on one of the sockets in `folder` named `prefix`...
bool anyListening(const QString &folder, QStringView prefix)
{
    if (folder.isEmpty())
        return false;
    const QDir dir(folder);
    const QStringList names = dir.entryList({prefix.toString() + u'*'},
                                            QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    return std::any_of(names.begin(), names.end(), [&](const QString &name) {
        return isListening(QFile::encodeName(dir.filePath(name)));
    });
}

} // namespace

QStringList graphicalSessionLimits(const LinuxRunningApplications::Environment &environment)
{
    const bool wayland =
        environment.sessionType == u"wayland" || anyListening(environment.runtimeDir, u"wayland-");
    QStringList limits;
    if (!environment.x11Display && (wayland || environment.sessionType == u"x11" ||
                                    anyListening(environment.x11SocketDir, u"X")))
        limits << u"windows: a graphical session is running but DISPLAY is not set"_s;
    if (wayland)
        limits << u"windows: a Wayland session is running, and no program can list the windows "
                  u"of its Wayland programs (only X11 programs' windows, through Xwayland)"_s;
    return limits;
}
