// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Parsers for the /proc/PID files the scan reads. Each takes whatever bytes
// a read gave, however short, long or malformed.

// `stat`: "pid (comm) state ppid pgrp session tty tpgid flags ... starttime ...".
// comm may hold spaces and parentheses, so it ends at the last ')'.
struct ProcStat
{
    QByteArray comm;
    char state = 0;
    qint64 parentPid = 0;
    qulonglong flags = 0;
    quint64 startTime = 0; // clock ticks after boot
    bool complete = false; // every field up to starttime was there and numeric
};
std::optional<ProcStat> parseProcStat(QByteArrayView stat);

// Whether `stat`'s flags mark a kernel thread.
bool isKernelThread(const ProcStat &stat);

// The real user id on the "Uid:" line of `status`.
std::optional<uint> parseRealUid(QByteArrayView status);

// The kernel's comm on the "Name:" line of `status`, as `stat` gives it: the
// kernel writes a newline in it as "\n" and a backslash as "\\" (older
// kernels in octal, "\012" and "\134"); these are undone.
std::optional<QByteArray> parseStatusName(QByteArrayView status);

// The NUL-separated arguments of `cmdline`, at most `maxArguments` of them, as
// views into it; a last argument without its NUL (a read cut short) is kept.
QList<QByteArrayView> splitCmdline(QByteArrayView cmdline, qsizetype maxArguments);

// The path of an executable from the target of a /proc/PID/exe link, with
// the kernel's " (deleted)" mark of a replaced file removed.
QString executablePathFromLink(QByteArray target);

// The target of the link `name` inside the open folder `directory`, empty
// when it cannot be read.
QByteArray readLinkAt(int directory, const char *name);
