// One scan pass over scripted applications and processes.

#include "ScanPass.h"

#include <QTest>

namespace {

struct Scripted : RunningApplicationsSource, ProcessSource
{
    QList<RunningApplication> applications;
    QStringList processes;
    QList<RunningApplication> runningApplications() const override { return applications; }
    QStringList runningProcessNames() const override { return processes; }
};

} // namespace

class ScanPassTest : public QObject
{
    Q_OBJECT

private slots:
    void pass()
    {
        // Applications are "name=bundle" separated by '|', with "?" for an
        // unknown field; processes are separated by ','; in the expected lines,
        // joined by newlines, "! " stands for the alarm prefix.
        const char *const cases[][3] = {
            // Applications: the name test, then the bundle, then the generic names.
            {"Cluely|Notes=com.cluely.notes|CheatTool", "cluely-agent,keylogger",
             "! App: Cluely\n! Bundle: com.cluely.notes (App: Notes)\nApp: CheatTool\n"
             "! Process: cluely-agent\nProcess: keylogger"},
            {"?", "", ""},
            {"Cluely=com.cluely.app", "", "! App: Cluely"},
            {"Helper=IO.CIUELY.HELPER", "", "! Bundle: IO.CIUELY.HELPER (App: Helper)"},
            {"Ui=x.CLUELI\u0301", "", ""}, // the accent makes another letter
            {"KeyLogger=com.clue1y.kl", "", "! Bundle: com.clue1y.kl (App: KeyLogger)"},
            {"?=CLUELY", "", ""}, // no display name: the bundle is not examined
            {"=com.cluely", "", "! Bundle: com.cluely (App: )"},
            {"KeyLogger Pro|Tools=com.example.cheattool", "zoomhelper",
             "App: KeyLogger Pro\nProcess: zoomhelper"},
            // Source order and repeats kept, processes after.
            {"CheatTool|Files=org.gnome.Nautilus|Cluely|Cluely|x=cluely.ai",
             "bash,Y2x1ZWx5,cluely-keylogger",
             "App: CheatTool\n! App: Cluely\n! App: Cluely\n! Bundle: cluely.ai (App: x)\n"
             "! Process: Y2x1ZWx5\n! Process: cluely-keylogger"},
            // A process whose name stands, case-sensitively, in an earlier line is dropped.
            {"Cluely", "Cluely,cluely", "! App: Cluely\n! Process: cluely"},
            {"", "cluely-helper,cluely", "! Process: cluely-helper"},
            {"", "cluely,cluely-helper", "! Process: cluely\n! Process: cluely-helper"},
            {"zoomhelper=com.cluely.zoom|KeyLogger", "zoomhelper,keylogger",
             "! Bundle: com.cluely.zoom (App: zoomhelper)\nApp: KeyLogger\nProcess: keylogger"},
            {"Cluely Caf\u00E9|Cluely Cafe\u0301s", "Cafe\u0301,Cluely Caf\u00E9s",
             "! App: Cluely Caf\u00E9\n! App: Cluely Cafe\u0301s"},
        };
        const auto field = [](const QString &text) {
            return text == u'?' ? std::nullopt : std::optional(text);
        };
        for (const auto &[applications, processes, lines] : cases) {
            Scripted sources;
            for (const QString &entry :
                 QString::fromUtf8(applications).split(u'|', Qt::SkipEmptyParts))
                sources.applications.append(
                    {field(entry.section(u'=', 0, 0)),
                     entry.contains(u'=') ? field(entry.section(u'=', 1)) : std::nullopt});
            sources.processes = QString::fromUtf8(processes).split(u',', Qt::SkipEmptyParts);
            QCOMPARE(scanForSuspiciousProcesses(sources, sources).join(u'\n').toUtf8(),
                     QByteArray(lines).replace("! ", "\xF0\x9F\x9A\xA8 CLUELY DETECTED - "));
        }
    }
};

QTEST_GUILESS_MAIN(ScanPassTest)
#include "tst_scan_pass.moc"
