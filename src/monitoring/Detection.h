#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

// One entry of the detection log: a detection line and when it was logged.
struct Detection
{
    QUuid id;
    QString name;
    QDateTime time;
};
