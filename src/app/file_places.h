#pragma once

#include <QString>

#include <memory>

class QTemporaryDir;

namespace zento {

class FolderHold;

// How the program keeps its files, chosen once at start.
//   Portable: the program folder can be written; the settings, the presets,
//             the thumbnail and the default output all live there.
//   Installed: the program folder is read-only, or is the system's (below
//             /usr, or the package's own), whoever runs the program; each
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
    // (ProgramFolderWritable) and is not the system's (SystemProgramFolder),
    // installed otherwise. The folder variables of the XDG rules that hold a
    // relative path are taken out of the environment first: the rules say
    // such a value is to be ignored (a quoting slip, '~/.config', would make
    // a folder named "~" wherever the program was started).
    static FilePlaces ForProgramFolder(const QString &programFolder);

    RunMode Mode() const { return mode_; }
    const QString &ProgramFolder() const { return programFolder_; }

    // Where the user's settings and stored presets go: the program folder, or
    // $XDG_CONFIG_HOME/dvd-zento (normally ~/.config/dvd-zento).
    QString UserFolder() const;
    // The settings file DVD_zento.ini in the user folder.
    QString SettingsPath() const;
    // The settings file read at start: the user's, or, installed and with
    // none of the user's yet, one left in the program folder (a portable copy
    // whose settings file cannot be written is installed; its settings stay
    // the starting ones).
    QString SettingsReadPath() const;
    // The preset file read at start: profile.txt in the user folder when it
    // is there, else the one shipped in the program folder. When the user's
    // file is there but cannot be read (a folder, a FIFO, no permission), the
    // shipped one stands in, and UnreadableUserPresets names the user's file.
    QString PresetPath() const;
    // The user's own preset file that PresetPath passed over; empty when none.
    const QString &UnreadableUserPresets() const { return unreadablePresets_; }
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
    // The program folder is held for this run until RemoveThumbnail; a
    // second window converting from the same folder meanwhile gets a private
    // folder, so neither takes (or removes) the other's picture.
    QString ThumbnailFolder();
    // Removes the thumbnail file, and the private folder with it.
    void RemoveThumbnail();

private:
    QString programFolder_;
    mutable QString unreadablePresets_;
    RunMode mode_ = RunMode::Portable;
    std::unique_ptr<QTemporaryDir> thumbnailFolder_;
    std::unique_ptr<FolderHold> programFolderHeld_;
};

// Whether a program folder is the system's: below /usr, where only the
// package manager and the administrator put programs, or listed in the file
// list of the package (dpkg's dvd-zento.list) wherever the package put it. An
// administrator may write there, but must not change the package's files.
bool SystemProgramFolder(const QString &programFolder,
                         const QString &packageFileList = QStringLiteral("/var/lib/dpkg/info/dvd-zento.list"));

} // namespace zento
