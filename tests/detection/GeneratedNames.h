#pragma once

#include <QRandomGenerator>
#include <QString>

// Names for comparing matchers: mostly spelled from the look-alike alphabet
// (right and nearly right at each position, in either case), wrapped in
// noise, with encoded forms and near misses mixed in. Reproducible per seed.
class GeneratedNames
{
public:
    explicit GeneratedNames(quint32 seed) : m_random(seed) {}

    QString next();

private:
    char16_t pick(std::u16string_view characters);
    QString noise(int maxLength);

    QRandomGenerator m_random;
};
