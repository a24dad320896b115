#pragma once

#include "ProcessSource.h"
#include "processes/ElectronPackage.h"

#include <QHash>
#include <QString>

#include <optional>

class ProcessDirectory;

// Every name one process shows: the executable's file name, argv[0]'s, the
// kernel's comm, for an interpreter the program it runs (and the folders
// above it), and for an Electron-style app the names in its package.json.
// The package names of each executable's folder are looked up once per
// reader, so make one per pass.
class ProcessNamesReader
{
public:
    // `homeFolder` ends the walk up from an interpreted program's file.
    explicit ProcessNamesReader(QString homeFolder) : m_homeFolder(std::move(homeFolder)) {}

    // None for a kernel thread, or a process that shows no name at all.
    std::optional<ObservedProcess> read(ProcessDirectory &process);

private:
    void add(ObservedProcess &process, const QString &name, NameSource source) const;
    void addProgramNames(ObservedProcess &process, ProcessDirectory &directory,
                         const QString &interpreter, const QStringList &arguments) const;
    void addPackageNames(ObservedProcess &process, const QString &executablePath);

    QString m_homeFolder;
    QHash<QString, PackageNames> m_packagesByFolder;
};
