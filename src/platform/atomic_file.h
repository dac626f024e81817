#pragma once

#include <QByteArray>
#include <QString>

namespace zento {

// Replaces the file's contents with bytes in one step: the new contents go to
// a temporary file that takes the old one's place only once every byte is on
// disk, so a failed write (no space, folder not writable) leaves the old file
// whole. False when the file was not replaced.
bool WriteFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace zento
