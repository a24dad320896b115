// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MonitoringNotices.h"

namespace {

// Escapes the five characters with meaning in HTML text and attribute values:
// toHtmlEscaped covers &, <, > and "; the apostrophe closes single-quoted attributes.
QString escapeHtml(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

} // namespace

namespace MonitoringNotices {

QString statusSubject(bool started)
{
    return started ? QStringLiteral("Nimbrel Monitoring Started")
                   : QStringLiteral("Nimbrel Monitoring Stopped");
}

QString statusBody(bool started, const QString &moment)
{
    QString body;
    body += QStringLiteral(
        "<div style=\"font-family: Arial, sans-serif; max-width: 600px; margin: 0 auto;\">\n"
        "    <h2 style=\"color: #333;\">Nimbrel Security Monitor</h2>\n"
        "    <div style=\"background-color: ");
    body += started ? QStringLiteral("#28a745") : QStringLiteral("#dc3545");
    body += QStringLiteral("; color: white; padding: 15px; border-radius: 5px; margin: 20px 0;\">\n"
                           "        <h3 style=\"margin: 0;\">Monitoring ");
    body += started ? QStringLiteral("Started") : QStringLiteral("Stopped");
    body += QStringLiteral("</h3>\n"
                           "    </div>\n"
                           "    <p>The security monitoring system has been <strong>");
    body += started ? QStringLiteral("started") : QStringLiteral("stopped");
    body += QStringLiteral("</strong> at <strong>");
    body += moment;
    body += QStringLiteral("</strong>.</p>\n    ");
    body +=
        started
            ? QStringLiteral("<p>The system will now scan for suspicious processes every 10 "
                             "seconds and notify you of any detections.</p>")
            : QStringLiteral(
                  "<p>The system is no longer actively monitoring for suspicious processes.</p>");
    body += QStringLiteral(
        "\n    <hr style=\"margin: 20px 0; border: 1px solid #eee;\">\n"
        "    <p style=\"color: #666; font-size: 12px;\">This is an automated message from Nimbrel "
        "Security Scanner.</p>\n"
        "</div>");
    return body;
}

QString scanResultsSubject()
{
    return QStringLiteral("Nimbrel Scan Results");
}

QString scanResultsBody(const QStringList &lines)
{
    QStringList escaped;
    escaped.reserve(lines.size());
    for (const QString &line : lines)
        escaped.append(escapeHtml(line));
    return QStringLiteral("<p>Suspicious processes detected during scan:</p>\n<p>") +
           escaped.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

} // namespace MonitoringNotices
