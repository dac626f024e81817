#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <memory>

namespace zento {

// Replaces the file's contents with bytes in one step: the new contents go to
// a temporary file that takes the old one's place only once every byte is on
// disk, so a failed write (no space, folder not writable) leaves the old file
// whole. False when the file was not replaced.
bool WriteFileAtomically(const QString &path, const QByteArray &bytes);

// Held from the read to the write of one change of a stored file: a lock file
// beside it ("<path>.lock"), so that another program changing the same file
// waits (at most 10 s) and neither puts back a file without the other's
// change. None when it could not be had in that time, or at all (a folder
// that takes no new files).
std::unique_ptr<QLockFile> HoldForChange(const QString &path);

} // namespace zento
