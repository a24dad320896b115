// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/KeyFile.h"

namespace {

// Values may carry \s \n \t \r and \\; an unknown escape is kept as written.
QString unescapeValue(QStringView raw)
{
    QString value;
    value.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\' || i + 1 == raw.size()) {
            value.append(c);
            continue;
        }
        const QChar next = raw[++i];
        switch (next.unicode()) {
        case 's':
            value.append(u' ');
            break;
        case 'n':
            value.append(u'\n');
            break;
        case 't':
            value.append(u'\t');
            break;
        case 'r':
            value.append(u'\r');
            break;
        case '\\':
            value.append(u'\\');
            break;
        default:
            value.append(c);
            value.append(next);
        }
    }
    return value;
}

} // namespace

KeyFile KeyFile::parse(QByteArrayView bytes, bool truncated)
{
    if (truncated) {
        const qsizetype lastNewline = bytes.lastIndexOf('\n');
        bytes = bytes.first(lastNewline < 0 ? 0 : lastNewline);
    }

    KeyFile file;
    const QString text = QString::fromUtf8(bytes);
    QHash<QString, QString> *group = nullptr;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3) {
                group = nullptr; // keys under a broken header belong to no group
                continue;
            }
            const QString name = line.sliced(1, line.size() - 2).toString();
            group = file.m_groups.contains(name) ? nullptr : &file.m_groups[name];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!group || equals <= 0)
            continue;
        const QString key = line.first(equals).trimmed().toString();
        if (!group->contains(key))
            group->insert(key, unescapeValue(line.sliced(equals + 1).trimmed()));
    }
    return file;
}

bool KeyFile::hasGroup(const QString &group) const
{
    return m_groups.contains(group);
}

QString KeyFile::value(const QString &group, const QString &key) const
{
    return m_groups.value(group).value(key);
}

QString KeyFile::localizedValue(const QString &group, const QString &key,
                                const QStringList &localeKeys) const
{
    const auto entries = m_groups.constFind(group);
    if (entries == m_groups.constEnd())
        return {};
    for (const QString &locale : localeKeys) {
        const auto translated = entries->constFind(key + u'[' + locale + u']');
        if (translated != entries->constEnd() && !translated->isEmpty())
            return *translated;
    }
    return entries->value(key);
}

QStringList localeLookupKeys(const QString &posixLocale)
{
    QString name = posixLocale;
    QString modifier;
    if (const qsizetype at = name.indexOf(u'@'); at >= 0) {
        modifier = name.sliced(at + 1);
        name.truncate(at);
    }
    if (const qsizetype dot = name.indexOf(u'.'); dot >= 0)
        name.truncate(dot); // the encoding plays no part in the lookup
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return {};

    QString language = name;
    QString country;
    if (const qsizetype underscore = name.indexOf(u'_'); underscore >= 0) {
        language = name.first(underscore);
        country = name.sliced(underscore + 1);
    }

    QStringList keys;
    if (!country.isEmpty() && !modifier.isEmpty())
        keys << language + u'_' + country + u'@' + modifier;
    if (!country.isEmpty())
        keys << language + u'_' + country;
    if (!modifier.isEmpty())
        keys << language + u'@' + modifier;
    keys << language;
    return keys;
}
