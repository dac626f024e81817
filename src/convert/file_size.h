#pragma once

#include <QString>
#include <QtGlobal>

namespace zento {

// The size in bytes of an existing file, opened for reading while others may
// go on writing it; -1 when it cannot be opened (missing, a folder, no right,
// an empty path) or is no regular file (a pipe, a device). Files of 2 GB and
// more give their true size.
qint64 FileSize(const QString &path);

// The size line of the progress window: "<source>KB -> <output>KB", each size
// in whole thousands of bytes, the fraction cut off (-1 shows as 0).
QString SizeLabelText(qint64 sourceSize, qint64 outputSize);

// The bar text: position * 100 / (maximum - minimum), rounded to the nearest
// whole number with a half going to the even neighbour, then " %". An empty
// range shows "0 %".
QString PercentText(qint64 position, qint64 minimum, qint64 maximum);

} // namespace zento
