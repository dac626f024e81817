#include "app/file_places.h"

#include "platform/folder_access.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace zento {

const char *const kUserFolderName = "dvd-zento";

namespace {

const char *const kSettingsFileName = "DVD_zento.ini";
const char *const kPresetFileName = "profile.txt";
const char *const kThumbnailFolderTemplate = "dvd-zento-XXXXXX";

// Whether the encoder writes the picture into `folder` under its name: it
// reads a "%" in the picture's path as a place for a number ("%d") and so
// writes somewhere else, or fails.
bool PictureFolder(const QString &folder)
{
    return !folder.contains(QLatin1Char('%'));
}

// A private folder (mode 0700) below `parent`; null when none can be made.
std::unique_ptr<QTemporaryDir> MakePrivateFolder(const QString &parent)
{
    if (!QDir::isAbsolutePath(parent) || !PictureFolder(parent))
        return nullptr;
    auto folder = std::make_unique<QTemporaryDir>(PathInFolder(parent, QLatin1String(kThumbnailFolderTemplate)));
    if (!folder->isValid())
        return nullptr;
    return folder;
}

// The XDG variables for the folders the program uses, whose values must be
// absolute paths.
void IgnoreRelativeXdgFolders()
{
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty() && !QDir::isAbsolutePath(value))
            qunsetenv(name);
    }
}

} // namespace

bool SystemProgramFolder(const QString &programFolder, const QString &packageFileList)
{
    if (programFolder.isEmpty())
        return false;
    const QFileInfo info(programFolder);
    QString folder = info.canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(info.absoluteFilePath());
    const QString system = QStringLiteral("/usr");
    if (folder == system || folder.startsWith(system + QLatin1Char('/')))
        return true;
    QByteArray list;
    if (ReadRegularFile(packageFileList, list) != FileRead::Read)
        return false;
    for (const QByteArray &line : list.split('\n'))
        if (!line.isEmpty() && QDir::cleanPath(QFile::decodeName(line)) == folder)
            return true;
    return false;
}

FilePlaces::FilePlaces() = default;

FilePlaces::FilePlaces(const QString &programFolder, RunMode mode) : programFolder_(programFolder), mode_(mode) {}

FilePlaces::FilePlaces(FilePlaces &&) noexcept = default;
FilePlaces &FilePlaces::operator=(FilePlaces &&) noexcept = default;
FilePlaces::~FilePlaces() = default;

FilePlaces FilePlaces::ForProgramFolder(const QString &programFolder)
{
    IgnoreRelativeXdgFolders();
    const bool portable = !SystemProgramFolder(programFolder) && ProgramFolderWritable(programFolder);
    return FilePlaces(programFolder, portable ? RunMode::Portable : RunMode::Installed);
}

QString FilePlaces::UserFolder() const
{
    if (mode_ == RunMode::Portable)
        return programFolder_;
    return PathInFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                        QLatin1String(kUserFolderName));
}

QString FilePlaces::SettingsPath() const
{
    return PathInFolder(UserFolder(), QLatin1String(kSettingsFileName));
}

QString FilePlaces::SettingsReadPath() const
{
    const QString own = SettingsPath();
    if (mode_ == RunMode::Portable || QFileInfo::exists(own))
        return own;
    const QString left = PathInFolder(programFolder_, QLatin1String(kSettingsFileName));
    return ProbeRegularFile(left) == FileRead::Read ? left : own;
}

QString FilePlaces::PresetPath() const
{
    const QString own = PresetStorePath();
    unreadablePresets_.clear();
    if (mode_ == RunMode::Portable)
        return own;
    switch (ProbeRegularFile(own)) {
    case FileRead::Read: return own;
    case FileRead::Unreadable: unreadablePresets_ = QFileInfo(own).absoluteFilePath(); break;
    case FileRead::Missing: break;
    }
    return PathInFolder(programFolder_, QLatin1String(kPresetFileName));
}

QString FilePlaces::PresetStorePath() const
{
    return PathInFolder(UserFolder(), QLatin1String(kPresetFileName));
}

QString FilePlaces::DefaultOutputFolder() const
{
    if (mode_ == RunMode::Portable)
        return programFolder_;
    // A relative folder in user-dirs.dirs is ignored, as the rules say.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return QDir::isAbsolutePath(videos) ? videos : PathInFolder(QDir::homePath(), QStringLiteral("Videos"));
}

void FilePlaces::PrepareUserFolder() const
{
    if (mode_ == RunMode::Installed)
        QDir().mkpath(UserFolder());
}

QString FilePlaces::ThumbnailFolder()
{
    if (mode_ == RunMode::Portable && !thumbnailFolder_ && PictureFolder(programFolder_)) {
        if (!programFolderHeld_)
            programFolderHeld_ = TryHoldFolder(programFolder_);
        if (programFolderHeld_)
            return programFolder_;
    }
    if (!thumbnailFolder_)
        thumbnailFolder_ = MakePrivateFolder(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    if (!thumbnailFolder_)
        thumbnailFolder_ = MakePrivateFolder(QDir::tempPath());
    if (thumbnailFolder_)
        return thumbnailFolder_->path();
    // No folder of its own can be made: the user folder is the user's too.
    PrepareUserFolder();
    return UserFolder();
}

void FilePlaces::RemoveThumbnail()
{
    if (thumbnailFolder_) {
        thumbnailFolder_.reset(); // removes the folder with what it holds
        return;
    }
    // The program folder's picture, when portable, only while this run holds
    // it: else it is another window's.
    if (mode_ == RunMode::Portable && !programFolderHeld_)
        return;
    QFile::remove(ThumbnailPath(UserFolder()));
    programFolderHeld_.reset();
}

} // namespace zento
