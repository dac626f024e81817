#include "platform/folder_access.h"

#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

FolderHold::~FolderHold()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::unique_ptr<FolderHold> TryHoldFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    auto hold = std::make_unique<FolderHold>(fd);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return nullptr;
    return hold;
}

} // namespace zento
