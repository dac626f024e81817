#pragma once

#include <QByteArray>
#include <QString>

namespace zento {

// How reading a file of the program's own (presets, settings) went.
enum class FileRead {
    Read,      // the whole file was read
    Missing,   // nothing is at the path (or a folder on the way is missing)
    Unreadable // something is there that cannot be read as a file
};

// Reads the whole of a regular file (a link to one included). Anything else
// at the path, a folder, a FIFO, a device, counts as unreadable and is never
// read: a FIFO would hold the reader until some other program writes to it.
FileRead ReadRegularFile(const QString &path, QByteArray &bytes);

// Whether the file could be read so, without reading it.
FileRead ProbeRegularFile(const QString &path);

// What is at a path (links followed), as far as a disc source goes: a
// folder, a file (an image), a device (a drive's disc), nothing, or
// something else (a named pipe, a socket, a character device), which holds
// no disc and would hold a reader until another program writes to it.
enum class SourceKind { Missing, Folder, File, Device, Other };
SourceKind KindOfSource(const QString &path);

// Whether what is at a path is read as a disc image: a file or a device.
bool IsReadAsImage(const QString &path);

} // namespace zento
