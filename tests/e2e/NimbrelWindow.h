#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <optional>

// The real nimbrel binary as a person starts it, on the X display in the
// test's DISPLAY: a private copy with its Config.plist beside it, driven by
// xdotool and seen through screenshots. Every wait is for a condition and
// bounded; nothing assumes that a fixed delay is enough.
//
//   NimbrelWindow app;
//   QVERIFY2(app.start({.apiKey = key, .baseUrl = inbox.baseUrl()}), qPrintable(app.error()));
//   QVERIFY(app.click(kFieldFill, kFieldWidth));   // waits for the control, then clicks it
//   QVERIFY(app.type("interviewer@example.com"));
class NimbrelWindow
{
public:
    struct Options
    {
        QString apiKey;
        QUrl baseUrl;
        // Added to the test's own environment, e.g. to force a renderer.
        QProcessEnvironment environment = {};
    };

    NimbrelWindow() = default;
    ~NimbrelWindow();
    NimbrelWindow(const NimbrelWindow &) = delete;
    NimbrelWindow &operator=(const NimbrelWindow &) = delete;

    // Starts the program and waits until its window is mapped, has the
    // keyboard focus and has drawn its first frame.
    bool start(const Options &options);
    QString error() const { return m_error; }
    qint64 processId() const { return m_app.processId(); }
    // Waits for the program to end by itself.
    bool waitForExit(int timeoutMs) { return m_app.waitForFinished(timeoutMs); }
    QProcess::ExitStatus exitStatus() const { return m_app.exitStatus(); }
    int exitCode() const { return m_app.exitCode(); }
    // The name of the render loop that draws the window ("software",
    // "threaded", ...), once it has drawn.
    QString renderLoop() const { return m_renderLoop; }

    // The whole display now; a null image when it cannot be read.
    static QImage screen();
    // The display once two pictures in a row are the same, so nothing is
    // moving; a null image when it keeps changing.
    static QImage waitForStillScreen(int timeoutMs = 10'000);
    // Waits until at least index + 1 such controls are on screen.
    std::optional<QPoint> waitForControl(const QColor &colour, int minWidth, int index = 0,
                                         int timeoutMs = 10'000);

    // Waits for the control, then moves the pointer onto it and clicks.
    bool click(const QColor &colour, int minWidth, int index = 0);
    // Types as a person does, a short pause between keys: a burst can lose keys.
    bool type(const QString &text);
    bool keys(const QStringList &names);

private:
    bool fail(const QString &why);

    QTemporaryDir m_layout;
    QProcess m_app;
    QString m_window;
    int m_frames = 0;
    bool m_rendererDrew = false; // since the last frame reported
    QString m_renderLoop;
    QByteArray m_pendingOutput;
    QString m_error;
};
