// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The inbox page: a static page and its script and style sheet, which fetch the
// messages from /api/emails. Message bodies are shown in frames sandboxed
// without scripts, so no message can run code in the page.
struct InboxPageFile
{
    QString path; // where it is served: "/", "/inbox.js", "/inbox.css"
    QByteArray mimeType;
    QByteArray content;
};

QList<InboxPageFile> inboxPageFiles();

// Sent with every page file, so that even a mistake in the script cannot run
// a message's script or load anything from elsewhere. Frames showing a body
// inherit it; message bodies style themselves inline.
inline constexpr char inboxPagePolicy[] =
    "default-src 'none'; script-src 'self'; connect-src 'self'; "
    "style-src 'self' 'unsafe-inline'; img-src data:; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";
