#include "ScanPass.h"

#include "CanonicalText.h"
#include "NameOccurrences.h"
#include "ProcSnapshotSources.h"
#include "SuspiciousNameMatcher.h"

#include <QHash>
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

const QString alarm = QStringLiteral("🚨 CLUELY DETECTED - ");

// The text is normalised once for all the patterns (all of them are ASCII,
// so already in canonical form).
template <size_t N>
bool containsAnyIgnoringCase(const QString &text, const std::array<QStringView, N> &patterns)
{
    const QString canonical = canonicalForm(text);
    return std::any_of(patterns.begin(), patterns.end(), [&](QStringView pattern) {
        return canonical.contains(pattern, Qt::CaseInsensitive);
    });
}

// What the rules say of each distinct name, worked out once per pass: a
// process and its windows show the same names many times over.
class NameVerdicts
{
public:
    bool isCluely(const QString &name) { return verdict(name).cluely; }
    bool isGeneric(const QString &name) { return verdict(name).generic; }
    bool isCluelyBundle(const QString &identifier)
    {
        auto known = m_bundles.find(identifier);
        if (known == m_bundles.end())
            known = m_bundles.insert(identifier,
                                     containsAnyIgnoringCase(identifier, cluelyBundlePatterns));
        return *known;
    }

private:
    struct Verdict
    {
        bool cluely;
        bool generic;
    };

    const Verdict &verdict(const QString &name)
    {
        auto known = m_verdicts.find(name);
        if (known == m_verdicts.end()) {
            known =
                m_verdicts.insert(name, {isSuspiciousName(name),
                                         containsAnyIgnoringCase(name, genericSuspiciousNames)});
        }
        return *known;
    }

    QHash<QString, Verdict> m_verdicts;
    QHash<QString, bool> m_bundles;
};

// The names one window shows, titles apart.
QList<Evidence> windowNames(const ApplicationWindow &window)
{
    QList<Evidence> names;
    for (const auto &[name, source] :
         {std::pair{window.entryName, NameSource::WindowEntry},
          std::pair{window.className, NameSource::WindowClass},
          std::pair{window.instanceName, NameSource::WindowInstance}}) {
        if (!name.isEmpty())
            names.append({source, name});
    }
    return names;
}

QList<Evidence> overlayEvidence(const RunningApplication &application)
{
    QList<Evidence> overlays;
    for (const ApplicationWindow &window : application.windows) {
        if (!window.overlayTraits.isEmpty())
            overlays.append({NameSource::OverlayWindow, window.id, {}, window.overlayTraits});
    }
    return overlays;
}

// The first of an application's windows that is an overlay names it when
// nothing else does: its class, else the application's executable.
QString overlayOwnerName(const RunningApplication &application)
{
    if (application.displayName)
        return *application.displayName;
    for (const ApplicationWindow &window : application.windows) {
        if (!window.overlayTraits.isEmpty() && !window.className.isEmpty())
            return window.className;
    }
    return application.executable;
}

// The evidence that the application is the target tool, in the order the
// rules test it: display name, identifier, then each window's names and title.
QList<Evidence> cluelyEvidence(const RunningApplication &application, NameVerdicts &verdicts)
{
    QList<Evidence> found;
    const QString &name = *application.displayName;
    if (verdicts.isCluely(name))
        found.append({NameSource::DisplayName, name});
    if (application.bundleIdentifier && verdicts.isCluelyBundle(*application.bundleIdentifier))
        found.append({NameSource::BundleIdentifier, *application.bundleIdentifier});
    for (const ApplicationWindow &window : application.windows) {
        for (const Evidence &windowName : windowNames(window)) {
            if (verdicts.isCluely(windowName.name))
                found.append(windowName);
        }
        // A title is never kept unless it matches.
        if (!window.title.isEmpty() && verdicts.isCluely(window.title))
            found.append({NameSource::WindowTitle, window.title});
    }
    return found;
}

QList<Evidence> genericEvidence(const RunningApplication &application, NameVerdicts &verdicts)
{
    QList<Evidence> found;
    if (verdicts.isGeneric(*application.displayName))
        found.append({NameSource::DisplayName, *application.displayName});
    for (const ApplicationWindow &window : application.windows) {
        for (const Evidence &windowName : windowNames(window)) {
            if (verdicts.isGeneric(windowName.name))
                found.append(windowName);
        }
    }
    return found;
}

// The line the first piece of evidence makes.
Finding lineFor(const Evidence &first, FindingKind kind, const RunningApplication &application)
{
    const QString &name = *application.displayName;
    const QString prefix = kind == FindingKind::Cluely ? alarm : QString();
    switch (first.source) {
    case NameSource::DisplayName:
        return {prefix + QStringLiteral("App: ") + name, kind, FindingSource::Application};
    case NameSource::BundleIdentifier:
        return {alarm + QStringLiteral("Bundle: ") + first.name + QStringLiteral(" (App: ") + name +
                    u')',
                kind, FindingSource::Application};
    case NameSource::WindowTitle:
        return {alarm + QStringLiteral("Window: ") + first.name + QStringLiteral(" (App: ") + name +
                    u')',
                kind, FindingSource::Window};
    default: // a window's class, instance or desktop entry
        return {prefix + QStringLiteral("App: ") + first.name, kind, FindingSource::Window};
    }
}

std::optional<Finding> applicationFinding(const RunningApplication &application,
                                          NameVerdicts &verdicts)
{
    const QList<Evidence> overlays = overlayEvidence(application);
    std::optional<Finding> finding;
    // Without a display name only an overlay, which needs no name, is reported.
    if (application.displayName) {
        if (QList<Evidence> found = cluelyEvidence(application, verdicts); !found.isEmpty()) {
            finding = lineFor(found.first(), FindingKind::Cluely, application);
            finding->evidence = std::move(found);
        } else if (found = genericEvidence(application, verdicts); !found.isEmpty()) {
            finding = lineFor(found.first(), FindingKind::Generic, application);
            finding->evidence = std::move(found);
        }
    }
    if (!finding && !overlays.isEmpty()) {
        const QString name = overlayOwnerName(application);
        if (name.isEmpty())
            return std::nullopt;
        finding =
            Finding{QStringLiteral("⚠️ OVERLAY WINDOW - App: ") + name + QStringLiteral(" (") +
                        overlays.first().traits.join(QStringLiteral(", ")) + u')',
                    FindingKind::Overlay, FindingSource::Window};
    }
    if (finding) {
        finding->pids = application.pids;
        finding->evidence += overlays;
    }
    return finding;
}

// A process's line before the duplicate test: the target tool's line for the
// first of its names that matches its rules, else the generic line for the
// first that holds a generic name. The evidence lists every name that matches.
std::optional<Finding> processFinding(const ObservedProcess &process, NameVerdicts &verdicts)
{
    for (FindingKind kind : {FindingKind::Cluely, FindingKind::Generic}) {
        Finding finding{{}, kind, FindingSource::Process};
        for (const ProcessName &name : process.names) {
            if (kind == FindingKind::Cluely ? verdicts.isCluely(name.name)
                                            : verdicts.isGeneric(name.name))
                finding.evidence.append({name.source, name.name, process.pid});
        }
        if (finding.evidence.isEmpty())
            continue;
        finding.line = (kind == FindingKind::Cluely ? alarm : QString()) +
                       QStringLiteral("Process: ") + finding.evidence.first().name;
        if (process.pid)
            finding.pids.append(*process.pid);
        return finding;
    }
    return std::nullopt;
}

} // namespace

QList<Finding> scanFindings(const RunningApplicationsSource &applications,
                            const ProcessSource &processes)
{
    NameVerdicts verdicts;
    QList<Finding> findings;
    const QList<RunningApplication> running = applications.runningApplications();
    // What the pass could not see comes first: a clean result means little without it.
    for (const QString &limit : processes.processLimits() + applications.applicationLimits())
        findings.append({QStringLiteral("⚠️ SCAN LIMITED - ") + limit, FindingKind::Limited,
                         FindingSource::Scan, {}, {{NameSource::ScanLimit, limit}}});
    for (const RunningApplication &application : running) {
        if (std::optional<Finding> finding = applicationFinding(application, verdicts))
            findings.append(std::move(*finding));
    }
    QList<Finding> candidates;
    for (const ObservedProcess &process : processes.runningProcesses()) {
        if (std::optional<Finding> finding = processFinding(process, verdicts))
            candidates.append(std::move(*finding));
    }

    // A name already standing in an earlier line (typically an application's
    // own executable) is not reported twice: its process joins that line.
    // Compared case-sensitively in canonical form, each name and line
    // normalised once.
    QHash<QString, qsizetype> nameIndex;
    QStringList names;
    QList<QList<qsizetype>> candidateNames;
    for (const Finding &candidate : candidates) {
        QList<qsizetype> indices;
        for (const Evidence &name : candidate.evidence) {
            auto known = nameIndex.find(name.name);
            if (known == nameIndex.end()) {
                known = nameIndex.insert(name.name, names.size());
                names.append(canonicalForm(name.name));
            }
            indices.append(*known);
        }
        candidateNames.append(indices);
    }
    NameOccurrences earlierLines(names);
    for (qsizetype i = 0; i < findings.size(); ++i)
        earlierLines.addLine(canonicalForm(findings[i].line), int(i));
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        int earlier = -1;
        for (qsizetype name : candidateNames[i]) {
            const int line = earlierLines.firstLine(name);
            if (line >= 0 && (earlier < 0 || line < earlier))
                earlier = line;
        }
        Finding &candidate = candidates[i];
        if (earlier >= 0) {
            for (qint64 pid : candidate.pids) {
                if (!findings[earlier].pids.contains(pid))
                    findings[earlier].pids.append(pid);
            }
            continue;
        }
        earlierLines.addLine(canonicalForm(candidate.line), int(findings.size()));
        findings.append(std::move(candidate));
    }
    return findings;
}

QStringList scanForSuspiciousProcesses(const RunningApplicationsSource &applications,
                                       const ProcessSource &processes)
{
    QStringList lines;
    for (const Finding &finding : scanFindings(applications, processes))
        lines.append(finding.line);
    return lines;
}

QList<Finding> scanFindings()
{
    const ProcSnapshotSources sources = ProcSnapshotSources::session();
    return scanFindings(sources, sources);
}

QStringList scanForSuspiciousProcesses()
{
    const ProcSnapshotSources sources = ProcSnapshotSources::session();
    return scanForSuspiciousProcesses(sources, sources);
}
