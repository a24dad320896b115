// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// No false alarm on an ordinary desktop: the processes, Electron apps and
// windows of fixtures/ordinary-desktop.txt give no line but the overlay and
// possible lines the fixture lists.

#include "detection/processes/ProcProcessSource.h"
#include "detection/ScanPass.h"
#include "WriteFile.h"
#include "detection/windows/TopLevelWindow.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Applications : RunningApplicationsSource
{
    QList<RunningApplication> list;
    QList<RunningApplication> runningApplications() const override { return list; }
};

WindowLayering layering(const QString &flags)
{
    WindowLayering layering{.viewable = true, .width = 800, .height = 600};
    for (const QString &flag : flags.split(u',', Qt::SkipEmptyParts)) {
        if (flag == u"above")
            layering.above = true;
        else if (flag == u"skip")
            layering.skipTaskbar = true;
        else if (flag == u"override")
            layering.overrideRedirect = true;
        else if (flag == u"argb")
            layering.argbVisual = true;
        else if (flag == u"clickthrough")
            layering.emptyInputShape = true;
        else if (flag.startsWith(u"type="))
            layering.desktopType = true; // the fixture lists desktop types only
        else if (const QStringList size = flag.split(u'x'); size.size() == 2) {
            layering.width = size[0].toInt();
            layering.height = size[1].toInt();
        } else
            qFatal("unknown window flag %s", qPrintable(flag));
    }
    return layering;
}

} // namespace

class OrdinaryDesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void givesNoFalseAlarm()
    {
        QFile fixture(QStringLiteral(ORDINARY_DESKTOP_FIXTURE));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        QTemporaryDir proc;
        QTemporaryDir apps;
        QTemporaryDir root; // the processes' own view of the file system
        Applications applications;
        QStringList expected;
        int entries = 0;
        int pid = 100;
        for (const QString &line : QString::fromUtf8(fixture.readAll()).split(u'\n')) {
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            ++entries;
            const QString kind = line.section(u' ', 0, 0);
            const QStringList fields = line.section(u' ', 1).split(u" | "_s);
            const QString dir = proc.filePath(QString::number(++pid)) + u'/';
            if (kind == u"process") {
                QDir().mkpath(dir);
                QVERIFY(QFile::link(fields[0], dir + u"exe"_s));
                QVERIFY(QFile::link(root.path(), dir + u"root"_s));
                if (fields.size() > 3)
                    QVERIFY(QFile::link(fields[3], dir + u"cwd"_s));
                writeFile(dir + u"cmdline"_s, fields[1].split(u' ').join(QChar(0)).toUtf8() + '\0');
                writeFile(dir + u"stat"_s, "1 (" + fields[2].toUtf8() + ") S 1 1 1 0 -1 0");
            } else if (kind == u"file") {
                const QString path = root.path() + fields[0];
                if (path.endsWith(u'/'))
                    QVERIFY(QDir().mkpath(path));
                else
                    writeFile(path, {});
            } else if (kind == u"package") {
                const QString app = apps.filePath(fields[0]);
                writeFile(app + u"/resources/app/package.json"_s,
                          R"({"name":")" + fields[0].toUtf8() + R"(","productName":")" +
                              fields[1].toUtf8() + R"("})");
                QDir().mkpath(dir);
                QVERIFY(QFile::link(app + u"/app"_s, dir + u"exe"_s));
                writeFile(dir + u"cmdline"_s, "app\0"_ba);
                writeFile(dir + u"stat"_s, "1 (app) S 1 1 1 0 -1 0");
            } else if (kind == u"window") {
                QVERIFY(fields.size() >= 5);
                const QString title = fields.mid(3, fields.size() - 4).join(u" | "_s);
                ApplicationWindow window{
                    u"0x"_s + QString::number(pid, 16),    title, fields[1], fields[2], {},
                    overlayTraits(layering(fields.last()))};
                auto application =
                    std::ranges::find(applications.list, fields[0], &RunningApplication::displayName);
                if (application == applications.list.end())
                    application =
                        applications.list.insert(applications.list.end(), {fields[0], {}, {pid}});
                application->windows.append(window);
            } else if (kind == u"overlay") {
                expected << u"⚠️ OVERLAY WINDOW - App: "_s + fields[0] + u" ("_s + fields[1] +
                                u')';
            } else if (kind == u"possible") {
                expected << u"⚠️ POSSIBLE CLUELY - "_s + line.section(u' ', 1);
            } else {
                QFAIL(qPrintable(u"unknown fixture line: "_s + line));
            }
        }
        QVERIFY2(entries >= 500, "the corpus is too small to mean anything");

        QStringList lines;
        for (const Finding &finding :
             scanFindings(applications, ProcProcessSource(proc.path(), u"/home/ann"_s)))
            lines << finding.line;
        lines.sort();
        expected.sort();
        QCOMPARE(lines, expected);
    }
};

QTEST_GUILESS_MAIN(OrdinaryDesktopTest)
#include "tst_ordinary_desktop.moc"
