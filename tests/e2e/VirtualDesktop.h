#pragma once

#include <QImage>
#include <QProcess>
#include <QString>

#include <optional>

// A private X display (Xvfb on a free display number) and the real input
// events and screenshots of xdotool and ImageMagick on it. No window manager
// runs, so windows get the keyboard focus by windowfocus or a click.
class VirtualDesktop
{
public:
    VirtualDesktop();
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop &) = delete;
    VirtualDesktop &operator=(const VirtualDesktop &) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    QString errorString() const { return m_error; }
    QString display() const { return m_display; } // such as ":93"

    // The first visible top-level window of the process, waiting up to 15 s.
    std::optional<QString> waitForWindow(qint64 pid);

    bool focus(const QString &window);
    bool click(int x, int y);
    bool type(const QString &text);
    bool key(const QString &keys); // xdotool key names, such as "Tab" or "space"

    // The whole screen as it is now; a null image on failure.
    QImage screenshot();

private:
    bool xdotool(const QStringList &arguments, QString *output = nullptr);

    QProcess m_xvfb;
    QString m_display;
    QString m_error;
};
