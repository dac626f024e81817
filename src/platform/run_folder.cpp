#include "platform/run_folder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace zento {

namespace {

const char kLockName[] = "run.lock";
const char kOutputName[] = "output"; // the output in progress: its path, device and inode

// A file's identity on its disk: a file written over in place keeps it, one
// made anew under the same name does not.
QByteArray FileIdentity(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return QByteArray::number(quint64(info.st_dev)) + ' ' + QByteArray::number(quint64(info.st_ino));
}

} // namespace

RunFolder::RunFolder()
{
    if (!folder_.isValid())
        return;
    lock_ = std::make_unique<QLockFile>(folder_.filePath(QLatin1String(kLockName)));
    lock_->setStaleLockTime(0); // a run may go on for hours: stale only once its program is gone
    lock_->tryLock(0);
}

void RunFolder::NoteOutput(const QString &output)
{
    if (!folder_.isValid())
        return;
    QFile note(folder_.filePath(QLatin1String(kOutputName)));
    if (note.open(QIODevice::WriteOnly | QIODevice::Truncate))
        note.write(QFile::encodeName(QFileInfo(output).absoluteFilePath()) + '\n' + FileIdentity(output) + '\n');
}

void RunFolder::ClearOutput()
{
    if (folder_.isValid())
        QFile::remove(folder_.filePath(QLatin1String(kOutputName)));
}

QStringList ClearKilledRuns(const QString &temporary)
{
    QStringList removed;
    const QString prefix = QCoreApplication::applicationName() + QLatin1Char('-');
    const QFileInfoList folders =
        QDir(temporary).entryInfoList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : folders) {
        // Only the user's own folders, never through a link.
        const QString folder = entry.absoluteFilePath();
        if (entry.isSymLink() || entry.ownerId() != ::getuid() ||
            !QFileInfo::exists(folder + QLatin1Char('/') + kLockName))
            continue;
        QLockFile lock(folder + QLatin1Char('/') + kLockName);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue; // its run goes on
        QFile note(folder + QLatin1Char('/') + kOutputName);
        if (note.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = note.readAll().split('\n');
            const QString output = QFile::decodeName(lines.value(0));
            if (lines.size() >= 2 && !lines.at(1).isEmpty() && FileIdentity(output) == lines.at(1) &&
                QFile::remove(output))
                removed << output;
        }
        lock.unlock();
        QDir(folder).removeRecursively();
    }
    return removed;
}

} // namespace zento
