#pragma once

#include "../monitoring/FakeEmailSender.h"
#include "ContentView.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <memory>

// One real application window (Main.qml) around a ContentView whose e-mails go
// to a fake sender, with the helpers the window tests drive it by.
class VerificationWindow
{
public:
    explicit VerificationWindow(QQmlEngine &engine);
    ~VerificationWindow();

    ContentView &view() { return *m_view; }
    QQuickWindow &window() { return *m_window; }
    FakeEmailSender &sender() { return *m_sender; }

    // The item with this objectName, or nullptr when it does not exist (now).
    QQuickItem *item(const QString &objectName) const;
    // Like item(), but present and shown.
    bool isShown(const QString &objectName) const;

    // Lets pending layout run, so positions and sizes are current.
    void settle();

    void click(const QString &objectName);
    void typeInto(const QString &objectName, const QString &text);
    // Types into whatever has focus, one key per character.
    void type(const QString &text);

    // Types the address, presses send and lets the provider accept the e-mail.
    void sendCodeTo(const QString &address);
    // Finishes the send with this index and lets the queued result arrive.
    void finishSend(int index, bool success, std::optional<EmailError> error = std::nullopt);

private:
    std::shared_ptr<FakeEmailSender> m_sender = std::make_shared<FakeEmailSender>();
    ContentView *m_view = nullptr;
    QQuickWindow *m_window = nullptr;
};
