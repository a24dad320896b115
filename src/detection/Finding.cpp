// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/Finding.h"

QString nameSourceLabel(NameSource source)
{
    switch (source) {
    case NameSource::Executable:
        return QStringLiteral("exe");
    case NameSource::Argv0:
        return QStringLiteral("argv0");
    case NameSource::Comm:
        return QStringLiteral("comm");
    case NameSource::Script:
        return QStringLiteral("script");
    case NameSource::ScriptFolder:
        return QStringLiteral("script-folder");
    case NameSource::Module:
        return QStringLiteral("module");
    case NameSource::PackageName:
        return QStringLiteral("package-name");
    case NameSource::PackageProductName:
        return QStringLiteral("package-product-name");
    case NameSource::ProcessTable:
        return QStringLiteral("ps");
    case NameSource::DisplayName:
        return QStringLiteral("display-name");
    case NameSource::BundleIdentifier:
        return QStringLiteral("bundle-identifier");
    case NameSource::WindowEntry:
        return QStringLiteral("window-entry");
    case NameSource::WindowClass:
        return QStringLiteral("window-class");
    case NameSource::WindowInstance:
        return QStringLiteral("window-instance");
    case NameSource::WindowRole:
        return QStringLiteral("window-role");
    case NameSource::ExecutableFolder:
        return QStringLiteral("exe-folder");
    case NameSource::Argv0Folder:
        return QStringLiteral("argv0-folder");
    case NameSource::Folder:
        return QStringLiteral("folder");
    case NameSource::File:
        return QStringLiteral("file");
    case NameSource::Argument:
        return QStringLiteral("argument");
    case NameSource::WindowTitle:
        return QStringLiteral("window-title");
    case NameSource::WindowIconName:
        return QStringLiteral("window-icon-name");
    case NameSource::OverlayWindow:
        return QStringLiteral("overlay-window");
    case NameSource::ScanLimit:
        return QStringLiteral("scan-limit");
    }
    return {};
}

bool identifiesProgram(NameSource source)
{
    return source < NameSource::ExecutableFolder;
}

QString findingKindLabel(FindingKind kind)
{
    switch (kind) {
    case FindingKind::Cluely:
        return QStringLiteral("cluely");
    case FindingKind::Generic:
        return QStringLiteral("generic");
    case FindingKind::Overlay:
        return QStringLiteral("overlay");
    case FindingKind::Possible:
        return QStringLiteral("possible");
    case FindingKind::Limited:
        return QStringLiteral("limited");
    }
    return {};
}

QString findingSourceLabel(FindingSource source)
{
    switch (source) {
    case FindingSource::Process:
        return QStringLiteral("process");
    case FindingSource::Application:
        return QStringLiteral("application");
    case FindingSource::Window:
        return QStringLiteral("window");
    case FindingSource::Scan:
        return QStringLiteral("scan");
    }
    return {};
}
