#pragma once

#include <QTcpServer>

// The inbox's listening socket. Each new connection's request head is read
// (without consuming it) before the HTTP server sees any of it, and refused
// when it cannot be for this inbox:
//   421  a Host that is not a loopback name or address with this port, so a
//        web page reached through DNS rebinding cannot read the inbox;
//   413  a declared body over the limit (the provider's 40 MB), before reading it;
//   411  a body without a declared length;
//   431  a request head over 64 KiB, or none within 10 s.
// It never holds more connections than its descriptor limit allows: accepting
// pauses there (instead of failing to accept in a loop) and resumes as
// connections close.
class ConnectionGate : public QTcpServer
{
    Q_OBJECT

public:
    ConnectionGate(qint64 maxBodyBytes, int maxConnections, QObject *parent = nullptr);

    // Raises this process's descriptor limit to its hard limit; returns the
    // connections that fit under it, leaving room for files and pipes.
    static int raiseDescriptorLimit();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void inspect(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, int status, const QByteArray &reason);
    void connectionClosed();

    const qint64 m_maxBodyBytes;
    const int m_maxConnections;
    int m_open = 0;
};
