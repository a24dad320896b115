// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/ScanPass.h"

#include "detection/names/CanonicalText.h"
#include "detection/context/MachineContext.h"
#include "detection/LinePrefixes.h"
#include "detection/NameOccurrences.h"
#include "detection/names/NameSkeleton.h"
#include "detection/ProcSnapshotSources.h"
#include "detection/names/SuspiciousNameMatcher.h"
#include "detection/processes/ProcessNameList.h"
#include "detection/names/TextBounds.h"

#include <QHash>
#include <QStringView>

#include <algorithm>
#include <array>
#include <future>

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

const QString alarm = LinePrefix::alarm.toString();

// Whether `text` holds one of `patterns` ignoring case, or does so as people
// read it: its skeleton holds a pattern's skeleton. The text is normalised
// once for all the patterns (all of them are ASCII, so already in canonical
// form).
template <size_t N>
bool containsAnyIgnoringCase(const QString &text, const std::array<QStringView, N> &patterns)
{
    const QString canonical = canonicalForm(text);
    if (std::any_of(patterns.begin(), patterns.end(), [&](QStringView pattern) {
            return canonical.contains(pattern, Qt::CaseInsensitive);
        }))
        return true;
    static const std::array<QString, N> patternSkeletons = [&] {
        std::array<QString, N> skeletons;
        for (size_t i = 0; i < N; ++i)
            skeletons[i] = nameSkeleton(patterns[i].toString());
        return skeletons;
    }();
    const Skeletons skeletons = nameSkeletons(text);
    return std::any_of(patternSkeletons.begin(), patternSkeletons.end(), [&](const QString &pattern) {
        return skeletons.folded.contains(pattern) || skeletons.shown.contains(pattern);
    });
}

// What the rules say of each distinct name, worked out once per pass: a
// process and its windows show the same names many times over. The generic
// rule is tried only when asked, which a name the target tool's rules match
// rarely is.
class NameVerdicts
{
public:
    bool isCluely(const QString &name) { return verdict(name).cluely; }
    bool isGeneric(const QString &name)
    {
        std::optional<bool> &generic = verdict(name).generic;
        if (!generic)
            generic = containsAnyIgnoringCase(name, genericSuspiciousNames);
        return *generic;
    }
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
        std::optional<bool> generic;
    };

    Verdict &verdict(const QString &name)
    {
        auto known = m_verdicts.find(name);
        if (known == m_verdicts.end())
            known = m_verdicts.insert(name, {isSuspiciousName(name), std::nullopt});
        return *known;
    }

    QHash<QString, Verdict> m_verdicts;
    QHash<QString, bool> m_bundles;
};

const QString possible = LinePrefix::possible.toString();

// What a line shows of a name: cut to a length a reader can take in; the
// name is matched whole.
QString shown(const QString &name, NameSource source)
{
    const bool windowText = source == NameSource::WindowTitle ||
                            source == NameSource::WindowIconName ||
                            source == NameSource::DisplayName;
    return cutText(name, windowText ? maxDisplayNameLength : maxNameLength);
}

Evidence evidenceOf(NameSource source, const QString &name, std::optional<qint64> pid = {})
{
    return {source, shown(name, source), pid};
}

// Where a possible finding's name was seen, as its line says.
QString placeOf(NameSource source)
{
    switch (source) {
    case NameSource::File:
        return QStringLiteral("File: ");
    case NameSource::Argument:
        return QStringLiteral("Argument: ");
    case NameSource::WindowTitle:
    case NameSource::WindowIconName:
        return QStringLiteral("Window: ");
    default:
        return QStringLiteral("Folder: ");
    }
}

// Every name one window shows, those that identify its program first.
QList<std::pair<NameSource, QString>> windowNames(const ApplicationWindow &window)
{
    QList<std::pair<NameSource, QString>> names;
    for (const auto &[source, name] : {std::pair{NameSource::WindowEntry, window.entryName},
                                       std::pair{NameSource::WindowClass, window.className},
                                       std::pair{NameSource::WindowInstance, window.instanceName},
                                       std::pair{NameSource::WindowRole, window.role},
                                       std::pair{NameSource::WindowTitle, window.title},
                                       std::pair{NameSource::WindowIconName, window.iconName}}) {
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

// The application's names the target tool's rules match, in the order the
// rules test them: display name, identifier, then each window's names. Names
// that identify a program come before those that only mention one.
QList<Evidence> cluelyEvidence(const RunningApplication &application, NameVerdicts &verdicts)
{
    QList<Evidence> identities;
    QList<Evidence> mentions;
    // A display name that is a window's title is read with the window's names.
    const QString &name = *application.displayName;
    if (!application.namedByTitle && verdicts.isCluely(name))
        identities.append(evidenceOf(NameSource::DisplayName, name));
    if (application.bundleIdentifier && verdicts.isCluelyBundle(*application.bundleIdentifier))
        identities.append(evidenceOf(NameSource::BundleIdentifier, *application.bundleIdentifier));
    for (const ApplicationWindow &window : application.windows) {
        for (const auto &[source, windowName] : windowNames(window)) {
            // A title is never kept unless it matches.
            if (verdicts.isCluely(windowName))
                (identifiesProgram(source) ? identities : mentions)
                    .append(evidenceOf(source, windowName));
        }
    }
    return identities + mentions;
}

QList<Evidence> genericEvidence(const RunningApplication &application, NameVerdicts &verdicts)
{
    QList<Evidence> found;
    if (!application.namedByTitle && verdicts.isGeneric(*application.displayName))
        found.append(evidenceOf(NameSource::DisplayName, *application.displayName));
    for (const ApplicationWindow &window : application.windows) {
        for (const auto &[source, windowName] : windowNames(window)) {
            // Titles are checked for the target tool's names only.
            if (identifiesProgram(source) && verdicts.isGeneric(windowName))
                found.append(evidenceOf(source, windowName));
        }
    }
    return found;
}

// The line the first piece of evidence makes.
Finding lineFor(const Evidence &first, FindingKind kind, const RunningApplication &application)
{
    const QString name = shown(*application.displayName, NameSource::DisplayName);
    if (!identifiesProgram(first.source))
        return {possible + placeOf(first.source) + first.name + QStringLiteral(" (App: ") + name +
                    u')',
                FindingKind::Possible, FindingSource::Window};
    const QString prefix = kind == FindingKind::Cluely ? alarm : QString();
    switch (first.source) {
    case NameSource::DisplayName:
        return {prefix + QStringLiteral("App: ") + name, kind, FindingSource::Application};
    case NameSource::BundleIdentifier:
        return {alarm + QStringLiteral("Bundle: ") + first.name + QStringLiteral(" (App: ") + name +
                    u')',
                kind, FindingSource::Application};
    default: // a window's class, instance, role or desktop entry
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
        QList<Evidence> found = cluelyEvidence(application, verdicts);
        QList<Evidence> generic = genericEvidence(application, verdicts);
        // A program's own name outranks a mention; a generic name outranks a mere mention.
        if (!found.isEmpty() &&
            (identifiesProgram(found.first().source) || generic.isEmpty())) {
            finding = lineFor(found.first(), FindingKind::Cluely, application);
            finding->evidence = std::move(found);
        } else if (!generic.isEmpty()) {
            finding = lineFor(generic.first(), FindingKind::Generic, application);
            finding->evidence = std::move(generic);
        }
    }
    if (!finding && !overlays.isEmpty()) {
        const QString name = overlayOwnerName(application);
        if (name.isEmpty())
            return std::nullopt;
        finding = Finding{LinePrefix::overlay.toString() + QStringLiteral("App: ") +
                              shown(name, NameSource::DisplayName) + QStringLiteral(" (") +
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
// first of its program's names that matches its rules, else the generic line
// for the first that holds a generic name, else a possible finding for the
// first name that mentions the target tool. The evidence lists every name
// that matches.
std::optional<Finding> processFinding(const ObservedProcess &process, NameVerdicts &verdicts)
{
    QList<Evidence> cluely;
    QList<Evidence> generic;
    for (const ProcessName &name : process.names) {
        if (verdicts.isCluely(name.name))
            cluely.append(evidenceOf(name.source, name.name, process.pid));
        else if (identifiesProgram(name.source) && verdicts.isGeneric(name.name))
            generic.append(evidenceOf(name.source, name.name, process.pid));
    }
    Finding finding{{}, FindingKind::Cluely, FindingSource::Process};
    if (!cluely.isEmpty() && identifiesProgram(cluely.first().source)) {
        finding.line = alarm + QStringLiteral("Process: ") + cluely.first().name;
        finding.evidence = cluely;
    } else if (!generic.isEmpty()) {
        finding.kind = FindingKind::Generic;
        finding.line = QStringLiteral("Process: ") + generic.first().name;
        finding.evidence = generic;
    } else if (!cluely.isEmpty()) {
        finding.kind = FindingKind::Possible;
        const auto program = std::find_if(process.names.begin(), process.names.end(),
                                          [](const ProcessName &name) {
                                              return identifiesProgram(name.source);
                                          });
        finding.line = possible + placeOf(cluely.first().source) + cluely.first().name;
        if (program != process.names.end())
            finding.line += QStringLiteral(" (Process: ") + shown(program->name, program->source) +
                            u')';
        finding.evidence = cluely;
    } else {
        return std::nullopt;
    }
    if (process.pid)
        finding.pids.append(*process.pid);
    return finding;
}

// How strong a finding is, for the duplicate test: the alarm, a generic
// name, then what only mentions or hints (possible findings, overlays).
int strength(const Finding &finding)
{
    switch (finding.kind) {
    case FindingKind::Cluely:
        return 2;
    case FindingKind::Generic:
        return 1;
    default:
        return 0;
    }
}

// What a pass reads of its sources, each once.
struct PassInput
{
    QList<RunningApplication> applications;
    QList<ObservedProcess> processes;
    QStringList processLimits;
    QStringList applicationLimits; // read after the applications, which they are of
};

PassInput readSources(const RunningApplicationsSource &applications, const ProcessSource &processes)
{
    PassInput input;
    input.applications = applications.runningApplications();
    input.applicationLimits = applications.applicationLimits();
    input.processes = processes.runningProcesses();
    input.processLimits = processes.processLimits();
    return input;
}

QList<Finding> findingsOf(const PassInput &input)
{
    NameVerdicts verdicts;
    QList<Finding> findings;
    // What the pass could not see comes first: a clean result means little without it.
    for (const QString &limit : input.processLimits + input.applicationLimits)
        findings.append({LinePrefix::limited.toString() + limit, FindingKind::Limited,
                         FindingSource::Scan, {}, {{NameSource::ScanLimit, limit}}});
    for (const RunningApplication &application : input.applications) {
        if (std::optional<Finding> finding = applicationFinding(application, verdicts))
            findings.append(std::move(*finding));
    }
    QList<Finding> candidates;
    for (const ObservedProcess &process : input.processes) {
        if (std::optional<Finding> finding = processFinding(process, verdicts))
            candidates.append(std::move(*finding));
    }
    // Processes known by their program's names come before those only a
    // mention gives away, so that a mention never takes in a program.
    std::stable_partition(candidates.begin(), candidates.end(), [](const Finding &candidate) {
        return candidate.kind != FindingKind::Possible;
    });

    // A name already standing in an earlier line (typically an application's
    // own executable) is not reported twice: its process joins that line,
    // when the line is as strong as the process's own would be.
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
    for (qsizetype i = 0; i < findings.size(); ++i) {
        if (findings[i].kind != FindingKind::Limited)
            earlierLines.addLine(canonicalForm(findings[i].line), int(i), strength(findings[i]));
    }
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        int earlier = -1;
        for (qsizetype name : candidateNames[i]) {
            const int line = earlierLines.firstLine(name, strength(candidates[i]));
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
        earlierLines.addLine(canonicalForm(candidate.line), int(findings.size()),
                             strength(candidate));
        findings.append(std::move(candidate));
    }
    return findings;
}

} // namespace

QList<Finding> scanFindings(const RunningApplicationsSource &applications,
                            const ProcessSource &processes)
{
    return findingsOf(readSources(applications, processes));
}

QList<Finding> processFindings(const QList<ObservedProcess> &processes)
{
    return findingsOf({{}, processes, {}, {}});
}

namespace {

// A pass with its context: the display is asked while `read` reads the
// sources, so that its round trips add no time to the pass, and the
// connection that asked is closed only after them.
template <typename ReadSources> ScanResult withContext(const ReadSources &read)
{
    const ContextSources sources = ContextSources::session();
    // Read on this thread instead when no other can be had.
    std::future<DisplayAnswer> asked = std::async(std::launch::async | std::launch::deferred,
                                                  [&sources] { return askDisplay(sources); });
    const PassInput input = read();
    const DisplayAnswer display = asked.get();
    return {findingsOf(input), machineContext(sources, display, input.processes,
                                              input.processLimits, input.applicationLimits)};
}

} // namespace

ScanResult scanMachine(const RunningApplicationsSource &applications,
                       const ProcessSource &processes)
{
    return withContext([&] { return readSources(applications, processes); });
}

ScanResult scanMachine()
{
    return withContext([] {
        const ProcSnapshotSources sources = ProcSnapshotSources::session();
        return readSources(sources, sources);
    });
}

bool matchesDetectionRules(const QString &name)
{
    return isSuspiciousName(name) || containsAnyIgnoringCase(name, genericSuspiciousNames);
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
