#include "platform/regular_file.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zento {

namespace {

// Opens the path for reading without waiting on it: a FIFO without a writer
// opens at once this way. -1 with `outcome` set when it is no regular file.
int OpenRegularFile(const QString &path, FileRead &outcome)
{
    if (path.isEmpty()) {
        outcome = FileRead::Missing;
        return -1;
    }
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        outcome = errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        outcome = FileRead::Unreadable;
        return -1;
    }
    outcome = FileRead::Read;
    return fd;
}

} // namespace

FileRead ReadRegularFile(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    FileRead outcome = FileRead::Unreadable;
    const int fd = OpenRegularFile(path, outcome);
    if (fd < 0)
        return outcome;
    // The flag means nothing for a regular file; it goes all the same.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return FileRead::Unreadable;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        bytes.clear();
        return FileRead::Unreadable;
    }
    return FileRead::Read;
}

FileRead ProbeRegularFile(const QString &path)
{
    FileRead outcome = FileRead::Unreadable;
    const int fd = OpenRegularFile(path, outcome);
    if (fd >= 0)
        ::close(fd);
    return outcome;
}

SourceKind KindOfSource(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return SourceKind::Missing;
    if (S_ISDIR(st.st_mode))
        return SourceKind::Folder;
    if (S_ISREG(st.st_mode))
        return SourceKind::File;
    return S_ISBLK(st.st_mode) ? SourceKind::Device : SourceKind::Other;
}

bool IsReadAsImage(const QString &path)
{
    const SourceKind kind = KindOfSource(path);
    return kind == SourceKind::File || kind == SourceKind::Device;
}

} // namespace zento
