#include "platform/atomic_file.h"

#include <QSaveFile>

namespace zento {

namespace {

const char kLockSuffix[] = ".lock";
constexpr int kLockWaitMs = 10000;

} // namespace

bool WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A full disk can show only at the flush, and commit() does not always
    // report it: check that every byte reached the new file before it
    // replaces the old one.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::unique_ptr<QLockFile> HoldForChange(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path + QLatin1String(kLockSuffix));
    if (!lock->tryLock(kLockWaitMs))
        return nullptr;
    return lock;
}

} // namespace zento
