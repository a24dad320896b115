// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HttpConnection.h"

#include <QTcpServer>

// The inbox's listening socket: each connection it accepts becomes an
// HttpConnection with these limits and this handler. It never holds more
// connections than its descriptor limit allows: there, it first closes the
// connections idle between requests, and pauses accepting (instead of
// failing to accept in a loop) until connections close.
class ConnectionGate : public QTcpServer
{
    Q_OBJECT

public:
    ConnectionGate(const HttpLimits &limits, int maxConnections, HttpConnection::Handler handler,
                   QObject *parent = nullptr);

    // Raises this process's descriptor limit to its hard limit; returns the
    // connections that fit under it, leaving room for files and pipes.
    static int raiseDescriptorLimit();

    // Listens on 127.0.0.1; requests must then name this port in their Host.
    bool listenOnLoopback(quint16 port);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void connectionClosed();

    HttpLimits m_limits;
    const int m_maxConnections;
    const HttpConnection::Handler m_handler;
    int m_open = 0;
};
