#pragma once

#include <QString>
#include <QStringView>

// Undoes systemd's unit-name escaping: "\xNN" stands for the byte NN, so
// "gnome\x2dterminal" is "gnome-terminal" and multi-byte escapes form UTF-8.
// A broken escape ("\x2", "\xZZ") stays as written.
QString systemdUnescape(QStringView escaped);
