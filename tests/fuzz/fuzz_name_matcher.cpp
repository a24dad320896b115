// The name matcher: never crashes, and agrees with the literal reference on
// every name, read as UTF-16 so that lone surrogates and NULs come too.

#include "SuspiciousNameMatcher.h"
#include "reference/ReferenceMatcher.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList candidates = referenceLookalikeCandidates();
    const QString name =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    const QString lower = name.toLower();
    const bool expected = referenceHoldsWrittenOrEncodedForm(name) ||
                          referenceContainsLookalikeForm(lower, candidates);
    if (isSuspiciousName(name) != expected ||
        containsLookalikeForm(lower) != referenceContainsLookalikeForm(lower, candidates))
        std::abort();
    return 0;
}
