#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, a closed terminal) into a
// Qt signal on the thread that made this object. The handler only writes a
// byte to a pipe; the event loop reads it, so the ending runs as ordinary code.
// One instance at a time; the default handlers return when it is destroyed.
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
