// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

// A /proc tree written to a temporary folder: `count` processes of a busy
// desktop (services, a shell or two, browsers with their helpers, Python and
// Node programs), half of them the user's with launcher units and
// environments, so that a scan pass over it costs what one over a real
// desktop's /proc would in reads and names.
class SyntheticProcTree
{
public:
    SyntheticProcTree(int count, uint uid);

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
