// One scan pass over scripted applications and processes.

#include "ScanPass.h"

#include <QTest>

namespace {

class ScriptedApplications : public RunningApplicationsSource
{
public:
    explicit ScriptedApplications(QList<RunningApplication> applications)
        : m_applications(std::move(applications))
    {}
    QList<RunningApplication> runningApplications() const override { return m_applications; }

private:
    QList<RunningApplication> m_applications;
};

class ScriptedProcesses : public ProcessSource
{
public:
    explicit ScriptedProcesses(QStringList names) : m_names(std::move(names)) {}
    QStringList runningProcessNames() const override { return m_names; }

private:
    QStringList m_names;
};

using Apps = QList<RunningApplication>;

RunningApplication app(std::optional<QString> name, std::optional<QString> bundle = {})
{
    return {std::move(name), std::move(bundle)};
}

const QString appLine = u"🚨 CLUELY DETECTED - App: "_qs;
const QString bundleLine = u"🚨 CLUELY DETECTED - Bundle: "_qs;
const QString processLine = u"🚨 CLUELY DETECTED - Process: "_qs;

} // namespace

class ScanPassTest : public QObject
{
    Q_OBJECT

private slots:
    void linesAreExactBytes();
    void pass_data();
    void pass();
};

void ScanPassTest::linesAreExactBytes()
{
    const QStringList lines = scanForSuspiciousProcesses(
        ScriptedApplications(
            {app(u"Cluely"_qs), app(u"Notes"_qs, u"com.cluely.notes"_qs), app(u"CheatTool"_qs)}),
        ScriptedProcesses({u"cluely-agent"_qs, u"keylogger"_qs}));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0).toUtf8(), QByteArray("\xF0\x9F\x9A\xA8 CLUELY DETECTED - App: Cluely"));
    QCOMPARE(
        lines.at(1).toUtf8(),
        QByteArray("\xF0\x9F\x9A\xA8 CLUELY DETECTED - Bundle: com.cluely.notes (App: Notes)"));
    QCOMPARE(lines.at(2).toUtf8(), QByteArray("App: CheatTool"));
    QCOMPARE(lines.at(3).toUtf8(),
             QByteArray("\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: cluely-agent"));
    QCOMPARE(lines.at(4).toUtf8(), QByteArray("Process: keylogger"));
}

void ScanPassTest::pass_data()
{
    QTest::addColumn<Apps>("applications");
    QTest::addColumn<QStringList>("processes");
    QTest::addColumn<QStringList>("lines");
    const QStringList none;

    // Applications: the name test, then the bundle, then the generic names.
    QTest::newRow("nothing anywhere") << Apps{app(std::nullopt)} << none << none;
    QTest::newRow("name and bundle both match: the name wins")
        << Apps{app(u"Cluely"_qs, u"com.cluely.desktop"_qs)} << none
        << QStringList{appLine + u"Cluely"_qs};
    QTest::newRow("bundle row with capital I, any case")
        << Apps{app(u"Helper"_qs, u"IO.CIUELY.HELPER"_qs)} << none
        << QStringList{bundleLine + u"IO.CIUELY.HELPER (App: Helper)"_qs};
    QTest::newRow("bundle written backwards")
        << Apps{app(u"Ui"_qs, u"org.YLEULC.ui"_qs)} << none
        << QStringList{bundleLine + u"org.YLEULC.ui (App: Ui)"_qs};
    QTest::newRow("bundle whose accent makes another letter")
        << Apps{app(u"Ui"_qs, u"x.CLUELI\u0301"_qs)} << none << none;
    QTest::newRow("bundle match hides the generic name")
        << Apps{app(u"KeyLogger"_qs, u"com.clue1y.kl"_qs)} << none
        << QStringList{bundleLine + u"com.clue1y.kl (App: KeyLogger)"_qs};
    QTest::newRow("no display name: bundle not examined")
        << Apps{app(std::nullopt, u"CLUELY"_qs)} << none << none;
    QTest::newRow("empty display name is still a name")
        << Apps{app(u""_qs, u"com.cluely"_qs)} << none
        << QStringList{bundleLine + u"com.cluely (App: )"_qs};
    QTest::newRow("generic names in any case")
        << Apps{app(u"KeyLogger Pro"_qs), app(u"keylogger"_qs, u"org.example.kl"_qs)} << none
        << QStringList{u"App: KeyLogger Pro"_qs, u"App: keylogger"_qs};
    QTest::newRow("generic name only in the bundle")
        << Apps{app(u"Tools"_qs, u"com.example.cheattool"_qs)} << none << none;
    QTest::newRow("source order and repeats kept")
        << Apps{app(u"CheatTool"_qs), app(u"Files"_qs, u"org.gnome.Nautilus"_qs), app(u"Cluely"_qs),
                app(u"Cluely"_qs), app(u"x"_qs, u"cluely.ai"_qs)}
        << none
        << QStringList{u"App: CheatTool"_qs, appLine + u"Cluely"_qs, appLine + u"Cluely"_qs,
                       bundleLine + u"cluely.ai (App: x)"_qs};

    // Processes, after the applications, in the order received.
    QTest::newRow("process order kept")
        << Apps{}
        << QStringList{u"zoomhelper"_qs, u"bash"_qs, u"Y2x1ZWx5"_qs, u"cluely-keylogger"_qs}
        << QStringList{u"Process: zoomhelper"_qs, processLine + u"Y2x1ZWx5"_qs,
                       processLine + u"cluely-keylogger"_qs};
    QTest::newRow("unreadable table leaves the application lines")
        << Apps{app(u"CheatTool"_qs)} << none << QStringList{u"App: CheatTool"_qs};

    // A process whose name stands in an earlier line is dropped.
    QTest::newRow("application's own executable")
        << Apps{app(u"Cluely"_qs)} << QStringList{u"Cluely"_qs}
        << QStringList{appLine + u"Cluely"_qs};
    QTest::newRow("the test is case-sensitive")
        << Apps{app(u"Cluely"_qs)} << QStringList{u"cluely"_qs}
        << QStringList{appLine + u"Cluely"_qs, processLine + u"cluely"_qs};
    QTest::newRow("longer name first swallows the shorter")
        << Apps{} << QStringList{u"cluely-helper"_qs, u"cluely"_qs}
        << QStringList{processLine + u"cluely-helper"_qs};
    QTest::newRow("shorter name first keeps both")
        << Apps{} << QStringList{u"cluely"_qs, u"cluely-helper"_qs}
        << QStringList{processLine + u"cluely"_qs, processLine + u"cluely-helper"_qs};
    QTest::newRow("generic name inside a bundle line")
        << Apps{app(u"zoomhelper"_qs, u"com.cluely.zoom"_qs)} << QStringList{u"zoomhelper"_qs}
        << QStringList{bundleLine + u"com.cluely.zoom (App: zoomhelper)"_qs};
    QTest::newRow("generic name after a differently cased line")
        << Apps{app(u"ZoomHelper"_qs)} << QStringList{u"zoomhelper"_qs}
        << QStringList{u"App: ZoomHelper"_qs, u"Process: zoomhelper"_qs};
    QTest::newRow("decomposed name against a precomposed line")
        << Apps{app(u"Cluely Caf\u00E9"_qs)}
        << QStringList{u"Cafe\u0301"_qs, u"Cluely Cafe\u0301"_qs}
        << QStringList{appLine + u"Cluely Caf\u00E9"_qs};
    QTest::newRow("precomposed name against a decomposed line")
        << Apps{app(u"Cluely Cafe\u0301"_qs)} << QStringList{u"Cluely Caf\u00E9"_qs}
        << QStringList{appLine + u"Cluely Cafe\u0301"_qs};
}

void ScanPassTest::pass()
{
    QFETCH(Apps, applications);
    QFETCH(QStringList, processes);
    QFETCH(QStringList, lines);
    QCOMPARE(scanForSuspiciousProcesses(ScriptedApplications(applications),
                                        ScriptedProcesses(processes)),
             lines);
}

QTEST_GUILESS_MAIN(ScanPassTest)
#include "tst_scan_pass.moc"
