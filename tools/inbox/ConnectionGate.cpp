// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectionGate.h"

#include <QTcpSocket>

#include <sys/resource.h>

namespace {

constexpr int reservedDescriptors = 32;

} // namespace

ConnectionGate::ConnectionGate(const HttpLimits &limits, int maxConnections,
                               HttpConnection::Handler handler, QObject *parent)
    : QTcpServer(parent), m_limits(limits), m_maxConnections(maxConnections),
      m_handler(std::move(handler))
{}

int ConnectionGate::raiseDescriptorLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t usable = limit.rlim_cur > 2 * reservedDescriptors
                              ? limit.rlim_cur - reservedDescriptors
                              : limit.rlim_cur / 2;
    return int(std::min<rlim_t>(usable, 1 << 20));
}

bool ConnectionGate::listenOnLoopback(quint16 port)
{
    if (!listen(QHostAddress::LocalHost, port))
        return false;
    m_limits.port = serverPort();
    return true;
}

void ConnectionGate::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket;
    socket->setSocketDescriptor(descriptor);
    auto *connection = new HttpConnection(socket, m_limits, m_handler, this);
    connect(connection, &QObject::destroyed, this, &ConnectionGate::connectionClosed);
    if (++m_open < m_maxConnections)
        return;
    // Full: connections kept alive between requests make room for new clients.
    for (HttpConnection *open : findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly)) {
        if (open != connection && open->isIdle())
            open->close();
    }
    if (m_open >= m_maxConnections)
        pauseAccepting();
}

void ConnectionGate::connectionClosed()
{
    if (m_open-- >= m_maxConnections)
        resumeAccepting();
}
