#include "CanonicalText.h"

#include <algorithm>

namespace {

// Longest run of non-starters left intact; Unicode's stream-safe format uses
// the same bound.
constexpr int maxNonStarterRun = 30;
constexpr char16_t combiningGraphemeJoiner = 0x034F;

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// A code point that canonical reordering may move: a combining mark, or a
// character whose decomposition starts with one (such as U+0F73).
bool isNonStarter(char32_t codePoint)
{
    if (codePoint < 0x300)
        return false;
    if (QChar::combiningClass(codePoint) != 0)
        return true;
    if (QChar::decompositionTag(codePoint) != QChar::Canonical)
        return false;
    const QString decomposition = QChar::decomposition(codePoint);
    return !decomposition.isEmpty() && QChar::combiningClass(decomposition.at(0).unicode()) != 0;
}

// Inserts a combining grapheme joiner into every run of non-starters longer
// than the bound, so that normalisation stays linear.
QString withBoundedNonStarterRuns(const QString &text)
{
    QString result;
    int run = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        char32_t codePoint = text.at(i).unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(codePoint) && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text.at(i).unicode(), text.at(i + 1).unicode());
            length = 2;
        }
        if (!isNonStarter(codePoint)) {
            run = 0;
        } else if (++run > maxNonStarterRun) {
            if (result.isNull()) {
                result.reserve(size + size / maxNonStarterRun + 1);
                result.append(QStringView(text).first(i));
            }
            result.append(QChar(combiningGraphemeJoiner));
            run = 1;
        }
        if (!result.isNull())
            result.append(QStringView(text).sliced(i, length));
        i += length;
    }
    return result.isNull() ? text : result;
}

} // namespace

QString canonicalForm(const QString &text)
{
    if (isAscii(text))
        return text;
    return withBoundedNonStarterRuns(text).normalized(QString::NormalizationForm_C);
}

bool containsCanonically(const QString &text, const QString &pattern)
{
    return !pattern.isEmpty() && canonicalForm(text).contains(canonicalForm(pattern));
}

bool containsIgnoringCase(const QString &text, const QString &pattern)
{
    return !pattern.isEmpty() &&
           canonicalForm(text).contains(canonicalForm(pattern), Qt::CaseInsensitive);
}
