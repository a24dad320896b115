// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

// Runs the built `nimbrel-relay serve` with the given options on a free port
// of 127.0.0.1; the constructor waits (at most 10 s) for its listening line.
class RelayProcess
{
public:
    explicit RelayProcess(const QStringList &serveOptions);
    ~RelayProcess();
    RelayProcess(const RelayProcess &) = delete;
    RelayProcess &operator=(const RelayProcess &) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running && m_url.isValid(); }
    QString errorString() const { return m_error; }
    QUrl baseUrl() const { return m_url; }
    qint64 processId() const { return m_process.processId(); }
    void kill(); // SIGKILL, and waits for the end
    // A line of /proc/PID/status in KiB, e.g. "VmHWM" (peak resident memory).
    qint64 memoryKiB(const char *field) const;

    // `nimbrel-relay session new`: the code it prints, empty on failure.
    static QString newSession(const QString &database, const QString &interviewer,
                              const QString &expiresIn = QStringLiteral("4h"));

private:
    QProcess m_process;
    QUrl m_url;
    QString m_error;
};
