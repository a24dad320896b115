// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelayOptions.h"

#include "ResendEndpoint.h"

#include <QFile>
#include <QHostAddress>

namespace {

struct OptionText
{
    const char *name;
    const char *description;
    const char *valueName; // nullptr for a switch
};

constexpr OptionText options[] = {
    {"config", "Read settings from FILE (default: " NIMBREL_RELAY_CONFIG ", when present).",
     "FILE"},
    {"database", "sqlite:PATH or postgresql://user@host/name.", "URL"},
    {"listen", "Address and port to serve HTTP on, e.g. 127.0.0.1:8787; port 0 picks a free one.",
     "ADDRESS:PORT"},
    {"provider-url", "The e-mail provider's API base, e.g. https://api.resend.com.", "URL"},
    {"provider-key-file", "File whose first line is the provider's API key.", "FILE"},
    {"sender", "The sender address of every e-mail.", "ADDRESS"},
    {"silence-after", "Tell the interviewer after this long without a heartbeat (default 35s).",
     "DURATION"},
    {"connections-per-address", "Open connections one client address may hold (default 32).", "N"},
    {"emails-per-address", "E-mails a minute from one client address (default 600).", "N"},
    {"trust-proxy", "Take the client's address from X-Real-IP of a proxy on this machine.",
     nullptr},
    {"interviewer", "session new, account set: the interviewer's e-mail address.", "ADDRESS"},
    {"expires-in", "session new: how long the session lasts (default 4h).", "DURATION"},
};

std::optional<int> positive(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional(value) : std::nullopt;
}

} // namespace

std::optional<std::chrono::seconds> parseDuration(const QString &text)
{
    static const QHash<QChar, long> units{{QLatin1Char('s'), 1},
                                          {QLatin1Char('m'), 60},
                                          {QLatin1Char('h'), 3600},
                                          {QLatin1Char('d'), 86400}};
    const QString trimmed = text.trimmed();
    const long unit = trimmed.isEmpty() ? 0 : units.value(trimmed.back(), 0);
    bool ok = false;
    const long number = (unit ? trimmed.chopped(1) : trimmed).toLong(&ok);
    if (!ok || number <= 0 || number > 3650L * 86400 / std::max(unit, 1L))
        return std::nullopt;
    return std::chrono::seconds(number * std::max(unit, 1L));
}

QList<QCommandLineOption> RelayOptions::commandLineOptions()
{
    QList<QCommandLineOption> list;
    for (const OptionText &option : options) {
        if (option.valueName)
            list.append({QLatin1String(option.name), QLatin1String(option.description),
                         QLatin1String(option.valueName)});
        else
            list.append({QLatin1String(option.name), QLatin1String(option.description)});
    }
    return list;
}

std::variant<RelayOptions, QString> RelayOptions::load(const QCommandLineParser &parser)
{
    RelayOptions result;
    const bool named = parser.isSet(QStringLiteral("config"));
    QFile file(named ? parser.value(QStringLiteral("config"))
                     : QStringLiteral(NIMBREL_RELAY_CONFIG));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        int number = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
            ++number;
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            const QString name = line.left(equals).trimmed();
            const bool known =
                std::any_of(std::begin(options), std::end(options),
                            [&](const OptionText &o) { return name == QLatin1String(o.name); });
            if (equals < 0 || !known || name == QLatin1String("config"))
                return QStringLiteral("%1:%2: expected \"option = value\" with a known option")
                    .arg(file.fileName())
                    .arg(number);
            result.m_values.insert(name, line.mid(equals + 1).trimmed());
        }
    } else if (named) {
        return QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
    }
    for (const OptionText &option : options) {
        const QString name = QLatin1String(option.name);
        if (parser.isSet(name))
            result.m_values.insert(name,
                                   option.valueName ? parser.value(name) : QStringLiteral("true"));
    }
    return result;
}

QString RelayOptions::value(const QString &name, const QString &fallback) const
{
    return m_values.value(name, fallback);
}

std::variant<RelaySettings, QString> RelayOptions::serveSettings() const
{
    RelaySettings settings;
    const QString listen = value(QStringLiteral("listen"), QStringLiteral("127.0.0.1:8787"));
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const uint port = listen.mid(colon + 1).toUInt(&portOk);
    settings.listenAddress = listen.left(colon).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    if (colon < 0 || !portOk || port > 65535 || QHostAddress(settings.listenAddress).isNull())
        return QStringLiteral("--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8787");
    settings.port = quint16(port);

    const auto endpoint = emailsEndpoint(value(QStringLiteral("provider-url")));
    if (const auto *problem = std::get_if<EmailError>(&endpoint))
        return QStringLiteral("--provider-url: ") + problem->description;
    settings.providerEndpoint = std::get<QUrl>(endpoint);

    QFile keyFile(value(QStringLiteral("provider-key-file")));
    if (keyFile.fileName().isEmpty() || !keyFile.open(QIODevice::ReadOnly))
        return QStringLiteral("--provider-key-file: cannot read the key: ") + keyFile.errorString();
    settings.providerKey = QString::fromUtf8(keyFile.readLine(4096)).trimmed();
    if (settings.providerKey.isEmpty() || apiKeyProblem(settings.providerKey))
        return QStringLiteral("--provider-key-file: the first line must be the key");

    settings.sender = value(QStringLiteral("sender"));
    if (!settings.sender.contains(QLatin1Char('@')))
        return QStringLiteral("--sender takes the address e-mails are sent from");

    if (const QString silence = value(QStringLiteral("silence-after")); !silence.isEmpty()) {
        const auto duration = parseDuration(silence);
        if (!duration)
            return QStringLiteral("--silence-after takes a duration, e.g. 35s");
        settings.silenceAfter = *duration;
    }
    if (const QString n = value(QStringLiteral("connections-per-address")); !n.isEmpty()) {
        if (!positive(n))
            return QStringLiteral("--connections-per-address takes a positive number");
        settings.limits.connectionsPerAddress = *positive(n);
    }
    if (const QString n = value(QStringLiteral("emails-per-address")); !n.isEmpty()) {
        if (!positive(n))
            return QStringLiteral("--emails-per-address takes a positive number");
        settings.addressEmailsPerMinute = *positive(n);
    }
    settings.trustProxy = value(QStringLiteral("trust-proxy")) == QLatin1String("true");
    return settings;
}
