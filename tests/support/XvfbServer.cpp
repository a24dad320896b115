// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "XvfbServer.h"

#include <QDeadlineTimer>

XvfbServer::~XvfbServer()
{
    m_process.terminate(); // a stopped server is killed after the wait
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

bool XvfbServer::start(QSize screen, int screens)
{
    QStringList arguments{QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")};
    if (screen.isEmpty() && screens > 1)
        screen = {1280, 1024};
    for (int number = 0; number < screens && !screen.isEmpty(); ++number)
        arguments << QStringLiteral("-screen") << QString::number(number)
                  << QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height());
    m_process.start(QStringLiteral("Xvfb"), arguments);
    const QDeadlineTimer deadline(10'000);
    while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    if (!m_process.canReadLine())
        return false;
    m_display = QLatin1Char(':') + QString::fromLatin1(m_process.readLine().trimmed());
    return m_display.size() > 1;
}
