#pragma once

#include <QStringList>

// Where the scan pass gets the machine's process table from.
class ProcessSource
{
public:
    virtual ~ProcessSource() = default;

    // Distinct executable names of every process of every user, in no
    // particular order; empty when the table cannot be read.
    virtual QStringList runningProcessNames() const = 0;
};
