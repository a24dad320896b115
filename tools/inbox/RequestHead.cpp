// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RequestHead.h"

#include <algorithm>
#include <utility>

namespace {

// RFC 9110 token characters: header names and methods.
bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// Visible ASCII and octets above it, with spaces and tabs inside.
bool isFieldValue(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == '\t' || (u >= 0x20 && u != 0x7f);
    });
}

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

bool hasConnectionClose(QByteArrayView value)
{
    for (const QByteArray &option : value.toByteArray().split(',')) {
        if (trimmedBlanks(option).compare("close", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

constexpr HeadRefusal badRequest{400, "Bad Request"};

std::variant<RequestHead, HeadRefusal> parseRequestLine(QByteArrayView line)
{
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    if (second < 0 || line.indexOf(' ', second + 1) >= 0)
        return badRequest;
    const QByteArrayView method = line.first(first),
                         target = line.sliced(first + 1, second - first - 1),
                         version = line.sliced(second + 1);
    if (!isToken(method) || !target.startsWith('/') || !isFieldValue(target) ||
        target.contains('\t') || !version.startsWith("HTTP/"))
        return badRequest;
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return HeadRefusal{505, "HTTP Version Not Supported"};
    RequestHead head;
    head.method = method.toByteArray();
    const qsizetype query = target.indexOf('?');
    head.path = (query < 0 ? target : target.first(query)).toByteArray();
    head.http10 = version == "HTTP/1.0";
    head.keepAlive = !head.http10;
    return head;
}

} // namespace

std::variant<std::monostate, RequestHead, HeadRefusal> parseRequestHead(QByteArrayView bytes,
                                                                        qsizetype maxBytes)
{
    // Every LF must close a CRLF and every CR open one, wherever the head ends.
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    const QByteArrayView scanned =
        end < 0 ? bytes.first(std::min(bytes.size(), maxBytes)) : bytes.first(end + 4);
    for (qsizetype i = 0; i < scanned.size(); ++i) {
        if (scanned[i] == '\n' && (i == 0 || scanned[i - 1] != '\r'))
            return badRequest;
        if (scanned[i] == '\r' && i + 1 < scanned.size() && scanned[i + 1] != '\n')
            return badRequest;
    }
    if (end < 0 || end + 4 > maxBytes) {
        if (bytes.size() >= maxBytes)
            return HeadRefusal{431, "Request Header Fields Too Large"};
        return std::monostate();
    }

    // Each line ends in CR now that every LF follows one (the last ends at end).
    const QList<QByteArray> lines = bytes.first(end).toByteArray().split('\n');
    const auto withoutCr = [](const QByteArray &line) {
        return QByteArrayView(line).chopped(line.endsWith('\r') ? 1 : 0);
    };
    auto parsed = parseRequestLine(withoutCr(lines.first()));
    if (const auto *refusal = std::get_if<HeadRefusal>(&parsed))
        return *refusal;
    RequestHead head = std::get<RequestHead>(std::move(parsed));
    head.size = end + 4;

    bool hasLength = false, hasHost = false, hasTransferEncoding = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = withoutCr(lines[i]);
        const qsizetype colon = line.indexOf(':');
        // A line that starts with a blank continues the one before (obs-fold):
        // its name is no token here, so it is refused with the rest.
        if (colon <= 0 || !isToken(line.first(colon)))
            return badRequest;
        const QByteArrayView name = line.first(colon),
                             value = trimmedBlanks(line.sliced(colon + 1));
        if (!isFieldValue(value))
            return badRequest;
        if (name.compare("host", Qt::CaseInsensitive) == 0) {
            if (std::exchange(hasHost, true))
                return badRequest;
            head.host = value.toByteArray();
        } else if (name.compare("content-length", Qt::CaseInsensitive) == 0) {
            const bool digits = std::all_of(value.begin(), value.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
            if (std::exchange(hasLength, true) || value.isEmpty() || value.size() > 18 || !digits)
                return badRequest;
            head.contentLength = value.toLongLong();
        } else if (name.compare("transfer-encoding", Qt::CaseInsensitive) == 0) {
            hasTransferEncoding = true;
        } else if (name.compare("connection", Qt::CaseInsensitive) == 0 &&
                   hasConnectionClose(value)) {
            head.keepAlive = false;
        }
        head.headers.append({name.toByteArray(), value.toByteArray()});
    }
    if (hasTransferEncoding)
        return hasLength ? badRequest : HeadRefusal{411, "Length Required"};
    return head;
}
