#include "HeadlessChromium.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

constexpr char chromiumPath[] = "/usr/bin/chromium";

// Runs the event loop until done() holds or the deadline passes.
template <typename Done> bool spinUntil(Done done, HeadlessChromium::Timeout timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace

HeadlessChromium::HeadlessChromium()
{
    if (!isInstalled()) {
        m_error = QStringLiteral("%1 is not installed (scripts/install-deps installs it)")
                      .arg(QLatin1String(chromiumPath));
        return;
    }
    // A fresh profile, no sandbox (tests run as root), nothing that reaches
    // beyond this machine; port 0 lets Chromium pick one and write it down.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(
        QLatin1String(chromiumPath),
        {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
         QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
         QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
         QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
         QStringLiteral("--hide-scrollbars"), QStringLiteral("--window-size=1280,800"),
         QStringLiteral(
             "--disable-features=IsolateOrigins,site-per-process,IsolateSandboxedIframes"),
         QStringLiteral("--remote-debugging-port=0"),
         QStringLiteral("--user-data-dir=") + m_profile.path(), QStringLiteral("about:blank")});
    if (!m_process.waitForStarted(10'000)) {
        m_error = QStringLiteral("chromium did not start: ") + m_process.errorString();
        return;
    }
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &m_socket,
                     [this](const QString &message) { receive(message); });
    if (!connectToPage(std::chrono::seconds(30)))
        m_process.kill();
}

HeadlessChromium::~HeadlessChromium()
{
    m_socket.abort();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5'000)) {
            m_process.kill();
            m_process.waitForFinished(5'000);
        }
    }
    // Chromium's helper processes may still write to the profile for a moment.
    spinUntil([this] { return QDir(m_profile.path()).removeRecursively(); },
              std::chrono::seconds(5));
}

bool HeadlessChromium::isInstalled()
{
    return QFileInfo(QLatin1String(chromiumPath)).isExecutable();
}

bool HeadlessChromium::isRunning() const
{
    return m_process.state() == QProcess::Running &&
           m_socket.state() == QAbstractSocket::ConnectedState;
}

bool HeadlessChromium::connectToPage(Timeout timeout)
{
    const QDeadlineTimer deadline(timeout);
    // The first line of DevToolsActivePort is the port Chromium listens on.
    QFile portFile(m_profile.filePath(QStringLiteral("DevToolsActivePort")));
    int port = 0;
    if (!spinUntil(
            [&] {
                if (m_process.state() != QProcess::Running)
                    return true;
                if (portFile.open(QIODevice::ReadOnly)) {
                    port = portFile.readLine().trimmed().toInt();
                    portFile.close();
                }
                return port > 0;
            },
            Timeout(deadline.remainingTime())) ||
        port == 0) {
        m_error = QStringLiteral("chromium wrote no DevTools port");
        return false;
    }

    QNetworkAccessManager network;
    QString pageSocket;
    spinUntil(
        [&] {
            QNetworkRequest request(
                QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(port)));
            QNetworkReply *reply = network.get(request);
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(2'000, &loop, &QEventLoop::quit);
            loop.exec();
            for (const QJsonValue target : QJsonDocument::fromJson(reply->readAll()).array()) {
                if (target[QLatin1String("type")].toString() == QLatin1String("page"))
                    pageSocket = target[QLatin1String("webSocketDebuggerUrl")].toString();
            }
            reply->deleteLater();
            return !pageSocket.isEmpty();
        },
        Timeout(deadline.remainingTime()));
    if (pageSocket.isEmpty()) {
        m_error = QStringLiteral("chromium listed no page");
        return false;
    }

    m_socket.open(QUrl(pageSocket));
    if (!spinUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                   Timeout(deadline.remainingTime()))) {
        m_error = QStringLiteral("cannot connect to the page: ") + m_socket.errorString();
        return false;
    }
    for (const char *domain : {"Page.enable", "Runtime.enable", "Log.enable"}) {
        if (!call(QLatin1String(domain)))
            return false;
    }
    return true;
}

void HeadlessChromium::receive(const QString &message)
{
    const QJsonObject json = QJsonDocument::fromJson(message.toUtf8()).object();
    if (json.contains(QLatin1String("id")))
        m_answers.insert(QString::number(json[QLatin1String("id")].toInt()), json);
    else
        m_events.append(json);
}

std::optional<QJsonObject> HeadlessChromium::call(const QString &method, const QJsonObject &params,
                                                  Timeout timeout)
{
    const QString id = QString::number(m_nextId++);
    m_socket.sendTextMessage(
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("id"), id.toInt()},
                                                    {QStringLiteral("method"), method},
                                                    {QStringLiteral("params"), params}})
                              .toJson(QJsonDocument::Compact)));
    if (!spinUntil([&] { return m_answers.contains(id); }, timeout)) {
        m_error = method + QStringLiteral(": no answer in time");
        return std::nullopt;
    }
    const QJsonObject answer = m_answers.take(id).toObject();
    if (answer.contains(QLatin1String("error"))) {
        m_error = method + QStringLiteral(": ") +
                  QString::fromUtf8(QJsonDocument(answer[QLatin1String("error")].toObject())
                                        .toJson(QJsonDocument::Compact));
        return std::nullopt;
    }
    return answer[QLatin1String("result")].toObject();
}

bool HeadlessChromium::open(const QUrl &url, Timeout timeout)
{
    const qsizetype loadsBefore = events(QStringLiteral("Page.loadEventFired")).size();
    if (!call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url.toString()}}, timeout))
        return false;
    return spinUntil(
        [&] { return events(QStringLiteral("Page.loadEventFired")).size() > loadsBefore; },
        timeout);
}

QJsonValue HeadlessChromium::evaluate(const QString &expression, Timeout timeout)
{
    const auto result = call(QStringLiteral("Runtime.evaluate"),
                             {{QStringLiteral("expression"), expression},
                              {QStringLiteral("returnByValue"), true},
                              {QStringLiteral("awaitPromise"), true}},
                             timeout);
    if (!result)
        return QJsonValue::Undefined;
    if (result->contains(QLatin1String("exceptionDetails"))) {
        m_error =
            expression + QStringLiteral(" threw: ") +
            QString::fromUtf8(QJsonDocument((*result)[QLatin1String("exceptionDetails")].toObject())
                                  .toJson(QJsonDocument::Compact));
        return QJsonValue::Undefined;
    }
    return (*result)[QLatin1String("result")][QLatin1String("value")];
}

bool HeadlessChromium::waitUntil(const QString &expression, Timeout timeout)
{
    const QDeadlineTimer deadline(timeout);
    return spinUntil(
        [&] {
            return evaluate(expression, Timeout(std::max<qint64>(1, deadline.remainingTime())))
                       .toBool() == true;
        },
        timeout);
}

bool HeadlessChromium::screenshot(const QString &path)
{
    const auto result = call(QStringLiteral("Page.captureScreenshot"),
                             {{QStringLiteral("format"), QStringLiteral("png")}});
    if (!result)
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(
               QByteArray::fromBase64((*result)[QLatin1String("data")].toString().toLatin1())) > 0;
}

QJsonArray HeadlessChromium::events(const QString &method) const
{
    QJsonArray matching;
    for (const QJsonValue event : m_events) {
        if (event[QLatin1String("method")].toString() == method)
            matching.append(event[QLatin1String("params")]);
    }
    return matching;
}
