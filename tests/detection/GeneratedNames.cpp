#include "GeneratedNames.h"

#include "SuspiciousNamePatterns.h"

using namespace std::string_view_literals;

namespace {

// Every look-alike, their capitals, and characters that nearly are one.
constexpr std::u16string_view nearMisses =
    u"CLUEYVMIcluey1i|I({[<3v"
    u"\u03BC\u03C5\u03B5\u0454\u03B3\u00FF\u00FD"       // the non-ASCII look-alikes
    u"\u039C\u03A5\u0395\u0404\u0393\u0178\u00DD\u0130" // their capitals (and dotted I)
    u"\u0441\u0435\u0443\u04CF\u0131\u00E9\u00FC\u212A" // similar letters that are none
    u"\u0308\u0301\u0323\u0300\u0316"                   // combining marks
    u"-_. /\t\u00A0\0\xD800\xDC00"sv;                   // separators, NUL, lone surrogates

constexpr std::u16string_view plainNoise = u"abcdefghijklmnopqrstuvwxyz0123456789-_.ABCXYZ";

constexpr std::u16string_view encodedForms[] = {u"Y2x1ZWx5", u"636c75656c79", u"636C75656C79",
                                                u"yleulc",   u"cluly",        u"clueli"};

} // namespace

char16_t GeneratedNames::pick(std::u16string_view characters)
{
    return characters[m_random.bounded(qsizetype(characters.size()))];
}

QString GeneratedNames::noise(int maxLength)
{
    QString text;
    for (int length = m_random.bounded(maxLength + 1); length > 0; --length)
        text.append(QChar(pick(m_random.bounded(4) == 0 ? nearMisses : plainNoise)));
    return text;
}

QString GeneratedNames::next()
{
    QString name = noise(3);
    const int kind = m_random.bounded(10);
    if (kind < 7) {
        // A spelling of the target word, each position right with high odds.
        for (char16_t letter : cluelyTargetWord) {
            const int roll = m_random.bounded(20);
            if (roll < 17)
                name.append(QChar(pick(lookalikeAlternatives(letter))));
            else if (roll < 19)
                name.append(QChar(pick(nearMisses)));
            else if (m_random.bounded(2) == 0)
                name.append(QChar(pick(plainNoise)));
            // else: the letter is left out
        }
    } else if (kind < 9) {
        name.append(noise(12));
    } else {
        // An encoded form, sometimes with one character changed.
        const std::u16string_view encoded =
            encodedForms[m_random.bounded(int(std::size(encodedForms)))];
        QString form = QString::fromUtf16(encoded.data(), encoded.size());
        if (m_random.bounded(3) == 0)
            form[m_random.bounded(form.size())] = QChar(pick(nearMisses));
        name.append(form);
    }
    name.append(noise(3));
    return name;
}
