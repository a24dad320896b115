#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

// The inbox as a page a person can read. Every value is HTML-escaped, and each
// message's HTML body is shown in a sandboxed frame (no scripts, no same
// origin), so no message can run code in the page.
QByteArray renderInboxPage(const QList<QJsonObject> &messages);

// Sent with the page so that even a mistake in escaping cannot run script.
inline constexpr char inboxPagePolicy[] =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:";
