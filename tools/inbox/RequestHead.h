// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

#include <optional>
#include <variant>

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// The head of one HTTP/1.x request, read strictly: whatever HTTP/1.1 forbids,
// or would let two readers of the same bytes understand differently, is
// refused rather than guessed at.
struct RequestHead
{
    QByteArray method;
    QByteArray path; // the target up to any '?'
    bool http10 = false;
    HeaderList headers; // as received, names with their case
    QByteArray host;    // the one Host header; empty when there is none
    qint64 contentLength = 0;
    bool keepAlive = true; // HTTP/1.1 without "Connection: close"
    qsizetype size = 0;    // bytes of the head, up to and including its empty line
};

// Why a head is refused, as the status to answer with.
struct HeadRefusal
{
    int status; // 400, 411, 431 or 505
    const char *reason;
};

// The head at the start of bytes, a refusal, or nothing yet when bytes may
// still grow into a head (fewer than maxBytes, no line break but CRLF so far).
// Refused: a head over maxBytes (431); a bare LF or CR anywhere in it, a
// folded (obs-fold) or nameless header line, whitespace before a colon,
// control characters, a request line not of the form "METHOD /path HTTP/1.x",
// a second Host or Content-Length, a Content-Length that is not only digits,
// or one beside a Transfer-Encoding (400); a Transfer-Encoding alone (411:
// bodies must declare their length); another HTTP version (505).
std::variant<std::monostate, RequestHead, HeadRefusal> parseRequestHead(QByteArrayView bytes,
                                                                        qsizetype maxBytes);
