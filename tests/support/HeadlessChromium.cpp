// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
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

using namespace Qt::StringLiterals;

namespace {

const QString chromiumPath = u"/usr/bin/chromium"_s;

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

QString compact(const QJsonObject &json)
{
    return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

} // namespace

HeadlessChromium::HeadlessChromium()
{
    if (!isInstalled()) {
        m_error = chromiumPath + u" is not installed (scripts/install-deps installs it)"_s;
        return;
    }
    // A fresh profile, no sandbox (tests run as root), nothing that reaches
    // beyond this machine; port 0 lets Chromium pick one and write it down.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(chromiumPath,
                    {u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s, u"--disable-quic"_s,
                     u"--no-first-run"_s, u"--disable-background-networking"_s,
                     u"--disable-component-update"_s, u"--disable-sync"_s, u"--hide-scrollbars"_s,
                     u"--window-size=1280,800"_s,
                     u"--disable-features=IsolateOrigins,site-per-process,"
                     "IsolateSandboxedIframes"_s,
                     u"--remote-debugging-port=0"_s, u"--user-data-dir="_s + m_profile.path(),
                     u"about:blank"_s});
    if (!m_process.waitForStarted(10'000)) {
        m_error = u"chromium did not start: "_s + m_process.errorString();
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
    return QFileInfo(chromiumPath).isExecutable();
}

bool HeadlessChromium::isRunning() const
{
    return m_process.state() == QProcess::Running &&
           m_socket.state() == QAbstractSocket::ConnectedState;
}

bool HeadlessChromium::connectToPage(Timeout timeout)
{
    const QDeadlineTimer deadline(timeout);
    const auto remaining = [&] { return Timeout(deadline.remainingTime()); };
    // The first line of DevToolsActivePort is the port Chromium listens on.
    QFile portFile(m_profile.filePath(u"DevToolsActivePort"_s));
    int port = 0;
    spinUntil(
        [&] {
            if (portFile.open(QIODevice::ReadOnly)) {
                port = portFile.readLine().trimmed().toInt();
                portFile.close();
            }
            return port > 0 || m_process.state() != QProcess::Running;
        },
        remaining());
    if (port == 0) {
        m_error = u"chromium wrote no DevTools port"_s;
        return false;
    }

    QNetworkAccessManager network;
    QString pageSocket;
    spinUntil(
        [&] {
            QNetworkReply *reply =
                network.get(QNetworkRequest(QUrl(u"http://127.0.0.1:%1/json/list"_s.arg(port))));
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(2'000, &loop, &QEventLoop::quit);
            loop.exec();
            for (const QJsonValue target : QJsonDocument::fromJson(reply->readAll()).array()) {
                if (target["type"_L1].toString() == "page"_L1)
                    pageSocket = target["webSocketDebuggerUrl"_L1].toString();
            }
            reply->deleteLater();
            return !pageSocket.isEmpty();
        },
        remaining());
    if (pageSocket.isEmpty()) {
        m_error = u"chromium listed no page"_s;
        return false;
    }

    m_socket.open(QUrl(pageSocket));
    if (!spinUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                   remaining())) {
        m_error = u"cannot connect to the page: "_s + m_socket.errorString();
        return false;
    }
    return call(u"Page.enable"_s) && call(u"Runtime.enable"_s) && call(u"Log.enable"_s);
}

void HeadlessChromium::receive(const QString &message)
{
    const QJsonObject json = QJsonDocument::fromJson(message.toUtf8()).object();
    if (json.contains("id"_L1))
        m_answers.insert(QString::number(json["id"_L1].toInt()), json);
    else
        m_events.append(json);
}

std::optional<QJsonObject> HeadlessChromium::call(const QString &method, const QJsonObject &params,
                                                  Timeout timeout)
{
    const QString id = QString::number(m_nextId++);
    m_socket.sendTextMessage(
        compact({{u"id"_s, id.toInt()}, {u"method"_s, method}, {u"params"_s, params}}));
    if (!spinUntil([&] { return m_answers.contains(id); }, timeout)) {
        m_error = method + u": no answer in time"_s;
        return std::nullopt;
    }
    const QJsonObject answer = m_answers.take(id).toObject();
    if (answer.contains("error"_L1)) {
        m_error = method + u": "_s + compact(answer["error"_L1].toObject());
        return std::nullopt;
    }
    return answer["result"_L1].toObject();
}

bool HeadlessChromium::open(const QUrl &url, Timeout timeout)
{
    const auto loads = [this] { return events(u"Page.loadEventFired"_s).size(); };
    const qsizetype loadsBefore = loads();
    return call(u"Page.navigate"_s, {{u"url"_s, url.toString()}}, timeout) &&
           spinUntil([&] { return loads() > loadsBefore; }, timeout);
}

QJsonValue HeadlessChromium::evaluate(const QString &expression, Timeout timeout)
{
    const auto result =
        call(u"Runtime.evaluate"_s,
             {{u"expression"_s, expression}, {u"returnByValue"_s, true}, {u"awaitPromise"_s, true}},
             timeout);
    if (!result)
        return QJsonValue::Undefined;
    if (result->contains("exceptionDetails"_L1)) {
        m_error = expression + u" threw: "_s + compact((*result)["exceptionDetails"_L1].toObject());
        return QJsonValue::Undefined;
    }
    return (*result)["result"_L1]["value"_L1];
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
    const auto result = call(u"Page.captureScreenshot"_s, {{u"format"_s, u"png"_s}});
    QFile file(path);
    return result && file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray::fromBase64((*result)["data"_L1].toString().toLatin1())) > 0;
}

QJsonArray HeadlessChromium::events(const QString &method) const
{
    QJsonArray matching;
    for (const QJsonValue event : m_events) {
        if (event["method"_L1].toString() == method)
            matching.append(event["params"_L1]);
    }
    return matching;
}
