// Film stays film through the window, with the real encoder: a title of 3:2
// pulldown flags comes out at 23.976 with one frame per film frame; a typed
// frame rate wins; copied video is left alone.
#include "app/main_form.h"
#include "disc/nav_pack.h"
#include "options/catalogue.h"
#include "support/test_disc.h"
#include "support/test_support.h"
#include "support/title_window.h"
#include "widgets/color_button.h"
#include "widgets/multi_col_combo_box.h"

#include <QRegularExpression>
#include <QtTest>

using namespace zento;

namespace {

// The frame rate and the frames counted in a file's video stream.
QString VideoFrames(const QString &file)
{
    return test::Run("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                                 "stream=r_frame_rate,nb_read_frames", "-of", "csv=p=0", file})
        .trimmed();
}

} // namespace

class TestFilmE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString disc_ = root_.filePath("FILM");
    const QString hard_ = root_.filePath("HARD");
    test::ProgramFolder program_;

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc_, {"--titles", "20", "--film", "--audio", "ja:440:2", "--chapter", "0"}, {},
                                    &said),
                 qPrintable(said));
        QVERIFY2(test::MakeTestDisc(hard_, {"--titles", "20", "--hard-telecine", "--audio", "ja:440:2", "--chapter",
                                            "0"},
                                    {}, &said),
                 qPrintable(said));
    }

    // Film's cells last half frames the tables round away, cell after cell:
    // each chapter starts where its first picture is, as the title's own
    // times place it, not a frame or more later for every cell before.
    void chaptersOnTheirPictures()
    {
        const QString disc = root_.filePath("CHAPTERS");
        QString said;
        QVERIFY2(
            test::MakeTestDisc(disc, {"--titles", "40", "--film", "--audio", "ja:440:2", "--chapter", "4"}, {}, &said),
            qPrintable(said));
        auto w = test::TitleModeWindow(program_, disc, root_.filePath("chapters-out"));
        QCOMPARE(w->Titles().rows.size(), 1);
        const DiscTitle &title = w->Titles().rows.at(0).title;
        QVERIFY(title.film);
        QCOMPARE(title.chapterStartsMs.size(), 10);
        // Each chapter's first unit, read from the file the title is stored in.
        QFile vob(disc + "/VIDEO_TS/VTS_01_1.VOB");
        QVERIFY(vob.open(QIODevice::ReadOnly));
        const auto startOf = [&](int chapter) {
            vob.seek(qint64(title.cells.at(title.chapterCells.at(chapter)).firstSector) * 2048);
            const QByteArray block = vob.read(2048);
            const auto times = NavPackTimes(reinterpret_cast<const unsigned char *>(block.constData()), block.size());
            return times ? qint64(times->start) : -1;
        };
        for (int chapter = 1; chapter < title.chapterStartsMs.size(); ++chapter) {
            const qint64 due = (startOf(chapter) - startOf(0)) / 90;
            QVERIFY2(qAbs(title.chapterStartsMs.at(chapter) - due) <= 1,
                     qPrintable(QString("chapter %1 at %2 ms, its picture at %3 ms")
                                    .arg(chapter + 1)
                                    .arg(title.chapterStartsMs.at(chapter))
                                    .arg(due)));
        }
    }

    // A film title whose last cell is interlaced video (a series' credits):
    // that stretch comes out progressive too, and the title keeps its length,
    // the video's frames taken at their own times.
    void videoInAFilmTitle()
    {
        const QString disc = root_.filePath("CREDITS"), out = root_.filePath("credits-out");
        QString said;
        QVERIFY2(test::MakeTestDisc(
                     disc, {"--titles", "20", "--film", "--video-tail", "6", "--audio", "ja:440:2", "--chapter", "0"},
                     {}, &said),
                 qPrintable(said));
        {
            auto w = test::TitleModeWindow(program_, disc, out, "MP4");
            w->C2_02_01->SetValue(0); // the source's size: 480 lines, each field's own
            w->C2_02_02->SetValue(0);
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:26 日本語 AC3 2ch フィルム"});
            w->CButton10->click();
        }
        const QString file = out + "/CREDITS_01.mp4";
        QVERIFY2(qAbs(test::MediaDuration(file) - 26.0) < 0.05, qPrintable(QString::number(test::MediaDuration(file))));
        // The field detector on the video stretch's frames as written.
        const QString said2 = test::Run(
            "ffmpeg", {"-v", "info", "-ss", "21", "-i", file, "-map", "0:v:0", "-vf", "idet", "-f", "null", "-"});
        const QRegularExpression multi("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+)");
        const QRegularExpressionMatch found = multi.match(said2);
        QVERIFY2(found.hasMatch(), qPrintable(said2.right(500)));
        const int combed = found.captured(1).toInt() + found.captured(2).toInt();
        QVERIFY2(found.captured(3).toInt() > 100 && combed < 10, qPrintable(found.captured(0)));
    }

    // Film telecined into the picture: found by a look at the decoded
    // picture when the run starts, its fields matched and the fifth frame
    // dropped; the row says so from then on.
    void hardTelecine()
    {
        const QString out = root_.filePath("hard-out");
        test::DialogRecorder dialogs;
        {
            auto w = test::TitleModeWindow(program_, hard_, out);
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:19 日本語 AC3 2ch"});
            w->CButton10->click();
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:19 日本語 AC3 2ch フィルム"});
        }
        QCOMPARE(dialogs.messages, QStringList());
        const QString file = out + "/HARD_01.avi";
        const QStringList found = VideoFrames(file).split(',');
        QCOMPARE(found.value(0), "24000/1001");
        QVERIFY2(qAbs(found.value(1).toInt() - 480) <= 10, qPrintable(found.join(',')));
        QVERIFY2(qAbs(test::MediaDuration(file) - 20.0) <= 0.3, qPrintable(QString::number(test::MediaDuration(file))));
    }

    // The look at the picture stuck on a stretch the disc will not give:
    // after a while the run goes on without it, and the title is converted
    // as it stands.
    void lookThatNeverEnds()
    {
        test::ProgramFolder slow;
        const QString encoder = slow.File("ffmpeg");
        QVERIFY(test::WriteFile(encoder, "#!/bin/bash\n[[ \" $* \" == *\" idet \"* ]] && exec sleep 600\n"
                                         "exec ffmpeg \"$@\"\n"));
        QVERIFY(QFile::setPermissions(encoder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString out = root_.filePath("slow-out");
        test::DialogRecorder dialogs;
        {
            auto w = test::TitleModeWindow(slow, hard_, out);
            w->CButton10->click();
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:19 日本語 AC3 2ch"});
        }
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(VideoFrames(out + "/HARD_01.avi").split(',').value(0), "30000/1001");
    }

    // A play-all title of film episodes is film too: ticked, it converts
    // the whole series as film. Each episode's times start again from
    // nought, and the way the episodes are muxed hands the encoder the first
    // episode's last sound after the second's first picture: the times must
    // run on across the join, sound and picture in step, the length right.
    void playAllOfFilm()
    {
        const QString disc = root_.filePath("SERIES"), out = root_.filePath("series-out");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc, {"--titles", "8,8", "--film", "--play-all", "--audio", "ja:440:2",
                                           "--tone-step", "220", "--chapter", "0"},
                                    {}, &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = test::TitleModeWindow(program_, disc, out, "MP4");
            QCOMPARE(w->CheckListBox2->Items().value(0), "T01 0:00:16 日本語 AC3 2ch (まとめて再生) フィルム");
            for (int i = 0; i < 3; ++i)
                w->CheckListBox2->SetItemChecked(i, i == 0);
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        const QString file = out + "/SERIES_01.mp4";
        const QString lengths = test::Run("ffprobe", {"-v", "error", "-show_entries", "stream=start_time,duration",
                                                      "-of", "csv=p=0", file});
        QVERIFY2(qAbs(test::MediaDuration(file) - 16.0) <= 0.3, qPrintable(lengths));
        // The second episode's tone comes in with its picture, at 8 s.
        const QList<int> heard = test::Tones(file, 0, 16);
        QVERIFY2(heard.size() >= 15, qPrintable(lengths));
        for (int second = 0; second < heard.size(); ++second)
            QVERIFY2(qAbs(heard[second] - (second < 8 ? 440 : 660)) <= 20,
                     qPrintable(QString("%1 Hz at %2 s; %3").arg(heard[second]).arg(second).arg(lengths)));
    }

    // A short title is listed unticked and its picture not looked at;
    // ticked, it is looked at when the run starts and converts as film.
    void shortTitleTicked()
    {
        const QString disc = root_.filePath("SHORT"), out = root_.filePath("short-out");
        QString said;
        QVERIFY2(test::MakeTestDisc(disc, {"--titles", "6", "--film", "--audio", "ja:440:2", "--chapter", "0"}, {},
                                    &said),
                 qPrintable(said));
        test::DialogRecorder dialogs;
        {
            auto w = test::TitleModeWindow(program_, disc, out);
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:06 日本語 AC3 2ch"});
            w->CheckListBox2->SetItemChecked(0, true);
            w->CButton10->click();
            QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:06 日本語 AC3 2ch フィルム"});
        }
        QCOMPARE(dialogs.messages, QStringList());
        const QStringList found = VideoFrames(out + "/SHORT_01.avi").split(',');
        QCOMPARE(found.value(0), "24000/1001");
        QVERIFY2(qAbs(found.value(1).toInt() - 144) <= 6, qPrintable(found.join(',')));
    }

    void softTelecine_data()
    {
        QTest::addColumn<int>("typedRate"); // C2_06; 0: none
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("frames");
        QTest::newRow("film") << 0 << "T01 0:00:20 日本語 AC3 2ch フィルム"
                              << "24000/1001" << 480;
        QTest::newRow("a typed frame rate wins") << 15 << "T01 0:00:20 日本語 AC3 2ch"
                                                 << "15/1" << 300;
    }
    void softTelecine()
    {
        QFETCH(int, typedRate);
        QFETCH(QString, row);
        QFETCH(QString, rate);
        QFETCH(int, frames);
        const QString out = root_.filePath(QString("out-%1").arg(typedRate));
        test::DialogRecorder dialogs;
        {
            auto w = test::TitleModeWindow(program_, disc_, out);
            w->C2_06->SetValue(typedRate);
            QCOMPARE(w->CheckListBox2->Items(), QStringList{row});
            w->CButton10->click();
        }
        QCOMPARE(dialogs.messages, QStringList());
        const QString file = out + "/FILM_01.avi";
        const QStringList found = VideoFrames(file).split(',');
        QCOMPARE(found.value(0), rate);
        QVERIFY2(qAbs(found.value(1).toInt() - frames) <= 10, qPrintable(found.join(',')));
        QVERIFY2(qAbs(test::MediaDuration(file) - 20.0) <= 0.3, qPrintable(QString::number(test::MediaDuration(file))));
    }

    // Copied video keeps the disc's own stream: no film mark, no new rate.
    void copiedVideoUntouched()
    {
        auto w = test::TitleModeWindow(program_, disc_, root_.filePath("unused"));
        w->C2_04->SetItemIndex(0); // as the user picks it
        w->C2_04->OnChange(*w->C2_04);
        QCOMPARE(w->CheckListBox2->Items(), QStringList{"T01 0:00:20 日本語 AC3 2ch"});
    }
};

QTEST_MAIN(TestFilmE2e)
#include "test_film_e2e.moc"
