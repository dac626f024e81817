// Discs built as studios build them, converted through the window by the
// real encoder: a series disc with a play-all title, a PAL image with MPEG
// audio and a Japanese label, a title of two interleaved angles.
#include "app/main_form.h"
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
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

using namespace zento;
using test::RowWithId;

namespace {

// Whether every tone is within 20 Hz of `hz`; the list says otherwise.
bool AllNear(const QList<int> &tones, int hz)
{
    return !tones.isEmpty() && std::all_of(tones.begin(), tones.end(), [hz](int t) { return qAbs(t - hz) <= 20; });
}

QString ToneText(const QList<int> &tones)
{
    QStringList text;
    for (const int t : tones)
        text << QString::number(t);
    return text.join(' ');
}

} // namespace

class TestPressedDiscsE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    test::ProgramFolder program_;

    std::unique_ptr<TMainForm1> Window(const QString &source, const QString &out, const QString &container = "AVI")
    {
        return test::TitleModeWindow(program_, source, out, container);
    }

private slots:
    void initTestCase() { QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH"); }

    // Only the episodes are converted, each once, each with its own tone.
    void seriesDiscWithPlayAll()
    {
        const QString disc = root_.filePath("SERIES"), out = root_.filePath("series-out");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc,
                                    {"--titles", "10,10", "--chapter", "0", "--audio", "ja:440:2", "--tone-step",
                                     "220", "--play-all"},
                                    {}, &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = Window(disc, out);
            QCOMPARE(w->CheckListBox2->Items(),
                     (QStringList{"T01 0:00:20 日本語 AC3 2ch (まとめて再生)", "T02 0:00:10 日本語 AC3 2ch",
                                  "T03 0:00:10 日本語 AC3 2ch"}));
            QList<bool> ticks;
            for (int i = 0; i < 3; ++i)
                ticks << w->CheckListBox2->IsItemChecked(i);
            QCOMPARE(ticks, (QList<bool>{false, true, true}));
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), (QStringList{"SERIES_02.avi", "SERIES_03.avi"}));
        const int tones[] = {440, 660};
        for (int i = 0; i < 2; ++i) {
            const QString file = out + QString("/SERIES_0%1.avi").arg(i + 2);
            QVERIFY2(qAbs(test::MediaDuration(file) - 10.0) < 0.5, qPrintable(file));
            const QList<int> heard = test::Tones(file, 0, 9);
            QVERIFY2(AllNear(heard, tones[i]), qPrintable(ToneText(heard)));
        }
    }

    // A play-all title of clips whose sound ends a tenth of a second before
    // their picture, as a camera's do: each clip's sound still starts with
    // its picture, the silence kept rather than closed up.
    void playAllOfClipsWithShortSound()
    {
        const QString disc = root_.filePath("CLIPS"), out = root_.filePath("clips-out");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc,
                                    {"--titles", "3,3,3,3", "--play-all", "--chapter", "0", "--audio", "ja:440:2",
                                     "--tone-step", "220", "--short-sound", "0.1"},
                                    {}, &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = Window(disc, out, "MP4");
            for (int i = 0; i < 5; ++i)
                w->CheckListBox2->SetItemChecked(i, i == 0);
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        // The tone of every 20 ms: where each clip's own comes in.
        const QList<int> tones = test::WindowTones(test::MonoSamples(out + "/CLIPS_01.mp4", 13), 0, 960, 650);
        for (int clip = 1; clip < 4; ++clip) {
            const int hz = 440 + 220 * clip;
            const auto first = std::find_if(tones.begin(), tones.end(), [hz](int t) { return qAbs(t - hz) <= 60; });
            const double at = (first - tones.begin()) * 0.02, due = clip * 3.003;
            QVERIFY2(first != tones.end() && qAbs(at - due) <= 0.04,
                     qPrintable(QString("clip %1 at %2 s, its picture at %3 s").arg(clip + 1).arg(at).arg(due)));
        }
    }

    // The chosen track's sound starts 12 s into the title, past what the
    // encoder looks at before it starts: the track is there from the start,
    // silent up to its sound, which keeps its time.
    void trackStartingLate_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QStringList>("audio");
        QTest::addColumn<QString>("codec");
        QTest::newRow("AC3 into AVI") << "AVI" << QStringList{"--audio", "en:440:2,ja:880:2"} << "LIBMP3LAME";
        QTest::newRow("MPEG audio into MP4") << "MP4" << QStringList{"--audio", "en:440:2,ja:880:2", "--mp2"}
                                             << "LIBMP3LAME";
        QTest::newRow("AC3 copied into MOV") << "MOV" << QStringList{"--audio", "en:440:2,ja:880:2"} << "自動";
        QTest::newRow("LPCM into MP4") << "MP4" << QStringList{"--audio", "en:440:2,ja:880:2", "--lpcm"}
                                       << "LIBMP3LAME";
        // written as plain PCM, which the container holds
        QTest::newRow("LPCM copied into AVI")
            << "AVI" << QStringList{"--audio", "en:440:2,ja:880:2", "--lpcm"} << "自動";
    }
    void trackStartingLate()
    {
        QFETCH(QString, container);
        QFETCH(QStringList, audio);
        QFETCH(QString, codec);
        const QString disc = root_.filePath("LATE" + container), out = root_.filePath("late-out");
        QDir(out).removeRecursively(); // rows of one container write the same name
        QString said;
        QVERIFY2(test::MakeTestDisc(disc, QStringList{"--titles", "20", "--chapter", "0", "--late-track", "12"} + audio,
                                    {}, &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = Window(disc, out, container);
            QVERIFY2(w->CheckListBox2->Items().value(0).contains("日本語"), qPrintable(w->CheckListBox2->Items().value(0)));
            w->C3_01->SetItemIndex(test::RowWithId(Catalogue::AudioCodecs, codec));
            w->CButton10->click();
        }
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join("\n")));
        const QString file = out + "/LATE" + container + "_01." + container.toLower();
        QVERIFY2(qAbs(test::MediaDuration(file) - 20.0) < 0.5, qPrintable(QString::number(test::MediaDuration(file))));
        if (codec == "自動" && !audio.contains("--lpcm")) { // the disc's own frames, 12 s after the picture's first
            const auto start = [&file](const char *stream) {
                return test::Run("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                                             "stream=codec_name,start_time", "-of", "csv=p=0", file})
                    .trimmed()
                    .section('\n', 0, 0);
            };
            const QString video = start("v:0"), sound = start("a:0");
            QVERIFY2(sound.startsWith("ac3,"), qPrintable(sound));
            const double late = sound.section(',', 1, 1).toDouble() - video.section(',', 1, 1).toDouble();
            QVERIFY2(qAbs(late - 12.0) < 0.1, qPrintable(video + " " + sound));
            return;
        }
        const QList<int> heard = test::Tones(file, 0, 19);
        QCOMPARE(heard.size(), 19);
        for (int second = 0; second < heard.size(); ++second) // the 12th holds the start
            if (second != 11)
                QVERIFY2(second < 11 ? heard[second] == 0 : qAbs(heard[second] - 880) <= 20,
                         qPrintable(QString("%1 s: %2").arg(second).arg(ToneText(heard))));
    }

    // A track the title's tables declare but its blocks never carry, chosen
    // for its language, gives a silent track, as a player plays it.
    void trackTheTitleNeverCarries_data()
    {
        QTest::addColumn<QStringList>("audio");
        QTest::addColumn<QString>("declared");
        QTest::newRow("AC3") << QStringList{} << "AC3 5.1ch";
        QTest::newRow("MPEG audio") << QStringList{"--mp2"} << "MPEG 2ch";
        QTest::newRow("LPCM") << QStringList{"--lpcm"} << "LPCM 2ch";
    }
    void trackTheTitleNeverCarries()
    {
        QFETCH(QStringList, audio);
        QFETCH(QString, declared);
        const QString disc = root_.filePath("ABSENT" + declared.left(2)), out = root_.filePath("absent-out");
        QString said;
        QVERIFY2(
            test::MakeTestDisc(
                disc,
                QStringList{"--titles", "12", "--chapter", "0", "--audio", "en:440:2", "--absent-track", "ja"} + audio,
                {}, &said),
            qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = Window(disc, out, "MP4");
            // the track the title carries is offered first; the other converts silent when chosen
            QCOMPARE(w->CheckListBox2->Items(),
                     QStringList{"T01 0:00:12 英語 " + declared.section(' ', 0, 0) + " 2ch"});
            w->SetTitleAudio(0, 1);
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:12 日本語 " + declared});
            w->CButton10->click();
        }
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join("\n")));
        const QString file = out + "/" + QFileInfo(disc).fileName() + "_01.mp4";
        QVERIFY2(qAbs(test::MediaDuration(file) - 12.0) < 0.5, qPrintable(QString::number(test::MediaDuration(file))));
        const QString sound = test::Run("ffprobe", {"-v", "error", "-select_streams", "a", "-show_entries",
                                                    "stream=codec_name:stream_tags=language", "-of", "csv=p=0", file});
        QCOMPARE(sound.trimmed(), QString("mp3,jpn"));
        const QByteArray samples = test::MonoSamples(file, 12);
        QVERIFY(!samples.isEmpty());
        QCOMPARE(samples.count('\0'), samples.size());
    }

    // MPEG audio of a PAL disc converts; the Japanese label names the file
    // and the audio is tagged Japanese.
    void palImageWithMpegAudioAndJapaneseLabel()
    {
        const QString image = root_.filePath("pal.iso"), out = root_.filePath("pal-out");
        QString said;
        QVERIFY2(test::MakeTestDisc(root_.filePath("pal"),
                                    {"--titles", "10", "--pal", "--mp2", "--audio", "ja:523:2", "--label",
                                     "日本語ディスク"},
                                    image, &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = Window(image, out, "MP4");
            QCOMPARE(w->CheckListBox2->Items(), (QStringList{"T01 0:00:10 日本語 MPEG 2ch"}));
            w->CButton10->click();
        }
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join("\n")));
        QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"日本語ディスク_01.mp4"}));
        const QString file = out + "/日本語ディスク_01.mp4";
        QVERIFY2(qAbs(test::MediaDuration(file) - 10.0) < 0.5, qPrintable(file));
        const QList<int> heard = test::Tones(file, 0, 9);
        QVERIFY2(AllNear(heard, 523), qPrintable(ToneText(heard)));
        const QString language = test::Run("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                                       "stream_tags=language", "-of", "csv=p=0", file});
        QCOMPARE(language.trimmed(), "jpn");
    }

    // A folder is read by its titles whatever its name; a named pipe is
    // refused at once instead of holding the window until someone writes.
    void foldersAndPipesNamedLikeImages()
    {
        const QString folder = root_.filePath("FOLDER.iso"), fifo = root_.filePath("pipe.iso");
        QString said;
        QVERIFY2(test::MakeTestDisc(folder, {"--titles", "2", "--chapter", "0", "--audio", "ja:440:2"}, {}, &said),
                 qPrintable(said));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        test::DialogRecorder dialogs;
        {
            auto w = Window(folder, root_.filePath("unused"));
            QCOMPARE(w->CheckListBox2->Items(), (QStringList{"T01 0:00:02 日本語 AC3 2ch"}));
            QVERIFY(w->CheckBox2->isEnabled());
            QCOMPARE(w->Titles().discName, "FOLDER.iso");
        }
        QCOMPARE(dialogs.messages, QStringList());
        QElapsedTimer clock;
        clock.start();
        {
            auto w = Window(fifo, root_.filePath("unused"));
            QCOMPARE(w->CheckListBox2->Count(), 0);
        }
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages.first().contains("ファイルでもフォルダでもディスク装置でもありません"),
                 qPrintable(dialogs.messages.first()));
    }

    // Angle 1 alone throughout, or angle 2 when chosen in the row's menu.
    void interleavedAngles_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("tone");
        QTest::newRow("angle 1") << 1 << 440;
        QTest::newRow("angle 2 chosen") << 2 << 880;
    }
    void interleavedAngles()
    {
        QFETCH(int, angle);
        QFETCH(int, tone);
        const QString disc = root_.filePath("ANGLES");
        const QString out = root_.filePath(QString("angles-out-%1").arg(angle));
        if (!QFileInfo::exists(disc)) {
            QString said;
            QVERIFY2(test::MakeAngleTestDisc(disc, root_.filePath("angles.iso"), &said), qPrintable(said));
        }
        test::DialogRecorder dialogs;
        QStringList offered;
        {
            auto w = Window(disc, out);
            QCOMPARE(w->CheckListBox2->Items(), (QStringList{"T01 0:00:12 日本語 AC3 2ch アングル×2"}));
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            w->CheckListBox2->setFocus();
            w->CheckListBox2->setCurrentRow(0);
            QTimer::singleShot(0, [&] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                if (!menu)
                    return;
                for (QAction *action : menu->actions())
                    if (action->isCheckable() && action->text().startsWith("アングル")) {
                        offered << action->text() + (action->isChecked() ? " *" : "");
                        if (action->text() == QString("アングル %1").arg(angle))
                            menu->setActiveAction(action);
                    }
                QTest::keyClick(menu, Qt::Key_Return);
            });
            QTest::keyClick(w->CheckListBox2, Qt::Key_Menu);
            QCOMPARE(w->Titles().rows.at(0).angle, angle);
            w->CButton10->click();
        }
        QCOMPARE(offered, (QStringList{"アングル 1 *", "アングル 2"}));
        QCOMPARE(dialogs.messages, QStringList());
        const QString file = out + "/ANGLES_01.avi";
        QVERIFY2(qAbs(test::MediaDuration(file) - 12.0) < 0.5, qPrintable(QString::number(test::MediaDuration(file))));
        // the lead-in, then the chosen angle's tone every second, never the other's
        const QList<int> lead = test::Tones(file, 0, 2), heard = test::Tones(file, 3, 12);
        QVERIFY2(AllNear(lead, 660), qPrintable(ToneText(lead)));
        QVERIFY2(heard.size() == 9 && AllNear(heard, tone), qPrintable(ToneText(heard)));
    }
};

QTEST_MAIN(TestPressedDiscsE2e)
#include "test_pressed_discs_e2e.moc"
