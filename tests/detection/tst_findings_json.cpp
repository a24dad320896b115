// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-scan's JSON document: its exact shape, and a finding of every kind
// and source, with evidence of every source, valid against the schema.

#include "SchemaCheck.h"
#include "detection/FindingsJson.h"
#include "detection/ScanPass.h"

#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

const QDateTime scanTime(QDate(2026, 12, 7), QTime(5, 1, 2, 345), Qt::UTC);

// Every kind with every source, each finding carrying evidence of every source.
QList<Finding> everyKind()
{
    QList<Evidence> evidence;
    for (int source = 0; source <= int(NameSource::ScanLimit); ++source) {
        const auto named = NameSource(source);
        evidence.append({named, u"name"_s, 7,
                         named == NameSource::OverlayWindow
                             ? QStringList{u"always on top"_s, u"click-through"_s}
                             : QStringList()});
    }
    QList<Finding> findings;
    for (int kind = 0; kind <= int(FindingKind::Limited); ++kind) {
        for (int source = 0; source <= int(FindingSource::Scan); ++source) {
            QList<Evidence> shown = evidence;
            if (FindingKind(kind) == FindingKind::Overlay) // an overlay rests on its window alone
                shown.removeIf([](const Evidence &e) { return !e.traits.size(); });
            findings.append({u"line"_s, FindingKind(kind), FindingSource(source), {7, 8}, shown});
        }
    }
    return findings;
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
        const ScanContext context{{u"monitors: 1 (1920×1080)"_s, u"session: X11"_s},
                                  {u"windows: the X display :0 cannot be reached"_s}};
        QCOMPARE(QJsonDocument::fromJson(findingsJson({findings, context}, scanTime, u"laptop"_s)),
                 QJsonDocument::fromJson(R"json({"version": 1, "time": "2026-12-07T05:01:02.345Z",
                     "host": "laptop", "findings": [{"line": "Process: keylogger",
                     "kind": "generic", "source": "process", "pids": [7],
                     "evidence": [{"source": "comm", "name": "keylogger", "pid": 7}]}],
                     "context": {"environment": ["monitors: 1 (1920×1080)", "session: X11"],
                                 "coverage": ["windows: the X display :0 cannot be reached"]}})json"));
    }

    // What the code writes is what the schema documents: a label or trait
    // added to one but not the other fails here.
    void everyKindFitsTheSchema()
    {
        const ScanContext context{scanMachine().context.environment, {u"windows: none"_s}};
        QCOMPARE(
            schemaVerdicts({findingsJson({everyKind(), context}, scanTime, u"laptop"_s),
                            findingsJson({{}, context}, scanTime.toTimeZone(QTimeZone(3600)), {}),
                            findingsJson({}, scanTime, {})}),
            QStringList({u"valid"_s, u"valid"_s, u"invalid: [] is too short"_s}));
    }
};

QTEST_GUILESS_MAIN(FindingsJsonTest)
#include "tst_findings_json.moc"
