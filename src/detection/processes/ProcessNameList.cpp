// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/ProcessNameList.h"

#include "detection/names/CanonicalText.h"

#include <QSet>

namespace {

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmedOfBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// `path` is not empty.
QStringView lastPathComponent(QStringView path)
{
    QStringView withoutTrailingSlashes = path;
    while (withoutTrailingSlashes.endsWith(u'/'))
        withoutTrailingSlashes.chop(1);
    if (withoutTrailingSlashes.isEmpty())
        return path.first(1); // only slashes: the root, "/"
    const qsizetype slash = withoutTrailingSlashes.lastIndexOf(u'/');
    return withoutTrailingSlashes.sliced(slash + 1);
}

} // namespace

QStringList splitProcessTableLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNewline(text.at(i))) {
            lines.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    lines.append(text.sliced(start));
    return lines;
}

QString processNameFromEntry(QStringView entry)
{
    const QStringView trimmed = trimmedOfBlanks(entry);
    if (trimmed.isEmpty())
        return {};
    return lastPathComponent(trimmed).toString();
}

QStringList distinctProcessNames(const QStringList &entries)
{
    QStringList names;
    QSet<QString> seen;
    for (const QString &entry : entries) {
        QString name = processNameFromEntry(entry);
        if (name.isEmpty())
            continue;
        const QString key = canonicalForm(name);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        names.append(std::move(name));
    }
    return names;
}
