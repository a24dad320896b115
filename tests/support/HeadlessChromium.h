// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebSocket>

#include <chrono>
#include <optional>

// Debian's Chromium, headless, driven through the DevTools protocol over a
// WebSocket: one page, its console, script evaluation and screenshots.
//
//   HeadlessChromium browser;
//   QVERIFY2(browser.isRunning(), qPrintable(browser.errorString()));
//   browser.open(url);
//   QVERIFY(browser.waitUntil(u"document.querySelectorAll('li').length == 2"_s));
//
// Every call waits for its answer at most the given time (10 s by default);
// the destructor ends the browser. Not copyable.
class HeadlessChromium
{
public:
    using Timeout = std::chrono::milliseconds;
    static constexpr Timeout defaultTimeout{10'000};

    HeadlessChromium();
    ~HeadlessChromium();
    HeadlessChromium(const HeadlessChromium &) = delete;
    HeadlessChromium &operator=(const HeadlessChromium &) = delete;

    static bool isInstalled();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    // One DevTools command; the result object, or none (and errorString()) on
    // an error answer or time-out.
    std::optional<QJsonObject> call(const QString &method, const QJsonObject &params = {},
                                    Timeout timeout = defaultTimeout);

    // Loads url and waits for its load event.
    bool open(const QUrl &url, Timeout timeout = defaultTimeout);
    // The value of a JavaScript expression in the page (promises awaited).
    QJsonValue evaluate(const QString &expression, Timeout timeout = defaultTimeout);
    // Polls the expression until it is true; false on time-out.
    bool waitUntil(const QString &expression, Timeout timeout = defaultTimeout);
    // The visible page as PNG.
    bool screenshot(const QString &path);

    // The DevTools events received so far with this method name, such as
    // "Runtime.consoleAPICalled" or "Log.entryAdded", oldest first.
    QJsonArray events(const QString &method) const;

private:
    bool connectToPage(Timeout timeout);
    void receive(const QString &message);

    QTemporaryDir m_profile;
    QProcess m_process;
    QWebSocket m_socket;
    int m_nextId = 1;
    QJsonObject m_answers; // by command id
    QJsonArray m_events;
    QString m_error;
};
