// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelayProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

RelayProcess::RelayProcess(const QStringList &serveOptions)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(NIMBREL_RELAY_PATH),
                    QStringList{QStringLiteral("serve"), QStringLiteral("--listen"),
                                QStringLiteral("127.0.0.1:0")} +
                        serveOptions);
    static const QRegularExpression listening(QStringLiteral("listening on (http://\\S+)"));
    const QDeadlineTimer deadline(10'000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        if (!m_process.canReadLine()) {
            m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
            continue;
        }
        if (const auto match = listening.match(QString::fromUtf8(m_process.readLine()));
            match.hasMatch()) {
            m_url = QUrl(match.captured(1));
            return;
        }
    }
    m_error = QStringLiteral("nimbrel-relay printed no listening line (its errors are above)");
}

RelayProcess::~RelayProcess()
{
    kill();
}

void RelayProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10'000);
}

qint64 RelayProcess::memoryKiB(const char *field) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

QString RelayProcess::newSession(const QString &database, const QString &interviewer,
                                 const QString &expiresIn)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(NIMBREL_RELAY_PATH),
                  {QStringLiteral("session"), QStringLiteral("new"), QStringLiteral("--database"),
                   database, QStringLiteral("--interviewer"), interviewer,
                   QStringLiteral("--expires-in"), expiresIn});
    if (!process.waitForFinished(10'000) || process.exitCode() != 0)
        return {};
    return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
}
