#pragma once

#include <QListWidget>
#include <functional>
#include <memory>

namespace zento {

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A list box whose every row carries a check box in front of its text.
// Index errors raise zento::Error("リストのインデックスが範囲を超えています (%d)").
class TCheckListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TCheckListBox(QWidget *parent = nullptr);
    ~TCheckListBox() override;

    // Rows, as in a plain list box. A new row starts unchecked and enabled.
    int Count() const;
    int AddItem(const QString &text); // returns the new row's index
    QString ItemText(int index) const;
    QStringList Items() const;
    void Clear();

    void SetItemChecked(int index, bool checked);
    bool IsItemChecked(int index) const;
    TCheckBoxState ItemCheckState(int index) const;
    void SetItemCheckState(int index, TCheckBoxState state);
    bool ItemEnabled(int index) const;
    void SetItemEnabled(int index, bool enabled);

    bool Flat() const;
    void SetFlat(bool flat);
    bool AllowGrayed() const;
    void SetAllowGrayed(bool allow);

    // Raised after the user toggled a row (never by code).
    std::function<void(TCheckListBox &Sender)> OnClickCheck;

    // The check box size of the platform and the check area (box width + 2).
    int CheckAreaWidth() const;
    // The row height: the text height of "Wg" in the control's font.
    int RowHeight() const;

    // The user's toggle of one row, as a click in the check area or the space key.
    void ToggleItem(int index);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    // A press of the left button toggles the row when it lies in the check area.
    void HandlePress(QMouseEvent *event);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zento
