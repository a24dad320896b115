// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Nimbrel's side of the relay: the session code claimed once, its token kept
// for this user alone and reused by a restarted Nimbrel, e-mails delivered to
// the session's interviewer only, with the relay's refusal in words.
#include "InboxServer.h"
#include "RelayProcess.h"
#include "RelaySender.h"

#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Outcome
{
    bool done = false;
    bool success = false;
    QString error;
};

Outcome send(EmailSender &sender, const QString &to)
{
    auto outcome = std::make_shared<Outcome>();
    sender.sendEmail(to, u"Nimbrel Verification Code"_s, u"<p>123456</p>"_s, u"123456"_s,
                     [outcome](bool success, std::optional<EmailError> error) {
                         *outcome = {true, success, error ? error->description : QString()};
                     });
    return QTest::qWaitFor([&] { return outcome->done; }, 20'000) ? *outcome : Outcome{};
}

} // namespace

class TestRelaySender : public QObject
{
    Q_OBJECT

private slots:
    void claimsOnceAndSendsOnlyToTheInterviewer()
    {
        QTemporaryDir dir;
        QFile key(dir.filePath(u"key"_s));
        QVERIFY(key.open(QIODevice::WriteOnly) && key.write("org-key\n") > 0);
        key.close();
        InboxServer inbox({.apiKey = u"org-key"_s});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QString database = u"sqlite:"_s + dir.filePath(u"relay.db"_s);
        const QString code = RelayProcess::newSession(database, u"jane@example.com"_s);
        QVERIFY(!code.isEmpty());
        RelayProcess relay({u"--provider-url"_s, inbox.baseUrl().toString(),
                            u"--provider-key-file"_s, key.fileName(), u"--sender"_s,
                            u"interviews@example.com"_s, u"--database"_s, database});
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));

        ResendConfig config;
        config.relayUrl = relay.baseUrl().toString();
        config.sessionCode = code.toLower(); // read aloud and typed as heard
        const QString state = dir.filePath(u"state"_s);
        {
            RelaySender sender(config, state);
            const Outcome sent = send(sender, u"jane@example.com"_s);
            QVERIFY2(sent.success, qPrintable(sent.error));
            const Outcome refused = send(sender, u"mallory@example.com"_s);
            QVERIFY(!refused.success);
            QVERIFY2(refused.error.contains(u"j•••@example.com"_s), qPrintable(refused.error));
        }
        const QJsonArray received = inbox.emails();
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0][u"to"_s][0].toString(), u"jane@example.com"_s);
        QCOMPARE(received[0][u"from"_s].toString(), u"interviews@example.com"_s);

        // The token is this user's alone; a restart uses it, as the code is spent.
        const QStringList tokens = QDir(state).entryList(QDir::Files);
        QCOMPARE(tokens.size(), 1);
        QCOMPARE(QFile(state + u'/' + tokens[0]).permissions() & 0x0077, QFileDevice::Permissions());
        RelaySender restarted(config, state);
        QVERIFY2(send(restarted, u"jane@example.com"_s).success, "the kept token was not used");
        RelaySender elsewhere(config, dir.filePath(u"other-state"_s));
        const Outcome spent = send(elsewhere, u"jane@example.com"_s);
        QVERIFY(!spent.success);
        QVERIFY2(spent.error.startsWith(u"The session code could not be claimed"_s),
                 qPrintable(spent.error));
    }
};

QTEST_GUILESS_MAIN(TestRelaySender)
#include "tst_relay_sender.moc"
