#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// A /proc look-alike in a temporary folder, written the way the kernel lays
// out the files the running-applications source reads.
class FakeProcTree
{
public:
    struct Process
    {
        qint64 pid = 0;
        qint64 parentPid = 1;
        quint64 startTime = 0;
        QString executable{}; // full path, becomes the exe link; empty: no link
        uint uid = 1000;
        char state = 'S';
        bool kernelThread = false;
        std::optional<QByteArray> cmdline{}; // default: the executable, NUL-terminated
        QByteArray cgroup = "0::/user.slice/user-1000.slice/session-2.scope\n";
        QByteArray environ{};
        QByteArray flatpakInfo{}; // empty: not a Flatpak
    };

    FakeProcTree();

    QString root() const { return m_dir.path(); }
    void add(const Process &process);
    void write(qint64 pid, const QString &file, const QByteArray &content);

private:
    QTemporaryDir m_dir;
};
