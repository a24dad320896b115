// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NimbrelWindow.h"

#include "HelperPrograms.h"
#include "InboxServer.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

NimbrelWindow::~NimbrelWindow()
{
    m_app.kill();
    m_app.waitForFinished(5000);
}

bool NimbrelWindow::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool NimbrelWindow::start(const Options &options)
{
    if (!m_layout.isValid())
        return fail(u"no temporary directory"_s);
    // The program reads Config.plist beside its executable.
    const QString app = m_layout.filePath(u"nimbrel"_s);
    if (!QFile::copy(QStringLiteral(NIMBREL_APP_PATH), app))
        return fail(u"cannot copy "_s + QStringLiteral(NIMBREL_APP_PATH));
    const QString config = m_layout.filePath(u"Config.plist"_s);
    QFile given(config);
    if (options.configPlist.isEmpty()
            ? !InboxServer::writeConfigPlist(config, options.apiKey, options.baseUrl)
            : !given.open(QIODevice::WriteOnly) || given.write(options.configPlist) < 0 ||
                  !given.flush())
        return fail(u"cannot write Config.plist"_s);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(options.environment);
    // Qt reports each frame of its render loop and the renderer's work within
    // it; the first frame with such work tells that the window shows. (The
    // threaded loop also reports a frame it skipped, the window not ready yet.)
    environment.insert(u"QT_LOGGING_RULES"_s,
                       QStringLiteral("qt.scenegraph.time.renderloop.debug=true;"
                                      "qt.scenegraph.time.renderer.debug=true"));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    m_app.setProcessEnvironment(environment);
    m_app.setProcessChannelMode(QProcess::SeparateChannels);
    m_app.setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(&m_app, &QProcess::readyReadStandardError, &m_app, [this] {
        m_pendingOutput += m_app.readAllStandardError();
        for (qsizetype end; (end = m_pendingOutput.indexOf('\n')) >= 0;) {
            const QByteArray line = m_pendingOutput.left(end);
            m_pendingOutput.remove(0, end + 1);
            static const QRegularExpression frame(u"frame rendered(?: with '(\\w+)' renderloop)?"_s,
                                                  QRegularExpression::CaseInsensitiveOption);
            if (line.startsWith("qt.scenegraph.time.renderer:")) {
                m_rendererDrew = true;
            } else if (line.startsWith("qt.scenegraph.time.renderloop:")) {
                const auto match = frame.match(QString::fromUtf8(line));
                if (match.hasMatch() && m_rendererDrew) {
                    // Only the threaded loop leaves its name out.
                    m_renderLoop = match.hasCaptured(1) ? match.captured(1) : u"threaded"_s;
                    ++m_frames;
                    m_rendererDrew = false;
                }
            } else if (!line.contains("XDG_RUNTIME_DIR")) {
                qWarning().noquote() << "nimbrel:" << line; // the program's own complaints
            }
        }
    });
    m_app.start(app, options.arguments);
    if (!m_app.waitForStarted())
        return fail(m_app.errorString());

    const std::optional<QByteArray> windows =
        run(u"timeout"_s, {u"20"_s, u"xdotool"_s, u"search"_s, u"--sync"_s, u"--onlyvisible"_s,
                           u"--pid"_s, QString::number(m_app.processId())});
    if (!windows)
        return fail(u"no window of the program appeared within 20 s"_s);
    const QString window = QString::fromLatin1(windows->split('\n').first());
    // Without a window manager nothing else gives the window the keyboard focus.
    if (!run(u"xdotool"_s, {u"windowfocus"_s, u"--sync"_s, window}))
        return fail(u"cannot focus the window"_s);
    if (!QTest::qWaitFor([this] { return m_frames > 0; }, 20'000))
        return fail(u"the window drew no frame within 20 s"_s);
    return true;
}

QImage NimbrelWindow::screen()
{
    const std::optional<QByteArray> png = run(u"import"_s, {u"-window"_s, u"root"_s, u"png:-"_s});
    return png ? QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage NimbrelWindow::waitForStillScreen(int timeoutMs)
{
    QImage last = screen();
    QImage still;
    (void)QTest::qWaitFor(
        [&] {
            QImage next = screen();
            if (!next.isNull() && next == last)
                still = next;
            last = std::move(next);
            return !still.isNull();
        },
        timeoutMs);
    return still;
}
