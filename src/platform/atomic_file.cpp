#include "platform/atomic_file.h"

#include <QSaveFile>

namespace zento {

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

} // namespace zento
