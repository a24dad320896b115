// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MonitoringNotices.h"

namespace MonitoringNotices {

// toHtmlEscaped covers &, <, > and "; the apostrophe closes single-quoted attributes.
QString escapeHtml(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QString statusSubject(bool started)
{
    return started ? QStringLiteral("Nimbrel Monitoring Started")
                   : QStringLiteral("Nimbrel Monitoring Stopped");
}

EmailBody statusBody(bool started, const QString &moment)
{
    const QString state = started ? QStringLiteral("started") : QStringLiteral("stopped");
    const QString next =
        started ? QStringLiteral("The system will now scan for suspicious processes every 10 "
                                 "seconds and notify you of any detections.")
                : QStringLiteral("The system is no longer actively monitoring for suspicious "
                                 "processes.");
    const QString footer =
        QStringLiteral("This is an automated message from Nimbrel Security Scanner.");

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
    body += state;
    body += QStringLiteral("</strong> at <strong>");
    body += moment;
    body += QStringLiteral("</strong>.</p>\n    <p>");
    body += next;
    body += QStringLiteral("</p>\n    <hr style=\"margin: 20px 0; border: 1px solid #eee;\">\n"
                           "    <p style=\"color: #666; font-size: 12px;\">");
    body += footer;
    body += QStringLiteral("</p>\n</div>");

    const QString text = QStringLiteral("Nimbrel Security Monitor\n\nMonitoring %1\n\n"
                                        "The security monitoring system has been %2 at %3.\n"
                                        "%4\n\n-- \n%5\n")
                             .arg(started ? QStringLiteral("Started") : QStringLiteral("Stopped"),
                                  state, moment, next, footer);
    return {body, text};
}

QString scanResultsSubject()
{
    return QStringLiteral("Nimbrel Scan Results");
}

EmailBody scanResultsBody(const QStringList &lines, const QString &moment, const QString &host)
{
    const QString intro = QStringLiteral("Suspicious processes detected during scan:");
    QStringList escaped;
    escaped.reserve(lines.size());
    for (const QString &line : lines)
        escaped.append(escapeHtml(line));
    return {
        QStringLiteral("<p>%1</p>\n<p>%2</p>\n<p>Scanned at <strong>%3</strong> on "
                       "<strong>%4</strong>.</p>")
            .arg(intro, escaped.join(QStringLiteral("<br>")), escapeHtml(moment), escapeHtml(host)),
        QStringLiteral("%1\n\n%2\n\nScanned at %3 on %4.\n")
            .arg(intro, lines.join(u'\n'), moment, host)};
}

QString reportNoticeSubject(ReportNotice notice)
{
    return notice == ReportNotice::Status ? QStringLiteral("Nimbrel Monitoring Status")
                                          : QStringLiteral("Nimbrel: Environment Changed");
}

EmailBody reportNoticeBody(ReportNotice notice, const QString &moment)
{
    const bool status = notice == ReportNotice::Status;
    const QString banner =
        status ? QStringLiteral("Monitoring Running") : QStringLiteral("Environment Changed");
    const QString sentence =
        status ? QStringLiteral("Monitoring is still running (%1). Status e-mails come at the "
                                "interval set for them: a missing one means Nimbrel stopped "
                                "reporting.")
                     .arg(moment)
               : QStringLiteral("The machine's environment changed during monitoring, at %1: "
                                "see the changes below.")
                     .arg(moment);
    const QString html =
        QStringLiteral(
            "<div style=\"font-family: Arial, sans-serif; max-width: 600px; margin: 0 auto;\">\n"
            "    <h2 style=\"color: #333;\">Nimbrel Security Monitor</h2>\n"
            "    <div style=\"background-color: %1; color: white; padding: 15px; border-radius: "
            "5px; margin: 20px 0;\">\n"
            "        <h3 style=\"margin: 0;\">%2</h3>\n"
            "    </div>\n"
            "    <p>%3</p>\n</div>")
            .arg(status ? QStringLiteral("#007bff") : QStringLiteral("#b35900"), banner,
                 escapeHtml(sentence));
    return {html, QStringLiteral("Nimbrel Security Monitor\n\n%1\n\n%2\n").arg(banner, sentence)};
}

} // namespace MonitoringNotices
