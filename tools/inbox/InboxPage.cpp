#include "InboxPage.h"

#include <QJsonArray>
#include <QStringList>

namespace {

QString escaped(const QJsonValue &value)
{
    return value.toString().toHtmlEscaped();
}

QString recipients(const QJsonObject &message)
{
    QStringList list;
    for (const QJsonValue &recipient : message.value(QLatin1String("to")).toArray())
        list.append(recipient.toString());
    return list.join(QStringLiteral(", ")).toHtmlEscaped();
}

QString renderMessage(const QJsonObject &message)
{
    QString html = QStringLiteral("<article>\n<h2>%1</h2>\n<dl>"
                                  "<dt>From</dt><dd>%2</dd><dt>To</dt><dd>%3</dd>"
                                  "<dt>Received</dt><dd>%4</dd><dt>Id</dt><dd>%5</dd></dl>\n")
                       .arg(escaped(message.value(QLatin1String("subject"))),
                            escaped(message.value(QLatin1String("from"))), recipients(message),
                            escaped(message.value(QLatin1String("receivedAt"))),
                            escaped(message.value(QLatin1String("id"))));
    // srcdoc holds the body as an attribute value: escaping keeps it inside the
    // attribute, and the empty sandbox keeps its scripts from running.
    html +=
        QStringLiteral("<iframe sandbox=\"\" title=\"HTML body of %1\" srcdoc=\"%2\"></iframe>\n")
            .arg(escaped(message.value(QLatin1String("subject"))),
                 escaped(message.value(QLatin1String("html"))));
    const QString text = message.value(QLatin1String("text")).toString();
    if (!text.isEmpty())
        html += QStringLiteral("<pre>%1</pre>\n").arg(text.toHtmlEscaped());
    return html + QStringLiteral("</article>\n");
}

} // namespace

QByteArray renderInboxPage(const QList<QJsonObject> &messages)
{
    QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta http-equiv=\"refresh\" content=\"5\"><title>nimbrel-inbox</title>"
            "<style>body{font-family:sans-serif;margin:2em;background:#f4f6f8}"
            "article{background:#fff;border-radius:8px;padding:1em;margin-bottom:1.5em}"
            "dl{display:grid;grid-template-columns:max-content auto;gap:.2em 1em}dd{margin:0}"
            "iframe{width:100%;height:24em;border:1px solid #ccc}</style></head>\n<body>\n"
            "<h1>nimbrel-inbox: %1 message(s)</h1>\n")
            .arg(messages.size());
    if (messages.isEmpty())
        html += QStringLiteral("<p>No messages yet. This page refreshes every 5 seconds.</p>\n");
    for (const QJsonObject &message : messages)
        html += renderMessage(message);
    return (html + QStringLiteral("</body></html>\n")).toUtf8();
}
