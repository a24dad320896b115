// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/context/RemoteControlPrograms.h"

#include <QHash>

#include <array>
#include <map>
#include <optional>
#include <set>

using namespace Qt::StringLiterals;

namespace {

struct RemoteProgram
{
    QStringView name;
    // Its processes' program names, in lower case; the rest empty.
    std::array<QStringView, 6> processNames;
};

constexpr std::array<RemoteProgram, 27> remotePrograms = {{
    // VNC servers
    {u"x11vnc", {u"x11vnc"}},
    {u"TigerVNC", {u"xtigervnc", u"x0vncserver", u"x0tigervncserver", u"w0vncserver"}},
    {u"a VNC server (Xvnc)", {u"xvnc"}},
    {u"RealVNC Server",
     {u"vncserver-x11", u"vncserver-x11-core", u"vncserver-x11-serviced", u"vncserver-virtual",
      u"vncserver-virtuald", u"vncagent"}},
    {u"wayvnc", {u"wayvnc"}},
    {u"Vino", {u"vino-server"}},
    // RDP servers and the desktops' own sharing
    {u"GNOME Remote Desktop", {u"gnome-remote-desktop-daemon", u"gnome-remote-desktop"}},
    {u"KRfb", {u"krfb", u"krfb-virtualmonitor"}},
    {u"KRdp", {u"krdpserver"}},
    {u"xrdp", {u"xrdp", u"xrdp-sesman"}},
    {u"FreeRDP's shadow server", {u"freerdp-shadow-cli"}},
    // remote support and access
    {u"TeamViewer", {u"teamviewerd", u"teamviewer", u"teamviewer_desktop", u"teamviewer_service"}},
    {u"AnyDesk", {u"anydesk"}},
    {u"RustDesk", {u"rustdesk"}},
    {u"NoMachine", {u"nxserver", u"nxserver.bin", u"nxnode", u"nxnode.bin", u"nxd"}},
    {u"Chrome Remote Desktop",
     {u"chrome-remote-desktop-host", u"chrome-remote-desktop", u"remoting_me2me_host"}},
    {u"X2Go", {u"x2goagent"}},
    {u"Xpra", {u"xpra"}},
    {u"MeshCentral's agent", {u"meshagent"}},
    {u"Apache Guacamole", {u"guacd"}},
    // game streaming, screen mirroring
    {u"Parsec", {u"parsecd"}},
    {u"Sunshine", {u"sunshine"}},
    {u"Weylus", {u"weylus"}},
    {u"Deskreen", {u"deskreen"}},
    // the keyboard and mouse shared with another computer
    {u"Barrier", {u"barriers", u"barrierc", u"barrier"}},
    {u"Input Leap", {u"input-leaps", u"input-leapc", u"input-leap"}},
    {u"Synergy or Deskflow",
     {u"synergys", u"synergyc", u"synergy-core", u"deskflow-server", u"deskflow-client",
      u"deskflow-core"}},
}};

// The kernel cuts a comm to 15 characters.
constexpr qsizetype commLength = 15;

// Each process name, and each longer one as a comm shows it, with its program's index.
struct NameTable
{
    QHash<QString, qsizetype> whole;
    QHash<QString, qsizetype> cut;
    NameTable()
    {
        for (qsizetype i = 0; i < qsizetype(remotePrograms.size()); ++i) {
            for (QStringView name : remotePrograms[size_t(i)].processNames) {
                if (name.isEmpty())
                    break;
                whole.insert(name.toString(), i);
                if (name.size() > commLength)
                    cut.insert(name.first(commLength).toString(), i);
            }
        }
    }

    std::optional<qsizetype> find(const ProcessName &name) const
    {
        const QString key = name.name.toLower();
        if (const auto program = whole.constFind(key); program != whole.cend())
            return *program;
        const bool mayBeCut =
            name.source == NameSource::Comm || name.source == NameSource::ProcessTable;
        if (const auto program = cut.constFind(key); mayBeCut && program != cut.cend())
            return *program;
        return std::nullopt;
    }
};

bool namesProgram(NameSource source)
{
    switch (source) {
    case NameSource::Executable:
    case NameSource::Argv0:
    case NameSource::Comm:
    case NameSource::Script:
    case NameSource::ProcessTable:
        return true;
    default:
        return false;
    }
}

} // namespace

QStringList remoteControlFacts(const QList<ObservedProcess> &processes)
{
    static const NameTable table;
    // Each program found, with the names it was seen by, sorted for a stable line.
    std::map<qsizetype, std::set<QString>> found;
    for (const ObservedProcess &process : processes) {
        for (const ProcessName &name : process.names) {
            if (!namesProgram(name.source))
                continue;
            // The first name is the fullest: the comm only cuts the executable's.
            if (const std::optional<qsizetype> program = table.find(name)) {
                found[*program].insert(name.name);
                break;
            }
        }
    }
    if (found.empty())
        return {u"remote control: none running"_s};
    QStringList facts;
    for (const auto &[program, names] : found)
        facts << u"remote control: %1 is running (%2)"_s.arg(
            remotePrograms[size_t(program)].name,
            QStringList(names.begin(), names.end()).join(u", "_s));
    return facts;
}
