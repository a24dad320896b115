// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The name matcher: never crashes, and agrees with the literal references on
// every name, read as UTF-16 so that lone surrogates and NULs come too: it
// keeps every answer of the 8,000-spelling matcher and adds exactly what the
// literal skeleton and decoding matcher finds.

#include "detection/names/SuspiciousNameMatcher.h"
#include "reference/ReferenceMatcher.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList candidates = referenceLookalikeCandidates();
    const QString name =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    const bool expected = referenceHoldsWrittenOrEncodedForm(name) ||
                          referenceContainsLookalikeForm(name.toLower(), candidates) ||
                          referenceReadsAsForm(name);
    if (isSuspiciousName(name) != expected)
        std::abort();
    return 0;
}
