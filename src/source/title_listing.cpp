#include "source/title_listing.h"

#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace zento {

QString TitleDisplayText(const QString &path)
{
    QString name = PathFileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() < 5)
        return QString();
    return name.mid(4);
}

QString TitleFolder(const QString &root)
{
    if (root.isEmpty())
        return QString();
    QString base = root;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const QString folderName = QString::fromLatin1(kTitleFolderName);
    const QString exact = base + folderName;
    if (QFileInfo(exact).isDir())
        return exact;
    // Discs mounted with lower-case names: look the folder up without regard
    // to case. Entries come sorted by name, so the choice is stable.
    const QStringList entries =
        QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(folderName, Qt::CaseInsensitive) == 0)
            return base + entry;
    }
    return exact;
}

QString SourceTitleFolder(const QString &root, bool chosenFolder)
{
    if (chosenFolder && PathFileName(root).compare(QString::fromLatin1(kTitleFolderName), Qt::CaseInsensitive) == 0)
        return root;
    return TitleFolder(root);
}

} // namespace zento
