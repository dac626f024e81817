#include "widgets/drive_combo_box.h"

#include <QAbstractItemView>
#include <QDir>
#include <QEvent>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace zento {

namespace {

constexpr int DriveIdRole = Qt::UserRole;
constexpr int DriveTypeRole = Qt::UserRole + 1;

// Space between the icon and the row text.
constexpr int TextGap = 6;

QIcon DriveIcon(TDriveType type, const QStyle *style)
{
    const char *themeName = "drive-harddisk";
    QStyle::StandardPixmap fallback = QStyle::SP_DriveHDIcon;
    switch (type) {
    case TDriveType::dtCDROM:
        themeName = "drive-optical";
        fallback = QStyle::SP_DriveCDIcon;
        break;
    case TDriveType::dtRemovable:
        themeName = "drive-removable-media";
        fallback = QStyle::SP_DriveFDIcon;
        break;
    case TDriveType::dtNetwork:
        themeName = "folder-remote";
        fallback = QStyle::SP_DriveNetIcon;
        break;
    case TDriveType::dtFixed:
    case TDriveType::dtRAM:
    case TDriveType::dtUnknown:
    case TDriveType::dtNoRoot: break;
    }
    return QIcon::fromTheme(QLatin1String(themeName), style->standardIcon(fallback));
}

// One drive row: the icon square at the left, as high as the row, and the
// text after it on one line, ampersands shown as they are.
void PaintDriveRow(QPainter *painter, const QRect &rect, const QIcon &icon, const QString &text, const QFont &font,
                   const QColor &textColor)
{
    const int size = rect.height();
    if (!icon.isNull())
        icon.paint(painter, QRect(rect.left(), rect.top(), size, size));
    painter->setFont(font);
    painter->setPen(textColor);
    painter->drawText(rect.adjusted(size + TextGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      text);
}

class DriveRowDelegate final : public QStyledItemDelegate {
public:
    explicit DriveRowDelegate(TDriveComboBox *owner) : QStyledItemDelegate(owner), owner_(owner) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int height = owner_->RowHeight();
        const QString text = index.data(Qt::DisplayRole).toString();
        return QSize(height + TextGap + option.fontMetrics.horizontalAdvance(text) + TextGap, height);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setClipRect(option.rect);
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = option.palette;
        painter->fillRect(option.rect, selected ? palette.brush(QPalette::Highlight) : palette.brush(QPalette::Base));
        PaintDriveRow(painter, option.rect, index.data(Qt::DecorationRole).value<QIcon>(),
                      index.data(Qt::DisplayRole).toString(), owner_->font(),
                      palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->restore();
    }

private:
    TDriveComboBox *owner_;
};

} // namespace

struct TDriveComboBox::Private {
    std::shared_ptr<DriveProvider> provider;
    QString drive;
};

TDriveComboBox::TDriveComboBox(QWidget *parent, std::shared_ptr<DriveProvider> provider)
    : QComboBox(parent), d(std::make_unique<Private>())
{
    d->provider = provider ? std::move(provider) : SystemDriveProvider();
    setEditable(false);
    setItemDelegate(new DriveRowDelegate(this));
    // Only a user's pick is a selection; changes by code raise nothing here.
    connect(this, &QComboBox::activated, this, [this](int index) { Picked(index); });

    d->drive = d->provider->DriveOf(QDir::currentPath());
    BuildList();
}

TDriveComboBox::~TDriveComboBox() = default;

void TDriveComboBox::SetProvider(std::shared_ptr<DriveProvider> provider)
{
    d->provider = provider ? std::move(provider) : SystemDriveProvider();
    BuildList();
}

const DriveProvider &TDriveComboBox::Provider() const
{
    return *d->provider;
}

int TDriveComboBox::RowHeight() const
{
    return QFontMetrics(font()).height();
}

void TDriveComboBox::BuildList()
{
    const QSignalBlocker blocker(this);
    clear();
    const QList<DriveInfo> drives = d->provider->Drives();
    for (const DriveInfo &drive : drives) {
        if (drive.type == TDriveType::dtUnknown || drive.type == TDriveType::dtNoRoot)
            continue;
        addItem(DriveIcon(drive.type, style()), DriveRowText(drive), drive.id);
        setItemData(count() - 1, static_cast<int>(drive.type), DriveTypeRole);
    }
    SelectRowOf(d->drive);
}

void TDriveComboBox::SelectRowOf(const QString &drive)
{
    const QSignalBlocker blocker(this);
    setCurrentIndex(drive.isEmpty() ? -1 : findData(drive, DriveIdRole, Qt::MatchExactly));
}

bool TDriveComboBox::ApplyDrive(const QString &drive)
{
    if (currentIndex() >= 0 && drive == d->drive)
        return false;
    d->drive = drive;
    SelectRowOf(drive);
    return true;
}

void TDriveComboBox::SetDrive(const QString &drive)
{
    if (ApplyDrive(drive) && OnChange)
        OnChange(*this);
}

QString TDriveComboBox::Drive() const
{
    return d->drive;
}

QString TDriveComboBox::DriveRoot() const
{
    if (d->drive.isEmpty())
        return QString();
    return d->provider->CurrentRoot(d->drive);
}

void TDriveComboBox::Picked(int index)
{
    if (index < 0 || index >= count())
        return;
    if (OnClick)
        OnClick(*this);
    ApplyDrive(itemData(index, DriveIdRole).toString());
    // One change per pick, also when the same drive is picked again.
    if (OnChange)
        OnChange(*this);
    if (OnSelect)
        OnSelect(*this);
}

void TDriveComboBox::changeEvent(QEvent *event)
{
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // Rows follow the new font's height; labels are read again, as when
        // the list is built for the first time.
        BuildList();
        view()->reset();
    }
}

void TDriveComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    const int index = currentIndex();
    if (index < 0)
        return;
    QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int height = std::min(RowHeight(), field.height());
    field = QRect(field.left(), field.top() + (field.height() - height) / 2, field.width(), height);
    painter.setClipRect(field);
    PaintDriveRow(&painter, field, itemIcon(index), itemText(index), font(),
                  palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
}

} // namespace zento
