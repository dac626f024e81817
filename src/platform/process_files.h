#pragma once

#include <QString>

namespace zento {

// How far a running process has read a file it holds open: the offset of
// its descriptor for that file (Linux shows it in /proc/<pid>/fdinfo); -1
// when the process holds no such descriptor or the system does not tell.
qint64 ProcessReadPosition(qint64 pid, const QString &path);

} // namespace zento
