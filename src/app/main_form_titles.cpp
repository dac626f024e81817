// Title mode: the list shows the disc's own titles, read from its structure,
// each with the audio track a player would play; a row's menu picks another.
#include "app/main_form.h"
#include "disc/chapter_times.h"

#include "convert/title_jobs.h"
#include "convert/title_streams.h"
#include "disc/picture_flags.h"
#include "platform/dialogs.h"
#include "platform/regular_file.h"
#include "widgets/check_list_box.h"
#include "widgets/drive_combo_box.h"
#include "widgets/handler_guard.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>

#include <chrono>
#include <future>

namespace zento {

namespace {

constexpr int kListingSliceMs = 20; // the window is repainted between slices of waiting

// What reading a source's structure found.
struct TitleScan {
    bool opened = false; // the structure could be read
    QString error;
    DiscInfo info;
};

// The source's tables alone: its titles, their pictures not looked at.
TitleScan ReadTables(const QString &source, std::unique_ptr<DvdDisc> &disc)
{
    TitleScan scan;
    disc = DvdDisc::Open(source, &scan.error);
    scan.opened = disc && disc->ReadInfo(scan.info, &scan.error);
    return scan;
}

// What a few pictures of a title's angle say of themselves.
PictureFlags LookAtPictures(DvdDisc &disc, const DiscTitle &title, int angle)
{
    std::unique_ptr<DiscTitleReader> reader = disc.OpenTitle(title, angle);
    return reader ? SampleTitlePictures(*reader) : PictureFlags{};
}

// A title as its pictures show it: film by pulldown flags, and their size.
void TakeLook(DiscTitle &title, const PictureFlags &flags)
{
    title.film = IsSoftTelecine(flags);
    if (flags.width > 0 && flags.height > 0)
        title.picture = QSize(flags.width, flags.height);
    title.soundStreams = flags.audioStreams;
}

TitleScan ScanTitles(const QString &source)
{
    std::unique_ptr<DvdDisc> disc;
    TitleScan scan = ReadTables(source, disc);
    // A look at a few pictures of each title worth converting: film? A
    // play-all title gets its own (it may be ticked for the whole series in
    // one file); one that plays an earlier title's very cells is as that is,
    // looked at before it.
    for (DiscTitle &title : scan.info.titles) {
        if (title.repeat == TitleRepeat::SameAs) {
            for (const DiscTitle &earlier : std::as_const(scan.info.titles))
                if (earlier.number == title.sameAsTitle) {
                    title.film = earlier.film;
                    title.picture = earlier.picture;
                    title.soundStreams = earlier.soundStreams;
                }
            continue;
        }
        // A disc may hold dozens of short ones (logos, menu loops): they are
        // looked at once ticked, when the run starts.
        if (title.durationMs < kShortTitleMs)
            continue;
        const std::unique_ptr<DiscTitleReader> reader = disc->OpenTitle(title);
        if (!reader)
            continue;
        TakeLook(title, SampleTitlePictures(*reader));
        // Film's cells last half frames the tables round away: its chapters
        // go by its units' own times.
        if (const QList<qint64> starts = title.film ? ChapterStartsFromUnits(*reader, title) : QList<qint64>();
            !starts.isEmpty())
            title.chapterStartsMs = starts;
    }
    return scan;
}

// Runs work on a thread of its own while the window keeps being drawn: a slow
// drive spinning up never freezes it. The user's input waits meanwhile, so
// nothing can start a second listing inside this one.
template <typename Work> auto WithWindowAlive(Work work)
{
    auto result = std::async(std::launch::async, std::move(work));
    while (result.wait_for(std::chrono::milliseconds(kListingSliceMs)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return result.get();
}

} // namespace

bool TMainForm1::ListTitles(const QString &source)
{
    // Anything there but a folder is read as an image only: a named pipe or
    // a device is refused with the reason, never listed by its files.
    const QFileInfo kind(source);
    const bool image = kind.exists() && !kind.isDir();
    if (source.isEmpty())
        return false;
    const TitleScan scan = WithWindowAlive([source] { return ScanTitles(source); });
    if (!scan.opened) {
        // A folder without a readable structure is listed by its files; an
        // image has no files to list.
        if (image)
            ShowFailure(QStringLiteral("%1 は DVD-Video のイメージとして読めません。\n%2").arg(source, scan.error));
        return image;
    }
    // Titles whose tables could not be read are named; a folder that gives
    // no title is listed by its files.
    QStringList unread;
    for (int number : scan.info.unreadTitles)
        unread << QStringLiteral("T%1").arg(number, 2, 10, QLatin1Char('0'));
    if (!unread.isEmpty() && (image || !scan.info.titles.isEmpty()))
        ShowFailure(QStringLiteral("%1 の次のタイトルは、ディスクの情報 (IFO) を読めないため一覧にありません: %2")
                        .arg(source, unread.join(QStringLiteral(", "))));
    if (scan.info.titles.isEmpty()) {
        if (image && unread.isEmpty())
            ShowFailure(QStringLiteral("%1 には変換できるタイトルがありません。").arg(source));
        return image;
    }
    titles_.active = true;
    titles_.source = source;
    titles_.discName = DiscName(source, scan.info.volumeLabel);
    for (const DiscTitle &title : scan.info.titles) {
        TitleRow row;
        row.title = title;
        row.audioTrack = DefaultAudioTrack(title);
        row.subtitleTrack = DefaultSubtitleTrack(title, row.audioTrack);
        titles_.rows.append(row);
        const bool tick = TitleTickedWhenListed(title);
        CheckListBox1->SetItemChecked(CheckListBox1->AddItem(QStringLiteral("%1#%2").arg(source).arg(title.number)),
                                      tick);
        CheckListBox2->SetItemChecked(CheckListBox2->AddItem(TitleRowText(title, row.audioTrack)), tick);
    }
    RefreshTitleRows();
    return true;
}

void TMainForm1::RefreshTitleRows()
{
    if (!titles_.active)
        return;
    const ConversionSettings settings = CurrentSettings();
    const bool burn = VideoIsEncoded(settings);
    for (int i = 0; i < titles_.rows.size() && i < CheckListBox2->count(); ++i) {
        const TitleRow &entry = titles_.rows.at(i);
        QString text = TitleRowText(entry.title, entry.audioTrack);
        if (ConvertAsFilm(entry.title, settings))
            text += QStringLiteral(" フィルム");
        if (burn && entry.subtitleTrack >= 0 && entry.subtitleTrack < entry.title.subtitles.size())
            text += QLatin1Char(' ') + SubtitleTrackText(entry.title.subtitles.at(entry.subtitleTrack));
        // The row's text changes, its tick stays.
        if (CheckListBox2->item(i)->text() != text)
            CheckListBox2->item(i)->setText(text);
    }
}

void TMainForm1::SetTitleAudio(int row, int track)
{
    if (!titles_.active || row < 0 || row >= titles_.rows.size())
        return;
    TitleRow &entry = titles_.rows[row];
    if (track < -1 || track >= entry.title.audio.size())
        return;
    entry.audioTrack = track;
    if (!entry.subtitleChosen)
        entry.subtitleTrack = DefaultSubtitleTrack(entry.title, track);
    RefreshTitleRows();
}

void TMainForm1::SetTitleAngle(int row, int angle)
{
    if (!titles_.active || row < 0 || row >= titles_.rows.size())
        return;
    TitleRow &entry = titles_.rows[row];
    if (angle >= 1 && angle <= entry.title.angles)
        entry.angle = angle;
}

void TMainForm1::SetTitleHardTelecine(int row)
{
    if (!titles_.active || row < 0 || row >= titles_.rows.size())
        return;
    titles_.rows[row].title.hardTelecine = true;
    RefreshTitleRows();
}

void TMainForm1::SetTitleSubtitles(int row, int track)
{
    if (!titles_.active || row < 0 || row >= titles_.rows.size())
        return;
    TitleRow &entry = titles_.rows[row];
    if (track < -1 || track >= entry.title.subtitles.size())
        return;
    entry.subtitleTrack = track;
    entry.subtitleChosen = true;
    RefreshTitleRows();
}

void TMainForm1::ShowTitleMenu(int row, const QPoint &globalPos)
{
    if (!titles_.active || row < 0 || row >= titles_.rows.size())
        return;
    const TitleRow entry = titles_.rows.at(row);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("TitleMenu"));
    menu.setFont(CheckListBox2->font());
    menu.addSection(QStringLiteral("音声"));
    auto *group = new QActionGroup(&menu);
    // A title converted without its sound is a choice too.
    for (int i = 0; i <= entry.title.audio.size(); ++i) {
        const int track = i < entry.title.audio.size() ? i : -1;
        QAction *action =
            menu.addAction(track < 0 ? QStringLiteral("音声なし") : AudioTrackText(entry.title.audio.at(track)));
        action->setCheckable(true);
        action->setChecked(track == entry.audioTrack);
        action->setData(track);
        group->addAction(action);
    }
    // The subtitles: burned into the picture, so not while the video is copied.
    const bool burn = VideoIsEncoded(CurrentSettings());
    menu.addSection(QStringLiteral("字幕"));
    menu.setToolTipsVisible(true);
    const QString why = QStringLiteral(" 映像の圧縮形式が「自動」(そのままコピー) のときは字幕を焼き込めません");
    auto *subtitles = new QActionGroup(&menu);
    for (int i = -1; i < entry.title.subtitles.size(); ++i) {
        QAction *action =
            menu.addAction(i < 0 ? QStringLiteral("字幕なし") : SubtitleTrackText(entry.title.subtitles.at(i)));
        action->setCheckable(true);
        action->setChecked(burn && i == entry.subtitleTrack);
        action->setEnabled(burn);
        action->setToolTip(burn ? QString() : why);
        action->setData(QStringLiteral("s%1").arg(i));
        subtitles->addAction(action);
    }
    // The angle a player starts on is the first.
    if (entry.title.angles > 1) {
        menu.addSection(QStringLiteral("アングル"));
        auto *angles = new QActionGroup(&menu);
        for (int a = 1; a <= entry.title.angles; ++a) {
            QAction *action = menu.addAction(QStringLiteral("アングル %1").arg(a));
            action->setCheckable(true);
            action->setChecked(a == entry.angle);
            action->setData(QStringLiteral("a%1").arg(a));
            angles->addAction(action);
        }
    }
    QAction *chosen = menu.exec(globalPos);
    if (!chosen || !chosen->data().isValid())
        return;
    const QString data = chosen->data().toString();
    if (data.startsWith(QLatin1Char('a')))
        SetTitleAngle(row, data.mid(1).toInt());
    else if (data.startsWith(QLatin1Char('s')))
        SetTitleSubtitles(row, data.mid(1).toInt());
    else
        SetTitleAudio(row, chosen->data().toInt());
}

void TMainForm1::UpdateTitleModeBox()
{
    if (!CheckBox2 || !DriveComboBox1)
        return; // the window is still being built
    const QString source = DriveComboBox1->DriveRoot();
    const bool image = DriveComboBox1->IsFolder(DriveComboBox1->Drive()) && IsReadAsImage(source);
    const QSignalBlocker quiet(CheckBox2);
    if (image && !titleModeForced_) {
        titleModeChoice_ = CheckBox2->isChecked();
        titleModeForced_ = true;
        CheckBox2->setChecked(true);
    } else if (!image && titleModeForced_) {
        titleModeForced_ = false;
        CheckBox2->setChecked(titleModeChoice_);
    }
    CheckBox2->setEnabled(!image);
    CheckBox2->setToolTip(
        image ? QStringLiteral(" ISOイメージはタイトル単位で変換します (ファイルとしては読めないため)")
              : QStringLiteral(" ディスクのタイトル単位で変換 (読めないときは分割されたファイルを結合)"));
}

bool TMainForm1::TitleModeChoice() const
{
    return titleModeForced_ ? titleModeChoice_ : CheckBox2->isChecked();
}

void TMainForm1::SetTitleModeChoice(bool on)
{
    if (titleModeForced_)
        titleModeChoice_ = on;
    else
        CheckBox2->setChecked(on);
}

namespace {

// Whether two listings show the same disc: the same source and name, and
// the same titles of the same cells.
bool SameDisc(const TMainForm1::TitleListing &a, const TMainForm1::TitleListing &b)
{
    if (!a.active || !b.active || a.source != b.source || a.discName != b.discName || a.rows.size() != b.rows.size())
        return false;
    for (qsizetype i = 0; i < a.rows.size(); ++i) {
        const DiscTitle &x = a.rows.at(i).title, &y = b.rows.at(i).title;
        if (x.number != y.number || x.titleSet != y.titleSet || x.durationMs != y.durationMs ||
            x.angles != y.angles || x.cells != y.cells || x.audio.size() != y.audio.size() ||
            x.subtitles.size() != y.subtitles.size())
            return false;
    }
    return true;
}

} // namespace

bool TMainForm1::ListedDiscStillThere()
{
    if (!titles_.active)
        return true;
    const QString source = titles_.source;
    const TitleScan scan = WithWindowAlive([source] {
        std::unique_ptr<DvdDisc> disc;
        return ReadTables(source, disc);
    });
    // A source gone or unreadable fails its titles in the run, which says so.
    if (!scan.opened)
        return true;
    TitleListing now{true, source, DiscName(source, scan.info.volumeLabel), {}};
    for (const DiscTitle &title : scan.info.titles)
        now.rows.append(TitleRow{title});
    return SameDisc(now, titles_);
}

void TMainForm1::LookAtTickedShortTitles()
{
    if (!titles_.active)
        return;
    QList<int> rows;
    QList<DiscTitle> titles;
    QList<int> angles;
    for (qsizetype i = 0; i < titles_.rows.size() && i < CheckListBox2->count(); ++i) {
        const TitleRow &row = titles_.rows.at(i);
        if (CheckListBox2->IsItemChecked(int(i)) && !row.title.film && row.title.durationMs < kShortTitleMs) {
            rows.append(int(i));
            titles.append(row.title);
            angles.append(row.angle);
        }
    }
    if (rows.isEmpty())
        return;
    const QString source = titles_.source;
    const QList<PictureFlags> looks = WithWindowAlive([source, titles, angles] {
        QList<PictureFlags> found(titles.size());
        // A source that cannot be read fails its titles in the run, which
        // says so.
        if (std::unique_ptr<DvdDisc> disc = DvdDisc::Open(source))
            for (qsizetype i = 0; i < titles.size(); ++i)
                found[i] = LookAtPictures(*disc, titles.at(i), angles.at(i));
        return found;
    });
    bool film = false;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        TakeLook(titles_.rows[rows.at(i)].title, looks.at(i));
        film = film || titles_.rows[rows.at(i)].title.film;
    }
    if (film)
        RefreshTitleRows();
}

void TMainForm1::KeepTitleChoices(const TitleListing &before, const QList<bool> &ticks)
{
    if (!SameDisc(before, titles_))
        return;
    for (qsizetype i = 0; i < titles_.rows.size(); ++i) {
        TitleRow &row = titles_.rows[i];
        const TitleRow &was = before.rows.at(i);
        row.audioTrack = was.audioTrack;
        row.subtitleTrack = was.subtitleTrack;
        row.subtitleChosen = was.subtitleChosen;
        row.angle = was.angle;
        if (i < ticks.size() && i < CheckListBox2->count())
            CheckListBox2->SetItemChecked(int(i), ticks.at(i));
    }
    RefreshTitleRows();
}

void TMainForm1::CheckBox2Click(QObject *)
{
    // The list shows titles or files: it is made again the other way.
    if (listed_)
        DriveComboBox1Select(CheckBox2);
}

bool TMainForm1::eventFilter(QObject *watched, QEvent *event)
{
    // The menu key and Shift+F10 ask for the current row's menu.
    if (event->type() == QEvent::KeyPress && watched == CheckListBox2 && titles_.active) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) || key->key() == Qt::Key_Menu) {
            QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            return eventFilter(CheckListBox2, &menuEvent);
        }
    }
    // The menu of a title row: a right click on it, or the menu key (and
    // Shift+F10) on the current row.
    if (event->type() == QEvent::ContextMenu && CheckListBox2 &&
        (watched == CheckListBox2 || watched == CheckListBox2->viewport())) {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        if (!titles_.active)
            return false;
        int row = CheckListBox2->currentRow();
        QPoint at = CheckListBox2->viewport()->mapToGlobal(
            CheckListBox2->visualItemRect(CheckListBox2->currentItem()).center());
        if (menuEvent->reason() != QContextMenuEvent::Keyboard) {
            const QPoint local = CheckListBox2->viewport()->mapFromGlobal(menuEvent->globalPos());
            row = CheckListBox2->row(CheckListBox2->itemAt(local));
            at = menuEvent->globalPos();
        }
        if (row >= 0)
            RunGuarded([&] { ShowTitleMenu(row, at); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zento
