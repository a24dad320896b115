// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionCode.h"

#include <sodium.h>

namespace {

constexpr char alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int base = 32;
constexpr int dataLength = 8; // 40 bits: a guess succeeds once in 10^12 tries

int valueOf(QChar c)
{
    for (int i = 0; i < base; ++i) {
        if (c == QLatin1Char(alphabet[i]))
            return i;
    }
    return -1;
}

// Luhn mod N, from the last character; a code with its check character sums to 0.
int luhnSum(const QString &code)
{
    int sum = 0;
    bool doubled = false;
    for (qsizetype i = code.size() - 1; i >= 0; --i) {
        int v = valueOf(code[i]);
        if (doubled) {
            v *= 2;
            v = v / base + v % base;
        }
        sum += v;
        doubled = !doubled;
    }
    return sum % base;
}

} // namespace

namespace SessionCode {

QString generate()
{
    QString code;
    for (int i = 0; i < dataLength; ++i)
        code += QLatin1Char(alphabet[randombytes_uniform(base)]);
    // The check character is the one that brings the sum to 0 once appended.
    const int sum = luhnSum(code + QLatin1Char(alphabet[0]));
    return code + QLatin1Char(alphabet[(base - sum) % base]);
}

std::variant<QString, Problem> parse(const QString &typed)
{
    QString code;
    for (QChar c : typed) {
        if (c == QLatin1Char('-') || c.isSpace())
            continue;
        c = c.toUpper();
        if (c == QLatin1Char('O'))
            c = QLatin1Char('0');
        else if (c == QLatin1Char('I') || c == QLatin1Char('L'))
            c = QLatin1Char('1');
        if (valueOf(c) < 0 || code.size() > dataLength)
            return Problem::Malformed;
        code += c;
    }
    if (code.size() != dataLength + 1)
        return Problem::Malformed;
    if (luhnSum(code) != 0)
        return Problem::CheckFails;
    return code;
}

QString display(const QString &canonical)
{
    return canonical.left(4) + QLatin1Char('-') + canonical.mid(4, 4) + QLatin1Char('-') +
           canonical.mid(8);
}

} // namespace SessionCode
