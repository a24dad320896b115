// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelayNotices.h"

namespace {

QString utc(const QDateTime &moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

// The layout of Nimbrel's own status notices: a heading, a coloured banner,
// the explanation and a footer.
RelayNotice notice(const QString &title, const QString &colour, const QString &explanation)
{
    const QString footer = QStringLiteral("This is an automated message from the Nimbrel relay.");
    const QString html =
        QStringLiteral(
            "<div style=\"font-family: Arial, sans-serif; max-width: 600px; margin: 0 auto;\">\n"
            "    <h2 style=\"color: #333;\">Nimbrel Security Monitor</h2>\n"
            "    <div style=\"background-color: %1; color: white; padding: 15px; border-radius: "
            "5px; margin: 20px 0;\">\n"
            "        <h3 style=\"margin: 0;\">%2</h3>\n"
            "    </div>\n"
            "    <p>%3</p>\n"
            "    <hr style=\"margin: 20px 0; border: 1px solid #eee;\">\n"
            "    <p style=\"color: #666; font-size: 12px;\">%4</p>\n"
            "</div>")
            .arg(colour, title, explanation.toHtmlEscaped(), footer);
    const QString text = QStringLiteral("Nimbrel Security Monitor\n\n%1\n\n%2\n\n-- \n%3\n")
                             .arg(title, explanation, footer);
    return {QStringLiteral("Nimbrel ") + title, html, text};
}

} // namespace

namespace RelayNotices {

RelayNotice stoppedReporting(const QDateTime &lastHeard, int silenceSeconds)
{
    return notice(QStringLiteral("Stopped Reporting"), QStringLiteral("#dc3545"),
                  QStringLiteral("Nimbrel on the candidate's machine was last heard from at %1 "
                                 "and has sent nothing for %2 seconds, without stopping its "
                                 "monitoring first. It may have been closed by force, frozen, or "
                                 "cut off from the network. Nothing it would have seen since "
                                 "then has been reported.")
                      .arg(utc(lastHeard))
                      .arg(silenceSeconds));
}

RelayNotice reportingAgain(const QDateTime &heardAgain)
{
    return notice(QStringLiteral("Reporting Again"), QStringLiteral("#28a745"),
                  QStringLiteral("Nimbrel on the candidate's machine is reporting again since "
                                 "%1, after a silence. The gap is in the session's timeline.")
                      .arg(utc(heardAgain)));
}

} // namespace RelayNotices
