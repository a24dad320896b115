// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/names/CanonicalText.h"

#include <unicode/unorm2.h>

// ICU's normaliser, not QString::normalized(): Qt normalises in place, so
// every character that decomposes into more than one shifts the rest of the
// string and a run of combining marks is sorted by exchanges, in time
// quadratic in the length. ICU's is linear, and its quick check returns most
// names untouched without copying them.
QString canonicalForm(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfc = unorm2_getNFCInstance(&status);
    const auto *source = reinterpret_cast<const UChar *>(text.utf16());
    const auto length = int32_t(text.size());
    if (U_FAILURE(status) || unorm2_spanQuickCheckYes(nfc, source, length, &status) == length)
        return text;
    // NFC rarely lengthens a text; when it does, ICU tells the length it needs.
    QString normal(text.size(), Qt::Uninitialized);
    const auto normalize = [&] {
        status = U_ZERO_ERROR;
        normal.resize(unorm2_normalize(nfc, source, length,
                                       reinterpret_cast<UChar *>(normal.data()),
                                       int32_t(normal.size()), &status));
    };
    normalize();
    if (status == U_BUFFER_OVERFLOW_ERROR)
        normalize();
    return U_SUCCESS(status) ? normal : text;
}
