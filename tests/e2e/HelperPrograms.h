// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Runs a helper program (xdotool, grim, swaymsg, wtype...) to its end: its
// standard output, or nothing when it fails or takes more than 30 s.
std::optional<QByteArray> run(const QString &program, const QStringList &arguments);
