// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RelayService.h"

#include <QCommandLineParser>
#include <QHash>
#include <QString>

#include <chrono>
#include <optional>
#include <variant>

// The relay's settings: each option given on the command line, else its
// "name = value" line in the configuration file (relay.conf), else its
// default.
class RelayOptions
{
public:
    static QList<QCommandLineOption> commandLineOptions();
    // Reads the file named by --config, or the system's relay.conf when it exists.
    static std::variant<RelayOptions, QString> load(const QCommandLineParser &parser);

    QString value(const QString &name, const QString &fallback = {}) const;

    std::variant<RelaySettings, QString> serveSettings() const;

private:
    QHash<QString, QString> m_values;
};

// "35s", "30m", "4h", "2d" or plain seconds.
std::optional<std::chrono::seconds> parseDuration(const QString &text);
