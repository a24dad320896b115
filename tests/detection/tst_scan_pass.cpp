// One scan pass over scripted applications and processes.

#include "ScanPass.h"

#include <QTest>

namespace {

class ScriptedApplications : public RunningApplicationsSource
{
public:
    explicit ScriptedApplications(QList<RunningApplication> applications = {})
        : m_applications(std::move(applications))
    {}
    QList<RunningApplication> runningApplications() const override { return m_applications; }

private:
    QList<RunningApplication> m_applications;
};

class ScriptedProcesses : public ProcessSource
{
public:
    explicit ScriptedProcesses(QStringList names = {}) : m_names(std::move(names)) {}
    QStringList runningProcessNames() const override { return m_names; }

private:
    QStringList m_names;
};

RunningApplication app(std::optional<QString> name, std::optional<QString> bundle = {})
{
    return {std::move(name), std::move(bundle)};
}

QStringList scan(QList<RunningApplication> applications, QStringList processes = {})
{
    return scanForSuspiciousProcesses(ScriptedApplications(std::move(applications)),
                                      ScriptedProcesses(std::move(processes)));
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
    void applications_data();
    void applications();
    void applicationLinesKeepSourceOrderAndRepeats();
    void processes_data();
    void processes();
    void processLinesAreNotRepeated_data();
    void processLinesAreNotRepeated();
    void unreadableProcessTableLeavesApplicationLines();
    void defaultPassRunsOnThisMachine();
};

void ScanPassTest::linesAreExactBytes()
{
    const QStringList lines =
        scan({app(u"Cluely"_qs), app(u"Notes"_qs, u"com.cluely.notes"_qs), app(u"CheatTool"_qs)},
             {u"cluely-agent"_qs, u"keylogger"_qs});
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

void ScanPassTest::applications_data()
{
    QTest::addColumn<RunningApplication>("application");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("name and bundle both match: the name wins")
        << app(u"Cluely"_qs, u"com.cluely.desktop"_qs) << QStringList{appLine + u"Cluely"_qs};
    QTest::newRow("disguised name") << app(u"C|u3ly"_qs) << QStringList{appLine + u"C|u3ly"_qs};
    QTest::newRow("bundle only") << app(u"Notes"_qs, u"com.cluely.notes"_qs)
                                 << QStringList{bundleLine + u"com.cluely.notes (App: Notes)"_qs};
    QTest::newRow("bundle with capital I for l, any case")
        << app(u"Helper"_qs, u"IO.CIUELY.HELPER"_qs)
        << QStringList{bundleLine + u"IO.CIUELY.HELPER (App: Helper)"_qs};
    QTest::newRow("bundle with the e dropped")
        << app(u"Ui"_qs, u"app.cluly.ui"_qs)
        << QStringList{bundleLine + u"app.cluly.ui (App: Ui)"_qs};
    QTest::newRow("bundle written backwards")
        << app(u"Ui"_qs, u"org.YLEULC.ui"_qs)
        << QStringList{bundleLine + u"org.YLEULC.ui (App: Ui)"_qs};
    QTest::newRow("bundle whose accent makes another letter")
        << app(u"Ui"_qs, u"x.CLUELI\u0301"_qs) << QStringList{};
    QTest::newRow("bundle with a precomposed letter, other case")
        << app(u"Ui"_qs, u"x.CLU\u00C9LY"_qs) << QStringList{};
    QTest::newRow("bundle matches, then generic name is not looked at")
        << app(u"KeyLogger"_qs, u"com.clue1y.kl"_qs)
        << QStringList{bundleLine + u"com.clue1y.kl (App: KeyLogger)"_qs};
    QTest::newRow("no display name: nothing, whatever the bundle")
        << app(std::nullopt, u"CLUELY"_qs) << QStringList{};
    QTest::newRow("empty display name is still a name")
        << app(QString(u""_qs), u"com.cluely"_qs)
        << QStringList{bundleLine + u"com.cluely (App: )"_qs};
    QTest::newRow("generic name inside, no bundle")
        << app(u"KeyLogger Pro"_qs) << QStringList{u"App: KeyLogger Pro"_qs};
    QTest::newRow("generic name in lower case, harmless bundle")
        << app(u"keylogger"_qs, u"org.example.kl"_qs) << QStringList{u"App: keylogger"_qs};
    QTest::newRow("generic name with different case")
        << app(u"my zoomHELPER"_qs) << QStringList{u"App: my zoomHELPER"_qs};
    QTest::newRow("ordinary application")
        << app(u"Files"_qs, u"org.gnome.Nautilus"_qs) << QStringList{};
    QTest::newRow("generic name only in the bundle")
        << app(u"Tools"_qs, u"com.example.cheattool"_qs) << QStringList{};
}

void ScanPassTest::applications()
{
    QFETCH(RunningApplication, application);
    QFETCH(QStringList, lines);
    QCOMPARE(scan({application}), lines);
}

void ScanPassTest::applicationLinesKeepSourceOrderAndRepeats()
{
    const QStringList lines = scan({app(u"CheatTool"_qs), app(u"Files"_qs), app(u"Cluely"_qs),
                                    app(u"Cluely"_qs), app(u"x"_qs, u"cluely.ai"_qs)});
    QCOMPARE(lines, QStringList({u"App: CheatTool"_qs, appLine + u"Cluely"_qs,
                                 appLine + u"Cluely"_qs, bundleLine + u"cluely.ai (App: x)"_qs}));
}

void ScanPassTest::processes_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("nothing anywhere") << QStringList() << QStringList();
    QTest::newRow("ordinary table")
        << QStringList{u"systemd"_qs, u"gnome-shell"_qs, u"firefox-esr"_qs} << QStringList();
    QTest::newRow("order kept") << QStringList{u"zoomhelper"_qs, u"bash"_qs, u"Y2x1ZWx5"_qs}
                                << QStringList{u"Process: zoomhelper"_qs,
                                               processLine + u"Y2x1ZWx5"_qs};
    QTest::newRow("cluely tests come before generic names")
        << QStringList{u"cluely-keylogger"_qs} << QStringList{processLine + u"cluely-keylogger"_qs};
}

void ScanPassTest::processes()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, lines);
    QCOMPARE(scan({}, names), lines);
}

void ScanPassTest::processLinesAreNotRepeated_data()
{
    QTest::addColumn<QList<RunningApplication>>("applications");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("application's own executable")
        << QList{app(u"Cluely"_qs)} << QStringList{u"Cluely"_qs}
        << QStringList{appLine + u"Cluely"_qs};
    QTest::newRow("the test is case-sensitive")
        << QList{app(u"Cluely"_qs)} << QStringList{u"cluely"_qs}
        << QStringList{appLine + u"Cluely"_qs, processLine + u"cluely"_qs};
    QTest::newRow("longer name first swallows the shorter")
        << QList<RunningApplication>{} << QStringList{u"cluely-helper"_qs, u"cluely"_qs}
        << QStringList{processLine + u"cluely-helper"_qs};
    QTest::newRow("shorter name first keeps both")
        << QList<RunningApplication>{} << QStringList{u"cluely"_qs, u"cluely-helper"_qs}
        << QStringList{processLine + u"cluely"_qs, processLine + u"cluely-helper"_qs};
    QTest::newRow("generic name inside a bundle line")
        << QList{app(u"zoomhelper"_qs, u"com.cluely.zoom"_qs)} << QStringList{u"zoomhelper"_qs}
        << QStringList{bundleLine + u"com.cluely.zoom (App: zoomhelper)"_qs};
    QTest::newRow("generic process after a differently cased line")
        << QList{app(u"ZoomHelper"_qs)} << QStringList{u"zoomhelper"_qs}
        << QStringList{u"App: ZoomHelper"_qs, u"Process: zoomhelper"_qs};
    QTest::newRow("decomposed name against a precomposed line")
        << QList{app(u"Cluely Caf\u00E9"_qs)}
        << QStringList{u"Cafe\u0301"_qs, u"Cluely Cafe\u0301"_qs}
        << QStringList{appLine + u"Cluely Caf\u00E9"_qs};
    QTest::newRow("precomposed name against a decomposed line")
        << QList{app(u"Cluely Cafe\u0301"_qs)} << QStringList{u"Cluely Caf\u00E9"_qs}
        << QStringList{appLine + u"Cluely Cafe\u0301"_qs};
}

void ScanPassTest::processLinesAreNotRepeated()
{
    QFETCH(QList<RunningApplication>, applications);
    QFETCH(QStringList, names);
    QFETCH(QStringList, lines);
    QCOMPARE(scan(applications, names), lines);
}

void ScanPassTest::unreadableProcessTableLeavesApplicationLines()
{
    QCOMPARE(scan({app(std::nullopt), app(u"CheatTool"_qs), app(std::nullopt, std::nullopt)}),
             QStringList{u"App: CheatTool"_qs});
    QCOMPARE(scan({app(std::nullopt, u"com.cluely"_qs)}), QStringList());
}

void ScanPassTest::defaultPassRunsOnThisMachine()
{
    // Whatever runs here, the default pass reads the real table and every
    // line it makes has one of the five forms.
    const QStringList lines = scanForSuspiciousProcesses();
    for (const QString &line : lines) {
        QVERIFY2(line.startsWith(appLine) || line.startsWith(bundleLine) ||
                     line.startsWith(processLine) || line.startsWith(u"App: ") ||
                     line.startsWith(u"Process: "),
                 qPrintable(line));
    }
    QVERIFY(!defaultProcessSource()->runningProcessNames().isEmpty());
}

QTEST_GUILESS_MAIN(ScanPassTest)
#include "tst_scan_pass.moc"
