// A bounded load check, not a timing test: 1,000 sends to the local inbox with
// at most 50 in flight. Every completion must run once and every message must
// arrive. The figures printed are for the record only.
#include "InboxServer.h"
#include "ResendService.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QtTest>

#include <set>

class TestResendLoad : public QObject
{
    Q_OBJECT

private slots:
    void thousandSendsFiftyInFlight();
};

void TestResendLoad::thousandSendsFiftyInFlight()
{
    constexpr int total = 1'000;
    constexpr int window = 50;
    const QString key = QStringLiteral("load-key");
    InboxServer inbox({.apiKey = key, .maxMessages = 2 * total});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    ResendService service({key, inbox.baseUrl().toString()});

    std::vector<int> calls(total, 0);
    int started = 0, completed = 0, succeeded = 0, inFlight = 0, peakInFlight = 0;
    std::function<void()> startNext = [&] {
        const int index = started++;
        peakInFlight = std::max(peakInFlight, ++inFlight);
        service.sendEmail(QStringLiteral("load@example.com"), QStringLiteral("load %1").arg(index),
                          QStringLiteral("<p>message %1</p>").arg(index), std::nullopt,
                          [&, index](bool success, std::optional<EmailError>) {
                              ++calls[size_t(index)];
                              --inFlight;
                              ++completed;
                              succeeded += success ? 1 : 0;
                              if (started < total)
                                  startNext();
                          });
    };

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < window; ++i)
        startNext();
    QTRY_COMPARE_WITH_TIMEOUT(completed, total, 240'000);
    const qint64 elapsedMs = std::max<qint64>(1, clock.elapsed());
    qInfo("%d sends, at most %d in flight: %lld ms, %.0f sends/s", total, peakInFlight, elapsedMs,
          total * 1000.0 / double(elapsedMs));

    QTest::qWait(100); // a late second completion would show up here
    QCOMPARE(completed, total);
    QVERIFY(std::all_of(calls.begin(), calls.end(), [](int n) { return n == 1; }));
    QCOMPARE(succeeded, total);
    QVERIFY(peakInFlight <= window);
    // Finished replies are released, not kept for the service's lifetime.
    QCOMPARE(service.findChildren<QNetworkReply *>().size(), 0);

    const QJsonArray stored = inbox.emails(std::chrono::seconds(30));
    std::set<QString> received, expected;
    for (const QJsonValue &message : stored)
        received.insert(message["subject"].toString());
    for (int i = 0; i < total; ++i)
        expected.insert(QStringLiteral("load %1").arg(i));
    QCOMPARE(stored.size(), total);
    QVERIFY(received == expected);
}

QTEST_GUILESS_MAIN(TestResendLoad)
#include "tst_resend_load.moc"
