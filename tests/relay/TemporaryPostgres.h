// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

// A private PostgreSQL cluster of Debian's server for one test: initdb in a
// temporary folder, listening on a Unix socket there only, stopped at once
// by the destructor. As root, the server's programs run as the postgres
// user (PostgreSQL refuses to run as root).
class TemporaryPostgres
{
public:
    TemporaryPostgres();
    ~TemporaryPostgres();
    TemporaryPostgres(const TemporaryPostgres &) = delete;
    TemporaryPostgres &operator=(const TemporaryPostgres &) = delete;

    static bool isInstalled();
    bool isRunning() const { return m_running; }
    QString errorString() const { return m_error; }
    QString databaseUrl() const; // postgresql://relay@localhost/postgres?host=<folder>

private:
    bool run(const QString &program, const QStringList &arguments);

    QTemporaryDir m_dir;
    bool m_running = false;
    QString m_error;
};
