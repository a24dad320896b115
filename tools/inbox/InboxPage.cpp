// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "InboxPage.h"

#include <QFile>

namespace {

QByteArray resource(const char *name)
{
    QFile file(QLatin1String(":/inbox/") + QLatin1String(name));
    file.open(QIODevice::ReadOnly); // built in: cannot fail
    return file.readAll();
}

} // namespace

QList<InboxPageFile> inboxPageFiles()
{
    return {
        {QStringLiteral("/"), "text/html; charset=utf-8", resource("index.html")},
        {QStringLiteral("/inbox.js"), "text/javascript; charset=utf-8", resource("inbox.js")},
        {QStringLiteral("/inbox.css"), "text/css; charset=utf-8", resource("inbox.css")},
    };
}
