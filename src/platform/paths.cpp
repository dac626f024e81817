#include "platform/paths.h"

namespace zento {

namespace {

bool IsSeparator(QChar c, PathStyle style)
{
    if (style == PathStyle::Windows)
        return c == QLatin1Char('\\') || c == QLatin1Char(':');
    return c == QLatin1Char('/');
}

// Position of the last separator, -1 when there is none.
qsizetype LastSeparator(const QString &path, PathStyle style)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (IsSeparator(path.at(i), style))
            return i;
    return -1;
}

} // namespace

PathStyle NativePathStyle()
{
#ifdef _WIN32
    return PathStyle::Windows;
#else
    return PathStyle::Posix;
#endif
}

QString PathInFolder(const QString &folder, const QString &name, PathStyle style)
{
    if (style == PathStyle::Posix && folder.endsWith(QLatin1Char('/')))
        return folder + name;
    const QLatin1Char separator = style == PathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/');
    return folder + separator + name;
}

QString PathFileName(const QString &path, PathStyle style)
{
    return path.mid(LastSeparator(path, style) + 1);
}

QString ThumbnailPath(const QString &folder, PathStyle style)
{
    return PathInFolder(folder, QStringLiteral("_thumb.jpg"), style);
}

} // namespace zento
