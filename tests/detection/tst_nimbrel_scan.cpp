// nimbrel-scan as an administrator runs it: output lines and exit status.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

struct ScanRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ScanRun runScan(const QStringList &arguments)
{
    QProcess scan;
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), arguments);
    if (!scan.waitForFinished(60'000) || scan.exitStatus() != QProcess::NormalExit)
        return {};
    return {scan.exitCode(), scan.readAllStandardOutput(), scan.readAllStandardError()};
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(contents);
}

} // namespace

class NimbrelScanTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsAProcessByItsFullName();
    void nothingFoundExitsZero();
    void eachFindingOnItsOwnLine();
    void helpExplainsTheProgram();
    void usageErrors_data();
    void usageErrors();
};

void NimbrelScanTest::reportsAProcessByItsFullName()
{
    // Longer than the 15 characters `ps` would show of it.
    QTemporaryDir dir;
    const QString helper = dir.filePath(u"superstealthcluelyhelper"_qs);
    QVERIFY(QFile::copy(u"/bin/sleep"_qs, helper));
    QProcess child;
    child.start(helper, {u"60"_qs});
    QVERIFY(child.waitForStarted());

    const ScanRun run = runScan({});
    child.kill();
    child.waitForFinished();

    QCOMPARE(run.exitCode, 1);
    const QList<QByteArray> lines = run.out.split('\n');
    QVERIFY2(lines.contains("\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: superstealthcluelyhelper"),
             run.out.constData());
}

void NimbrelScanTest::nothingFoundExitsZero()
{
    QTemporaryDir emptyProc;
    const ScanRun run = runScan({u"--proc-root"_qs, emptyProc.path()});
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, 0);
}

void NimbrelScanTest::eachFindingOnItsOwnLine()
{
    QTemporaryDir fakeProc;
    const QDir root(fakeProc.path());
    for (const auto &[pid, argv0] :
         {std::pair{"7", "/usr/bin/bash"}, {"8", "/opt/KeyLogger"}, {"9", "/tmp/Y2x1ZWx5"}}) {
        root.mkpath(QString::fromLatin1(pid));
        writeFile(root.filePath(QString::fromLatin1(pid) + u"/cmdline"_qs),
                  QByteArray(argv0) + '\0');
    }
    const ScanRun run = runScan({u"--proc-root"_qs, fakeProc.path()});
    QCOMPARE(run.exitCode, 1);
    QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray()); // the output ends with a newline
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines, QList<QByteArray>({"Process: KeyLogger",
                                       "\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: Y2x1ZWx5"}));
}

void NimbrelScanTest::helpExplainsTheProgram()
{
    const ScanRun run = runScan({u"--help"_qs});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains("Exit status: 0 when nothing was found, 1 when something was, 2"));
    QVERIFY(run.out.contains("--ps"));
    QVERIFY(run.out.contains("--proc-root"));
}

void NimbrelScanTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{u"--bogus"_qs};
    QTest::newRow("argument") << QStringList{u"now"_qs};
    QTest::newRow("missing value") << QStringList{u"--proc-root"_qs};
    QTest::newRow("two process tables") << QStringList{u"--ps"_qs, u"--proc-root"_qs, u"/proc"_qs};
}

void NimbrelScanTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    const ScanRun run = runScan(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(run.err.contains("--help"));
}

QTEST_GUILESS_MAIN(NimbrelScanTest)
#include "tst_nimbrel_scan.moc"
