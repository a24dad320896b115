// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "InterviewerSite.h"

#include "RelayOptions.h"
#include "RelayStore.h"
#include "Secrets.h"
#include "SessionCode.h"
#include "SitePages.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace http = boost::beast::http;

namespace {

constexpr char cookieName[] = "nimbrel_relay";
constexpr qint64 signInLasts = 12 * 3600 * 1000LL;
constexpr char policy[] = "default-src 'none'; style-src 'self'; script-src 'self'; "
                          "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; "
                          "base-uri 'none'";

HttpResponseMessage page(int status, const QString &html)
{
    HttpResponseMessage response{http::status(status), 11};
    response.set(http::field::content_type, "text/html; charset=utf-8");
    response.set("Content-Security-Policy", policy);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.body() = html.toStdString();
    return response;
}

HttpResponseMessage redirect(const char *location)
{
    HttpResponseMessage response{http::status::see_other, 11};
    response.set(http::field::location, location);
    return response;
}

// The site's own files, as built into the program.
HttpResponseMessage asset(const QString &path)
{
    QFile file(QStringLiteral(":/relay") + path);
    if (!file.open(QIODevice::ReadOnly))
        return jsonAnswer(404);
    HttpResponseMessage response{http::status::ok, 11};
    response.set(http::field::content_type, path.endsWith(QLatin1String(".css"))
                                                ? "text/css; charset=utf-8"
                                                : "text/javascript; charset=utf-8");
    response.set("X-Content-Type-Options", "nosniff");
    response.set(http::field::cache_control, "max-age=3600");
    response.body() = file.readAll().toStdString();
    return response;
}

QUrlQuery formOf(const RelayCall &call)
{
    QString body =
        QString::fromUtf8(call.message.body()).replace(QLatin1Char('+'), QLatin1Char(' '));
    return QUrlQuery(body);
}

QString cookieToken(const RelayCall &call)
{
    static const QRegularExpression cookie(
        QStringLiteral("(?:^|;\\s*)%1=([0-9a-f]{32})(?:;|$)").arg(QLatin1String(cookieName)));
    return cookie.match(call.header("Cookie")).captured(1);
}

// A form posted from another site (its Origin is not this host) is refused;
// the SameSite cookie already keeps it from being signed in.
bool fromThisSite(const RelayCall &call)
{
    const QString origin = call.header("Origin");
    return origin.isEmpty() || QUrl(origin).authority() == call.header("Host");
}

} // namespace

InterviewerSite::InterviewerSite(RelayStore &store, QObject *parent)
    : QObject(parent), m_store(store), m_signIns(5, 5)
{
    m_passwordChecks.setMaxThreadCount(1); // Argon2id takes 64 MiB a check
}

bool InterviewerSite::handle(const RelayCall &call)
{
    const QString path = call.path();
    const bool get = call.message.method() == http::verb::get;
    const bool post = call.message.method() == http::verb::post;
    if (get && path.startsWith(QLatin1String("/site/"))) {
        call.reply(asset(path.mid(5)));
        return true;
    }
    static const QRegularExpression sessionPath(
        QStringLiteral("^/sessions/(\\d{1,18})(/events)?$"));
    const auto session = sessionPath.match(path);
    if (path != QLatin1String("/") && path != QLatin1String("/sign-in") &&
        path != QLatin1String("/sign-out") && path != QLatin1String("/sessions") &&
        !session.hasMatch())
        return false;
    if (!get && !post) {
        call.reply({405, QStringLiteral("method_not_allowed"), QStringLiteral("Not allowed.")});
        return true;
    }
    if (post && !fromThisSite(call)) {
        call.reply(
            page(403, SitePages::signIn(QStringLiteral("That form came from another site."))));
        return true;
    }
    if (path == QLatin1String("/sign-in")) {
        if (post)
            signIn(call);
        else
            call.reply(page(200, SitePages::signIn({})));
        return true;
    }
    const std::optional<QString> email = signedIn(call);
    if (!email) {
        call.reply(redirect("/sign-in"));
        return true;
    }
    if (path == QLatin1String("/sign-out") && post) {
        m_store.signOut(Secrets::hashOf(cookieToken(call).toLatin1()));
        HttpResponseMessage response = redirect("/sign-in");
        response.set(http::field::set_cookie, std::string(cookieName) + "=; Path=/; Max-Age=0");
        call.reply(response);
    } else if (path == QLatin1String("/sessions") && post) {
        createSession(call, *email);
    } else if (session.hasMatch() && get) {
        timeline(call, *email, session.captured(1).toLongLong(), session.hasCaptured(2));
    } else if (path == QLatin1String("/sessions") || path == QLatin1String("/")) {
        call.reply(get && path == QLatin1String("/sessions")
                       ? page(200, SitePages::sessions(*email, m_store.sessionsOf(*email), {}))
                       : redirect("/sessions"));
    } else {
        call.reply({405, QStringLiteral("method_not_allowed"), QStringLiteral("Not allowed.")});
    }
    return true;
}

std::optional<QString> InterviewerSite::signedIn(const RelayCall &call)
{
    const QString token = cookieToken(call);
    if (token.isEmpty())
        return std::nullopt;
    return m_store.signedIn(Secrets::hashOf(token.toLatin1()), QDateTime::currentMSecsSinceEpoch());
}

void InterviewerSite::signIn(const RelayCall &call)
{
    if (m_signIns.take(call.address, RateLimiter::Clock::now())) {
        call.reply(
            page(429, SitePages::signIn(QStringLiteral("Too many attempts; wait a minute."))));
        return;
    }
    const QUrlQuery form = formOf(call);
    const QString email =
        form.queryItemValue(QStringLiteral("email"), QUrl::FullyDecoded).trimmed();
    const QByteArray password =
        form.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded).toUtf8();
    // An unknown address costs the same check, so the time tells nothing.
    static const QByteArray stand_in = Secrets::hashPassword(Secrets::newToken());
    const QByteArray hash = m_store.passwordHash(email).value_or(stand_in);
    m_passwordChecks.start([this, guard = QPointer(this), call, email, hash, password] {
        const bool matches = Secrets::passwordMatches(hash, password) && hash != stand_in;
        QMetaObject::invokeMethod(
            guard, [this, call, email, matches] { finishSignIn(call, email, matches); },
            Qt::QueuedConnection);
    });
}

void InterviewerSite::finishSignIn(const RelayCall &call, const QString &email, bool matches)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!matches) {
        m_store.audit(now, email.left(200), QStringLiteral("sign-in refused"),
                      QStringLiteral("from ") + call.address);
        call.reply(page(401, SitePages::signIn(QStringLiteral("The address or the password is "
                                                              "not right."))));
        return;
    }
    const QByteArray token = Secrets::newToken();
    if (!m_store.signIn(Secrets::hashOf(token), email, now, now + signInLasts, call.address)) {
        call.reply(
            page(503, SitePages::signIn(QStringLiteral("The relay cannot sign you in now."))));
        return;
    }
    HttpResponseMessage response = redirect("/sessions");
    response.set(http::field::set_cookie,
                 std::string(cookieName) + "=" + token.toStdString() +
                     "; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=" +
                     std::to_string(signInLasts / 1000));
    call.reply(response);
}

void InterviewerSite::createSession(const RelayCall &call, const QString &email)
{
    const auto lasts = parseDuration(formOf(call).queryItemValue(QStringLiteral("lasts")));
    if (!lasts || *lasts > std::chrono::hours(24)) {
        call.reply(page(422, SitePages::sessions(email, m_store.sessionsOf(email), {})));
        return;
    }
    const QString code = SessionCode::generate();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!m_store.createSession(email, Secrets::hashOf(code.toLatin1()), now,
                               now + qint64(lasts->count()) * 1000, email)) {
        call.reply(page(503, SitePages::sessions(email, m_store.sessionsOf(email), {})));
        return;
    }
    // Shown in the answer to the POST only: a reload does not show it again.
    call.reply(page(201, SitePages::sessions(email, m_store.sessionsOf(email), code)));
}

void InterviewerSite::timeline(const RelayCall &call, const QString &email, qint64 sessionId,
                               bool json)
{
    const std::vector<SessionSummary> found = m_store.sessionsOf(email, sessionId);
    if (found.empty()) {
        call.reply(
            page(404, SitePages::signIn(QStringLiteral("There is no such session of yours."))));
        return;
    }
    if (!json) {
        call.reply(page(200, SitePages::timeline(found.front(), m_store.timeline(sessionId))));
        return;
    }
    const auto target = call.message.target();
    const qint64 after = QUrlQuery(QUrl(QString::fromUtf8(target.data(), qsizetype(target.size()))))
                             .queryItemValue(QStringLiteral("after"))
                             .toLongLong();
    call.reply(
        jsonAnswer(200, QJsonDocument(SitePages::eventsJson(m_store.timeline(sessionId, after)))
                            .toJson(QJsonDocument::Compact)));
}
