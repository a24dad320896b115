#include "ScanPass.h"

#include "CanonicalText.h"
#include "SuspiciousNameMatcher.h"

#include <QStringView>

#include <algorithm>
#include <array>

namespace {

// Searched for in bundle identifiers, ignoring case, in this order. Repeats
// and case variants are kept as listed; the search ignores case anyway.
constexpr std::array<QStringView, 31> cluelyBundlePatterns = {
    u"cluely",           u"cluely.com",    u"cluely.app",   u"cluely.ai",     u"cluelly",
    u"clueli",           u"cluly",         u"cluly.app",    u"c1uely",        u"cIuely",
    u"cluely",           u"clue1y",        u"cluely-",      u"cluely_",       u"cluelyapp",
    u"cluelyhelper",     u"cluelyagent",   u"cluelydaemon", u"cluelyservice", u"cluelybackground",
    u"cluelysupport",    u"cluelyhelper",  u"com.cluely",   u"io.cluely",     u"org.cluely",
    u"cluely.framework", u"cluely.plugin", u"yleulc",       u"yleuLC",        u"CLUELY",
    u"CLUELY.COM",
};

// Searched for in display names and process names, ignoring case.
constexpr std::array<QStringView, 3> genericSuspiciousNames = {u"ZoomHelper", u"CheatTool",
                                                               u"KeyLogger"};

template <size_t N>
bool containsAnyIgnoringCase(const QString &text, const std::array<QStringView, N> &patterns)
{
    return std::any_of(patterns.begin(), patterns.end(), [&](QStringView pattern) {
        return containsIgnoringCase(text, pattern.toString());
    });
}

// The line for one application, or a null string.
QString applicationLine(const RunningApplication &application)
{
    if (!application.displayName)
        return {};
    const QString &name = *application.displayName;
    if (isSuspiciousName(name))
        return QStringLiteral("🚨 CLUELY DETECTED - App: ") + name;
    if (application.bundleIdentifier &&
        containsAnyIgnoringCase(*application.bundleIdentifier, cluelyBundlePatterns)) {
        return QStringLiteral("🚨 CLUELY DETECTED - Bundle: ") + *application.bundleIdentifier +
               QStringLiteral(" (App: ") + name + u')';
    }
    if (containsAnyIgnoringCase(name, genericSuspiciousNames))
        return QStringLiteral("App: ") + name;
    return {};
}

// The line for one process name, or a null string.
QString processLine(const QString &name)
{
    if (isSuspiciousName(name))
        return QStringLiteral("🚨 CLUELY DETECTED - Process: ") + name;
    if (containsAnyIgnoringCase(name, genericSuspiciousNames))
        return QStringLiteral("Process: ") + name;
    return {};
}

} // namespace

QStringList scanForSuspiciousProcesses(const RunningApplicationsSource &applications,
                                       const ProcessSource &processes)
{
    QStringList lines;
    for (const RunningApplication &application : applications.runningApplications()) {
        if (QString line = applicationLine(application); !line.isNull())
            lines.append(std::move(line));
    }
    for (const QString &name : processes.runningProcessNames()) {
        QString line = processLine(name);
        if (line.isNull())
            continue;
        // A name already standing in an earlier line (typically an
        // application's own executable) is not reported twice.
        const bool alreadyReported =
            std::any_of(lines.cbegin(), lines.cend(),
                        [&](const QString &earlier) { return containsCanonically(earlier, name); });
        if (!alreadyReported)
            lines.append(std::move(line));
    }
    return lines;
}

QStringList scanForSuspiciousProcesses()
{
    return scanForSuspiciousProcesses(*defaultRunningApplicationsSource(), *defaultProcessSource());
}
