// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/ApplicationGrouping.h"

#include "detection/names/TextBounds.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// What a window says about its application.
struct WindowIdentity
{
    QString identifier;
    QString className;
    QString instanceName;

    bool isEmpty() const { return identifier.isEmpty() && className.isEmpty(); }
};

WindowIdentity identify(const TopLevelWindow &window, const DesktopEntries &entries)
{
    WindowIdentity identity{{}, window.className, window.instanceName};
    if (!window.applicationId.isEmpty() && !window.applicationId.contains(u'/')) {
        identity.identifier = window.applicationId;
    } else if (!window.desktopFile.isEmpty()) {
        identity.identifier = DesktopEntries::idFromPath(window.desktopFile);
    } else if (const auto entry =
                   entries.findForWindowClass(window.className, window.instanceName)) {
        identity.identifier = entry->id;
    }
    // WM_CLASS alone names no desktop entry: it is a name, not an identifier.
    return identity;
}

struct Instance
{
    QString key;
    QString identifier;
    QString className;
    QString leaderExecutable;
    QString hintedFile{};
    QString windowName{}; // for a window known by nothing else: its title
    QList<qint64> pids{};
    QList<const TopLevelWindow *> windows{};
};

// Windows worth an application of their own even without a class: an overlay,
// a title, an icon name or a role may still give them away.
bool isNoteworthy(const TopLevelWindow &window)
{
    return !window.overlayTraits.isEmpty() || !window.title.isEmpty() ||
           !window.iconName.isEmpty() || !window.role.isEmpty();
}

// Whether a window belongs to the application its process was launched as.
// Terminals put the tools started in them into their own unit; such a tool's
// window names another application.
bool belongsTo(const WindowIdentity &window, const Instance &instance,
               const DesktopEntries &entries)
{
    if (window.isEmpty())
        return true;
    const auto same = [](const QString &a, const QString &b) {
        return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
    };
    if (same(window.identifier, instance.identifier))
        return true;
    const QString lastIdPart =
        instance.identifier.sliced(instance.identifier.lastIndexOf(u'.') + 1);
    const auto entry = entries.find(instance.identifier);
    for (const QString &name : {window.className, window.instanceName}) {
        if (same(name, instance.identifier) || same(name, lastIdPart) ||
            same(name, instance.className) || same(name, instance.leaderExecutable) ||
            (entry && same(name, entry->startupWmClass)))
            return true;
    }
    return false;
}

class Grouping
{
public:
    explicit Grouping(const DesktopEntries &entries) : m_entries(entries) {}

    void addProcess(const ProcessRecord &process, const QList<const TopLevelWindow *> &windows);
    void addWindowWithoutProcess(const TopLevelWindow &window);
    QList<RunningApplication> applications() const;

private:
    int instanceFor(const QString &key, const Instance &seed);
    std::optional<DesktopEntry> entryFor(const Instance &instance) const;
    ApplicationWindow describe(const TopLevelWindow &window) const;

    const DesktopEntries &m_entries;
    QList<Instance> m_instances;
    QHash<QString, int> m_instanceByKey;
    QHash<qint64, int> m_instanceByPid;
};

int Grouping::instanceFor(const QString &key, const Instance &seed)
{
    if (const auto known = m_instanceByKey.constFind(key); known != m_instanceByKey.constEnd())
        return *known;
    m_instances.append(seed);
    m_instances.last().key = key;
    m_instanceByKey.insert(key, int(m_instances.size() - 1));
    return int(m_instances.size() - 1);
}

void Grouping::addProcess(const ProcessRecord &process,
                          const QList<const TopLevelWindow *> &windows)
{
    // The first window names the application; all of them belong to it.
    const TopLevelWindow *window = windows.isEmpty() ? nullptr : windows.first();
    const WindowIdentity windowIdentity = window ? identify(*window, m_entries) : WindowIdentity{};
    const int parent = m_instanceByPid.value(process.parentPid, -1);
    const QString ownKey = QStringLiteral("pid:") + QString::number(process.pid);
    const auto &launched = process.launch;

    int instance = -1;
    if (launched) {
        const bool inheritedFromParent =
            parent >= 0 && m_instances[parent].identifier == launched->identifier;
        const QString key = !launched->instance.isEmpty()
                                ? QStringLiteral("unit:") + launched->instance
                            : inheritedFromParent ? m_instances[parent].key
                                                  : ownKey;
        const Instance seed{
            {}, launched->identifier, {}, process.executable, launched->desktopFile};
        const int existing = m_instanceByKey.value(key, -1);
        const Instance &candidate = existing >= 0 ? m_instances[existing] : seed;
        // A window naming another application wins, unless this process is one
        // of the instance's own (same executable as its first process).
        if (window && process.executable != candidate.leaderExecutable &&
            !belongsTo(windowIdentity, candidate, m_entries)) {
            instance = instanceFor(
                ownKey,
                {{}, windowIdentity.identifier, windowIdentity.className, process.executable});
        } else {
            instance = instanceFor(key, seed);
        }
    } else if (window && (!windowIdentity.isEmpty() ||
                          std::any_of(windows.begin(), windows.end(),
                                      [](const TopLevelWindow *w) { return isNoteworthy(*w); }))) {
        const bool helperOfParent =
            parent >= 0 && belongsTo(windowIdentity, m_instances[parent], m_entries);
        instance = helperOfParent ? parent
                                  : instanceFor(ownKey, {{},
                                                         windowIdentity.identifier,
                                                         windowIdentity.className,
                                                         process.executable});
    } else if (parent >= 0 && m_instances[parent].leaderExecutable == process.executable) {
        instance = parent; // a windowless helper, e.g. a browser's renderer
    }
    if (instance < 0)
        return; // a plain process, not an application

    Instance &grouped = m_instances[instance];
    if (grouped.identifier.isEmpty())
        grouped.identifier = windowIdentity.identifier;
    if (grouped.className.isEmpty())
        grouped.className = windowIdentity.className;
    grouped.pids.append(process.pid);
    grouped.windows += windows;
    m_instanceByPid.insert(process.pid, instance);
}

void Grouping::addWindowWithoutProcess(const TopLevelWindow &window)
{
    const WindowIdentity identity = identify(window, m_entries);
    if (identity.isEmpty()) {
        // Nothing names its application: it is one of its own, never left out.
        const QString name = window.title.isEmpty()
                                 ? QStringLiteral("an unnamed window (%1)").arg(window.id)
                                 : cutText(window.title, maxDisplayNameLength);
        Instance &own = m_instances[instanceFor(QStringLiteral("window:") + window.id, {})];
        own.windowName = name;
        own.windows.append(&window);
        return;
    }
    const QString key = identity.identifier.isEmpty()
                            ? QStringLiteral("class:") + identity.className
                            : QStringLiteral("id:") + identity.identifier;
    m_instances[instanceFor(key, {{}, identity.identifier, identity.className, {}})].windows.append(
        &window);
}

std::optional<DesktopEntry> Grouping::entryFor(const Instance &instance) const
{
    return instance.hintedFile.isEmpty() ? m_entries.find(instance.identifier)
                                         : m_entries.findHinted(instance.hintedFile);
}

// A browser shows an installed web app as a window of its own process, known
// by its instance name from the web app's entry (StartupWMClass).
ApplicationWindow Grouping::describe(const TopLevelWindow &window) const
{
    ApplicationWindow described{window.id,           window.title, window.className,
                                window.instanceName, {},           window.overlayTraits,
                                window.iconName,     window.role};
    std::optional<DesktopEntry> entry = m_entries.findForStartupWmClass(window.instanceName);
    if (!entry)
        entry = m_entries.find(identify(window, m_entries).identifier);
    if (entry)
        described.entryName = entry->name;
    return described;
}

QList<RunningApplication> Grouping::applications() const
{
    QList<RunningApplication> applications;
    for (const Instance &instance : m_instances) {
        RunningApplication application;
        if (!instance.identifier.isEmpty())
            application.bundleIdentifier = cutText(instance.identifier, maxIdentifierLength);
        const auto entry = entryFor(instance);
        for (const QString &name :
             {entry ? entry->name : QString(), instance.className, instance.leaderExecutable}) {
            if (!name.isEmpty()) {
                application.displayName = name;
                break;
            }
        }
        if (!application.displayName && !instance.windowName.isEmpty()) {
            application.displayName = instance.windowName;
            application.namedByTitle = !instance.windows.first()->title.isEmpty();
        }
        application.pids = instance.pids;
        application.executable = instance.leaderExecutable;
        for (const TopLevelWindow *window : instance.windows)
            application.windows.append(describe(*window));
        if (application.displayName || application.bundleIdentifier)
            applications.append(application);
    }
    return applications;
}

} // namespace

QList<RunningApplication> groupApplications(QList<ProcessRecord> processes,
                                            const QList<TopLevelWindow> &windows,
                                            const DesktopEntries &entries)
{
    std::stable_sort(processes.begin(), processes.end(), [](const auto &a, const auto &b) {
        return std::tie(a.startTime, a.pid) < std::tie(b.startTime, b.pid);
    });
    QSet<qint64> knownPids;
    for (const ProcessRecord &process : processes)
        knownPids.insert(process.pid);
    QHash<qint64, QList<const TopLevelWindow *>> windowsByPid;
    for (const TopLevelWindow &window : windows) {
        if (window.pid && knownPids.contains(*window.pid))
            windowsByPid[*window.pid].append(&window);
    }

    Grouping grouping(entries);
    for (const ProcessRecord &process : processes)
        grouping.addProcess(process, windowsByPid.value(process.pid));
    for (const TopLevelWindow &window : windows) {
        if (!window.pid || !knownPids.contains(*window.pid))
            grouping.addWindowWithoutProcess(window);
    }
    return grouping.applications();
}
