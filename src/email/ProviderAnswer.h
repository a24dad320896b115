#pragma once

#include "CurlHttpClient.h"
#include "EmailSender.h"

#include <QDateTime>

#include <chrono>
#include <optional>

// What an answer of the provider means for one try of a send.
namespace ProviderAnswer {

// Why an answer outside 200..299 failed, as a Refused error: the status and
// what it means, e.g. "the e-mail service answered 403 (the API key was
// refused)". The provider's own message (from a 4xx body) is cut to one short
// line and never shows apiKey.
EmailError refusal(int status, const QByteArray &body, const QString &apiKey);

// Whether another try may succeed: transport failures, 429 and 5xx.
bool isTransient(const HttpResponse &response);

// The wait the provider asks for before another try (Retry-After in seconds
// or as an HTTP date, else ratelimit-reset in seconds), if it names one.
std::optional<std::chrono::milliseconds> requestedWait(const HttpResponse &response,
                                                       const QDateTime &now);

} // namespace ProviderAnswer
