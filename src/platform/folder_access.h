#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zento {

// Whether files can be kept in a folder: a new file can be made there (the
// program's rewrites go through a new file put in place of the old one), and
// each of `files` that is present there can be written.
bool FolderWritable(const QString &folder, const QStringList &files = {});

// The files the program rewrites in its own folder.
QStringList ProgramFolderFiles();

// Whether the program folder can hold the settings and the presets. Tests
// answer it through the probe; an empty probe asks FolderWritable.
using FolderWriteProbe = std::function<bool(const QString &folder)>;
void SetFolderWriteProbe(FolderWriteProbe probe);
bool ProgramFolderWritable(const QString &folder);

// A folder held by one process at a time, with a lock of the system's on it
// that goes with the process: one that ends without giving it back leaves
// nothing held. None while another holds it; where the system keeps no locks
// for the folder, a hold that holds nothing, so the folder is used as it
// always was.
class FolderHold {
public:
    explicit FolderHold(int fd) : fd_(fd) {}
    FolderHold(const FolderHold &) = delete;
    FolderHold &operator=(const FolderHold &) = delete;
    ~FolderHold();

private:
    int fd_;
};
std::unique_ptr<FolderHold> TryHoldFolder(const QString &folder);

} // namespace zento
