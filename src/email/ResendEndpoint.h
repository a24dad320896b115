// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EmailSender.h"

#include <QString>
#include <QUrl>

#include <variant>

// The "/emails" address under a configured base URL, or the reason no request
// may go there. HTTPS is required, except plain HTTP to a loopback host (the
// local inbox), so the bearer key never crosses a network in clear text.
std::variant<QUrl, EmailError> emailsEndpoint(const QString &baseUrl);

// Whether the key can travel in an HTTP header; a key holding a line break
// would otherwise split the request.
std::optional<EmailError> apiKeyProblem(const QString &apiKey);
