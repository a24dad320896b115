// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Shown text as a screen reader should say it. The symbols that mark a line
// for the eye (🚨, ⚠️, ✓, ✗) are read aloud by name ("police car light"), and
// capitals by letter, so a detection line's kind is said in words and a
// status line loses its check or cross; the visible text stays as it is.
//
//     Accessible.name: SpokenText.of(line)  // "Cluely detected — Process: cluely"
class SpokenText : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE static QString of(const QString &shown);
};
