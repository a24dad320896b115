// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-inbox: a local Resend-compatible inbox for development and tests.
#include "NoCoreDumps.h"
#include "ResendInbox.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "nimbrel-inbox: %s\n", qPrintable(message));
    std::exit(2);
}

int intOption(const QCommandLineParser &parser, const QString &name, int min, int max)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < min || value > max)
        fail(QStringLiteral("--%1 takes a whole number from %2 to %3").arg(name).arg(min).arg(max));
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    keepOutOfCoreDumps(); // it is given the API key
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbrel-inbox"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local Resend-compatible inbox on 127.0.0.1. Open / in a browser to read "
                       "the messages; GET /api/emails lists them as JSON."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port to listen on; 0 picks a free one."),
         QStringLiteral("N"), QStringLiteral("8025")},
        {QStringLiteral("api-key"),
         QStringLiteral("Accept only this bearer key (default: any non-empty key). Visible to "
                        "every local user in the process list: prefer --api-key-file."),
         QStringLiteral("KEY")},
        {QStringLiteral("api-key-file"),
         QStringLiteral("Accept only the bearer key read from FILE (its first line), e.g. a pipe."),
         QStringLiteral("FILE")},
        {QStringLiteral("status"), QStringLiteral("Answer every send with this HTTP status."),
         QStringLiteral("N")},
        {QStringLiteral("delay-ms"), QStringLiteral("Wait this long before answering a send."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("max-messages"), QStringLiteral("Messages kept in memory."),
         QStringLiteral("N"), QStringLiteral("500")},
        {QStringLiteral("limit-per-second"),
         QStringLiteral("Answer 429 to requests beyond N a second, like the provider."),
         QStringLiteral("N")},
        {QStringLiteral("daily-quota"),
         QStringLiteral("Answer 429 to e-mails beyond N accepted in 24 hours, like the provider."),
         QStringLiteral("N")},
        {QStringLiteral("account-owner"),
         QStringLiteral("The account owner's address: e-mails from the provider's shared sender "
                        "(@resend.dev) reach only it, others get the provider's 403."),
         QStringLiteral("ADDRESS")},
    });
    parser.process(app);

    InboxOptions options;
    if (parser.isSet(QStringLiteral("api-key")))
        options.apiKey = parser.value(QStringLiteral("api-key"));
    if (parser.isSet(QStringLiteral("api-key-file"))) {
        QFile file(parser.value(QStringLiteral("api-key-file")));
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("cannot read the key file: ") + file.errorString());
        const QByteArray firstLine = file.readLine(4096);
        options.apiKey = QString::fromUtf8(firstLine).trimmed();
    }
    if (parser.isSet(QStringLiteral("status")))
        options.forcedStatus = intOption(parser, QStringLiteral("status"), 100, 599);
    options.delayMs = intOption(parser, QStringLiteral("delay-ms"), 0, 3'600'000);
    options.maxMessages = intOption(parser, QStringLiteral("max-messages"), 1, 1'000'000);
    if (parser.isSet(QStringLiteral("limit-per-second")))
        options.limitPerSecond =
            intOption(parser, QStringLiteral("limit-per-second"), 1, 1'000'000);
    if (parser.isSet(QStringLiteral("daily-quota")))
        options.dailyQuota = intOption(parser, QStringLiteral("daily-quota"), 0, 1'000'000);
    if (parser.isSet(QStringLiteral("account-owner")))
        options.accountOwner = parser.value(QStringLiteral("account-owner"));
    const int port = intOption(parser, QStringLiteral("port"), 0, 65535);

    ResendInbox inbox(options);
    const quint16 bound = inbox.listen(static_cast<quint16>(port));
    if (bound == 0)
        fail(QStringLiteral("cannot listen on 127.0.0.1 port %1").arg(port));
    std::printf("nimbrel-inbox listening on http://127.0.0.1:%u\n", unsigned(bound));
    std::fflush(stdout);
    return app.exec();
}
