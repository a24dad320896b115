// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

// The freedesktop "key file" format shared by desktop entries and Flatpak's
// instance description: [Group] headers, Key=Value lines, Key[locale]=Value
// translations, '#' comments. Malformed lines are skipped; the first of two
// equal groups or keys wins.
class KeyFile
{
public:
    // A `truncated` file loses its last, possibly cut, line.
    static KeyFile parse(QByteArrayView bytes, bool truncated = false);

    bool hasGroup(const QString &group) const;
    QString value(const QString &group, const QString &key) const;

    // The best translation for `localeKeys` (most specific first, see
    // localeLookupKeys), else the untranslated value.
    QString localizedValue(const QString &group, const QString &key,
                           const QStringList &localeKeys) const;

private:
    QHash<QString, QHash<QString, QString>> m_groups;
};

// The translation keys to try for a POSIX locale name such as
// "de_DE.UTF-8@euro": de_DE@euro, de_DE, de@euro, de. Empty for "C" and "POSIX".
QStringList localeLookupKeys(const QString &posixLocale);
