// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// A desktop a candidate has prepared against the scan: a /proc tree of
// `processes` processes of the user, outside any launcher unit, and an XDG
// data folder whose desktop entries the attack writes into entryFolder().
class HostileDesktop
{
public:
    HostileDesktop(int processes, uint uid);

    // Gives every process this environment (NUL-separated variables).
    void setEnvironment(const QByteArray &environment) const;
    // Names the i-th process `nameOf(i)`: its executable, argv[0] and comm.
    void setNames(const std::function<QByteArray(int)> &nameOf) const;

    QString procRoot() const { return m_dir.filePath(QStringLiteral("proc")); }
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    QString entryFolder() const { return dataDir() + QStringLiteral("/applications"); }
    // A folder outside the data folders, for entries a launcher hint names.
    QString ownFolder() const { return m_dir.filePath(QStringLiteral("own")); }

private:
    QTemporaryDir m_dir;
};

// A desktop entry of about `size` bytes: `keys` after the group line, then
// comment lines up to the size.
QByteArray paddedDesktopEntry(const QByteArray &keys, qsizetype size);

// `count` combining acute accents (U+0301), as UTF-8.
QByteArray combiningMarks(qsizetype count);
