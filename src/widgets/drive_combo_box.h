#pragma once

#include "platform/drives.h"

#include <QComboBox>
#include <functional>
#include <memory>

namespace zento {

// A drop-down list of the machine's drives, each row with the drive's icon.
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

    std::function<void(TDriveComboBox &Sender)> OnClick;
    std::function<void(TDriveComboBox &Sender)> OnChange;
    std::function<void(TDriveComboBox &Sender)> OnSelect; // after a user's pick

    // The row height: the line height of the control's font.
    int RowHeight() const;

private:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // A user's pick of a row: OnClick, the drive taken over, OnChange, OnSelect.
    void Picked(int index);
    // Makes a drive current without raising anything; false when it already was.
    bool ApplyDrive(const QString &drive);
    void SelectRowOf(const QString &drive);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zento
