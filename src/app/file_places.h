#pragma once

#include <QString>

#include <memory>

class QTemporaryDir;

namespace zento {

// How the program keeps its files, chosen once at start.
//   Portable: the program folder can be written; the settings, the presets,
//             the thumbnail and the default output all live there.
//   Installed: the program folder is read-only (a package under /usr); each
//             user's settings and presets go to the user's configuration
//             folder, the thumbnail to a private folder of the user's, and
//             the output by default to the user's video folder.
enum class RunMode { Portable, Installed };

// The folder of the user's own files when installed, below the user's
// configuration folder.
extern const char *const kUserFolderName; // "dvd-zento"

class FilePlaces {
public:
    FilePlaces();
    FilePlaces(const QString &programFolder, RunMode mode);
    FilePlaces(FilePlaces &&) noexcept;
    FilePlaces &operator=(FilePlaces &&) noexcept;
    ~FilePlaces();

    // Portable when the program folder can keep the settings and the presets
    // (ProgramFolderWritable), installed otherwise.
    static FilePlaces ForProgramFolder(const QString &programFolder);

    RunMode Mode() const { return mode_; }
    const QString &ProgramFolder() const { return programFolder_; }

    // Where the user's settings and stored presets go: the program folder, or
    // $XDG_CONFIG_HOME/dvd-zento (normally ~/.config/dvd-zento).
    QString UserFolder() const;
    // The settings file DVD_zento.ini in the user folder.
    QString SettingsPath() const;
    // The preset file read at start: profile.txt in the user folder when it
    // is there, else the one shipped in the program folder.
    QString PresetPath() const;
    // The preset file a stored preset is written to: profile.txt in the user
    // folder (a first store makes it from the shipped presets).
    QString PresetStorePath() const;
    // The output folder when the settings hold none: the program folder, or
    // the user's video folder.
    QString DefaultOutputFolder() const;
    // Makes the user folder before a write into it. A folder that cannot be
    // made shows itself as the failed write of the file.
    void PrepareUserFolder() const;

    // The folder the thumbnail run writes into: the program folder, or a
    // private folder of the user's (in the runtime folder, else in the
    // temporary folder, else the user folder), made when first asked for.
    QString ThumbnailFolder();
    // Removes the thumbnail file, and the private folder with it.
    void RemoveThumbnail();

private:
    QString programFolder_;
    RunMode mode_ = RunMode::Portable;
    std::unique_ptr<QTemporaryDir> thumbnailFolder_;
};

} // namespace zento
