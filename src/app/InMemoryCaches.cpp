#include "InMemoryCaches.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>

InMemoryCaches::InMemoryCaches()
{
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    qputenv("MESA_SHADER_CACHE_DISABLE", "true");
    // QML's cache stays on: Nimbrel's QML and Qt's own are compiled into the
    // binaries, so it writes nothing, and turning it off would compile every
    // file from source at each start (about a tenth of the first frame).

    // Whatever still writes a cache writes it here, in memory, where only we can read it.
    QByteArray directory("/dev/shm/nimbrel-cache-XXXXXX");
    if (mkdtemp(directory.data()) != nullptr) {
        m_directory = directory;
        qputenv("XDG_CACHE_HOME", m_directory);
        // Without a runtime directory Qt would make /tmp/runtime-<user> on disk.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            qputenv("XDG_RUNTIME_DIR", m_directory);
    }
}

InMemoryCaches::~InMemoryCaches()
{
    if (!m_directory.isEmpty())
        QDir(QString::fromLocal8Bit(m_directory)).removeRecursively();
}
