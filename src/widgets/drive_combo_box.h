#pragma once

#include "platform/drives.h"

#include <QComboBox>
#include <QStringList>
#include <functional>
#include <memory>

namespace zento {

// A drop-down list of the machine's drives, each row with the drive's icon.
// Below the drives come the folders the user chose as sources during this run,
// then one last row that opens the folder chooser.
class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget *parent = nullptr, std::shared_ptr<DriveProvider> provider = SystemDriveProvider());
    ~TDriveComboBox() override;

    // Replaces the drive source and builds the list again.
    void SetProvider(std::shared_ptr<DriveProvider> provider);
    const DriveProvider &Provider() const;

    void BuildList();
    // Makes a drive current: Drive becomes it unchanged, its row (if any) is
    // selected; OnChange is raised.
    void SetDrive(const QString &drive);
    QString Drive() const;
    // The current drive's root folder now (see DriveProvider::CurrentRoot).
    QString DriveRoot() const;

    // The text of the last row, which opens the folder chooser.
    static QString ChooseFolderRowText();
    // Opens the folder chooser as if the user had picked the last row: a
    // chosen folder gets its row and becomes the drive (OnClick, OnChange,
    // OnSelect); a cancel puts the previous drive's row back and raises nothing.
    void PickFolder();
    // Gives a folder a row of its own above the chooser row, for the rest of
    // the run; nothing is selected or raised. A folder that already has a row
    // (a chosen folder, or a drive of that very path) gets no second one.
    // Returns the folder's row.
    int AddFolder(const QString &folder);
    // The chosen folders, in the order their rows were added.
    QStringList Folders() const;
    // Whether the drive is one of the chosen folders (not a drive of its own).
    bool IsFolder(const QString &drive) const;
    // The folder worth keeping for the next run: the current drive when it is
    // a chosen folder, else the folder chosen last; empty when there is none.
    QString KeptFolder() const;

    std::function<void(TDriveComboBox &Sender)> OnClick;
    std::function<void(TDriveComboBox &Sender)> OnChange;
    std::function<void(TDriveComboBox &Sender)> OnSelect; // after a user's pick

    // The row height: the line height of the control's font.
    int RowHeight() const;

private:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    // Keys and input-method text in the closed box move between the rows
    // above the chooser row only.
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    enum class KeyMove { None, Step, Search };
    // Runs the box's own handling of a key in the closed box; a move that
    // would land on the chooser row stops on the row above it (a step) or
    // does not happen (a search for a typed text).
    void MoveByKey(KeyMove move, const std::function<void()> &handle);
    // A user's pick of a row: OnClick, the drive taken over, OnChange, OnSelect.
    void Picked(int index);
    // The drive of a row taken over as a user's pick does it.
    void TakeRow(int index);
    // Makes a drive current without raising anything; false when it already was.
    bool ApplyDrive(const QString &drive);
    void SelectRowOf(const QString &drive);
    void AddFolderRow(int row, const QString &folder);
    void AddChooserRow();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zento
