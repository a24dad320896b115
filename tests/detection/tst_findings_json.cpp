// nimbrel-scan's JSON document: its exact shape, and every kind of finding
// against the schema (which must also reject what is not one).

#include "detection/FindingsJson.h"
#include "SchemaCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

const QDateTime scanTime(QDate(2026, 12, 7), QTime(5, 1, 2, 345), Qt::UTC);

const QStringList traits{u"always on top"_s, u"hidden from the task bar"_s, u"transparent"_s};

// One finding of each kind and source, with every source of evidence.
QList<Finding> everyKind()
{
    using enum NameSource;
    return {
        {u"🚨 CLUELY DETECTED - App: Cluely"_s,
         FindingKind::Cluely,
         FindingSource::Application,
         {20, 21},
         {{DisplayName, u"Cluely"_s}, {BundleIdentifier, u"com.cluely.app"_s}}},
        {u"🚨 CLUELY DETECTED - Window: Cluely (App: Notes)"_s,
         FindingKind::Cluely,
         FindingSource::Window,
         {30},
         {{WindowTitle, u"Cluely"_s},
          {WindowEntry, u"Cluely"_s},
          {WindowClass, u"cluely"_s},
          {WindowInstance, u"cluely"_s},
          {OverlayWindow, u"0x3a00007"_s, {}, traits}}},
        {u"⚠️ OVERLAY WINDOW - App: notes (always on top, hidden from the task bar, transparent)"_s,
         FindingKind::Overlay,
         FindingSource::Window,
         {40},
         {{OverlayWindow, u"0x3a00008"_s, {}, traits}}},
        {u"🚨 CLUELY DETECTED - Process: Cluely.exe"_s,
         FindingKind::Cluely,
         FindingSource::Process,
         {50, 51},
         {{Executable, u"c1uely"_s, 50},
          {Argv0, u"Cluely.exe"_s, 50},
          {Comm, u"Cluely.exe"_s, 50},
          {Script, u"Cluely.exe"_s, 50},
          {ScriptFolder, u"Cluely"_s, 50},
          {Module, u"cluely"_s, 50},
          {PackageName, u"cluely"_s, 50},
          {PackageProductName, u"Cluely"_s, 50}}},
        {u"Process: keylogger"_s,
         FindingKind::Generic,
         FindingSource::Process,
         {},
         {{ProcessTable, u"keylogger"_s}}},
    };
}

QByteArray withChange(const QByteArray &document, const std::function<void(QJsonObject &)> &change)
{
    QJsonObject object = QJsonDocument::fromJson(document).object();
    change(object);
    return QJsonDocument(object).toJson();
}

} // namespace

class FindingsJsonTest : public QObject
{
    Q_OBJECT

private slots:
    void exactShape()
    {
        const QList<Finding> findings{{u"Process: keylogger"_s,
                                       FindingKind::Generic,
                                       FindingSource::Process,
                                       {7},
                                       {{NameSource::Comm, u"keylogger"_s, 7}}}};
        QCOMPARE(QJsonDocument::fromJson(findingsJson(findings, scanTime, u"laptop"_s)),
                 QJsonDocument::fromJson(R"({"version": 1, "time": "2026-12-07T05:01:02.345Z",
                     "host": "laptop", "findings": [{"line": "Process: keylogger",
                     "kind": "generic", "source": "process", "pids": [7],
                     "evidence": [{"source": "comm", "name": "keylogger", "pid": 7}]}]})"));
    }

    void documentsAgainstTheSchema()
    {
        const QByteArray valid = findingsJson(everyKind(), scanTime, u"laptop"_s);
        const auto finding = [](QJsonObject &document, auto change) {
            QJsonArray findings = document[u"findings"_s].toArray();
            QJsonObject first = findings[2].toObject(); // the overlay
            change(first);
            findings[2] = first;
            document[u"findings"_s] = findings;
        };
        const QList<QByteArray> documents{
            valid,
            findingsJson({}, scanTime.toTimeZone(QTimeZone(3600)), {}),
            withChange(valid, [](QJsonObject &d) { d.remove(u"time"_s); }),
            withChange(valid, [](QJsonObject &d) { d[u"extra"_s] = 1; }),
            withChange(valid, [](QJsonObject &d) { d[u"time"_s] = u"yesterday"_s; }),
            withChange(valid,
                       [&](QJsonObject &d) {
                           finding(d, [](QJsonObject &f) { f[u"kind"_s] = u"bogus"_s; });
                       }),
            withChange(valid,
                       [&](QJsonObject &d) {
                           finding(d, [](QJsonObject &f) { f[u"evidence"_s] = QJsonArray(); });
                       }),
            withChange(valid,
                       [&](QJsonObject &d) {
                           finding(d, [](QJsonObject &f) {
                               f[u"evidence"_s] = QJsonArray{QJsonObject{
                                   {u"source"_s, u"overlay-window"_s}, {u"name"_s, u"0x1"_s}}};
                           });
                       }),
            withChange(valid,
                       [&](QJsonObject &d) {
                           finding(d, [](QJsonObject &f) { f[u"pids"_s] = QJsonArray{0}; });
                       }),
        };
        const QStringList verdicts = schemaVerdicts(documents);
        QCOMPARE(verdicts.size(), documents.size());
        QCOMPARE(verdicts.mid(0, 2), QStringList({u"valid"_s, u"valid"_s}));
        for (qsizetype i = 2; i < verdicts.size(); ++i)
            QVERIFY2(verdicts[i].startsWith(u"invalid: "_s), qPrintable(verdicts[i]));
    }
};

QTEST_GUILESS_MAIN(FindingsJsonTest)
#include "tst_findings_json.moc"
