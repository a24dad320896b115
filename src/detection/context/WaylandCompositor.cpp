// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/context/WaylandCompositor.h"

#include "detection/proc/BoundedRead.h"

#include <QFile>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

QString waylandCompositor(const QString &socketPath, const QString &procRoot)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return {};
    // The compositor sees a client come and go at once, before it says anything.
    ucred peer{};
    socklen_t length = sizeof peer;
    const bool connected =
        ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid > 0;
    ::close(socket);
    if (!connected)
        return {};
    const QByteArray comm =
        readBounded(procRoot + u'/' + QString::number(peer.pid) + QStringLiteral("/comm"), 64)
            .bytes;
    return QString::fromUtf8(comm).trimmed();
}
