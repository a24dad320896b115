#include "ConnectionGate.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <sys/resource.h>

#include <optional>

namespace {

constexpr qint64 maxHeadBytes = 64 * 1024;
constexpr int headTimeoutMs = 10'000;
constexpr int reservedDescriptors = 32;

bool isLoopbackHost(const QByteArray &host, quint16 port)
{
    const qsizetype colon = host.lastIndexOf(':');
    if (colon < 0 || host.mid(colon + 1) != QByteArray::number(port))
        return false;
    QByteArray name = host.left(colon).toLower();
    if (name == "localhost")
        return true;
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.mid(1, name.size() - 2);
    const QHostAddress address(QString::fromLatin1(name));
    return !address.isNull() && address.isLoopback();
}

} // namespace

ConnectionGate::ConnectionGate(qint64 maxBodyBytes, int maxConnections, QObject *parent)
    : QTcpServer(parent), m_maxBodyBytes(maxBodyBytes), m_maxConnections(maxConnections)
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

void ConnectionGate::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    socket->setSocketDescriptor(descriptor);
    // Only the head is read while deciding; a body waits in the kernel, and a
    // client sending one regardless is held back by TCP's flow control.
    socket->setReadBufferSize(maxHeadBytes);
    if (++m_open >= m_maxConnections)
        pauseAccepting();
    connect(socket, &QObject::destroyed, this, &ConnectionGate::connectionClosed);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { inspect(socket); });
    // A connection that never finishes its request head must not hold a descriptor.
    QTimer::singleShot(headTimeoutMs, socket, [this, socket] {
        if (socket->parent() == this)
            refuse(socket, 431, "Request Header Fields Too Large");
    });
}

void ConnectionGate::connectionClosed()
{
    if (m_open-- >= m_maxConnections)
        resumeAccepting();
}

void ConnectionGate::inspect(QTcpSocket *socket)
{
    const QByteArray peeked = socket->peek(maxHeadBytes);
    const qsizetype headEnd = peeked.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (peeked.size() >= maxHeadBytes)
            refuse(socket, 431, "Request Header Fields Too Large");
        return;
    }

    QByteArray host;
    std::optional<qint64> declaredLength;
    bool chunked = false;
    const QList<QByteArray> lines = peeked.left(headEnd).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (name == "host")
            host = value;
        else if (name == "content-length")
            declaredLength = value.toLongLong();
        else if (name == "transfer-encoding")
            chunked = true;
    }
    if (!isLoopbackHost(host, serverPort()))
        return refuse(socket, 421, "Misdirected Request");
    if (chunked)
        return refuse(socket, 411, "Length Required");
    if (declaredLength.value_or(0) > m_maxBodyBytes || declaredLength.value_or(0) < 0)
        return refuse(socket, 413, "Content Too Large");

    // Handed to the HTTP server with the head still unread; it reads on from here.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->setReadBufferSize(0);
    socket->setParent(nullptr);
    addPendingConnection(socket);
    emit newConnection();
    emit socket->readyRead();
}

void ConnectionGate::refuse(QTcpSocket *socket, int status, const QByteArray &reason)
{
    const QByteArray body = R"({"statusCode":)" + QByteArray::number(status) +
                            R"(,"name":"request_refused","message":")" + reason + R"("})";
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                  "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}
