#pragma once

#include <QDateTime>
#include <QString>

// One entry of the detection log: a detection line and when it was logged.
struct Detection
{
    QString name;
    QDateTime time;
};
