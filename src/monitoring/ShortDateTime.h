#pragma once

#include <QDateTime>
#include <QString>

// A date and time in the user's locale with the short date and time styles,
// as the notices and the dashboard show them.
QString shortDateTime(const QDateTime &moment);
