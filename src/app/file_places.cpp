#include "app/file_places.h"

#include "platform/paths.h"
#include "platform/folder_access.h"

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

// A private folder (mode 0700) below `parent`; null when none can be made.
std::unique_ptr<QTemporaryDir> MakePrivateFolder(const QString &parent)
{
    if (parent.isEmpty())
        return nullptr;
    auto folder = std::make_unique<QTemporaryDir>(PathInFolder(parent, QLatin1String(kThumbnailFolderTemplate)));
    if (!folder->isValid())
        return nullptr;
    return folder;
}

} // namespace

FilePlaces::FilePlaces() = default;

FilePlaces::FilePlaces(const QString &programFolder, RunMode mode) : programFolder_(programFolder), mode_(mode) {}

FilePlaces::FilePlaces(FilePlaces &&) noexcept = default;
FilePlaces &FilePlaces::operator=(FilePlaces &&) noexcept = default;
FilePlaces::~FilePlaces() = default;

FilePlaces FilePlaces::ForProgramFolder(const QString &programFolder)
{
    return FilePlaces(programFolder, ProgramFolderWritable(programFolder) ? RunMode::Portable : RunMode::Installed);
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

QString FilePlaces::PresetPath() const
{
    const QString own = PresetStorePath();
    if (mode_ == RunMode::Installed && !QFileInfo::exists(own))
        return PathInFolder(programFolder_, QLatin1String(kPresetFileName));
    return own;
}

QString FilePlaces::PresetStorePath() const
{
    return PathInFolder(UserFolder(), QLatin1String(kPresetFileName));
}

QString FilePlaces::DefaultOutputFolder() const
{
    if (mode_ == RunMode::Portable)
        return programFolder_;
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return videos.isEmpty() ? QDir::homePath() : videos;
}

void FilePlaces::PrepareUserFolder() const
{
    if (mode_ == RunMode::Installed)
        QDir().mkpath(UserFolder());
}

QString FilePlaces::ThumbnailFolder()
{
    if (mode_ == RunMode::Portable)
        return programFolder_;
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
    QFile::remove(ThumbnailPath(UserFolder())); // the program folder when portable
}

} // namespace zento
