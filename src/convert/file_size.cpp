#include "convert/file_size.h"

#include <QFile>
#include <QFileInfo>

namespace zento {

qint64 FileSize(const QString &path)
{
    // Only a regular file is opened: opening a named pipe or a device for
    // reading can wait for a writer forever, and the window with it.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return -1;
    QFile file(path);
    // Qt refuses to open a folder; a missing file is never created by ReadOnly.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    return file.size();
}

QString SizeLabelText(qint64 sourceSize, qint64 outputSize)
{
    return QString::number(sourceSize / 1000) + QStringLiteral("KB -> ") + QString::number(outputSize / 1000) +
           QStringLiteral("KB");
}

QString PercentText(qint64 position, qint64 minimum, qint64 maximum)
{
    const qint64 range = maximum - minimum;
    if (range <= 0)
        return QStringLiteral("0 %");
    const qint64 scaled = position * 100;
    qint64 quotient = scaled / range;
    qint64 remainder = scaled % range;
    if (remainder < 0) { // round toward minus infinity first, so the rest is >= 0
        quotient -= 1;
        remainder += range;
    }
    if (remainder * 2 > range || (remainder * 2 == range && quotient % 2 != 0))
        quotient += 1;
    return QString::number(quotient) + QStringLiteral(" %");
}

} // namespace zento
