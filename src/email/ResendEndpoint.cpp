// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResendEndpoint.h"

#include <QCoreApplication>
#include <QHostAddress>

namespace {

EmailError unusable(const char *text)
{
    return {QCoreApplication::translate("ResendService", text), EmailError::Kind::Misconfigured};
}

bool isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

std::variant<QUrl, EmailError> emailsEndpoint(const QString &baseUrl)
{
    QUrl url(baseUrl, QUrl::StrictMode);
    // The address itself stays out of the message: a pasted URL may carry secrets.
    if (!url.isValid() || url.isRelative() || url.host().isEmpty() || url.hasQuery() ||
        url.hasFragment() || !url.userInfo().isEmpty())
        return unusable("The e-mail API address (ResendAPIBaseURL in Config.plist) is not a "
                        "valid URL.");
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        return unusable("The e-mail API address (ResendAPIBaseURL in Config.plist) must start "
                        "with https://.");
    if (scheme == QLatin1String("http") && !isLoopbackHost(url.host()))
        return unusable("The e-mail API address (ResendAPIBaseURL in Config.plist) uses plain "
                        "HTTP to another machine; the API key is only sent over HTTPS.");

    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QLatin1String("/emails"));
    return url;
}

std::optional<EmailError> apiKeyProblem(const QString &apiKey)
{
    for (const QChar c : apiKey) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return unusable("The API key in Config.plist contains control characters (such as "
                            "a line break) and cannot be sent.");
    }
    return std::nullopt;
}
