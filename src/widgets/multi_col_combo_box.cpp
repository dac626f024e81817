#include "widgets/multi_col_combo_box.h"

#include "options/comma_text.h"
#include "platform/error.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <algorithm>
#include <optional>
#include <stdexcept>

namespace zento {

namespace {

// The whole text of a row sits beside its key text in the item model, so the
// two can never get out of step.
constexpr int kWholeTextRole = Qt::UserRole + 0x100;
// Rows the installed encoder cannot use are marked beside them in the same way.
constexpr int kUnavailableRole = Qt::UserRole + 0x101;

// Styles that open the list like a menu over the box ignore the number of
// visible rows; the box always drops its list below itself.
const char *const kListPopupSheet = "QComboBox { combobox-popup: 0; }";

Qt::Alignment ToQtAlignment(TAlignment alignment)
{
    switch (alignment) {
    case TAlignment::taRightJustify: return Qt::AlignRight;
    case TAlignment::taCenter: return Qt::AlignHCenter;
    case TAlignment::taLeftJustify: break;
    }
    return Qt::AlignLeft;
}

// Halfway between two colours.
QColor Blend(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

// Draws the rows of the open list: one cell per column, in the column's colour
// and font, the selected row in the highlight colours.
class ColumnDelegate : public QStyledItemDelegate {
public:
    explicit ColumnDelegate(TMultiColComboBox *box) : QStyledItemDelegate(box), box_(box) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = box_->palette();
        const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
        const QColor highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);
        const QColor text = palette.color(QPalette::Active, QPalette::Text);

        // The row runs to the right edge of the list, whatever the item's own width.
        QRect row = option.rect;
        if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
            row.setRight(std::max(row.right(), view->viewport()->width() - 1));

        const QStringList parts = SplitCommaText(box_->Item(index.row()));
        const bool unavailable = box_->ItemUnavailable(index.row());
        // A row of no use keeps its cells' colours; only its text goes grey.
        const QColor cellText = unavailable ? TMultiColComboBox::UnavailableTextColor() : text;
        const QColor selectedText = unavailable ? Blend(highlightText, highlight) : highlightText;
        const TCBColumns &columns = box_->Columns();
        QColor background = selected ? highlight : box_->Color();
        int x = row.left();
        painter->save();
        for (int c = 0; c < columns.Count(); ++c) {
            const TCBColumn &column = columns[c];
            const QRect cell(x, row.top(), column.Width(), row.height());
            const QRect visible = cell.intersected(row);
            background = selected ? highlight : column.Color();
            if (!visible.isEmpty()) {
                painter->setClipRect(visible);
                painter->fillRect(visible, background);
                if (c < parts.size() && !parts.at(c).isEmpty()) {
                    QRect textArea = cell;
                    if (column.Alignment() == TAlignment::taRightJustify)
                        textArea.setRight(cell.right() - box_->Indent());
                    else
                        textArea.setLeft(cell.left() + box_->Indent());
                    painter->setFont(column.Font());
                    painter->setPen(selected ? selectedText : cellText);
                    painter->drawText(textArea,
                                      int(ToQtAlignment(column.Alignment()) | Qt::AlignVCenter) | Qt::TextSingleLine |
                                          Qt::TextShowMnemonic,
                                      parts.at(c));
                }
            }
            x += column.Width();
        }
        painter->setClipping(false);
        if (x <= row.right())
            painter->fillRect(QRect(QPoint(x, row.top()), row.bottomRight()), background);
        painter->restore();

        // The focused row gets a dotted frame on its edge, which leaves the
        // cells' colours alone (some styles tint the whole row instead).
        if (option.state & QStyle::State_HasFocus) {
            painter->save();
            painter->setPen(QPen(selected ? highlightText : text, 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(row.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return QSize(box_->Columns().TotalWidth(), box_->ItemHeight());
    }

private:
    TMultiColComboBox *box_;
};

} // namespace

// --- TCBColumn ---------------------------------------------------------------

TCBColumn::TCBColumn(TMultiColComboBox *owner) : owner_(owner), color_(owner->Color()), font_(owner->font()) {}

void TCBColumn::SetWidth(int width)
{
    width_ = std::max(0, width);
    owner_->ColumnsChanged();
}

void TCBColumn::SetColor(const QColor &color)
{
    if (color == color_)
        return;
    color_ = color;
    parentColor_ = false;
    owner_->ColumnsChanged();
}

void TCBColumn::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    owner_->ColumnsChanged();
}

void TCBColumn::SetFont(const QFont &font)
{
    font_ = font;
    parentFont_ = false;
    owner_->ColumnsChanged();
}

void TCBColumn::SetParentColor(bool parent)
{
    parentColor_ = parent;
    if (parent)
        color_ = owner_->Color();
    owner_->ColumnsChanged();
}

void TCBColumn::SetParentFont(bool parent)
{
    parentFont_ = parent;
    if (parent)
        font_ = owner_->font();
    owner_->ColumnsChanged();
}

void TCBColumn::OwnerColorChanged()
{
    if (parentColor_)
        color_ = owner_->Color();
}

void TCBColumn::OwnerFontChanged()
{
    if (parentFont_)
        font_ = owner_->font();
}

// --- TCBColumns --------------------------------------------------------------

TCBColumns::TCBColumns(TMultiColComboBox *owner) : owner_(owner) {}

int TCBColumns::Count() const
{
    return static_cast<int>(columns_.size());
}

TCBColumn &TCBColumns::Add()
{
    columns_.push_back(std::make_unique<TCBColumn>(owner_));
    owner_->update();
    if (owner_->view())
        owner_->view()->viewport()->update();
    return *columns_.back();
}

TCBColumn &TCBColumns::operator[](int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("column index out of range");
    return *columns_[static_cast<size_t>(index)];
}

const TCBColumn &TCBColumns::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("column index out of range");
    return *columns_[static_cast<size_t>(index)];
}

void TCBColumns::Clear()
{
    columns_.clear();
    owner_->update();
    if (owner_->view())
        owner_->view()->viewport()->update();
}

int TCBColumns::TotalWidth() const
{
    int total = 0;
    for (const auto &column : columns_)
        total += column->Width();
    return total;
}

// --- TMultiColComboBox -------------------------------------------------------

struct TMultiColComboBox::Private {
    explicit Private(TMultiColComboBox *box) : columns(box) {}

    TCBColumns columns;
    int targetColumn = 0;
    int indent = 2;
    int itemHeight = 15;
    bool canEdit = true;
    bool userEdited = false; // the user typed into the edit field since the last pick
    QColor color;
    // Without a sheet: the application's colours the box and its list last
    // took, so that they follow the application's as a sheet's box would.
    std::optional<QPalette> applicationColours;
};

TMultiColComboBox::TMultiColComboBox(QWidget *parent) : TMultiColComboBox(parent, true) {}

TMultiColComboBox::TMultiColComboBox(QWidget *parent, bool canEdit)
    : QComboBox(parent), d(std::make_unique<Private>(this))
{
    d->canEdit = canEdit;
    // The sheet must be in force before the list is made (view() makes it),
    // which sets up its scroll bar by the popup kind. A style that already
    // drops the list below this box needs none (the program's own does).
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (style()->styleHint(QStyle::SH_ComboBox_Popup, &option, this))
        setStyleSheet(QString::fromLatin1(kListPopupSheet));
    else {
        // The colours of the box and of its list start from the
        // application's either way, not from the window's or the box's: a
        // dark window would darken the frame, the box's text colour the
        // scroll bar's arrows.
        FollowApplicationColours();
    }
    ensurePolished();

    d->color = palette().color(QPalette::Active, QPalette::Base);
    d->columns.Add();
    setInsertPolicy(QComboBox::NoInsert);
    // A wheel turned over the window must not pick a row by itself: for the
    // preset box that would overwrite every option the user has set.
    setFocusPolicy(Qt::StrongFocus);
    setItemDelegate(new ColumnDelegate(this));
    if (auto *list = qobject_cast<QListView *>(view()))
        list->setUniformItemSizes(true);
    view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view()->setTextElideMode(Qt::ElideNone);

    setEditable(d->canEdit);
    ConnectEditor();

    connect(this, &QComboBox::activated, this, [this](int) {
        d->userEdited = false;
        if (OnChange)
            OnChange(*this);
    });
}

TMultiColComboBox::~TMultiColComboBox() = default;

TCBColumns &TMultiColComboBox::Columns()
{
    return d->columns;
}

const TCBColumns &TMultiColComboBox::Columns() const
{
    return d->columns;
}

void TMultiColComboBox::AddItem(const QString &text)
{
    InsertItem(count(), text);
}

void TMultiColComboBox::InsertItem(int index, const QString &text)
{
    index = std::clamp(index, 0, count());
    const QStringList parts = SplitCommaText(text);
    const QString key = d->targetColumn >= 0 && d->targetColumn < parts.size() ? parts.at(d->targetColumn) : QString();
    const int selected = currentIndex();
    const int before = count();
    if (auto *items = qobject_cast<QStandardItemModel *>(model())) {
        auto *item = new QStandardItem(key);
        item->setData(text, kWholeTextRole);
        items->insertRow(index, item);
    } else {
        insertItem(index, key);
        setItemData(index, text, kWholeTextRole);
    }
    if (count() != before + 1)
        throw Error(QStringLiteral("行を挿入できません"));
    // Adding rows selects nothing; only a pick or ItemIndex does.
    if (selected < 0 && currentIndex() >= 0)
        setCurrentIndex(-1);
}

void TMultiColComboBox::DeleteItem(int index)
{
    if (index >= 0 && index < count())
        removeItem(index);
}

void TMultiColComboBox::ClearItems()
{
    clear();
    d->userEdited = false;
}

QString TMultiColComboBox::Item(int index) const
{
    if (index < 0 || index >= count())
        return QString();
    const QVariant whole = itemData(index, kWholeTextRole);
    return whole.isValid() ? whole.toString() : itemText(index);
}

QStringList TMultiColComboBox::Items() const
{
    QStringList items;
    items.reserve(count());
    for (int i = 0; i < count(); ++i)
        items.append(Item(i));
    return items;
}

int TMultiColComboBox::ItemCount() const
{
    return count();
}

void TMultiColComboBox::SetItemUnavailable(int index, bool unavailable)
{
    if (index < 0 || index >= count())
        return;
    setItemData(index, unavailable ? QVariant(true) : QVariant(), kUnavailableRole);
    setItemData(index, unavailable ? QVariant(UnavailableHint()) : QVariant(), Qt::ToolTipRole);
    setItemData(index, unavailable ? QVariant(UnavailableTextColor()) : QVariant(), Qt::ForegroundRole);
    if (view())
        view()->viewport()->update();
}

bool TMultiColComboBox::ItemUnavailable(int index) const
{
    return index >= 0 && index < count() && itemData(index, kUnavailableRole).toBool();
}

QString TMultiColComboBox::UnavailableHint()
{
    return QStringLiteral(" この ffmpeg では使えません");
}

QColor TMultiColComboBox::UnavailableTextColor()
{
    return QColor(150, 150, 150);
}

int TMultiColComboBox::ItemIndex() const
{
    return currentIndex();
}

void TMultiColComboBox::SetItemIndex(int index)
{
    if (index < 0 || index >= count())
        index = -1;
    d->userEdited = false;
    setCurrentIndex(index);
    update();
}

int TMultiColComboBox::TargetColumn() const
{
    return d->targetColumn;
}

void TMultiColComboBox::SetTargetColumn(int column)
{
    d->targetColumn = column;
}

int TMultiColComboBox::Indent() const
{
    return d->indent;
}

void TMultiColComboBox::SetIndent(int indent)
{
    d->indent = indent;
    ColumnsChanged();
}

bool TMultiColComboBox::CanEdit() const
{
    return d->canEdit;
}

void TMultiColComboBox::SetCanEdit(bool canEdit)
{
    if (canEdit == d->canEdit)
        return;
    d->canEdit = canEdit;
    d->userEdited = false;
    const int selected = currentIndex();
    setEditable(canEdit);
    ConnectEditor();
    if (currentIndex() != selected)
        setCurrentIndex(selected);
    update();
}

int TMultiColComboBox::ItemHeight() const
{
    return d->itemHeight;
}

void TMultiColComboBox::SetItemHeight(int height)
{
    d->itemHeight = std::max(1, height);
    view()->doItemsLayout();
    ColumnsChanged();
}

void TMultiColComboBox::SetDropDownCount(int count)
{
    setMaxVisibleItems(std::max(1, count));
}

QColor TMultiColComboBox::Color() const
{
    return d->color;
}

void TMultiColComboBox::SetColor(const QColor &color)
{
    d->color = color;
    for (int c = 0; c < d->columns.Count(); ++c)
        d->columns[c].OwnerColorChanged();
    if (QLineEdit *editor = lineEdit()) {
        QPalette palette = editor->palette();
        palette.setColor(QPalette::Base, color);
        editor->setPalette(palette);
    }
    ColumnsChanged();
}

QString TMultiColComboBox::GetSelectedText() const
{
    if (d->canEdit && d->userEdited && lineEdit())
        return lineEdit()->text();
    const int index = currentIndex();
    if (index < 0 || index >= count())
        return QString();
    const QStringList parts = SplitCommaText(Item(index));
    if (d->targetColumn < 0 || d->targetColumn >= parts.size())
        return QString();
    return parts.at(d->targetColumn);
}

void TMultiColComboBox::showPopup()
{
    if (OnDropDown)
        OnDropDown(*this);
    QComboBox::showPopup();

    // The open list is as wide as the columns together, never narrower than the box.
    QWidget *popup = view()->window();
    if (!popup || popup == window())
        return;
    QRect geometry = popup->geometry();
    geometry.setWidth(std::max(d->columns.TotalWidth(), width()));
    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        if (geometry.right() > available.right())
            geometry.moveRight(available.right());
        if (geometry.left() < available.left())
            geometry.moveLeft(available.left());
    }
    popup->setGeometry(geometry);
}

void TMultiColComboBox::paintEvent(QPaintEvent *event)
{
    if (isEditable()) {
        QComboBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const bool selected = hasFocus();
    const QPalette &colours = palette();
    painter.fillRect(field, selected ? colours.color(QPalette::Active, QPalette::Highlight) : d->color);
    if (currentIndex() < 0)
        return;
    painter.setClipRect(field);
    painter.setFont(font());
    painter.setPen(colours.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(field.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, GetSelectedText());
}

void TMultiColComboBox::FollowApplicationColours()
{
    QPalette now = QApplication::palette(this);
    now.setResolveMask(~QPalette::ResolveMask(0));
    // The first time the application's colours are taken whole; after that
    // a colour someone gave the box (or its list) stays, and the rest are the
    // application's new ones.
    const std::optional<QPalette> &before = d->applicationColours;
    const auto follow = [&](QWidget *widget) {
        if (!before) {
            widget->setPalette(now);
            return;
        }
        QPalette colours = widget->palette();
        for (int g = 0; g < QPalette::NColorGroups; ++g)
            for (int r = 0; r < QPalette::NColorRoles; ++r) {
                const auto group = QPalette::ColorGroup(g);
                const auto role = QPalette::ColorRole(r);
                if (colours.brush(group, role) == before->brush(group, role))
                    colours.setBrush(group, role, now.brush(group, role));
            }
        widget->setPalette(colours);
    };
    follow(this);
    follow(view());
    d->applicationColours = now;
}

bool TMultiColComboBox::event(QEvent *event)
{
    const bool handled = QComboBox::event(event);
    if (event->type() == QEvent::ApplicationPaletteChange && d && d->applicationColours)
        FollowApplicationColours();
    return handled;
}

void TMultiColComboBox::changeEvent(QEvent *event)
{
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange && d) {
        for (int c = 0; c < d->columns.Count(); ++c)
            d->columns[c].OwnerFontChanged();
        ColumnsChanged();
    }
}

void TMultiColComboBox::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void TMultiColComboBox::ColumnsChanged()
{
    update();
    if (view())
        view()->viewport()->update();
}

void TMultiColComboBox::ConnectEditor()
{
    QLineEdit *editor = lineEdit();
    if (!editor)
        return;
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Base, d->color);
    editor->setPalette(palette);
    connect(editor, &QLineEdit::textEdited, this, [this](const QString &) {
        d->userEdited = true;
        if (OnChange)
            OnChange(*this);
    });
}

} // namespace zento
