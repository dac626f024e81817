#pragma once

#include <QString>

namespace zento {

// How a path is spelled: "/" between folders on Linux; "\" or ":" in the
// Windows form, which the composed command lines can also be asked for.
enum class PathStyle { Posix, Windows };

// The style of the machine the program runs on.
PathStyle NativePathStyle();

// A file in a folder: folder, separator, name. On Linux the root folder "/"
// already ends in the separator and gets no second one; the Windows form is
// joined as written (a drive root included).
QString PathInFolder(const QString &folder, const QString &name, PathStyle style = NativePathStyle());

// The file name part of a path: after the last separator of the style.
QString PathFileName(const QString &path, PathStyle style = NativePathStyle());

// The thumbnail file the short encoder run writes: "_thumb.jpg" in the folder.
QString ThumbnailPath(const QString &folder, PathStyle style = NativePathStyle());

} // namespace zento
