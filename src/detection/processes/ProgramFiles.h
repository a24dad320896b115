// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

class ProcessDirectory;

// What a path that a process names turns out to be, looked at from the
// process's own root (/proc/PID/root, so a sandboxed process's paths are its
// own) where that is allowed, else from this process's.
enum class PathKind {
    Missing,
    Program, // a file that runs: executable, "#!", ELF, a jar, class or asar, or code by its extension
    File,    // any other file
    Folder,
};
PathKind examinePath(const ProcessDirectory &process, const QString &absolutePath);

// Whether a regular file is a program, from its first bytes, its mode's
// executable bits and its name.
bool looksLikeProgram(QByteArrayView head, bool executable, QStringView fileName);

// One file a process has mapped or open.
struct HeldFile
{
    QString path;
    bool executableMapping = false; // mapped to run code from it
};

// The files behind a process's open descriptors (standard input among them),
// at most `maxFiles`, without sockets, pipes and devices.
QList<HeldFile> openFiles(const ProcessDirectory &process, int maxFiles);

// The distinct files of `maps` (the content of /proc/PID/maps), in order.
QList<HeldFile> mappedFiles(QByteArrayView maps);
