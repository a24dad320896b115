// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemporaryPostgres.h"

#include <QDir>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace {

// Debian installs each major version's programs in their own folder.
QString serverProgram(const QString &name)
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version :
         versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QString path = versions.filePath(version + QStringLiteral("/bin/") + name);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

} // namespace

bool TemporaryPostgres::isInstalled()
{
    return !serverProgram(QStringLiteral("initdb")).isEmpty();
}

TemporaryPostgres::TemporaryPostgres()
{
    if (geteuid() == 0) {
        const passwd *postgres = getpwnam("postgres");
        if (!postgres || chown(qPrintable(m_dir.path()), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_error = QStringLiteral("no postgres user to run the server as");
            return;
        }
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    m_running = run(QStringLiteral("initdb"),
                    {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                     QStringLiteral("-U"), QStringLiteral("relay"), QStringLiteral("--no-sync")}) &&
                run(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), data, QStringLiteral("-l"),
                     m_dir.filePath(QStringLiteral("log")), QStringLiteral("-w"),
                     QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("-o"),
                     QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off").arg(m_dir.path()),
                     QStringLiteral("start")});
}

TemporaryPostgres::~TemporaryPostgres()
{
    if (m_running)
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("stop")});
}

QString TemporaryPostgres::databaseUrl() const
{
    return QStringLiteral("postgresql://relay@localhost/postgres?host=") + m_dir.path();
}

bool TemporaryPostgres::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList command = QStringList{serverProgram(program)} + arguments;
    if (geteuid() == 0)
        command =
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} +
            command;
    process.start(geteuid() == 0 ? QStringLiteral("runuser") : command.takeFirst(), command);
    if (process.waitForFinished(60'000) && process.exitCode() == 0)
        return true;
    m_error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll());
    return false;
}
