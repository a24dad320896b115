// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HttpServer.h"
#include "RelayError.h"

#include <QString>

// One request on the relay's own thread, and the way to answer it.
struct RelayCall
{
    HttpRequestMessage message;
    QString address; // the client's, for the limits per address
    HttpRespond respond;

    QString header(const char *name) const; // empty when absent
    QString path() const;                   // the target without its query

    void reply(const HttpResponseMessage &response) const { respond(response); }
    void reply(const RelayError &error) const;
};

// An answer that no cache keeps, with a JSON body when one is given.
HttpResponseMessage jsonAnswer(int status, const QByteArray &json = {});
