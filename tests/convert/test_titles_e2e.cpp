// Title mode on authored discs (dvdauthor): the disc's titles listed from its
// structure, each converted by the real encoder from the blocks the program
// feeds it, with the Japanese track; the same disc as a labelled image; and
// sources that stop answering or have unreadable blocks.
#include "app/main_form.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "support/test_disc.h"
#include "support/test_support.h"
#include "support/title_window.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace zento;
using test::RowWithId;
using test::Run;

namespace {

// The tone of a file's audio, in Hz, over its first two seconds.
int Tone(const QString &file)
{
    const QList<int> tones = test::Tones(file, 0, 2);
    return tones.size() == 2 ? (tones.at(0) + tones.at(1)) / 2 : -1;
}

// An image on a slow drive: every read takes a while.
class SlowImage : public DiscImageStream {
public:
    explicit SlowImage(std::unique_ptr<DiscImageStream> image) : image_(std::move(image)) {}
    bool Seek(quint64 position) override { return image_->Seek(position); }
    int Read(void *buffer, int size) override
    {
        QThread::msleep(40);
        return image_->Read(buffer, size);
    }

private:
    std::unique_ptr<DiscImageStream> image_;
};

// The 2x2 corner at (100, 199) of the frames picked, as RGB bytes, frame
// after frame (none when ffmpeg does not finish).
QByteArray Corners(const QStringList &input, const QString &pick)
{
    QProcess frames;
    frames.start("ffmpeg", QStringList{"-v", "error"} + input +
                               QStringList{"-map", "0:v:0", "-vf", pick + "crop=2:2:100:199", "-vsync", "0", "-f",
                                           "rawvideo", "-pix_fmt", "rgb24", "-"});
    return frames.waitForFinished(60000) ? frames.readAllStandardOutput() : QByteArray();
}

QList<int> Rgb(const QByteArray &bytes, qsizetype at)
{
    return bytes.size() < at + 3 ? QList<int>{} : QList<int>{uchar(bytes[at]), uchar(bytes[at + 1]), uchar(bytes[at + 2])};
}

bool Near(const QList<int> &a, const QList<int> &b)
{
    return a.size() == 3 && b.size() == 3 && qAbs(a[0] - b[0]) < 40 && qAbs(a[1] - b[1]) < 40 &&
           qAbs(a[2] - b[2]) < 40;
}

// The frames of a strip of corners where the subtitle's yellow bar comes up.
QList<int> YellowComesUp(const QByteArray &strip)
{
    QList<int> frames;
    bool shown = false;
    for (qsizetype at = 0; at + 12 <= strip.size(); at += 12) {
        const bool yellow = Near(Rgb(strip, at), {255, 255, 0});
        if (yellow && !shown)
            frames << int(at / 12);
        shown = yellow;
    }
    return frames;
}

// The first of the frames 1850 to 1880 where the subtitle's yellow bar
// shows; -1 for none.
int FirstYellowFrame(const QString &file)
{
    const QList<int> up = YellowComesUp(Corners({"-i", file}, "select=between(n\\,1850\\,1880),"));
    return up.isEmpty() ? -1 : 1850 + up.constFirst();
}

} // namespace

class TestTitlesE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString disc_ = root_.filePath("MOVIE");
    const QString image_ = root_.filePath("copy.iso");
    test::ProgramFolder program_;

    std::unique_ptr<TMainForm1> Window(const QString &source, const QString &out)
    {
        return test::TitleModeWindow(program_, source, out);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QString said;
        // English 5.1 first, the Japanese dub second; a 4 s logo after the film.
        QVERIFY2(test::MakeTestDisc(disc_, {"--titles", "12,4", "--label", "FILM_LABEL"}, image_, &said),
                 qPrintable(said));
    }

    void cleanup() { DvdDisc::SetImageOpenerForTesting(nullptr); }

    // A copy whose title set's chain table is damaged: the structure opens
    // but gives no title, so the copy is listed by its files, as any folder
    // whose structure cannot be read.
    void damagedChainTableListedByFiles()
    {
        test::DialogRecorder dialogs;
        const QString copy = root_.filePath("DAMAGED");
        QVERIFY(QDir().mkpath(copy + "/VIDEO_TS"));
        for (const QString &name : QDir(disc_ + "/VIDEO_TS").entryList(QDir::Files))
            QVERIFY(QFile::copy(disc_ + "/VIDEO_TS/" + name, copy + "/VIDEO_TS/" + name));
        QFile ifo(copy + "/VIDEO_TS/VTS_01_0.IFO");
        QVERIFY(ifo.open(QIODevice::ReadWrite) && ifo.seek(0xcc));
        const QByteArray sector = ifo.read(4); // where the chain table starts
        const qint64 at =
            qint64(quint8(sector[0]) << 24 | quint8(sector[1]) << 16 | quint8(sector[2]) << 8 | quint8(sector[3])) *
            2048;
        QVERIFY(at > 0 && ifo.seek(at) && ifo.write(QByteArray(8, '\xff')) == 8);
        ifo.close();
        const auto w = Window(copy, root_.filePath("out-damaged"));
        QCOMPARE(w->CheckListBox2->Items(), (QStringList{"01_1"}));
        QVERIFY(w->CButton10->isEnabled());
        QCOMPARE(dialogs.messages, QStringList());
    }

    // Listed by title with the Japanese track; one file per title, each as
    // long as its title, named after the folder or the image's label.
    void convertsEachTitle_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<int>("track"); // -1: the default
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("tone");
        QTest::newRow("folder") << false << -1 << QStringList{"MOVIE_01.avi", "MOVIE_02.avi"} << 880;
        QTest::newRow("image, English chosen")
            << true << 0 << QStringList{"FILM_LABEL_01.avi", "FILM_LABEL_02.avi"} << 440;
    }
    void convertsEachTitle()
    {
        QFETCH(bool, image);
        QFETCH(int, track);
        QFETCH(QStringList, files);
        QFETCH(int, tone);
        test::DialogRecorder dialogs;
        const QString out = root_.filePath(QString("out/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
        QStringList labels;
        {
            auto w = Window(image ? image_ : disc_, out);
            QCOMPARE(w->CheckListBox2->Items(),
                     (QStringList{"T01 0:00:12 日本語 AC3 2ch", "T02 0:00:04 日本語 AC3 2ch"}));
            QVERIFY(w->CheckListBox2->IsItemChecked(0));
            QVERIFY(!w->CheckListBox2->IsItemChecked(1)); // shorter than ten seconds
            QCOMPARE(w->CheckBox2->isEnabled(), !image);
            w->CheckListBox2->SetItemChecked(1, true);
            if (track >= 0) {
                w->SetTitleAudio(0, track);
                w->SetTitleAudio(1, track);
                QCOMPARE(w->CheckListBox2->ItemText(0), "T01 0:00:12 英語 AC3 5.1ch");
            }
            QTimer sampler;
            bool pictured = false;
            QObject::connect(&sampler, &QTimer::timeout, [&] {
                if (TProgressForm1 *form = w->ProgressForm1) {
                    form->Timer1Timer();
                    labels << form->Label1->text() + " " + form->Label3->text();
                    pictured = pictured || form->HasPicture();
                }
            });
            sampler.start(100);
            w->CButton10->click();
            QCOMPARE(dialogs.messages, QStringList());
            // The encoder starts without waiting for the thumbnail, which
            // shows once its run is done.
            QVERIFY(pictured);
        }
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), files);
        QVERIFY2(qAbs(test::MediaDuration(out + "/" + files.at(0)) - 12.0) < 0.5, qPrintable(files.at(0)));
        QVERIFY2(qAbs(test::MediaDuration(out + "/" + files.at(1)) - 4.0) < 0.5, qPrintable(files.at(1)));
        QVERIFY2(qAbs(Tone(out + "/" + files.at(0)) - tone) < 30,
                 qPrintable(QString::number(Tone(out + "/" + files.at(0)))));
        // The label names the title; the share comes from what was fed.
        QVERIFY2(labels.indexOf(QRegularExpression(QString("T01 \\(0:00:12\\) -> %1 ([1-9][0-9]?|100) %.*")
                                                       .arg(QRegularExpression::escape(files.at(0))))) >= 0,
                 qPrintable(labels.join(" | ")));
    }

    // A slow drive: the window goes on being served while the titles are read.
    void slowSourceKeepsTheWindowAlive()
    {
        test::DialogRecorder dialogs;
        auto w = Window(disc_, root_.filePath("slow"));
        DvdDisc::SetImageOpenerForTesting([](const QString &path) -> std::unique_ptr<DiscImageStream> {
            return std::make_unique<SlowImage>(OpenImageFile(path));
        });
        w->DriveComboBox1->AddFolder(image_);
        w->DriveComboBox1->SetDrive(image_);
        int ticks = 0;
        QTimer clock;
        QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
        clock.start(20);
        QElapsedTimer took;
        took.start();
        w->CButton12Click();
        const qint64 ms = took.elapsed();
        QCOMPARE(w->CheckListBox2->Count(), 2);
        QVERIFY2(ms > 600, qPrintable(QString::number(ms)));
        QVERIFY2(ticks >= 3, qPrintable(QString("%1 ticks in %2 ms").arg(ticks).arg(ms)));
    }

    // The menu of a title row, from the keyboard: its tracks named in
    // Japanese, the choice shown in the row.
    void rowMenuChoosesTheTrack_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("pick");
        QTest::addColumn<int>("track");
        QTest::newRow("menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier) << "英語 AC3 5.1ch" << 0;
        QTest::newRow("Shift+F10, no sound") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << "音声なし" << -1;
    }
    void rowMenuChoosesTheTrack()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, pick);
        QFETCH(int, track);
        test::DialogRecorder dialogs;
        auto w = Window(disc_, root_.filePath("unused"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->CheckListBox2->setFocus();
        w->CheckListBox2->setCurrentRow(1);
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                if (!action->isSeparator())
                    offered << action->text();
            for (QAction *action : menu->actions())
                if (action->text() == pick)
                    menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(w->CheckListBox2, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(offered, (QStringList{"英語 AC3 5.1ch", "日本語 AC3 2ch", "音声なし", "字幕なし"}));
        QCOMPARE(w->CheckListBox2->Items(), (QStringList{"T01 0:00:12 日本語 AC3 2ch", "T02 0:00:04 " + pick}));
        QCOMPARE(w->Titles().rows.at(1).audioTrack, track);
    }

    // The picture a player shows: the Japanese subtitles of an English film
    // burned in from their late start in the disc's own colours, no combing,
    // the frame rate kept, the chapters in an MP4.
    void subtitlesChaptersProgressive()
    {
        test::DialogRecorder dialogs;
        const QString disc = root_.filePath("FILM");
        const QString out = root_.filePath("film");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc,
                                    {"--titles", "70", "--audio", "en:440:6,fr:660:2", "--subs", "ja:62", "--aspect",
                                     "16:9", "--interlaced", "--chapter", "10"},
                                    QString(), &said),
                 qPrintable(said));
        {
            auto w = Window(disc, out);
            w->C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "MP4"));
            w->C2_02_01->SetValue(0); // the source's size
            w->C2_02_02->SetValue(0);
            w->C2_05->SetValue(1000); // enough for the detector to see fields, not blocks
            w->RefreshTitleRows();
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:01:10 英語 AC3 5.1ch 字幕 日本語"});
            w->CButton10->click();
            QCOMPARE(dialogs.messages, QStringList());
        }
        const QString file = out + "/FILM_01.mp4";
        QCOMPARE(Run("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries", "stream=r_frame_rate,width",
                                 "-of", "csv=p=0", file})
                     .trimmed(),
                 "352,30000/1001");
        QCOMPARE(Run("ffprobe", {"-v", "error", "-show_entries", "chapter=start_time", "-of", "csv=p=0", file})
                     .split('\n', Qt::SkipEmptyParts)
                     .size(),
                 7);
        // The encoder's own detector finds next to no interlaced frames.
        QProcess idet;
        idet.start("ffmpeg", {"-v", "info", "-nostats", "-i", file, "-vf", "idet", "-an", "-f", "null", "-"});
        QVERIFY(idet.waitForFinished(120000));
        const QRegularExpressionMatch frames =
            QRegularExpression("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+)")
                .match(QString::fromUtf8(idet.readAllStandardError()));
        QVERIFY(frames.hasMatch());
        const double interlaced = frames.captured(1).toDouble() + frames.captured(2).toDouble();
        QVERIFY2(interlaced < 0.05 * (interlaced + frames.captured(3).toDouble()), qPrintable(frames.captured(0)));
        // The yellow bar of the subtitle at 63.5 s where the disc's picture is
        // grey; at 30 s the disc's picture as it is.
        const auto pixel = [](const QString &from, const QString &at) {
            return Rgb(Corners({"-ss", at, "-i", from, "-frames:v", "1"}, {}), 0);
        };
        const QString vob = disc + "/VIDEO_TS/VTS_01_1.VOB";
        QVERIFY(Near(pixel(vob, "63.5"), {128, 128, 128}));
        QVERIFY2(Near(pixel(file, "63.5"), {255, 255, 0}), qPrintable(QDebug::toString(pixel(file, "63.5"))));
        QVERIFY2(Near(pixel(file, "30"), pixel(vob, "30")), qPrintable(QDebug::toString(pixel(file, "30"))));
        // It shows from the first frame at or after its time, 62 s into the
        // title (frame 1859 at 30000/1001 frames a second), not frames later.
        QCOMPARE(FirstYellowFrame(file), 1859);
    }

    // The picture muxed ahead of the subtitles shown with it, as on this
    // disc: the subtitle still shows from its own frame on.
    void subtitleOnTimeAmongEarlierPicture()
    {
        test::DialogRecorder dialogs;
        const QString disc = root_.filePath("EARLY"), out = root_.filePath("early");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc,
                                    {"--titles", "70", "--audio", "en:440:6,fr:660:2", "--subs", "en:5,ja:62",
                                     "--chapter", "10"},
                                    QString(), &said),
                 qPrintable(said));
        {
            auto w = Window(disc, out);
            w->C2_02_01->SetValue(0); // the source's size
            w->C2_02_02->SetValue(0);
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(FirstYellowFrame(out + "/EARLY_01.avi"), 1859);
    }

    // A film opening on a still picture: its first blocks span seconds,
    // with the picture muxed ahead of the subtitle shown with it. The
    // subtitle 3 s in shows from its own frame (72 at 23.976) on.
    void subtitleEarlyInAStillFilm()
    {
        test::DialogRecorder dialogs;
        const QString disc = root_.filePath("STILL"), out = root_.filePath("still");
        QString said;
        QVERIFY2(test::MakeTestDisc(
                     disc,
                     {"--titles", "12", "--film", "--still", "--audio", "en:440:2", "--subs", "ja:3", "--chapter", "0"},
                     QString(), &said),
                 qPrintable(said));
        {
            auto w = Window(disc, out);
            w->C2_02_01->SetValue(352);
            w->C2_02_02->SetValue(240);
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(YellowComesUp(Corners({"-i", out + "/STILL_01.avi"}, {})), QList<int>{72});
    }

    // A play-all title of episodes that each have a subtitle a second in:
    // each episode's subtitle shows, the second one too, though that
    // episode's times start again from nought. At a low bit rate both come
    // within the first blocks read, before the first picture: each still
    // goes when its time is over.
    void playAllKeepsEachEpisodesSubtitle_data()
    {
        QTest::addColumn<QStringList>("rate");
        QTest::newRow("the disc's rate") << QStringList{};
        QTest::newRow("1.5 Mbit/s") << QStringList{"--bitrate", "1500"};
    }
    void playAllKeepsEachEpisodesSubtitle()
    {
        QFETCH(QStringList, rate);
        test::DialogRecorder dialogs;
        const QString disc = root_.filePath("SERIES"), out = root_.filePath("series");
        QDir(out).removeRecursively();
        QString said;
        QVERIFY2(test::MakeTestDisc(disc,
                                    QStringList{"--titles", "4,4", "--play-all", "--audio", "en:440:2", "--subs",
                                                "ja:1", "--subs-every-title", "--chapter", "0"} +
                                        rate,
                                    QString(), &said),
                 qPrintable(said));
        {
            auto w = Window(disc, out);
            w->C2_02_01->SetValue(0); // the source's size
            w->C2_02_02->SetValue(0);
            for (int i = 0; i < 3; ++i)
                w->CheckListBox2->SetItemChecked(i, i == 0);
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        // The yellow bar comes up 1 s and 5 s in.
        QCOMPARE(YellowComesUp(Corners({"-i", out + "/SERIES_01.avi"}, {})), (QList<int>{30, 150}));
    }

    // A stretch of unreadable blocks is passed over and told; a source that
    // stops answering fails its title, whose output goes, and the run goes on.
    void faultsOfTheSource_data()
    {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("kept");
        QTest::newRow("unreadable blocks") << qint64(3) << qint64(3 + 40) << "読めないブロック 40 個" << true;
        QTest::newRow("gone") << qint64(3) << qint64(-1) << "入力元を読めなくなりました" << false;
    }
    void faultsOfTheSource()
    {
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(QString, report);
        QFETCH(bool, kept);
        test::DialogRecorder dialogs;
        const QString out = root_.filePath(QString("faults/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
        // Where the title files begin in the image: their first block is found there.
        const QByteArray image = test::ReadFile(image_);
        const QByteArray head = test::ReadFile(disc_ + "/VIDEO_TS/VTS_01_1.VOB").left(2048);
        qint64 vob = -1;
        for (qint64 at = 0; at + 2048 <= image.size() && vob < 0; at += 2048)
            if (image.mid(at, 2048) == head)
                vob = at;
        QVERIFY(vob > 0);
        // Blocks of the first title, counted from its start; "to" below
        // "from" means to the end of the image.
        const quint64 first = quint64(vob + from * 2048);
        const quint64 last = to < from ? quint64(image.size()) : quint64(vob + to * 2048);
        DvdDisc::SetImageOpenerForTesting([first, last](const QString &path) -> std::unique_ptr<DiscImageStream> {
            return std::make_unique<test::FaultyImage>(OpenImageFile(path), first, last);
        });
        {
            auto w = Window(image_, out);
            QCOMPARE(w->CheckListBox2->Count(), 2);
            w->CheckListBox2->SetItemChecked(1, true);
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.at(0).contains("T01 (0:00:12) -> FILM_LABEL_01.avi") &&
                     dialogs.messages.at(0).contains(report),
                 qPrintable(dialogs.messages.at(0)));
        QCOMPARE(QFile::exists(out + "/FILM_LABEL_01.avi"), kept);
        if (kept)
            QVERIFY(qAbs(test::MediaDuration(out + "/FILM_LABEL_01.avi") - 12.0) < 1.0);
        QCOMPARE(QFile::exists(out + "/FILM_LABEL_02.avi"), kept); // after the faults, or gone with them
    }
};

QTEST_MAIN(TestTitlesE2e)
#include "test_titles_e2e.moc"
