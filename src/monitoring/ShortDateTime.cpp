#include "ShortDateTime.h"

#include <QLocale>

QString shortDateTime(const QDateTime &moment)
{
    return QLocale::system().toString(moment, QLocale::ShortFormat);
}
