// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the first SIGTERM, SIGINT or SIGHUP (logout, Ctrl+C, a closed
// terminal) into a Qt signal on the thread that made this object. The handler
// only writes a byte to a pipe; the event loop reads it, so the ending runs as
// ordinary code. Once that signal came, or this object is destroyed (the
// process is ending anyway), further termination signals are ignored for the
// rest of the process's life, so whatever ending is under way completes.
// One instance per process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};
