#include "ContentView.h"
#include "FakeEmailSender.h"
#include "ScriptedScanPass.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Windows for the dashboard tests, each with a scripted scan pass and a fake
// e-mail service shared by all of them.
class DashboardFixture : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE ContentView *createView()
    {
        auto *view = new ContentView(
            m_sender, [scans = m_scans] { return scans->run(); }, this);
        view->setInterviewerEmail(QStringLiteral("interviewer@example.com"));
        return view;
    }

    // Applies a scan result as if a scan had just returned these lines.
    Q_INVOKABLE void logDetections(ContentView *view, const QStringList &lines)
    {
        view->handleScanResults(lines);
    }

    Q_INVOKABLE void enqueueScan(const QStringList &lines) { m_scans->enqueue(lines); }

    Q_INVOKABLE QDateTime entryTime(ContentView *view, int row) const
    {
        return view->detectedProcesses()->entries().at(row).time;
    }

    Q_INVOKABLE QStringList sentSubjects() const { return m_sender->subjects(); }

    // Finishes every send so far with a failure that carries this description.
    Q_INVOKABLE void failSends(const QString &description)
    {
        for (const FakeEmailSender::Sent &mail : std::as_const(m_sender->sent))
            mail.completion(false, EmailError{description});
        m_sender->sent.clear();
    }

private:
    std::shared_ptr<FakeEmailSender> m_sender = std::make_shared<FakeEmailSender>();
    std::shared_ptr<ScriptedScanPass> m_scans = std::make_shared<ScriptedScanPass>();
};

class DashboardTestSetup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->rootContext()->setContextProperty(QStringLiteral("fixture"), &m_fixture);
    }

private:
    DashboardFixture m_fixture;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_dashboard, DashboardTestSetup)
#include "tst_dashboard.moc"
