// The parsers of what a candidate controls (unit names, cgroup files, systemd
// escapes, key files, /proc files) never read outside their input. This test
// compiles them with Qt's bounds assertions on (QT_FORCE_ASSERTS), and runs
// each hostile input in a child process, so a slice past the end shows as an
// abort, not as silent garbage.

#include "detection/desktop/CgroupApplication.h"
#include "detection/desktop/KeyFile.h"
#include "detection/proc/ProcFiles.h"
#include "detection/desktop/SystemdEscape.h"

#include <QTest>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Whether `parse` returns normally in a child process.
bool survives(const std::function<void()> &parse)
{
    const pid_t child = fork();
    if (child == 0) {
        // The child's abort must not reach the test log through Qt Test's handler.
        qInstallMessageHandler(nullptr);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        parse();
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

class ParserBoundsTest : public QObject
{
    Q_OBJECT

private slots:
    void unitNames_data();
    void unitNames();
    void otherParsers();
};

void ParserBoundsTest::unitNames_data()
{
    QTest::addColumn<QString>("unit");
    // The shortest names that start and end right, and ones that overlap.
    for (const char *unit :
         {"snap.scope", "snap..scope", "snap.a.scope", "snap.", ".scope", "app-.scope",
          "app-.service", "app-@.service", "app--.scope", "app-", "app-x", "snap.hook.scope",
          "snap.a.b-00000000-0000-0000-0000-000000000000.scope", "app-\\x.scope",
          "app-\\x4.service", "app-\\x41-1.scope", "", "."})
        QTest::newRow(unit) << QString::fromLatin1(unit);
}

void ParserBoundsTest::unitNames()
{
    QFETCH(QString, unit);
    QVERIFY(survives([&] {
        snapUnit(unit);
        applicationUnit(unit);
        systemdUnescape(unit);
        cgroupApplications(("0::/" + unit + "\n1:name=systemd:/a/" + unit).toUtf8());
    }));
}

void ParserBoundsTest::otherParsers()
{
    // Short, cut and odd inputs for the key-file and /proc parsers.
    const QByteArray inputs[] = {"",
                                 "[",
                                 "]",
                                 "[]",
                                 "[a",
                                 "=",
                                 "a=",
                                 "=b",
                                 "\\",
                                 "a=\\",
                                 "a=b\\",
                                 "[G]\na=\\",
                                 "[G]\nk[=v",
                                 "[G]\nk[]=v",
                                 "(",
                                 ")",
                                 "()",
                                 ")(",
                                 "1 (",
                                 "1 )",
                                 "1 () ",
                                 "1 (x) S",
                                 "1 (x) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19",
                                 "Uid:",
                                 "Uid:\t",
                                 "Uid:\t1",
                                 "Name:\t",
                                 "Name:\t\\",
                                 "Name:\ta\\1",
                                 "Name:\ta\\12",
                                 "Name:\ta\\777",
                                 QByteArray("\0", 1),
                                 QByteArray("a\0", 2),
                                 QByteArray("\0\0", 2)};
    for (const QByteArray &input : inputs) {
        QVERIFY2(survives([&] {
                     const KeyFile file = KeyFile::parse(input, true);
                     file.localizedValue(u"G"_s, u"k"_s,
                                         localeLookupKeys(QString::fromLatin1(input)));
                     KeyFile::parse(input, false);
                     parseProcStat(input);
                     parseRealUid(input);
                     parseStatusName(input);
                     splitCmdline(input, 3);
                 }),
                 input.toHex().constData());
    }
}

QTEST_GUILESS_MAIN(ParserBoundsTest)
#include "tst_parser_bounds.moc"
