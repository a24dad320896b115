// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/GraphicalSession.h"

#include <QDir>
#include <QFile>

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

// The first socket in `folder` named `prefix`... that a server listens on; empty for none.
QString firstListening(const QString &folder, QStringView prefix)
{
    if (folder.isEmpty())
        return {};
    const QDir dir(folder);
    const QStringList names = dir.entryList({prefix.toString() + u'*'},
                                            QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (isListening(QFile::encodeName(dir.filePath(name))))
            return dir.filePath(name);
    }
    return {};
}

} // namespace

bool waylandSessionRunning(const LinuxRunningApplications::Environment &environment)
{
    return environment.sessionType == u"wayland" || !environment.waylandDisplay.isEmpty() ||
           !firstListening(environment.runtimeDir, u"wayland-").isEmpty();
}

QString waylandSocket(const LinuxRunningApplications::Environment &environment)
{
    const QString &display = environment.waylandDisplay;
    if (display.isEmpty())
        return firstListening(environment.runtimeDir, u"wayland-");
    return display.startsWith(u'/') || environment.runtimeDir.isEmpty()
               ? display
               : QDir(environment.runtimeDir).filePath(display);
}

QStringList graphicalSessionLimits(const LinuxRunningApplications::Environment &environment)
{
    QStringList limits;
    // A Wayland session runs X11 programs only where Xwayland listens.
    if (!environment.x11Display && (environment.sessionType == u"x11" ||
                                    !firstListening(environment.x11SocketDir, u"X").isEmpty()))
        limits << u"windows: a graphical session is running but DISPLAY is not set"_s;
    return limits;
}
