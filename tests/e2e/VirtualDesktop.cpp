#include "VirtualDesktop.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QThread>

VirtualDesktop::VirtualDesktop()
{
    // -displayfd makes Xvfb pick a free display itself and print its number on
    // standard output, so parallel runs and other displays never collide.
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x800x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    if (!m_xvfb.waitForStarted(5000)) {
        m_error = QStringLiteral("cannot start Xvfb: ") + m_xvfb.errorString();
        return;
    }
    const QDeadlineTimer deadline(10000);
    while (!m_xvfb.canReadLine() && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running)
        m_xvfb.waitForReadyRead(200);
    const QString number = QString::fromLatin1(m_xvfb.readLine()).trimmed();
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not report its display: ") +
                  QString::fromLocal8Bit(m_xvfb.readAllStandardError());
        return;
    }
    m_display = QLatin1Char(':') + number;
}

VirtualDesktop::~VirtualDesktop()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(2000);
        }
    }
}

bool VirtualDesktop::xdotool(const QStringList &arguments, QString *output)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        m_error = QStringLiteral("xdotool %1 failed: %2")
                      .arg(arguments.join(QLatin1Char(' ')),
                           QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return true;
}

std::optional<QString> VirtualDesktop::waitForWindow(qint64 pid)
{
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        QString windows;
        if (xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--pid"), QString::number(pid)},
                    &windows)) {
            const QString first = windows.section(QLatin1Char('\n'), 0, 0).trimmed();
            if (!first.isEmpty())
                return first;
        }
        QThread::msleep(200);
    }
    m_error = QStringLiteral("no window of process %1 appeared").arg(pid);
    return std::nullopt;
}

bool VirtualDesktop::focus(const QString &window)
{
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
}

bool VirtualDesktop::click(int x, int y)
{
    // The pointer settles first: a press in the same burst as the move can
    // reach the window before it has noticed the pointer over the button.
    if (!xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(x),
                  QString::number(y)}))
        return false;
    QThread::msleep(150);
    return xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

bool VirtualDesktop::type(const QString &text)
{
    // A short delay between keys, as a person types; a burst can lose keys.
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), text});
}

bool VirtualDesktop::key(const QString &keys)
{
    return xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80"), keys});
}

QImage VirtualDesktop::screenshot()
{
    QProcess import;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    import.setProcessEnvironment(environment);
    import.start(QStringLiteral("import"),
                 {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")});
    if (!import.waitForFinished(15000) || import.exitCode() != 0) {
        m_error = QStringLiteral("import failed: ") +
                  QString::fromLocal8Bit(import.readAllStandardError());
        return {};
    }
    return QImage::fromData(import.readAllStandardOutput(), "PNG");
}
