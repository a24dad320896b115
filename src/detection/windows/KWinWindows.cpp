// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/KWinWindows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QTimer>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

const QString kwinService = u"org.kde.KWin"_s;
const QString reportPath = u"/WindowReport"_s;

// Run inside KWin: every window's names and traits, sent back to `%1` (this
// pass's connection). Plasma 6 lists windows with windowList() and names them
// with strings; Plasma 5 with clientList() and byte arrays, which reach a
// script as ArrayBuffers.
constexpr char script[] = R"js(
const text = v => v instanceof ArrayBuffer ? String.fromCharCode.apply(null, new Uint8Array(v))
                                           : String(v === undefined || v === null ? "" : v);
const windows = (workspace.windowList || workspace.clientList).call(workspace);
const active = windows.find(w => w.active);
callDBus("%1", "/WindowReport", "org.nimbrel.WindowReport", "report", JSON.stringify(windows.map(w => ({
    id: text(w.internalId), resourceClass: text(w.resourceClass), resourceName: text(w.resourceName),
    caption: text(w.caption), pid: w.pid, desktopFileName: text(w.desktopFileName),
    keepAbove: !!w.keepAbove, skipTaskbar: !!w.skipTaskbar, minimized: !!w.minimized,
    excludeFromCapture: w.excludeFromCapture === true, width: w.width, height: w.height,
    opacity: w.opacity, noBorder: !!w.noBorder, shaped: !!w.shaped,
    aboveActive: !!active && w !== active && w.transientFor !== active &&
                 w.stackingOrder > active.stackingOrder,
    desktopType: !!(w.dock || w.desktopWindow || w.notification || w.criticalNotification ||
                    w.onScreenDisplay || w.popupMenu || w.dropdownMenu || w.tooltip ||
                    w.comboBox || w.dndIcon || w.splash)
}))));
)js";
} // namespace

// The object KWin's script calls with its report.
class KWinReportReceiver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.nimbrel.WindowReport")

public:
    std::optional<QByteArray> received;

public slots:
    Q_SCRIPTABLE void report(const QString &windows)
    {
        received = windows.toUtf8();
        emit reported();
    }

signals:
    void reported();
};

QList<TopLevelWindow> windowsFromKWinReport(const QByteArray &report)
{
    QList<TopLevelWindow> windows;
    for (const QJsonValue entry : QJsonDocument::fromJson(report).array()) {
        const QJsonObject w = entry.toObject();
        TopLevelWindow window{.instanceName = w["resourceName"].toString(),
                              .className = w["resourceClass"].toString(),
                              .desktopFile = w["desktopFileName"].toString(),
                              .id = w["id"].toString(),
                              .title = w["caption"].toString().simplified()};
        if (const qint64 pid = w["pid"].toInteger(); pid > 0)
            window.pid = pid;
        window.overlayTraits = overlayTraits({
            .viewable = !w["minimized"].toBool(),
            .above = w["keepAbove"].toBool(),
            .skipTaskbar = w["skipTaskbar"].toBool(),
            .desktopType = w["desktopType"].toBool(),
            .width = w["width"].toInt(),
            .height = w["height"].toInt(),
            .aboveActiveWindow = w["aboveActive"].toBool(),
            .undecorated = w["noBorder"].toBool(),
            .translucent = w["opacity"].toDouble(1) < 1,
            .shaped = w["shaped"].toBool(),
            .hiddenFromCapture = w["excludeFromCapture"].toBool(),
        });
        windows.append(window);
    }
    return windows;
}

std::optional<QList<TopLevelWindow>> kwinWindows(std::chrono::milliseconds timeout,
                                                 QStringList *limits)
{
    const QDeadlineTimer deadline(timeout);
    static std::atomic<int> passes{0};
    const QString name =
        u"nimbrel-windows-%1-%2"_s.arg(QCoreApplication::applicationPid()).arg(passes++);
    // A connection of this pass's own, so that no other part of the program
    // receives the report, and none of theirs is held up by this wait.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    const auto fail = [&](const QString &why) -> std::optional<QList<TopLevelWindow>> {
        *limits << u"windows: native Wayland windows are not visible on this desktop: KWin "_s +
                       why;
        QDBusConnection::disconnectFromBus(name);
        return std::nullopt;
    };
    // Every call waits no longer than the pass has left.
    const auto callOf = [&](const QString &service, const QString &path, const QString &interface,
                            const QString &method, const QVariantList &arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, int(std::max<qint64>(1, deadline.remainingTime())));
    };
    const auto call = [&](const QString &path, const QString &interface, const QString &method,
                          const QVariantList &arguments) {
        return callOf(kwinService, path, interface, method, arguments);
    };
    const QDBusMessage kwinOnBus =
        callOf(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s,
               u"NameHasOwner"_s, {kwinService});
    if (!bus.isConnected() || !kwinOnBus.arguments().value(0).toBool())
        return fail(u"is not on the session bus to list them"_s);

    KWinReportReceiver receiver;
    bus.registerObject(reportPath, &receiver, QDBusConnection::ExportScriptableSlots);
    QTemporaryFile file(QDir::tempPath() + u"/nimbrel-kwin-XXXXXX.js"_s);
    if (!file.open() ||
        file.write(QString::fromLatin1(script).arg(bus.baseService()).toUtf8()) < 0 ||
        !file.flush())
        return fail(u"could not be given the script that lists them"_s);

    const QDBusMessage loaded = call(u"/Scripting"_s, u"org.kde.kwin.Scripting"_s, u"loadScript"_s,
                                     {file.fileName(), name});
    const int id = loaded.arguments().value(0, -1).toInt();
    if (loaded.type() != QDBusMessage::ReplyMessage || id < 0)
        return fail(u"did not load the script that lists them"_s);
    // Plasma 6 keeps a script under /Scripting, Plasma 5 at the root.
    const QDBusMessage ran =
        call(u"/Scripting/Script%1"_s.arg(id), u"org.kde.kwin.Script"_s, u"run"_s, {});
    if (ran.type() != QDBusMessage::ReplyMessage)
        call(u"/%1"_s.arg(id), u"org.kde.kwin.Script"_s, u"run"_s, {});

    if (!receiver.received) {
        QEventLoop wait;
        QObject::connect(&receiver, &KWinReportReceiver::reported, &wait, &QEventLoop::quit);
        QTimer::singleShot(std::max<qint64>(0, deadline.remainingTime()), &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    call(u"/Scripting"_s, u"org.kde.kwin.Scripting"_s, u"unloadScript"_s, {name});
    if (!receiver.received)
        return fail(u"did not list them within %1 ms"_s.arg(timeout.count()));
    QDBusConnection::disconnectFromBus(name);
    return windowsFromKWinReport(*receiver.received);
}

#include "KWinWindows.moc"
