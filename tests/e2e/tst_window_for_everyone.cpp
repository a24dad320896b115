#include "InboxServer.h"
#include "NimbrelWindow.h"
#include "WindowDriving.h"
#include "XvfbServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

const QString kApiKey = QStringLiteral("window-key");
const QColor kPrimaryBlue(51, 102, 204);
const QColor kSendGrey(64, 64, 77); // the disabled Send button
const QColor kFocusRing(8, 24, 60);

bool near(QRgb pixel, const QColor &colour, int tolerance)
{
    return qAbs(qRed(pixel) - colour.red()) <= tolerance &&
           qAbs(qGreen(pixel) - colour.green()) <= tolerance &&
           qAbs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Whether a focus ring runs just above the control whose face holds `face`:
// up from there, past the face's edge and the gap, within a few pixels.
bool ringAbove(const QImage &screen, QPoint face, const QColor &fill)
{
    int y = face.y();
    while (y > 0 && near(screen.pixel(face.x(), y), fill, 12))
        --y;
    for (int above = 0; above < 8 && y - above >= 0; ++above)
        if (near(screen.pixel(face.x(), y - above), kFocusRing, 12))
            return true;
    return false;
}

// Whether two pictures show the same: a gradient redrawn in part may come
// out a step lighter or darker here and there.
bool alike(const QImage &one, const QImage &other)
{
    if (one.size() != other.size())
        return false;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            if (!near(one.pixel(x, y), QColor(other.pixel(x, y)), 3))
                return false;
    return true;
}

// The id of the program's visible window.
QString windowOf(const NimbrelWindow &app)
{
    const auto ids =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--pid"), QString::number(app.processId())});
    return ids ? QString::fromLatin1(ids->split('\n').first()) : QString();
}

} // namespace

// The window for people who use the keyboard alone, small windows and HiDPI
// screens: the real program on its own Xvfb display, driven by xdotool.
class TestWindowForEveryone : public QObject
{
    Q_OBJECT

    XvfbServer m_xvfb;
    std::unique_ptr<InboxServer> m_inbox;

    // The code of the index-th verification e-mail, once it has arrived.
    QString codeOf(int index)
    {
        QString code;
        (void)QTest::qWaitFor(
            [&] {
                const QJsonArray emails = m_inbox->emails(); // newest first
                if (emails.size() <= index)
                    return false;
                code = QRegularExpression(QStringLiteral("<strong>(\\d{6})</strong>"))
                           .match(emails[emails.size() - 1 - index]["html"].toString())
                           .captured(1);
                return true;
            },
            15'000);
        return code;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_xvfb.start({1024, 800}), "Xvfb did not start");
        qputenv("DISPLAY", m_xvfb.display().toLocal8Bit());
        m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = kApiKey});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));
    }

    // Return sends the code from the address field and verifies it from the
    // code field; the dashboard opens with its focus ring on Manual Scan,
    // before any key has been pressed there.
    void returnSendsAndVerifies()
    {
        NimbrelWindow app;
        QVERIFY2(app.start({.apiKey = kApiKey, .baseUrl = m_inbox->baseUrl()}),
                 qPrintable(app.error()));
        QVERIFY(app.waitForControl(kFieldFill, kFieldWidth));
        QVERIFY(app.type(QStringLiteral("interviewer@example.com")));
        QVERIFY(app.keys({QStringLiteral("Return")}));
        const QString code = codeOf(0);
        QVERIFY2(!code.isEmpty(), "Return did not send the code");
        QVERIFY2(app.waitForControl(kFieldFill, kFieldWidth, 1), "no code field");
        QVERIFY(app.type(code)); // the code field took the focus
        QVERIFY(app.keys({QStringLiteral("Return")}));
        QVERIFY2(app.waitForControl(kStartGreen, kButtonWidth), "Return did not verify");

        const QImage dashboard = NimbrelWindow::waitForStillScreen();
        QVERIFY(!dashboard.isNull());
        const QList<QPoint> scan = controls(dashboard, kPrimaryBlue, kButtonWidth);
        const QList<QPoint> start = controls(dashboard, kStartGreen, kButtonWidth);
        QVERIFY(!scan.isEmpty() && !start.isEmpty());
        QVERIFY2(ringAbove(dashboard, scan.first(), kPrimaryBlue), "no ring on Manual Scan");
        QVERIFY2(!ringAbove(dashboard, start.first(), kStartGreen), "a ring on Start Monitor");
    }

    // At the minimum size the card outgrows the window once the code is out:
    // Tab scrolls Verify Code into sight, and the wheel scrolls back up.
    void shortWindowScrolls()
    {
        NimbrelWindow app;
        QVERIFY2(app.start({.apiKey = kApiKey, .baseUrl = m_inbox->baseUrl()}),
                 qPrintable(app.error()));
        const QString window = windowOf(app);
        QVERIFY(
            run(QStringLiteral("xdotool"), {QStringLiteral("windowsize"), QStringLiteral("--sync"),
                                            window, QStringLiteral("420"), QStringLiteral("490")}));
        const QRect inWindow(0, 0, 420, 490); // without a window manager it sits at 0,0
        // The window's top, left of its scroll bar (whose thumb follows the content's length).
        const QRect topArea(0, 0, 400, 120);
        const QImage top = NimbrelWindow::waitForStillScreen().copy(topArea);
        QVERIFY(!top.isNull());

        const int sent = m_inbox->emails().size();
        QVERIFY(app.type(QStringLiteral("a@example.com")));
        QVERIFY(app.keys({QStringLiteral("Return")}));
        QVERIFY(!codeOf(sent).isEmpty());
        QVERIFY2(app.waitForControl(kFieldFill, 200, 1), "no code field in sight");
        QVERIFY(app.keys({QStringLiteral("Tab")}));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QList<QPoint> verify =
                    controls(NimbrelWindow::screen(), kPrimaryBlue, kButtonWidth * 2);
                return !verify.isEmpty() && inWindow.contains(verify.last());
            },
            10'000));
        QVERIFY2(!alike(NimbrelWindow::waitForStillScreen().copy(topArea), top),
                 "the screen did not scroll");

        QVERIFY(run(QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                     QStringLiteral("200"), QStringLiteral("60"), QStringLiteral("click"),
                     QStringLiteral("--repeat"), QStringLiteral("15"), QStringLiteral("4")}));
        QVERIFY2(QTest::qWaitFor([&] { return alike(NimbrelWindow::screen().copy(topArea), top); },
                                 10'000),
                 "the wheel did not scroll back to the top");
    }

    // A 1920x1080 screen at scale 2 has room for 960x540: the first window
    // and its frame fit, and the Send button is on screen.
    void firstSizeFitsAtScaleTwo()
    {
        XvfbServer hidpi;
        QVERIFY2(hidpi.start({1920, 1080}), "Xvfb did not start");
        qputenv("DISPLAY", hidpi.display().toLocal8Bit());
        QProcess windowManager;
        windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY(windowManager.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(run(QStringLiteral("wmctrl"), {QStringLiteral("-m")}), 30'000);

        QProcessEnvironment scaled;
        scaled.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        NimbrelWindow app;
        const bool started =
            app.start({.apiKey = kApiKey, .baseUrl = m_inbox->baseUrl(), .environment = scaled});
        const auto geometry =
            run(QStringLiteral("xdotool"),
                {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), windowOf(app)});
        const auto frame = run(QStringLiteral("xprop"), {QStringLiteral("-id"), windowOf(app),
                                                         QStringLiteral("_NET_FRAME_EXTENTS")});
        const bool sendShown = app.waitForControl(kSendGrey, 400).has_value();
        windowManager.kill();
        windowManager.waitForFinished();
        qputenv("DISPLAY", m_xvfb.display().toLocal8Bit());
        QVERIFY2(started, qPrintable(app.error()));
        QVERIFY(geometry && frame);

        const auto value = [&](const char *name) {
            return QRegularExpression(QStringLiteral("%1=(-?\\d+)").arg(QLatin1String(name)))
                .match(QString::fromLatin1(*geometry))
                .captured(1)
                .toInt();
        };
        // left, right, top, bottom
        const QStringList extents = QString::fromLatin1(*frame).section(u'=', 1).split(u',');
        QCOMPARE(extents.size(), 4);
        const QRect outer(value("X") - extents[0].toInt(), value("Y") - extents[2].toInt(),
                          value("WIDTH") + extents[0].toInt() + extents[1].toInt(),
                          value("HEIGHT") + extents[2].toInt() + extents[3].toInt());
        QVERIFY2(QRect(0, 0, 1920, 1080).contains(outer),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                .arg(outer.x())
                                .arg(outer.y())
                                .arg(outer.width())
                                .arg(outer.height())));
        QVERIFY2(value("HEIGHT") >= 2 * 490, "smaller than the minimum size");
        QVERIFY2(sendShown, "the Send button is not on screen");
    }
};

QTEST_MAIN(TestWindowForEveryone)
#include "tst_window_for_everyone.moc"
