#pragma once

#include <QString>

// Text comparison with Unicode canonical equivalence: a precomposed letter and
// the same letter followed by its combining mark are the same text.

// The NFC form of `text`. Runs of more than 30 combining marks are broken up
// first (as in Unicode's stream-safe format), because normalising one long run
// takes time quadratic in its length.
QString canonicalForm(const QString &text);

// Whether `text` holds `pattern`, case-sensitively. An empty pattern is never
// contained.
bool containsCanonically(const QString &text, const QString &pattern);

// Whether `text` holds `pattern`, ignoring case. An empty pattern is never
// contained.
bool containsIgnoringCase(const QString &text, const QString &pattern);
