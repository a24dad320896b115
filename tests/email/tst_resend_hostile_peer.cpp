// The e-mail client against servers that misbehave on purpose. Each case runs
// in a child process (this program with --case), so a crash, a hang or memory
// growth of one case shows as exactly that and cannot spoil the next.
#include "HostilePeer.h"
#include "ResendService.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Short enough to keep the suite quick, long enough for every hostile answer to
// pour in far more than the client may keep.
constexpr auto deadline = 2'000ms;
constexpr qint64 maxGrowthKiB = 32 * 1024;

qint64 residentKiB()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// One send to a hostile peer. Prints: completions, success, elapsed ms, the
// highest growth of resident memory in KiB, and the error's description.
int runCase(HostilePeer::Answer answer)
{
    HostilePeer peer(answer);
    ResendService service({u"hostile-key"_s, u"http://127.0.0.1:%1"_s.arg(peer.port())},
                          ResendLimits{.deadline = deadline});

    const qint64 before = residentKiB();
    std::atomic<qint64> peak = before;
    std::atomic<bool> sampling = true;
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), residentKiB());
            std::this_thread::sleep_for(5ms);
        }
    });

    int calls = 0;
    bool success = false;
    QString description = u"-"_s;
    QElapsedTimer clock;
    clock.start();
    qint64 elapsed = -1;
    service.sendEmail(u"a@example.com"_s, u"s"_s, u"<p>x</p>"_s, std::nullopt,
                      [&](bool ok, std::optional<EmailError> error) {
                          ++calls;
                          success = ok;
                          elapsed = clock.elapsed();
                          if (error)
                              description = error->description;
                      });
    // Past the deadline, plus time for a second completion to show up.
    (void)QTest::qWaitFor([&] { return calls > 0; }, int((deadline + 10s).count()));
    QTest::qWait(300);
    sampling = false;
    sampler.join();
    std::printf("%d %d %lld %lld %s\n", calls, int(success), elapsed, peak - before,
                qPrintable(description));
    if (peer.redirectedConnections() != 0)
        std::printf("followed the redirect\n");
    return 0;
}

} // namespace

class TestResendHostilePeer : public QObject
{
    Q_OBJECT

private slots:
    void everySendCompletesOnceWithinBounds_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("error"); // the failure's text, where it is ours
        using enum HostilePeer::Answer;
        QTest::newRow("huge declared length") << int(HugeDeclaredLength) << QString();
        QTest::newRow("endless chunked body") << int(EndlessChunked) << QString();
        QTest::newRow("trickle") << int(Trickle) << u"The request timed out."_s;
        QTest::newRow("endless headers") << int(EndlessHeaders) << QString();
        QTest::newRow("reset mid-body") << int(ResetMidBody) << QString();
        QTest::newRow("307 to another port") << int(RedirectElsewhere) << QString();
        QTest::newRow("101") << int(SwitchingProtocols) << QString();
        QTest::newRow("999") << int(Status999) << QString();
        // A notice counted as delivered when it was not is the worst outcome of all.
        const QString cutOff = u"the e-mail service's answer was cut off"_s,
                      noId = u"the e-mail service answered 200 without a message id"_s;
        QTest::newRow("status line, then closed") << int(StatusLineOnly) << cutOff;
        QTest::newRow("closed inside the headers") << int(CutInHeaders) << cutOff;
        QTest::newRow("empty 200") << int(Empty200) << noId;
        QTest::newRow("HTML 200") << int(Html200) << noId;
        QTest::newRow("HTTP/1.0 200 without a body") << int(Http10WithoutBody) << noId;
        QTest::newRow("200 with an empty id") << int(EmptyId200) << noId;
    }

    void everySendCompletesOnceWithinBounds()
    {
        QFETCH(int, answer);
        QFETCH(QString, error);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifndef __SANITIZE_ADDRESS__
        // A client that trusts the declared length would try to take gigabytes.
        child.setChildProcessModifier([] {
            const rlimit limit{2ul << 30, 2ul << 30};
            setrlimit(RLIMIT_AS, &limit);
        });
#endif
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--case"_s, QString::number(answer)});
        QVERIFY(child.waitForFinished(int((deadline + 30s).count())));
        const QByteArray output = child.readAllStandardOutput();
        qInfo("%s: %s", QTest::currentDataTag(), output.trimmed().constData());

        // The process lives, the send completes exactly once, never as a success,
        // within the deadline, and resident memory stays within bounds.
        const QList<QByteArray> fields = output.trimmed().split(' ');
        const qint64 elapsed = fields.value(2).toLongLong(), growth = fields.value(3).toLongLong();
        const bool held = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                          fields.value(0) == "1" && fields.value(1) == "0" && elapsed >= 0 &&
                          elapsed <= (deadline + 1s).count() && growth <= maxGrowthKiB &&
                          !output.contains("followed the redirect") &&
                          (error.isEmpty() || output.trimmed().endsWith(error.toUtf8()));
        QVERIFY2(held, output.constData());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (const qsizetype at = app.arguments().indexOf(u"--case"_s); at > 0)
        return runCase(HostilePeer::Answer(app.arguments().value(at + 1).toInt()));
    TestResendHostilePeer test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_resend_hostile_peer.moc"
