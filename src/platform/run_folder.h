#pragma once

#include <QDir>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace zento {

// A conversion run's private folder in the temporary folder (the encoder's
// working folder: two-pass logs, the chapters file). A lock file in it, held
// while the run lives, lets a later run tell a folder that a killed run left
// behind, and clear up after it.
class RunFolder {
public:
    RunFolder();
    bool isValid() const { return folder_.isValid(); }
    QString path() const { return folder_.path(); }
    // The output the encoder writes from now until ClearOutput: should the
    // run be killed meanwhile, that file is unfinished.
    void NoteOutput(const QString &output);
    void ClearOutput();

private:
    QTemporaryDir folder_;
    std::unique_ptr<QLockFile> lock_;
};

// Removes the folders in `temporary` of this program's runs that were killed
// before they ended (their lock is stale), and the unfinished output each
// was writing where that file is still the one it wrote. Gives those outputs.
QStringList ClearKilledRuns(const QString &temporary = QDir::tempPath());

} // namespace zento
