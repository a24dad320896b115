#include "ContentView.h"
#include "FakeEmailSender.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// The dashboard tests' "fixture": windows whose scans find nothing and whose
// e-mails go to one fake service, with logs the tests fill directly.
class DashboardFixture : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE ContentView *createView()
    {
        auto *view = new ContentView(
            m_sender, [] { return QStringList(); }, ScanResultsEmails::EveryScan, this);
        view->setInterviewerEmail(QStringLiteral("interviewer@example.com"));
        return view;
    }

    Q_INVOKABLE void logDetections(ContentView *view, const QStringList &lines)
    {
        view->handleScanResults(lines);
    }

    Q_INVOKABLE QDateTime entryTime(ContentView *view, int row) const
    {
        return view->detectedProcesses()->entries().at(row).time;
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
