#pragma once

#include "platform/drives.h"

#include <QComboBox>
#include <QStringList>
#include <functional>
#include <memory>

namespace zento {

// A drop-down list of the machine's drives, each row with the drive's icon.
// Below the drives come the folders and disc images the user chose as sources
// during this run, then the two chooser rows: one opens the folder chooser,
// the last one the image chooser.
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

    // The texts of the chooser rows: the folder chooser's, then the image
    // chooser's, which is the last row.
    static QString ChooseFolderRowText();
    static QString ChooseImageRowText();
    // Opens the folder (image) chooser as if the user had picked its row: the
    // chosen folder (image) gets its row and becomes the drive (OnClick,
    // OnChange, OnSelect); a cancel puts the previous drive's row back and
    // raises nothing.
    void PickFolder();
    void PickImage();
    // Takes a source as the choosers take what the user chose: it gets its
    // row (AddFolder) and becomes the drive (OnClick, OnChange, OnSelect).
    // False, with nothing raised, for a source that gets no row (empty text).
    bool TakeSource(const QString &source);
    // The chosen sources, the current drive and the source chosen last as
    // they are now. PutBack brings them back (the rows built again, OnChange
    // raised), so that a source taken that came to nothing leaves no trace,
    // not even in what the settings keep.
    struct SourceState {
        QString drive;
        QStringList folders;
        QStringList images;
        QString lastFolder;
    };
    SourceState Sources() const;
    void PutBack(const SourceState &state);
    // Gives a chosen source a row of its own above the chooser rows, for the
    // rest of the run; nothing is selected or raised. The source is a disc
    // image when it is a file, or when nothing is there and its name ends in
    // ".iso" (any case: an image on a disk not plugged in); else a folder. A
    // source that already has a row (a chosen one, or a drive of that very
    // path) gets no second one. Returns the source's row.
    int AddFolder(const QString &folder);
    // The chosen sources, folders and images, in the order their rows were added.
    QStringList Folders() const;
    // Whether the drive is one of the chosen sources, folder or image (not a
    // drive of its own); such a drive is its own root.
    bool IsFolder(const QString &drive) const;
    // Whether the drive is a chosen disc image.
    bool IsImage(const QString &drive) const;
    // The source worth keeping for the next run: the current drive when it is
    // a chosen source, else the source chosen last; empty when there is none.
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
    // above the chooser rows only.
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    enum class KeyMove { None, Step, Search };
    // Runs the box's own handling of a key in the closed box; a move that
    // would land on a chooser row stops on the row above them (a step) or
    // does not happen (a search for a typed text).
    void MoveByKey(KeyMove move, const std::function<void()> &handle);
    // A user's pick of a row: OnClick, the drive taken over, OnChange, OnSelect.
    void Picked(int index);
    // The drive of a row taken over as a user's pick does it.
    void TakeRow(int index);
    // Makes a drive current without raising anything; false when it already was.
    bool ApplyDrive(const QString &drive);
    void SelectRowOf(const QString &drive);
    // Opens the folder or the image chooser and takes what the user chose.
    void ChooseSource(bool image);
    void AddSourceRow(int row, const QString &source);
    void AddChooserRows();
    // The folder chooser's row; the image chooser's row follows it.
    int FirstChooserRow() const;

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zento
