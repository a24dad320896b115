// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Undoes systemd's unit-name escaping: "\xNN" stands for the byte NN, so
// "gnome\x2dterminal" is "gnome-terminal" and multi-byte escapes form UTF-8.
// A broken escape ("\x2", "\xZZ") stays as written.
QString systemdUnescape(QStringView escaped);
