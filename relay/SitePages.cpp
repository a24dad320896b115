// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitePages.h"

#include "SessionCode.h"

#include <QDateTime>
#include <QJsonObject>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString utc(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

QString document(const QString &title, const QString &body, bool signedIn)
{
    const QString signOut =
        signedIn ? QStringLiteral("<form method=\"post\" action=\"/sign-out\"><button "
                                  "type=\"submit\">Sign out</button></form>")
                 : QString();
    return QStringLiteral("<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                          "<title>%1 – Nimbrel relay</title>"
                          "<link rel=\"stylesheet\" href=\"/site/relay.css\"></head>\n<body>"
                          "<a class=\"skip\" href=\"#main\">Skip to content</a>"
                          "<header><p class=\"brand\">Nimbrel relay</p>%3</header>\n"
                          "<main id=\"main\" tabindex=\"-1\">%2</main></body></html>\n")
        .arg(escaped(title), body, signOut);
}

QString stateOf(const SessionSummary &session)
{
    if (!session.claimed)
        return QStringLiteral("Waiting for the candidate");
    if (session.silent)
        return QStringLiteral("Silent since %1").arg(utc(session.lastHeartbeat));
    if (session.monitoring)
        return QStringLiteral("Monitoring (last scan: %1 lines)").arg(session.lastLines);
    return QStringLiteral("Not monitoring");
}

QString describe(const QString &kind)
{
    static const QHash<QString, QString> words{
        {QStringLiteral("claimed"), QStringLiteral("Nimbrel joined the session")},
        {QStringLiteral("verification"), QStringLiteral("Verification code sent")},
        {QStringLiteral("started"), QStringLiteral("Monitoring started")},
        {QStringLiteral("findings"), QStringLiteral("Findings")},
        {QStringLiteral("stopped"), QStringLiteral("Monitoring stopped")},
        {QStringLiteral("silent"), QStringLiteral("Stopped reporting")},
        {QStringLiteral("back"), QStringLiteral("Reporting again")},
    };
    return words.value(kind, kind);
}

} // namespace

namespace SitePages {

QString signIn(const QString &problem)
{
    const QString alert =
        problem.isEmpty()
            ? QString()
            : QStringLiteral("<p role=\"alert\" class=\"problem\">%1</p>").arg(escaped(problem));
    return document(QStringLiteral("Sign in"),
                    QStringLiteral("<h1>Sign in</h1>%1"
                                   "<form method=\"post\" action=\"/sign-in\">"
                                   "<label for=\"email\">E-mail address</label>"
                                   "<input id=\"email\" name=\"email\" type=\"email\" "
                                   "autocomplete=\"username\" required autofocus>"
                                   "<label for=\"password\">Password</label>"
                                   "<input id=\"password\" name=\"password\" type=\"password\" "
                                   "autocomplete=\"current-password\" required>"
                                   "<button type=\"submit\">Sign in</button></form>")
                        .arg(alert),
                    false);
}

QString sessions(const QString &email, const std::vector<SessionSummary> &sessions,
                 const QString &newCode)
{
    QString body =
        QStringLiteral("<h1>Your sessions</h1><p>Signed in as %1.</p>").arg(escaped(email));
    if (!newCode.isEmpty())
        body += QStringLiteral("<section role=\"status\" class=\"code\" aria-labelledby=\"new\">"
                               "<h2 id=\"new\">New session</h2><p>Read this code to the "
                               "candidate; it is shown only now:</p><p class=\"session-code\">"
                               "%1</p></section>")
                    .arg(escaped(SessionCode::display(newCode)));
    body += QStringLiteral(
        "<form method=\"post\" action=\"/sessions\" class=\"create\"><label for=\"lasts\">"
        "The session lasts</label><select id=\"lasts\" name=\"lasts\"><option value=\"1h\">1 "
        "hour</option><option value=\"2h\">2 hours</option><option value=\"4h\" selected>4 "
        "hours</option><option value=\"8h\">8 hours</option></select>"
        "<button type=\"submit\">Create a session</button></form>");
    if (sessions.empty())
        return document(QStringLiteral("Your sessions"),
                        body + QStringLiteral("<p>No sessions yet.</p>"), true);
    body += QStringLiteral(
        "<table><caption>Sessions, newest first</caption><thead><tr>"
        "<th scope=\"col\">Session</th><th scope=\"col\">Created</th>"
        "<th scope=\"col\">Ends</th><th scope=\"col\">State</th></tr></thead><tbody>");
    for (const SessionSummary &session : sessions)
        body += QStringLiteral("<tr><th scope=\"row\"><a href=\"/sessions/%1\">Session %1</a></th>"
                               "<td>%2</td><td>%3</td><td>%4</td></tr>")
                    .arg(session.id)
                    .arg(utc(session.createdAt), utc(session.expiresAt), escaped(stateOf(session)));
    return document(QStringLiteral("Your sessions"), body + QStringLiteral("</tbody></table>"),
                    true);
}

QString timeline(const SessionSummary &session, const std::vector<TimelineEvent> &events)
{
    QString rows;
    for (const TimelineEvent &event : events)
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"detail\">%3</td></tr>")
                    .arg(utc(event.at), escaped(describe(event.kind)), escaped(event.detail));
    const qint64 last = events.empty() ? 0 : events.back().id;
    return document(
        QStringLiteral("Session %1").arg(session.id),
        QStringLiteral("<p><a href=\"/sessions\">All sessions</a></p><h1>Session %1</h1>"
                       "<p>%2. Ends %3.</p>"
                       "<table><caption>Timeline, updated as it happens</caption><thead><tr>"
                       "<th scope=\"col\">Time</th><th scope=\"col\">Event</th>"
                       "<th scope=\"col\">Details</th></tr></thead>"
                       "<tbody id=\"events\" data-source=\"/sessions/%1/events\" "
                       "data-after=\"%4\">%5</tbody></table>"
                       "<p id=\"announcer\" class=\"visually-hidden\" role=\"status\" "
                       "aria-live=\"polite\"></p><script src=\"/site/timeline.js\"></script>")
            .arg(session.id)
            .arg(escaped(stateOf(session)), utc(session.expiresAt))
            .arg(last)
            .arg(rows),
        true);
}

QJsonArray eventsJson(const std::vector<TimelineEvent> &events)
{
    QJsonArray array;
    for (const TimelineEvent &event : events)
        array.append(QJsonObject{{QStringLiteral("id"), event.id},
                                 {QStringLiteral("time"), utc(event.at)},
                                 {QStringLiteral("event"), describe(event.kind)},
                                 {QStringLiteral("detail"), event.detail}});
    return array;
}

} // namespace SitePages
