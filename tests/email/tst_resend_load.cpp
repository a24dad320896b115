// A bounded load check, not a timing test: 1,000 sends to the local inbox with
// at most 50 in flight. Every completion must run once and every message must
// arrive. The figure printed is for the record only.
#include "InboxServer.h"
#include "ResendService.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestResendLoad : public QObject
{
    Q_OBJECT

private slots:
    void thousandSendsFiftyInFlight()
    {
        constexpr int total = 1'000, window = 50;
        InboxServer inbox({.apiKey = u"load-key"_s, .maxMessages = 2 * total});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        ResendService service({u"load-key"_s, inbox.baseUrl().toString()});

        std::vector<int> calls(total, 0);
        int started = 0, completed = 0, succeeded = 0, inFlight = 0, peakInFlight = 0;
        QSet<QString> sent;
        std::function<void()> startNext = [&] {
            const int index = started++;
            peakInFlight = std::max(peakInFlight, ++inFlight);
            sent.insert(u"load %1"_s.arg(index));
            service.sendEmail(u"load@example.com"_s, u"load %1"_s.arg(index), u"<p>x</p>"_s,
                              std::nullopt, [&, index](bool success, std::optional<EmailError>) {
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
        qInfo("%d sends, at most %d in flight: %lld ms", total, peakInFlight, clock.elapsed());
        QTest::qWait(100); // a late second completion would show up here
        QCOMPARE(int(std::count(calls.begin(), calls.end(), 1)), total);
        QCOMPARE(succeeded, total);
        QVERIFY(peakInFlight <= window);
        // Finished replies are released, not kept for the service's lifetime.
        QCOMPARE(service.findChildren<QNetworkReply *>().size(), 0);

        QSet<QString> received;
        for (const QJsonValue &message : inbox.emails(std::chrono::seconds(30)))
            received.insert(message["subject"].toString());
        QCOMPARE(received, sent);
    }
};

QTEST_GUILESS_MAIN(TestResendLoad)
#include "tst_resend_load.moc"
