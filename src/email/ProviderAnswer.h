// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CurlHttpClient.h"
#include "EmailSender.h"

#include <QDateTime>

#include <chrono>
#include <optional>

// What an answer of the provider means for one try of a send.
namespace ProviderAnswer {

// Why a try failed, or nothing when the provider took the e-mail: a complete
// 2xx answer whose JSON body names the message's id. An answer outside
// 200..299 is a Refused error with the status and what it means, e.g. "the
// e-mail service answered 403 (the API key was refused)", or for the provider's
// shared sender writing to anyone but the account's owner, what to set; the provider's own
// message (from a 4xx body) is cut to one short line and never shows apiKey.
// A 2xx without an id (empty, a web page, "{}") says so, as a Network error:
// something that is not the provider answered, and another try may reach it.
std::optional<EmailError> failureOf(const HttpResponse &response, const QString &apiKey);

// Whether another try may succeed: transport failures, answers without an
// id, 429 and 5xx.
bool isTransient(const HttpResponse &response, const EmailError &error);

// The wait the provider asks for before another try (Retry-After in seconds
// or as an HTTP date, else ratelimit-reset in seconds), if it names one.
std::optional<std::chrono::milliseconds> requestedWait(const HttpResponse &response,
                                                       const QDateTime &now);

} // namespace ProviderAnswer
