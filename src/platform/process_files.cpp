#include "platform/process_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zento {

qint64 ProcessReadPosition(qint64 pid, const QString &path)
{
    if (pid <= 0 || path.isEmpty())
        return -1;
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty())
        return -1;
    const QString base = QStringLiteral("/proc/%1/").arg(pid);
    const QStringList descriptors =
        QDir(base + QStringLiteral("fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    qint64 furthest = -1;
    for (const QString &fd : descriptors) {
        if (QFile::symLinkTarget(base + QStringLiteral("fd/") + fd) != wanted)
            continue;
        QFile info(base + QStringLiteral("fdinfo/") + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = info.readAll().split('\n');
        for (const QByteArray &line : lines)
            if (line.startsWith("pos:"))
                furthest = qMax(furthest, line.mid(4).trimmed().toLongLong());
    }
    return furthest;
}

} // namespace zento
