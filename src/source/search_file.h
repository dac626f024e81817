#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zento {

// One directory entry as the search reports it.
struct TSearchFileData {
    QString LongName, ShortName;
    qint64 Size = 0;
    bool CreationTimeValid = false;
    double CreationTime = 0; // days since 30 December 1899, local time
    bool WriteTimeValid = false;
    double WriteTime = 0;
    bool AccessTimeValid = false;
    double AccessTime = 0;
    bool IsDirectory = false, IsReadOnly = false, IsHidden = false, IsSystem = false, IsArchive = false;
};

// Walks a directory tree breadth first and reports every directory in it.
class TSearchDir {
public:
    TSearchDir();
    virtual ~TSearchDir();

    QString BaseDir;
    std::function<void(TSearchDir &Sender, const QString &Name, const TSearchFileData &Data, bool &IgnoreSubDir,
                       bool &Continue)>
        OnFind;

    bool Search();

protected:
    virtual void DoFind(const QString &Name, const TSearchFileData &Data, bool &IgnoreSubDir, bool &Continue);

private:
    friend class TSearchFile;
    // Sees every entry of every folder the walk enumerates, in the order of
    // the enumeration: first (folder, fd, nullptr, 0) when a folder begins,
    // then (folder, fd of the folder, name, dirent type) for each entry. The
    // folder ends in "/". Lets the file search take its matches from the
    // walk's own enumeration instead of enumerating every folder twice.
    std::function<void(const QString &folder, int folderFd, const char *name, unsigned char type)> entryObserver_;
    QStringList pending_;
    QStringList unnamed_; // folders not walked: their names are not text
    bool busy_ = false;
};

// Finds the entries of a directory (and, when Recursive, of every directory
// below it) whose names match a wildcard mask, and reports each through OnFind.
class TSearchFile {
public:
    TSearchFile();
    TSearchFile(const TSearchFile &) = delete;
    TSearchFile &operator=(const TSearchFile &) = delete;
    virtual ~TSearchFile();

    QString Directory;
    bool Recursive = false;
    QString SearchName;
    std::function<void(TSearchFile &Sender, const QString &Name, const TSearchFileData &Data, bool &Continue)> OnFind;
    std::function<void(TSearchFile &Sender, const QString &Name, const TSearchFileData &Data, bool &Skip,
                       bool &IgnoreSubDir)>
        OnFindDir;

    bool Search();

    // The directories collected by the last search, in the order of the walk.
    const QStringList &DirectoryList() const { return directories_; }
    // What the last search passed over because its name is not text (bytes
    // that are not UTF-8): matching files, and folders not looked into. As
    // text, with stand-ins for those bytes, such a path would name another
    // file or none.
    const QStringList &UnnamedEntries() const { return unnamed_; }

protected:
    virtual void DoFind(const QString &Name, const TSearchFileData &Data, bool &Continue);
    virtual void DoFindDir(const QString &Name, const TSearchFileData &Data, bool &Skip, bool &IgnoreSubDir);
    void SearchDirOnFind(TSearchDir &Sender, const QString &Name, const TSearchFileData &Data, bool &IgnoreSubDir,
                         bool &Continue);

private:
    std::unique_ptr<TSearchDir> searchDir_;
    QStringList directories_;
    QStringList unnamed_;
    bool busy_ = false;
};

// Whether a file name matches a wildcard mask by the Windows rule: "*" any run,
// "?" one character, letters without regard to case, "*.*" every name.
bool MatchesMask(const QString &name, const QString &mask);

} // namespace zento
