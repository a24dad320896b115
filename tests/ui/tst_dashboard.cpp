// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "../monitoring/FakeEmailSender.h"
#include "MonitoringSession.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// The dashboard tests' "fixture": sessions whose scans find nothing and whose
// e-mails go to one fake service, with logs the tests fill directly.
class DashboardFixture : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE MonitoringSession *createSession()
    {
        auto *session = new MonitoringSession(m_sender, [] { return ScanResult(); }, {}, this);
        session->setInterviewerEmail(QStringLiteral("interviewer@example.com"));
        return session;
    }

    Q_INVOKABLE void logDetections(MonitoringSession *session, const QStringList &lines)
    {
        session->handleScanResults(lines);
    }

    Q_INVOKABLE QDateTime entryTime(MonitoringSession *session, int row) const
    {
        return session->detectedProcesses()->entries().at(row).time;
    }

    // The newest e-mail's outcome: delivered, or refused for the reason given.
    Q_INVOKABLE void finishLastEmail(bool success, const QString &reason)
    {
        m_sender->sent.takeLast().completion(success, success ? std::nullopt
                                                              : std::optional(EmailError{reason}));
    }

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->rootContext()->setContextProperty(QStringLiteral("fixture"), this);
    }

private:
    std::shared_ptr<FakeEmailSender> m_sender = std::make_shared<FakeEmailSender>();
};

QUICK_TEST_MAIN_WITH_SETUP(tst_dashboard, DashboardFixture)
#include "tst_dashboard.moc"
