// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-relay: sends Nimbrel's e-mails for an organisation, with its key.
#include "NoCoreDumps.h"
#include "RelayOptions.h"
#include "RelayService.h"
#include "RelayStore.h"
#include "Secrets.h"
#include "SessionCode.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <sys/resource.h>

#include <cstdio>

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "nimbrel-relay: %s\n", qPrintable(message));
    std::exit(2);
}

std::unique_ptr<RelayStore> openStore(const RelayOptions &options)
{
    const auto url = parseDatabaseUrl(options.value(QStringLiteral("database")));
    if (const auto *problem = std::get_if<QString>(&url))
        fail(QStringLiteral("--database: ") + *problem);
    auto store = RelayStore::open(std::get<DatabaseUrl>(url), QStringLiteral("relay"));
    if (const auto *problem = std::get_if<QString>(&store))
        fail(*problem);
    return std::move(std::get<std::unique_ptr<RelayStore>>(store));
}

// Each client holds a descriptor: take all the system allows.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int newSession(const RelayOptions &options)
{
    const QString interviewer = options.value(QStringLiteral("interviewer")).trimmed();
    if (!interviewer.contains(QLatin1Char('@')) || interviewer.contains(QLatin1Char(' ')))
        fail(QStringLiteral("session new needs --interviewer ADDRESS"));
    const auto lasts =
        parseDuration(options.value(QStringLiteral("expires-in"), QStringLiteral("4h")));
    if (!lasts)
        fail(QStringLiteral("--expires-in takes a duration, e.g. 4h"));

    const std::unique_ptr<RelayStore> store = openStore(options);
    const QString code = SessionCode::generate();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString actor = QStringLiteral("command line (%1)").arg(qEnvironmentVariable("USER"));
    if (!store->createSession(interviewer, Secrets::hashOf(code.toLatin1()), now,
                              now + qint64(lasts->count()) * 1000, actor))
        fail(QStringLiteral("cannot store the session: ") + store->lastError());
    std::printf("%s\n", qPrintable(SessionCode::display(code)));
    return 0;
}

// The password comes on standard input (its first line), never as an argument.
int setAccount(const RelayOptions &options)
{
    const QString interviewer = options.value(QStringLiteral("interviewer")).trimmed();
    if (!interviewer.contains(QLatin1Char('@')) || interviewer.contains(QLatin1Char(' ')))
        fail(QStringLiteral("account set needs --interviewer ADDRESS"));
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read the password from standard input"));
    QByteArray password = input.readLine(1024);
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    if (password.size() < 12)
        fail(QStringLiteral(
            "the password (first line of standard input) needs 12 characters or more"));
    const QByteArray hash = Secrets::hashPassword(password);
    if (hash.isEmpty())
        fail(QStringLiteral("not enough memory to hash the password"));
    const std::unique_ptr<RelayStore> store = openStore(options);
    const QString actor = QStringLiteral("command line (%1)").arg(qEnvironmentVariable("USER"));
    if (!store->setInterviewer(interviewer, hash, QDateTime::currentMSecsSinceEpoch(), actor))
        fail(QStringLiteral("cannot store the account: ") + store->lastError());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    keepOutOfCoreDumps(); // it holds the provider's key
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbrel-relay"));
    if (!Secrets::initialise())
        fail(QStringLiteral("libsodium cannot start (no system randomness)"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends Nimbrel's e-mails for an organisation and watches its sessions.\n"
        "  serve         serve the API over HTTP\n"
        "  session new   create a session and print the candidate's code\n"
        "  account set   create an interviewer's account, or set its password (from standard "
        "input)"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("serve | session new | account set"));
    parser.addOptions(RelayOptions::commandLineOptions());
    parser.process(app);

    const auto loaded = RelayOptions::load(parser);
    if (const auto *problem = std::get_if<QString>(&loaded))
        fail(*problem);
    const RelayOptions &options = std::get<RelayOptions>(loaded);
    const QStringList command = parser.positionalArguments();

    if (command == QStringList{QStringLiteral("session"), QStringLiteral("new")})
        return newSession(options);
    if (command == QStringList{QStringLiteral("account"), QStringLiteral("set")})
        return setAccount(options);
    if (command != QStringList{QStringLiteral("serve")})
        fail(QStringLiteral("expected a command: serve, session new or account set (see --help)"));

    const auto settings = options.serveSettings();
    if (const auto *problem = std::get_if<QString>(&settings))
        fail(*problem);
    raiseDescriptorLimit();
    RelayService relay(std::get<RelaySettings>(settings), openStore(options));
    const auto bound = relay.start();
    if (const auto *problem = std::get_if<QString>(&bound))
        fail(QStringLiteral("cannot listen: ") + *problem);
    const RelaySettings &serving = std::get<RelaySettings>(settings);
    const QString host = serving.listenAddress.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + serving.listenAddress + QLatin1Char(']')
                             : serving.listenAddress;
    std::printf("nimbrel-relay listening on http://%s:%u\n", qPrintable(host),
                unsigned(std::get<quint16>(bound)));
    std::fflush(stdout);
    return app.exec();
}
