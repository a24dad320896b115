// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DatabaseUrl.h"

#include <QUrl>
#include <QUrlQuery>

std::variant<DatabaseUrl, QString> parseDatabaseUrl(const QString &text)
{
    if (text.startsWith(QLatin1String("sqlite:"))) {
        const QString path = text.mid(7);
        if (path.isEmpty())
            return QStringLiteral(
                "sqlite: needs a file, e.g. sqlite:/var/lib/nimbrel-relay/relay.db");
        return DatabaseUrl{QStringLiteral("QSQLITE"), path, {}, -1, {}, {}};
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return QStringLiteral("the database must be sqlite:PATH or postgresql://…");
    DatabaseUrl db{QStringLiteral("QPSQL"), url.path().mid(1), url.host(), url.port(-1),
                   url.userName(),          url.password()};
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("host")))
        db.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (db.name.isEmpty())
        return QStringLiteral(
            "postgresql:// needs a database name, e.g. postgresql://relay@db/relay");
    return db;
}
