#include "widgets/check_list_box.h"

#include "platform/error.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>

namespace zento {

namespace {

// Per-row values kept on the row itself, so they move and go with it. A row
// that never had a state written reads as unchecked and enabled.
constexpr int CheckStateRole = Qt::UserRole + 0x5A01;
constexpr int DisabledRole = Qt::UserRole + 0x5A02;

// Space between the left edge of the text part and the text.
constexpr int TextIndent = 2;

} // namespace

// Draws a row: the check area with the box, then the text part as an
// ordinary list row. It never toggles anything itself.
class CheckListBoxDelegate final : public QStyledItemDelegate {
public:
    explicit CheckListBoxDelegate(TCheckListBox *owner) : QStyledItemDelegate(owner), owner_(owner) {}

    // Every row is as wide as the widest: the list takes one row's size for
    // all of them (laying out thousands of rows one by one would take
    // seconds), and a longer row elsewhere (a title marked for film, its
    // subtitles, a repeat) must still be scrolled to.
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        if (widestText_ < 0)
            Measure(0, owner_->count() - 1, true);
        return QSize(owner_->CheckAreaWidth() + TextIndent + widestText_ + TextIndent, owner_->RowHeight());
    }

    // Rows came or their texts changed: the widest may now be one of them.
    void Measure(int first, int last, bool anew = false) const
    {
        if (anew)
            widestText_ = 0;
        else if (widestText_ < 0)
            return; // measured whole when next asked
        const QFontMetrics metrics = owner_->fontMetrics();
        for (int row = std::max(first, 0); row <= last && row < owner_->count(); ++row)
            widestText_ = std::max(widestText_, metrics.horizontalAdvance(owner_->item(row)->text()));
    }
    // Rows went, or the font changed: measured whole when next asked.
    void Remeasure() { widestText_ = -1; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setClipRect(option.rect);
        const int checkWidth = owner_->CheckAreaWidth();
        const bool enabled = owner_->isEnabled() && owner_->ItemEnabled(index.row());
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = owner_->palette();
        const QPalette::ColorGroup group = !enabled             ? QPalette::Disabled
                                           : owner_->hasFocus() ? QPalette::Active
                                                                : QPalette::Inactive;

        // The text part; the check area keeps the control's background.
        QRect textPart = option.rect;
        textPart.setLeft(option.rect.left() + checkWidth);
        painter->fillRect(textPart,
                          selected ? palette.brush(group, QPalette::Highlight) : palette.brush(group, QPalette::Base));
        QColor textColor =
            selected ? palette.color(group, QPalette::HighlightedText) : palette.color(group, QPalette::Text);
        if (!enabled)
            textColor = palette.color(QPalette::Disabled, QPalette::Text);
        painter->setPen(textColor);
        painter->setFont(option.font);
        painter->drawText(textPart.adjusted(TextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());

        if (option.state & QStyle::State_HasFocus) {
            // The focused row gets a dotted outline around its text part.
            painter->setBrush(Qt::NoBrush);
            painter->setPen(QPen(textColor, 1, Qt::DotLine));
            painter->drawRect(textPart.adjusted(0, 0, -1, -1));
        }
        painter->restore();

        DrawCheckBox(painter, option.rect, owner_->ItemCheckState(index.row()), enabled);
    }

    bool editorEvent(QEvent *, QAbstractItemModel *, const QStyleOptionViewItem &, const QModelIndex &) override
    {
        return false; // toggling is the control's own business
    }

private:
    mutable int widestText_ = -1;

    void DrawCheckBox(QPainter *painter, const QRect &row, TCheckBoxState state, bool enabled) const
    {
        QStyle *style = owner_->style();
        const int boxWidth = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, owner_);
        const int boxHeight = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, owner_);
        const int areaWidth = owner_->CheckAreaWidth();
        const QRect box(row.left() + (areaWidth - boxWidth) / 2, row.top() + (row.height() - boxHeight) / 2, boxWidth,
                        boxHeight);

        QStyleOptionButton option;
        option.initFrom(owner_);
        option.rect = box;
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver | QStyle::State_Enabled);
        if (enabled)
            option.state |= QStyle::State_Enabled;
        switch (state) {
        case TCheckBoxState::cbUnchecked: option.state |= QStyle::State_Off; break;
        case TCheckBoxState::cbChecked: option.state |= QStyle::State_On; break;
        case TCheckBoxState::cbGrayed: option.state |= QStyle::State_NoChange; break;
        }

        painter->save();
        QRect clip = QRect(row.left(), row.top(), areaWidth, row.height());
        if (owner_->Flat())
            clip &= box.adjusted(2, 2, -2, -2); // the box's own raised border stays out
        painter->setClipRect(clip);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, owner_);
        if (owner_->Flat()) {
            // A thin outline instead, one pixel inside the box's edges.
            painter->setClipRect(QRect(row.left(), row.top(), areaWidth, row.height()));
            painter->setBrush(Qt::NoBrush);
            painter->setPen(QPen(owner_->palette().color(QPalette::Dark), 1));
            painter->drawRect(QRect(box.left() + 1, box.top() + 1, box.width() - 3, box.height() - 3));
        }
        painter->restore();
    }

    TCheckListBox *owner_;
};

struct TCheckListBox::Private {
    CheckListBoxDelegate *delegate = nullptr;
    bool flat = true;
    bool allowGrayed = false;
};

TCheckListBox::TCheckListBox(QWidget *parent) : QListWidget(parent), d(std::make_unique<Private>())
{
    d->delegate = new CheckListBoxDelegate(this);
    setItemDelegate(d->delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    const auto remeasure = [this] { d->delegate->Remeasure(); };
    connect(model(), &QAbstractItemModel::rowsRemoved, this, remeasure);
    connect(model(), &QAbstractItemModel::modelReset, this, remeasure);
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { d->delegate->Measure(first, last); });
    connect(model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &top, const QModelIndex &bottom, const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    d->delegate->Measure(top.row(), bottom.row());
            });
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

TCheckListBox::~TCheckListBox()
{
    // The rows go after the delegate: nothing is measured then.
    disconnect(model(), nullptr, this, nullptr);
}

namespace {

[[noreturn]] void ThrowIndexError(int index)
{
    throw Error(FormatMessage(QStringLiteral("リストのインデックスが範囲を超えています (%d)"), QString::number(index)));
}

} // namespace

int TCheckListBox::Count() const
{
    return count();
}

int TCheckListBox::AddItem(const QString &text)
{
    auto *row = new QListWidgetItem(text);
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    addItem(row);
    return count() - 1;
}

QString TCheckListBox::ItemText(int index) const
{
    if (index < 0 || index >= count())
        ThrowIndexError(index);
    return item(index)->text();
}

QStringList TCheckListBox::Items() const
{
    QStringList texts;
    texts.reserve(count());
    for (int i = 0; i < count(); ++i)
        texts << item(i)->text();
    return texts;
}

void TCheckListBox::Clear()
{
    clear();
}

void TCheckListBox::SetItemChecked(int index, bool checked)
{
    if (checked != IsItemChecked(index))
        SetItemCheckState(index, checked ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
}

bool TCheckListBox::IsItemChecked(int index) const
{
    return ItemCheckState(index) == TCheckBoxState::cbChecked;
}

TCheckBoxState TCheckListBox::ItemCheckState(int index) const
{
    if (index < 0 || index >= count())
        ThrowIndexError(index);
    const QVariant value = item(index)->data(CheckStateRole);
    if (!value.isValid())
        return TCheckBoxState::cbUnchecked;
    return static_cast<TCheckBoxState>(value.toInt());
}

void TCheckListBox::SetItemCheckState(int index, TCheckBoxState state)
{
    if (ItemCheckState(index) == state)
        return;
    item(index)->setData(CheckStateRole, static_cast<int>(state));
    // The check area of that row is painted again at once.
    QRect area = visualItemRect(item(index));
    area.setWidth(CheckAreaWidth());
    if (!area.isEmpty() && isVisible())
        viewport()->repaint(area);
}

bool TCheckListBox::ItemEnabled(int index) const
{
    if (index < 0 || index >= count())
        ThrowIndexError(index);
    return !item(index)->data(DisabledRole).toBool();
}

void TCheckListBox::SetItemEnabled(int index, bool enabled)
{
    if (ItemEnabled(index) == enabled)
        return;
    item(index)->setData(DisabledRole, enabled ? QVariant() : QVariant(true));
    viewport()->update(visualItemRect(item(index)));
}

bool TCheckListBox::Flat() const
{
    return d->flat;
}

void TCheckListBox::SetFlat(bool flat)
{
    if (d->flat == flat)
        return;
    d->flat = flat;
    viewport()->update();
}

bool TCheckListBox::AllowGrayed() const
{
    return d->allowGrayed;
}

void TCheckListBox::SetAllowGrayed(bool allow)
{
    d->allowGrayed = allow;
}

int TCheckListBox::CheckAreaWidth() const
{
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 2;
}

int TCheckListBox::RowHeight() const
{
    // The line height of the font (ascent plus descent), the same for "Wg" as
    // for any text.
    return QFontMetrics(font()).height();
}

void TCheckListBox::ToggleItem(int index)
{
    if (index < 0 || index >= count() || !ItemEnabled(index))
        return;
    TCheckBoxState next = TCheckBoxState::cbUnchecked;
    switch (ItemCheckState(index)) {
    case TCheckBoxState::cbUnchecked:
        next = d->allowGrayed ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked;
        break;
    case TCheckBoxState::cbChecked: next = TCheckBoxState::cbUnchecked; break;
    case TCheckBoxState::cbGrayed: next = TCheckBoxState::cbChecked; break;
    }
    SetItemCheckState(index, next);
    if (OnClickCheck)
        OnClickCheck(*this);
}

void TCheckListBox::mousePressEvent(QMouseEvent *event)
{
    QListWidget::mousePressEvent(event);
    HandlePress(event);
}

void TCheckListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is a press like any other.
    QListWidget::mouseDoubleClickEvent(event);
    HandlePress(event);
}

void TCheckListBox::HandlePress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return;
    const int row = index.row();
    if (!ItemEnabled(row))
        return;
    if (position.x() - visualRect(index).left() < CheckAreaWidth())
        ToggleItem(row);
}

void TCheckListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->text() == QLatin1String(" ")) {
        const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
        if (!selected.isEmpty())
            ToggleItem(selected.first().row());
    }
    QListWidget::keyPressEvent(event);
}

void TCheckListBox::changeEvent(QEvent *event)
{
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        d->delegate->Remeasure();
        scheduleDelayedItemsLayout(); // rows take the new font's height and width
    }
}

} // namespace zento
