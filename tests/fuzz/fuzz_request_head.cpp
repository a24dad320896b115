// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The inbox's request-head parser on any bytes: no crash, and a head it takes
// keeps within what it was given and names one Host and a length of digits.

#include "RequestHead.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const auto parsed = parseRequestHead(bytes, 4096);
    if (const auto *head = std::get_if<RequestHead>(&parsed)) {
        if (head->size > bytes.size() || head->size > 4096 || head->contentLength < 0 ||
            !head->path.startsWith('/') || !bytes.first(head->size).endsWith("\r\n\r\n") ||
            bytes.first(head->size - 2).contains("\r\n\r\n"))
            std::abort();
        qsizetype hosts = 0, lengths = 0;
        for (const auto &[name, value] : head->headers) {
            hosts += name.compare("host", Qt::CaseInsensitive) == 0;
            lengths += name.compare("content-length", Qt::CaseInsensitive) == 0;
        }
        if (hosts > 1 || lengths > 1)
            std::abort();
    }
    return 0;
}
