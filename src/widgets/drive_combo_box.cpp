#include "widgets/drive_combo_box.h"

#include "platform/dialogs.h"
#include "platform/regular_file.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QIconEngine>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QWheelEvent>

namespace zento {

namespace {

constexpr int DriveIdRole = Qt::UserRole;
constexpr int DriveTypeRole = Qt::UserRole + 1;
constexpr int RowKindRole = Qt::UserRole + 2;

// What a row stands for.
enum class RowKind { Drive = 0, Folder = 1, FolderChooser = 2, Image = 3, ImageChooser = 4 };

// The chooser rows close the list: the folder chooser's, then the image chooser's.
constexpr int ChooserRowCount = 2;

// Space between the icon and the row text.
constexpr int TextGap = 6;

// A row's icon, looked up in the icon theme when it is first asked for: the
// closed list needs the current row's alone, and looking up every row's (the
// theme's index files, the image readers, a fallback made for each) would
// otherwise hold up the window's start.
class ThemeIconEngine final : public QIconEngine {
public:
    ThemeIconEngine(const char *themeName, QStyle::StandardPixmap fallback, const QStyle *style)
        : themeName_(QLatin1String(themeName)), fallback_(fallback), style_(style)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QIconEngine *clone() const override { return new ThemeIconEngine(*this); }
    QString iconName() override { return themeName_; }

private:
    const QIcon &Icon()
    {
        if (icon_.isNull())
            icon_ = QIcon::fromTheme(themeName_);
        if (icon_.isNull())
            icon_ = (style_ ? style_.data() : QApplication::style())->standardIcon(fallback_);
        return icon_;
    }

    QString themeName_;
    QStyle::StandardPixmap fallback_;
    QPointer<const QStyle> style_;
    QIcon icon_;
};

QIcon ThemeIcon(const char *themeName, QStyle::StandardPixmap fallback, const QStyle *style)
{
    return QIcon(new ThemeIconEngine(themeName, fallback, style));
}

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
    return ThemeIcon(themeName, fallback, style);
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
    // A long folder path keeps its both ends in view.
    const QRect textRect = rect.adjusted(size + TextGap, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      QFontMetrics(font).elidedText(text, Qt::ElideMiddle, textRect.width()));
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

// A folder as its row keeps it: absolute and cleaned, without a trailing "/"
// except "/" itself; empty for the empty text.
QString FolderId(const QString &folder)
{
    if (folder.isEmpty())
        return QString();
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// Whether a chosen source is read as a disc image: a file or a drive's
// device, or, with nothing there, a path named like an image.
bool IsImagePath(const QString &source)
{
    if (KindOfSource(source) == SourceKind::Missing)
        return source.endsWith(QLatin1String(".iso"), Qt::CaseInsensitive);
    return IsReadAsImage(source);
}

QIcon SourceIcon(bool image, const QStyle *style)
{
    return image ? ThemeIcon("media-optical", QStyle::SP_DriveDVDIcon, style)
                 : ThemeIcon("folder", QStyle::SP_DirIcon, style);
}

RowKind KindOf(const QComboBox &box, int index)
{
    return static_cast<RowKind>(box.itemData(index, RowKindRole).toInt());
}

bool IsChooser(RowKind kind)
{
    return kind == RowKind::FolderChooser || kind == RowKind::ImageChooser;
}

} // namespace

struct TDriveComboBox::Private {
    std::shared_ptr<DriveProvider> provider;
    QString drive;
    QStringList folders;             // the chosen sources, kept for the whole run
    QStringList images;              // those of them that are disc images
    QString lastFolder;              // the source chosen or added last
    KeyMove keyMove = KeyMove::None; // a key's move in the closed box under way
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
    // The closed list draws the current row's icon with the window's first
    // paint. Looked up now, the icon theme's index is read while little else
    // is held, and the memory it takes for that serves the rest of the window.
    if (currentIndex() >= 0)
        itemIcon(currentIndex()).actualSize(iconSize());
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
        setItemData(count() - 1, static_cast<int>(RowKind::Drive), RowKindRole);
    }
    for (const QString &folder : std::as_const(d->folders))
        AddSourceRow(count(), folder);
    AddChooserRows();
    SelectRowOf(d->drive);
}

QString TDriveComboBox::ChooseFolderRowText()
{
    return QStringLiteral("フォルダを選択…");
}

QString TDriveComboBox::ChooseImageRowText()
{
    return QStringLiteral("ISOイメージを選択…");
}

void TDriveComboBox::AddSourceRow(int row, const QString &source)
{
    const bool image = IsImage(source);
    insertItem(row, SourceIcon(image, style()), source, source);
    setItemData(row, static_cast<int>(image ? RowKind::Image : RowKind::Folder), RowKindRole);
}

void TDriveComboBox::AddChooserRows()
{
    addItem(ThemeIcon("folder-open", QStyle::SP_DirOpenIcon, style()), ChooseFolderRowText(), QString());
    setItemData(count() - 1, static_cast<int>(RowKind::FolderChooser), RowKindRole);
    addItem(ThemeIcon("document-open", QStyle::SP_DialogOpenButton, style()), ChooseImageRowText(), QString());
    setItemData(count() - 1, static_cast<int>(RowKind::ImageChooser), RowKindRole);
}

int TDriveComboBox::FirstChooserRow() const
{
    return count() - ChooserRowCount;
}

int TDriveComboBox::AddFolder(const QString &folder)
{
    const QString id = FolderId(folder);
    if (id.isEmpty())
        return -1;
    const int existing = findData(id, DriveIdRole, Qt::MatchExactly);
    if (existing >= 0) {
        if (IsFolder(id))
            d->lastFolder = id;
        return existing;
    }
    // The new row goes right above the chooser rows, which stay last; the
    // selection stays on the row it was on.
    const QSignalBlocker blocker(this);
    d->folders << id;
    if (IsImagePath(id))
        d->images << id;
    d->lastFolder = id;
    const int row = FirstChooserRow();
    AddSourceRow(row, id);
    return row;
}

QStringList TDriveComboBox::Folders() const
{
    return d->folders;
}

bool TDriveComboBox::IsFolder(const QString &drive) const
{
    return !drive.isEmpty() && d->folders.contains(drive);
}

bool TDriveComboBox::IsImage(const QString &drive) const
{
    return !drive.isEmpty() && d->images.contains(drive);
}

QString TDriveComboBox::KeptFolder() const
{
    if (IsFolder(d->drive))
        return d->drive;
    return IsFolder(d->lastFolder) ? d->lastFolder : QString();
}

void TDriveComboBox::PickFolder()
{
    ChooseSource(false);
}

void TDriveComboBox::PickImage()
{
    ChooseSource(true);
}

void TDriveComboBox::ChooseSource(bool image)
{
    // Either chooser starts at the source in use or chosen last; the folder
    // chooser at an image's folder.
    QString start = IsFolder(d->drive) ? d->drive : d->lastFolder;
    if (!image && IsImage(start))
        start = QFileInfo(start).absolutePath();
    if (start.isEmpty())
        start = QDir::homePath();
    const QString chosen = image ? ChooseImageFile(QStringLiteral("DVDのISOイメージを選択"), start)
                                 : ChooseFolder(QStringLiteral("入力元のフォルダを選択"), start);
    if (chosen.isEmpty()) {
        // Nothing changes: the previous drive's row comes back.
        SelectRowOf(d->drive);
        return;
    }
    if (!TakeSource(chosen))
        SelectRowOf(d->drive);
}

bool TDriveComboBox::TakeSource(const QString &source)
{
    const int row = AddFolder(source);
    if (row < 0)
        return false;
    TakeRow(row);
    return true;
}

TDriveComboBox::SourceState TDriveComboBox::Sources() const
{
    return {d->drive, d->folders, d->images, d->lastFolder};
}

void TDriveComboBox::PutBack(const SourceState &state)
{
    d->drive = state.drive;
    d->folders = state.folders;
    d->images = state.images;
    d->lastFolder = state.lastFolder;
    BuildList();
    if (OnChange)
        OnChange(*this);
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
    if (IsFolder(d->drive))
        return d->drive; // a chosen folder or image is its own root
    return d->provider->CurrentRoot(d->drive);
}

void TDriveComboBox::Picked(int index)
{
    if (index < 0 || index >= count())
        return;
    const RowKind kind = KindOf(*this, index);
    if (IsChooser(kind)) {
        // Keys never open a chooser from the closed box: a step stops on the
        // row above the chooser rows, a typed text that names one finds nothing.
        if (d->keyMove == KeyMove::None) {
            ChooseSource(kind == RowKind::ImageChooser);
            return;
        }
        const int above = FirstChooserRow() - 1;
        if (d->keyMove == KeyMove::Search || above < 0 || itemData(above, DriveIdRole).toString() == d->drive) {
            SelectRowOf(d->drive);
            return;
        }
        index = above;
    }
    TakeRow(index);
}

void TDriveComboBox::MoveByKey(KeyMove move, const std::function<void()> &handle)
{
    if (view()->isVisible()) { // the open list picks what the user means
        handle();
        return;
    }
    d->keyMove = move;
    struct Reset {
        KeyMove &move;
        ~Reset() { move = KeyMove::None; }
    } reset{d->keyMove};
    handle();
    // Whatever way the move went, the closed box never rests on a chooser row.
    if (!view()->isVisible() && currentIndex() >= 0 && IsChooser(KindOf(*this, currentIndex())))
        SelectRowOf(d->drive);
}

void TDriveComboBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: MoveByKey(KeyMove::Step, [&] { QComboBox::keyPressEvent(event); }); break;
    default: MoveByKey(KeyMove::Search, [&] { QComboBox::keyPressEvent(event); });
    }
}

void TDriveComboBox::inputMethodEvent(QInputMethodEvent *event)
{
    MoveByKey(KeyMove::Search, [&] { QComboBox::inputMethodEvent(event); });
}

void TDriveComboBox::TakeRow(int index)
{
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

void TDriveComboBox::wheelEvent(QWheelEvent *event)
{
    // A wheel turned over the window must not list another drive by itself,
    // and with it drop the rows the user ticked: only a box with the focus
    // turns, as the option boxes do.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    // Scrolling through the rows stops before the chooser rows: a chooser
    // opens only when the user picks its row.
    if (event->angleDelta().y() < 0 && currentIndex() + 1 >= FirstChooserRow()) {
        event->accept();
        return;
    }
    QComboBox::wheelEvent(event);
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
