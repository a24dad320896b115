// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A bounded load check, not a timing test: 1,000 sends to the local inbox with
// at most 50 in flight. Every completion must run once and every message must
// arrive.
#include "InboxServer.h"
#include "ResendService.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestResendLoad : public QObject
{
    Q_OBJECT

private slots:
    void thousandSendsFiftyInFlight()
    {
        constexpr qsizetype total = 1'000, window = 50;
        InboxServer inbox({.apiKey = u"load-key"_s, .maxMessages = int(2 * total)});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        ResendService service({u"load-key"_s, inbox.baseUrl().toString()});

        QList<int> calls(total, 0);
        qsizetype started = 0, succeeded = 0;
        std::function<void()> startNext = [&] {
            const qsizetype index = started++;
            service.sendEmail(u"load@example.com"_s, QString::number(index), u"<p>x</p>"_s,
                              std::nullopt, [&, index](bool success, std::optional<EmailError>) {
                                  ++calls[index];
                                  succeeded += success ? 1 : 0;
                                  if (started < total)
                                      startNext();
                              });
        };
        // Each completion starts the next send, so at most fifty are ever in flight.
        for (qsizetype i = 0; i < window; ++i)
            startNext();
        QTRY_COMPARE_WITH_TIMEOUT(calls.count(1), total, 240'000);
        QTest::qWait(100); // a late second completion would show up here
        QCOMPARE(calls.count(1), total);
        QCOMPARE(succeeded, total);

        QSet<QString> received;
        for (const QJsonValue &message : inbox.emails(std::chrono::seconds(30)))
            received.insert(message["subject"].toString());
        QCOMPARE(received.size(), total); // one distinct subject per send
    }
};

QTEST_GUILESS_MAIN(TestResendLoad)
#include "tst_resend_load.moc"
