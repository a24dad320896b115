// nimbrel-scan as an administrator runs it: output lines and exit status.

#include "WriteFile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class NimbrelScanTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsAProcessByItsFullName()
    {
        // Longer than the 15 characters `ps` would show of it.
        QTemporaryDir dir;
        const QString helper = dir.filePath(u"superstealthcluelyhelper"_qs);
        QVERIFY(QFile::copy(u"/bin/sleep"_qs, helper));
        QProcess child;
        child.start(helper, {u"60"_qs});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        const int status = scan({}, out);
        child.kill();
        child.waitForFinished();
        QCOMPARE(status, 1);
        QVERIFY2(out.split('\n').contains(
                     "\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: superstealthcluelyhelper"),
                 out.constData());
    }

    void exitStatus()
    {
        QTemporaryDir proc;
        writeFile(proc.filePath(u"found/7/cmdline"_qs), "/usr/bin/bash");
        writeFile(proc.filePath(u"found/8/cmdline"_qs), "/tmp/Y2x1ZWx5");
        QVERIFY(QDir(proc.path()).mkdir(u"empty"_qs));
        const std::tuple<QStringList, int, QByteArray> cases[] = {
            {{u"--proc-root"_qs, proc.filePath(u"empty"_qs)}, 0, ""},
            {{u"--proc-root"_qs, proc.filePath(u"found"_qs)},
             1,
             "\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: Y2x1ZWx5\n"},
            {{u"--bogus"_qs}, 2, ""},
            {{u"now"_qs}, 2, ""},
            {{u"--proc-root"_qs}, 2, ""},
            {{u"--ps"_qs, u"--proc-root"_qs, u"/proc"_qs}, 2, ""},
        };
        for (const auto &[arguments, status, expected] : cases) {
            QByteArray out, err;
            QCOMPARE(scan(arguments, out, &err), status);
            QCOMPARE(out, expected);
            // Usage errors, and only they, point to the help.
            QCOMPARE(err.contains("Try 'nimbrel-scan --help'."), status == 2);
        }
        QByteArray help;
        QCOMPARE(scan({u"--help"_qs}, help), 0);
        QVERIFY(help.contains("Exit status: 0 when nothing was found, 1 when something was, 2"));
    }

private:
    // Runs nimbrel-scan; returns its exit status and fills `out` and `err`.
    static int scan(const QStringList &arguments, QByteArray &out, QByteArray *err = nullptr)
    {
        QProcess scan;
        scan.start(QStringLiteral(NIMBREL_SCAN_PATH), arguments);
        if (!scan.waitForFinished(60'000) || scan.exitStatus() != QProcess::NormalExit)
            return -1;
        out = scan.readAllStandardOutput();
        if (err)
            *err = scan.readAllStandardError();
        return scan.exitCode();
    }
};

QTEST_GUILESS_MAIN(NimbrelScanTest)
#include "tst_nimbrel_scan.moc"
