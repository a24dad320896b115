// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelayCall.h"

namespace http = boost::beast::http;

QString RelayCall::header(const char *name) const
{
    const auto value = message[name];
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

QString RelayCall::path() const
{
    const auto target = message.target();
    const auto end = target.find('?');
    return QString::fromUtf8(target.data(), qsizetype(end == target.npos ? target.size() : end));
}

void RelayCall::reply(const RelayError &error) const
{
    respond(jsonAnswer(error.status, error.toJson()));
}

HttpResponseMessage jsonAnswer(int status, const QByteArray &json)
{
    HttpResponseMessage response{http::status(status), 11};
    if (!json.isEmpty()) {
        response.set(http::field::content_type, "application/json");
        response.body() = json.toStdString();
    }
    response.set(http::field::cache_control, "no-store");
    return response;
}
