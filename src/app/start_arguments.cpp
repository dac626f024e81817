#include "app/start_arguments.h"

#include "platform/regular_file.h"
#include "source/title_listing.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstring>

namespace zento {

bool AsksForUsage(int argc, const char *const *argv)
{
    for (int i = 1; i < argc && argv[i]; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0)
            return true;
    }
    return false;
}

QString StartUsage()
{
    return QStringLiteral("使い方: dvd-zento [入力元]\n"
                          "入力元 (DVD のフォルダ、VIDEO_TS フォルダ、ISO イメージ) を指定すると、\n"
                          "それを入力元に選んでタイトルを一覧にした状態で開きます。\n"
                          "\n"
                          "Usage: dvd-zento [SOURCE]\n"
                          "Opens DVD変換Zento with SOURCE (a DVD's folder, a VIDEO_TS folder or an\n"
                          "ISO image) chosen as the source and its titles listed.\n"
                          "\n"
                          "  -h, --help  この説明を表示して終了します / show this help and exit\n");
}

QString StartSource(const QStringList &arguments, const QString &currentFolder)
{
    qsizetype at = 1;
    if (at < arguments.size() && arguments.at(at) == QLatin1String("--"))
        ++at;
    if (at >= arguments.size() || arguments.at(at).isEmpty())
        return QString();
    // A file manager or a pasted address may give a file:// address.
    QString path = arguments.at(at);
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(path);
        if (url.isLocalFile())
            path = url.toLocalFile();
    }
    return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(path));
}

QString StartSourceProblem(const QString &source)
{
    const QFileInfo info(source);
    if (!info.exists())
        return QStringLiteral("%1 は見つかりません。").arg(source);
    // A named pipe, a socket or a character device would be listed as a
    // folder with nothing in it and stored as the source. A device is a
    // drive's disc, read as an image.
    if (KindOfSource(source) == SourceKind::Other)
        return QStringLiteral("%1 は DVD-Video のフォルダでもイメージでもありません。").arg(source);
    if (!info.isDir())
        return QString();
    // The folders the drive list lists as a chosen folder: VIDEO_TS itself,
    // or one that holds it.
    if (QFileInfo(SourceTitleFolder(source, true)).isDir())
        return QString();
    return QStringLiteral("%1 には DVD-Video のフォルダ %2 がありません。")
        .arg(source, QString::fromLatin1(kTitleFolderName));
}

} // namespace zento
