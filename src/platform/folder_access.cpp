#include "platform/folder_access.h"

#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace zento {

namespace {

FolderWriteProbe &Probe()
{
    static FolderWriteProbe probe;
    return probe;
}

} // namespace

bool FolderWritable(const QString &folder, const QStringList &files)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    // Asking the permission bits is not enough (an administrator passes them,
    // a medium mounted read-only does not show in them): a file is made.
    QTemporaryFile probe(PathInFolder(folder, QStringLiteral(".zento-write-XXXXXX")));
    if (!probe.open())
        return false;
    probe.close();
    for (const QString &name : files) {
        const QFileInfo file(PathInFolder(folder, name));
        if (file.exists() && !file.isWritable())
            return false;
    }
    return true;
}

QStringList ProgramFolderFiles()
{
    return {QStringLiteral("profile.txt"), QStringLiteral("DVD_zento.ini")};
}

void SetFolderWriteProbe(FolderWriteProbe probe)
{
    Probe() = std::move(probe);
}

bool ProgramFolderWritable(const QString &folder)
{
    if (Probe())
        return Probe()(folder);
    return FolderWritable(folder, ProgramFolderFiles());
}

} // namespace zento
