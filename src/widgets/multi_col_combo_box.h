#pragma once

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace zento {

class TMultiColComboBox;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One column of the open list, with the parent rules of colour and font.
class TCBColumn {
public:
    explicit TCBColumn(TMultiColComboBox *owner);

    int Width() const { return width_; }
    void SetWidth(int width);
    QColor Color() const { return color_; }
    void SetColor(const QColor &color); // a different colour clears ParentColor
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    QFont Font() const { return font_; }
    void SetFont(const QFont &font); // any change clears ParentFont
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool parent); // true takes the box's colour
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool parent); // true copies the box's font

    // Called by the owner when its colour or font changes.
    void OwnerColorChanged();
    void OwnerFontChanged();

private:
    TMultiColComboBox *owner_;
    int width_ = 60;
    QColor color_;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    QFont font_;
    bool parentColor_ = true;
    bool parentFont_ = true;
};

class TCBColumns {
public:
    explicit TCBColumns(TMultiColComboBox *owner);
    int Count() const;
    TCBColumn &Add();
    TCBColumn &operator[](int index);
    const TCBColumn &operator[](int index) const;
    void Clear();
    int TotalWidth() const;

private:
    TMultiColComboBox *owner_;
    std::vector<std::unique_ptr<TCBColumn>> columns_;
};

// A drop-down list whose rows are comma texts shown as columns; column
// TargetColumn of a row is its key (what the closed field shows).
class TMultiColComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TMultiColComboBox(QWidget *parent = nullptr); // one column
    // A box made with CanEdit as given, without first making an edit field
    // that SetCanEdit(false) would take away again.
    TMultiColComboBox(QWidget *parent, bool canEdit);
    ~TMultiColComboBox() override;

    TCBColumns &Columns();
    const TCBColumns &Columns() const;

    // The rows: whole texts, index for index beside the key texts.
    void AddItem(const QString &text);
    void InsertItem(int index, const QString &text);
    void DeleteItem(int index);
    void ClearItems();
    QString Item(int index) const; // the whole text of row index
    QStringList Items() const;     // every whole text
    int ItemCount() const;

    // A row the installed encoder cannot use: drawn in grey in the open list,
    // with UnavailableHint() over it; it keeps its place and can be picked.
    // The mark moves with its row when rows are inserted or deleted.
    void SetItemUnavailable(int index, bool unavailable);
    bool ItemUnavailable(int index) const;
    static QString UnavailableHint();
    static QColor UnavailableTextColor();

    int ItemIndex() const;
    void SetItemIndex(int index); // by code: raises no OnChange; out of range selects none

    int TargetColumn() const;
    void SetTargetColumn(int column); // plain assignment, repaints nothing
    int Indent() const;
    void SetIndent(int indent);
    bool CanEdit() const;
    void SetCanEdit(bool canEdit);
    int ItemHeight() const;
    void SetItemHeight(int height);
    void SetDropDownCount(int count);

    // The closed field's colour (the option rules paint it).
    QColor Color() const;
    void SetColor(const QColor &color);

    QString GetSelectedText() const;

    // Raised when the user picks a row, never when code sets ItemIndex.
    std::function<void(TMultiColComboBox &Sender)> OnChange;
    std::function<void(TMultiColComboBox &Sender)> OnDropDown;

    void showPopup() override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    // The wheel turns the rows only of a box that has the focus already.
    void wheelEvent(QWheelEvent *event) override;

private:
    void ColumnsChanged(); // a column's look changed: repaint the open list
    void ConnectEditor();
    void FollowApplicationColours(); // a box without a sheet: take the application's colours
    struct Private;
    std::unique_ptr<Private> d;
    friend class TCBColumn;
};

} // namespace zento
