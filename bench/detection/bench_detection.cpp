// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the detection engine is: the name matcher against the two literal
// matchers (over UTF-8 bytes and over QString), and whole scan passes over this
// machine with each process reader.

#include "detection/desktop/ApplicationGrouping.h"
#include "BenchFiles.h"
#include "detection/context/MachineContext.h"
#include "ByteLiteralMatcher.h"
#include "detection/desktop/DesktopEntries.h"
#include "DesktopProcessCorpus.h"
#include "HostileDesktop.h"
#include "ProcessWatch.h"
#include "detection/desktop/LinuxRunningApplications.h"
#include "detection/desktop/ProcFsReader.h"
#include "detection/processes/ProcProcessSource.h"
#include "detection/ProcSnapshotSources.h"
#include "detection/processes/PsProcessSource.h"
#include "detection/ScanPass.h"
#include "detection/names/SuspiciousNameMatcher.h"
#include "SyntheticProcTree.h"
#include "reference/ReferenceMatcher.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QStringList &corpus()
{
    static const QStringList names = desktopProcessCorpus();
    return names;
}

template <bool (*matcher)(const QString &)> void matchCorpus(benchmark::State &state)
{
    const QStringList &names = corpus();
    qsizetype found = 0;
    for (auto _ : state) {
        found = 0;
        for (const QString &name : names)
            found += matcher(name);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * names.size());
    state.counters["suspicious"] = double(found);
}

// 3,000 distinct long names run through the matcher, one pass each: ASCII
// names of 240 characters holding the target word, names of 240 combining
// marks (the slowest text to normalise) and of 240 letters of other scripts.
QStringList longSuspiciousNames()
{
    QStringList names;
    for (int i = 0; i < 3000; ++i) {
        QString name = QStringLiteral("helper-%1-cluely-").arg(i);
        for (int j = 0; name.size() < 240; ++j)
            name += QChar(u'a' + (i * 7 + j * 13) % 26);
        names.append(name);
    }
    return names;
}

QStringList combiningMarkNames()
{
    QStringList names;
    for (int i = 0; i < 3000; ++i) {
        QString name = QString(QChar(0x0300 + i % 112)) + QChar(0x0300 + i / 112);
        for (int j = 2; j < 240; ++j)
            name += QChar(0x0300 + (i * 7 + j * 13) % 112);
        names.append(name);
    }
    return names;
}

// Names of 240 letters of other scripts (Cyrillic, Greek, Han), read
// through their skeletons.
QStringList otherScriptNames()
{
    const QString letters =
        u"\u0430\u0431\u0432\u0433\u0434\u0435\u0436\u0437\u0438\u043A\u043B"
        u"\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u4E2D\u6587\u540D"_qs;
    QStringList names;
    for (int i = 0; i < 3000; ++i) {
        QString name = QString::number(i);
        for (int j = 0; name.size() < 240; ++j)
            name += letters[(i * 7 + j * 13) % letters.size()];
        names.append(name);
    }
    return names;
}

template <QStringList (*makeNames)()> void matchNames(benchmark::State &state)
{
    static const QStringList names = makeNames();
    qsizetype found = 0;
    for (auto _ : state) {
        found = 0;
        for (const QString &name : names)
            found += isSuspiciousName(name);
        benchmark::DoNotOptimize(found);
    }
    state.counters["suspicious"] = double(found);
}

// The scan passes measured, one row per process reader: /proc as the
// application's pass reads it (one walk for both sources), and `ps` beside
// the default application source. Each reader is also measured alone, as
// ProcessTable/<reader>.
struct ScanPassRow
{
    const char *name;
    const char *processTableName;
    std::function<std::unique_ptr<ProcessSource>()> makeProcessSource;
    std::function<QStringList()> pass;
};

const ScanPassRow scanPassRows[] = {
    {"ScanPass/proc", "ProcessTable/proc", [] { return std::make_unique<ProcProcessSource>(); },
     [] { return scanForSuspiciousProcesses(); }},
    {"ScanPass/ps", "ProcessTable/ps", [] { return std::make_unique<PsProcessSource>(); },
     [] {
         return scanForSuspiciousProcesses(*defaultRunningApplicationsSource(), PsProcessSource());
     }},
};

void scanPass(benchmark::State &state, const ScanPassRow &row)
{
    qsizetype lines = 0;
    for (auto _ : state) {
        lines = row.pass().size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["processes"] = double(row.makeProcessSource()->runningProcesses().size());
    state.counters["lines"] = double(lines);
}

void processTable(benchmark::State &state, const ScanPassRow &row)
{
    const auto processes = row.makeProcessSource();
    qsizetype names = 0;
    for (auto _ : state) {
        names = processes->runningProcesses().size();
        benchmark::DoNotOptimize(names);
    }
    state.counters["processes"] = double(names);
}

// The desktop's applications alone ($DISPLAY decides whether X windows are
// read): the part of a pass the application source costs.
void runningApplications(benchmark::State &state)
{
    const auto source = defaultRunningApplicationsSource();
    qsizetype applications = 0;
    for (auto _ : state) {
        applications = source->runningApplications().size();
        benchmark::DoNotOptimize(applications);
    }
    state.counters["applications"] = double(applications);
}

// What the context costs a pass over this machine: the context alone, from
// what one pass read ($DISPLAY decides whether the monitors are asked for),
// and the whole pass with it, which asks the display beside the walk of /proc.
void passContext(benchmark::State &state)
{
    const ProcSnapshotSources sources = ProcSnapshotSources::session();
    sources.runningApplications(); // for its limits
    qsizetype lines = 0;
    for (auto _ : state) {
        const ContextSources machine = ContextSources::session();
        const ScanContext context =
            machineContext(machine, askDisplay(machine), sources.runningProcesses(),
                           sources.processLimits(), sources.applicationLimits());
        lines = context.environment.size() + context.coverage.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
}

void passWithContext(benchmark::State &state)
{
    qsizetype lines = 0;
    for (auto _ : state) {
        lines = scanMachine().findings.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
}

// A whole pass, and the process table alone, over a synthetic /proc of a
// desktop with a few hundred processes (this machine has only a handful), and
// over one with 3,000.
template <int count> const SyntheticProcTree &syntheticTree()
{
    static const SyntheticProcTree tree(count, getuid());
    return tree;
}

// Each pass walks the tree once for both sources, as the application's does.
template <int count> void syntheticScanPass(benchmark::State &state)
{
    LinuxRunningApplications::Environment environment =
        LinuxRunningApplications::sessionEnvironment();
    environment.procRoot = syntheticTree<count>().path();
    environment.x11Display.reset();
    qsizetype lines = 0;
    for (auto _ : state) {
        const ProcSnapshotSources sources(environment, ProcProcessSource::defaultHomeFolder());
        lines = scanForSuspiciousProcesses(sources, sources).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["processes"] =
        double(ProcProcessSource(environment.procRoot).runningProcesses().size());
    state.counters["lines"] = double(lines);
}

template <int count> void syntheticProcessTable(benchmark::State &state)
{
    const ProcProcessSource processes(syntheticTree<count>().path());
    qsizetype found = 0;
    for (auto _ : state) {
        found = processes.runningProcesses().size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["processes"] = double(found);
}

// A hostile process table: 3,000 processes with distinct suspicious names,
// plain ASCII or with combining marks, so that every one gives a line and the
// duplicate test compares each with all before it.
class SuspiciousProcessTable : public ProcessSource
{
public:
    explicit SuspiciousProcessTable(bool combiningMarks) : m_combiningMarks(combiningMarks) {}
    QList<ObservedProcess> runningProcesses() const override
    {
        QList<ObservedProcess> processes;
        for (int i = 0; i < 3000; ++i) {
            QString name = QStringLiteral("cluely-helper-%1").arg(i);
            if (m_combiningMarks)
                name += QString(100, QChar(0x0301 + i % 40));
            processes.append({i + 2, {{name, NameSource::Executable}}});
        }
        return processes;
    }

private:
    bool m_combiningMarks;
};

class NoApplications : public RunningApplicationsSource
{
public:
    QList<RunningApplication> runningApplications() const override { return {}; }
};

template <bool combiningMarks> void hostileScanPass(benchmark::State &state)
{
    const SuspiciousProcessTable processes(combiningMarks);
    qsizetype lines = 0;
    for (auto _ : state) {
        lines = scanFindings(NoApplications(), processes).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
}

// Hostile process tables, each a whole pass over its /proc tree walked once
// for both sources, as the application's pass does: names built to make the
// matcher and the duplicate test slow, and environments built to be read.
void hostileTreePass(benchmark::State &state, const HostileDesktop &desktop)
{
    const LinuxRunningApplications::Environment environment{
        desktop.procRoot(), uint(getuid()), {desktop.dataDir()}, {}, std::nullopt};
    qsizetype lines = 0;
    for (auto _ : state) {
        const ProcSnapshotSources sources(environment, QStringLiteral("/home/user"));
        lines = scanFindings(sources, sources).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
}

// 3,000 processes, each named by a distinct 240-character name holding "cluely".
void longSuspiciousNames(benchmark::State &state)
{
    static const HostileDesktop desktop(3000, getuid());
    static const bool prepared = [] {
        desktop.setNames([](int i) {
            return ("cluely-" + QByteArray::number(i) + '-').leftJustified(240, 'x');
        });
        return true;
    }();
    benchmark::DoNotOptimize(prepared);
    hostileTreePass(state, desktop);
}

// 3,000 processes named "cluely-N" and combining marks, 240 characters in all.
void combiningMarkNames(benchmark::State &state)
{
    static const HostileDesktop desktop(3000, getuid());
    static const bool prepared = [] {
        desktop.setNames([](int i) {
            const QByteArray name = "cluely-" + QByteArray::number(i);
            return name + combiningMarks(240 - name.size());
        });
        return true;
    }();
    benchmark::DoNotOptimize(prepared);
    hostileTreePass(state, desktop);
}

// 100 processes with an environment of 1 MiB each.
void hugeEnvironments(benchmark::State &state)
{
    static const HostileDesktop desktop(100, getuid());
    static const bool prepared = [] {
        desktop.setEnvironment(("PADDING=" + QByteArray(1024 * 1024 - 9, 'x')) + '\0');
        return true;
    }();
    benchmark::DoNotOptimize(prepared);
    hostileTreePass(state, desktop);
}

// One look of the watch that runs between monitoring ticks, over this
// machine's /proc and over a desktop's 400 processes: it runs once a second.
void watchLook(benchmark::State &state, const QString &procRoot)
{
    ProcessWatch watch(ProcessWatch::Options{.procRoot = procRoot, .interval = {}});
    watch.look();
    watch.look();
    for (auto _ : state)
        watch.look();
}

// Attacks on the desktop entries, each a whole pass: the applications of a
// hostile desktop (its /proc tree and data folder, and the attack's window
// handed over directly, so no X display is needed) and its process table.
class AttackedApplications : public RunningApplicationsSource
{
public:
    AttackedApplications(const HostileDesktop &desktop, QList<TopLevelWindow> windows)
        : m_desktop(desktop), m_windows(std::move(windows))
    {}
    QList<RunningApplication> runningApplications() const override
    {
        const DesktopEntries entries({m_desktop.dataDir()}, QString());
        return groupApplications(ProcFsReader(m_desktop.procRoot(), getuid()).userProcesses(),
                                 m_windows, entries);
    }

private:
    const HostileDesktop &m_desktop;
    QList<TopLevelWindow> m_windows;
};

void attackedPass(benchmark::State &state, const HostileDesktop &desktop,
                  const QList<TopLevelWindow> &windows = {})
{
    const AttackedApplications applications(desktop, windows);
    const ProcProcessSource processes(desktop.procRoot());
    qsizetype lines = 0;
    for (auto _ : state) {
        lines = scanForSuspiciousProcesses(applications, processes).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["applications"] = double(applications.runningApplications().size());
    state.counters["lines"] = double(lines);
}

// Processes launched with a hint (GIO_LAUNCHED_DESKTOP_FILE) to an entry of
// 508 KiB outside the application folders, whose Name is combining marks.
template <int processes> void hintedEntryWithHugeName(benchmark::State &state)
{
    static const HostileDesktop desktop(processes, getuid());
    static const bool prepared = [] {
        const QString entry = desktop.ownFolder() + QStringLiteral("/notes.desktop");
        writeWhole(entry,
                   paddedDesktopEntry("Name=" + combiningMarks((508 * 1024 - 64) / 2), 508 * 1024));
        desktop.setEnvironment("GIO_LAUNCHED_DESKTOP_FILE=" + QFile::encodeName(entry) + '\0');
        return true;
    }();
    benchmark::DoNotOptimize(prepared);
    attackedPass(state, desktop);
}

// 6,000 links to one entry of 508 KiB declaring StartupWMClass, and a window
// of a class no entry is named after, so that the pass looks the class up
// among the entries' StartupWMClass.
void startupWmClassLinks(benchmark::State &state)
{
    static const HostileDesktop desktop(1, getuid());
    static const bool prepared = [] {
        const QString entry = desktop.entryFolder() + QStringLiteral("/notes.desktop");
        writeWhole(entry, paddedDesktopEntry("Name=Notes\nStartupWMClass=Notes", 508 * 1024));
        for (int i = 0; i < 6000; ++i)
            QFile::link(entry, desktop.entryFolder() + QStringLiteral("/link-%1.desktop").arg(i));
        return true;
    }();
    benchmark::DoNotOptimize(prepared);
    attackedPass(
        state, desktop,
        {TopLevelWindow{.pid = {}, .instanceName = u"helper"_qs, .className = u"Helper"_qs}});
}

// Processes whose hint is 120 KB of combining marks.
template <int processes> void hintOfCombiningMarks(benchmark::State &state)
{
    static const HostileDesktop desktop(processes, getuid());
    static const bool prepared = [] {
        desktop.setEnvironment("GIO_LAUNCHED_DESKTOP_FILE=" + combiningMarks(60'000) + '\0');
        return true;
    }();
    benchmark::DoNotOptimize(prepared);
    attackedPass(state, desktop);
}

// Prints the usual table, then the figures side by side.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            Figures &figures = m_figures[run.benchmark_name()];
            if (const auto rate = run.counters.find("items_per_second"); rate != run.counters.end())
                figures.namesPerSecond = rate->second.value;
            figures.milliseconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
            figures.cpuMilliseconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nSummary\n");
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("  peak resident memory of this run: %.1f MiB\n", usage.ru_maxrss / 1024.0);
        const auto optimized = m_figures.find("Matcher/optimized");
        if (optimized != m_figures.end()) {
            std::printf("  isSuspiciousName over %lld names: %.0f names/s\n",
                        static_cast<long long>(corpus().size()), optimized->second.namesPerSecond);
            for (const char *baseline :
                 {"Matcher/byte-literal", "Matcher/byte-literal-prebuilt", "Matcher/reference"}) {
                if (const auto found = m_figures.find(baseline); found != m_figures.end())
                    std::printf("    %s: %.0f names/s, %.0fx slower\n", baseline,
                                found->second.namesPerSecond,
                                optimized->second.namesPerSecond / found->second.namesPerSecond);
            }
        }
        for (const char *pass : {"Matcher/3000x240-cluely", "Matcher/3000x240-combining-marks",
                                 "Matcher/3000x240-other-scripts"}) {
            if (const auto found = m_figures.find(pass); found != m_figures.end())
                std::printf("  %s: %.2f ms, CPU %.2f ms per pass\n", pass,
                            found->second.milliseconds, found->second.cpuMilliseconds);
        }
        for (const ScanPassRow &row : scanPassRows) {
            if (const auto found = m_figures.find(row.name); found != m_figures.end())
                std::printf("  %s: %.2f ms per pass\n", row.name, found->second.milliseconds);
            if (const auto found = m_figures.find(row.processTableName); found != m_figures.end())
                std::printf("  %s: %.2f ms per read\n", row.processTableName,
                            found->second.milliseconds);
        }
        for (const char *hostile :
             {"ScanPass/3000-suspicious-ascii", "ScanPass/3000-suspicious-combining"}) {
            if (const auto found = m_figures.find(hostile); found != m_figures.end())
                std::printf("  %s: %.2f ms\n", hostile, found->second.milliseconds);
        }
        for (const char *synthetic : {"ScanPass/synthetic-proc", "ProcessTable/synthetic-proc",
                                      "ScanPass/synthetic-proc-3000"}) {
            if (const auto found = m_figures.find(synthetic); found != m_figures.end())
                std::printf("  %s: %.2f ms, CPU %.2f ms\n", synthetic, found->second.milliseconds,
                            found->second.cpuMilliseconds);
        }
        for (const auto &[name, figures] : m_figures) {
            if (name.starts_with("Watch/"))
                std::printf("  %s: CPU %.3f ms per look, %.3f %% of a core at one look a second\n",
                            name.c_str(), figures.cpuMilliseconds, figures.cpuMilliseconds / 10);
            if (name.starts_with("Attack/") || name.starts_with("Hostile/") ||
                name.starts_with("ScanContext/") || name.starts_with("ScanMachine/"))
                std::printf("  %s: %.2f ms, CPU %.2f ms per pass\n", name.c_str(),
                            figures.milliseconds, figures.cpuMilliseconds);
        }
        if (const auto found = m_figures.find("RunningApplications"); found != m_figures.end()) {
            const double applications = found->second.milliseconds;
            const double pass = m_figures[scanPassRows[0].name].milliseconds;
            std::printf("  RunningApplications: %.2f ms per pass, %.0f%% of %s\n", applications,
                        pass > 0 ? applications / pass * 100 : 0.0, scanPassRows[0].name);
        }
    }

private:
    struct Figures
    {
        double namesPerSecond = 0;
        double milliseconds = 0;
        double cpuMilliseconds = 0;
    };
    std::map<std::string, Figures> m_figures;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::RegisterBenchmark("Matcher/optimized", matchCorpus<isSuspiciousName>);
    benchmark::RegisterBenchmark("Matcher/byte-literal", matchCorpus<byteLiteralIsSuspiciousName>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Matcher/byte-literal-prebuilt",
                                 matchCorpus<byteLiteralPrebuiltIsSuspiciousName>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Matcher/reference", matchCorpus<referenceIsSuspiciousName>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Matcher/3000x240-cluely", matchNames<longSuspiciousNames>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Matcher/3000x240-combining-marks", matchNames<combiningMarkNames>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Matcher/3000x240-other-scripts", matchNames<otherScriptNames>)
        ->Unit(benchmark::kMillisecond);
    for (const ScanPassRow &row : scanPassRows) {
        benchmark::RegisterBenchmark(row.name, [&row](benchmark::State &state) {
            scanPass(state, row);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(row.processTableName, [&row](benchmark::State &state) {
            processTable(state, row);
        })->Unit(benchmark::kMillisecond);
    }

    benchmark::RegisterBenchmark("RunningApplications", runningApplications)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ScanContext/this-machine", passContext)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ScanMachine/proc", passWithContext) // the display's thread too
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ScanPass/3000-suspicious-ascii", hostileScanPass<false>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ScanPass/3000-suspicious-combining", hostileScanPass<true>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ScanPass/synthetic-proc", syntheticScanPass<400>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ProcessTable/synthetic-proc", syntheticProcessTable<400>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ScanPass/synthetic-proc-3000", syntheticScanPass<3000>)
        ->Unit(benchmark::kMillisecond);

    benchmark::RegisterBenchmark("Hostile/names-240/3000", longSuspiciousNames)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Hostile/combining-marks-240/3000", combiningMarkNames)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Hostile/environ-1MiB/100", hugeEnvironments)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Watch/this-machine", [](benchmark::State &state) {
        watchLook(state, QStringLiteral("/proc"));
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Watch/synthetic-proc", [](benchmark::State &state) {
        watchLook(state, syntheticTree<400>().path());
    })->Unit(benchmark::kMillisecond);

    benchmark::RegisterBenchmark("Attack/hinted-entry-name/10", hintedEntryWithHugeName<10>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Attack/hinted-entry-name/40", hintedEntryWithHugeName<40>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Attack/startupwmclass-links-6000", startupWmClassLinks)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Attack/hint-combining-marks/10", hintOfCombiningMarks<10>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Attack/hint-combining-marks/30", hintOfCombiningMarks<30>)
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
