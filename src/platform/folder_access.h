#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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

} // namespace zento
