// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Nimbrel saves nothing, but the libraries under its window keep caches on
// disk: Qt's OpenGL program binaries, Mesa's shader cache, fontconfig. For
// the life of this object the shader caches are off and every cache location
// ($XDG_CACHE_HOME) is a private directory in memory
// (/dev/shm/nimbrel-cache-PID-XXXXXX), removed again at the end; so is the
// runtime directory when the session names none. Make it before the
// application object, which reads these settings.
//
// Each instance holds a lock on a file in its directory for as long as it
// lives. The directories of this user whose lock is free belong to instances
// that were killed before their end; they are removed at start.
class InMemoryCaches
{
public:
    InMemoryCaches();
    ~InMemoryCaches();
    InMemoryCaches(const InMemoryCaches &) = delete;
    InMemoryCaches &operator=(const InMemoryCaches &) = delete;

private:
    QByteArray m_directory; // empty when /dev/shm could not be used
    int m_lock = -1;
};
