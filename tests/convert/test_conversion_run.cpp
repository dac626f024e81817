// The conversion run against a small fake encoder: a bash script named ffmpeg
// in the program folder that logs every call and behaves as each test says.
#include "app/main_form.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/multi_col_combo_box.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace zento;

namespace
{

// Reads FAKE_* from the environment:
//   FAKE_THUMB       file copied to the thumbnail path (none: no thumbnail)
//   FAKE_SLEEP       seconds every encoder run takes
//   FAKE_SLEEP_PASS1 extra seconds of pass 1 of VTS_01_1.VOB
//   FAKE_END, FAKE_END_<n>  "fail" (exit 1) or "crash" (SIGSEGV), for all
//                    sources or for VTS_01_<n>.VOB only
const char kFakeEncoder[] = R"SH(#!/bin/bash
log='@LOG@'
out="${@: -1}"
src="$2"
if [[ " $* " == *" image2 "* ]]; then
    echo "thumb $(basename "$src")" >> "$log"
    if [ -n "$FAKE_THUMB" ]; then cp "$FAKE_THUMB" "$out"; fi
    exit 0
fi
pass=0; prev=
for a in "$@"; do [ "$prev" = "-pass" ] && pass=$a; prev=$a; done
if [ -e "$out" ]; then pre=yes; else pre=no; fi
echo "encode $(basename "$src") pass=$pass pre=$pre stdin=$(readlink /proc/self/fd/0) cwd=$(pwd) out=$out" >> "$log"
printf 'partial' > "$out"
n=$(basename "$src" .VOB); n=${n##*_}
sleep "${FAKE_SLEEP:-0}"
if [ "$pass" = "1" ] && [ "$n" = "1" ]; then sleep "${FAKE_SLEEP_PASS1:-0}"; fi
eval "end=\${FAKE_END_$n:-\$FAKE_END}"
echo "frame=  100 fps=0.0 q=2.0 size=1kB time=00:00:04.00" >&2
case "$end" in
    crash) kill -SEGV $$ ;;
    fail) echo "Conversion failed!" >&2; exit 1 ;;
esac
printf 'complete' > "$out"
exit 0
)SH";

const char *const kFakeVariables[] = {"FAKE_THUMB", "FAKE_SLEEP", "FAKE_SLEEP_PASS1", "FAKE_END",
                                      "FAKE_END_1", "FAKE_END_2", "FAKE_END_3"};

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<TProgressForm1 *> VisibleProgressForms()
{
    QList<TProgressForm1 *> forms;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *form = qobject_cast<TProgressForm1 *>(widget); form && form->isVisible())
            forms << form;
    return forms;
}

struct Dialog {
    QString text;        // empty for a beep
    bool mainEnabled;    // the main window's state at that moment
    int progressWindows; // visible progress windows at that moment
};

// One program folder with the fake encoder, a VIDEO_TS with sources, an
// output folder and the main window.
struct Fixture {
    QTemporaryDir root;
    QString program, videoTs, out, log;
    std::unique_ptr<TMainForm1> w;
    QList<Dialog> dialogs;

    explicit Fixture(int sources, bool withEncoder = true)
    {
        if (!root.isValid())
            qFatal("no temporary folder");
        program = root.filePath(QStringLiteral("program"));
        videoTs = root.filePath(QStringLiteral("VIDEO_TS"));
        out = root.filePath(QStringLiteral("out/video"));
        log = root.filePath(QStringLiteral("calls.log"));
        QDir().mkpath(program);
        QDir().mkpath(videoTs);
        QFile::copy(QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt"),
                    program + QStringLiteral("/profile.txt"));
        if (withEncoder)
            WriteEncoder(QByteArray(kFakeEncoder).replace("@LOG@", QFile::encodeName(log)));
        for (int n = 1; n <= sources; ++n)
            WriteFile(Source(n), QByteArray(5000 * n, 'v'));
        w = std::make_unique<TMainForm1>(program + QStringLiteral("/DVD_zento"));
        w->C1_03->SetText(out);
        w->C2_01->SetItemIndex(FindCatalogueRow(Catalogue::Containers, QStringLiteral("AVI,")));
        for (int n = 1; n <= sources; ++n) {
            w->CheckListBox1->SetItemChecked(w->CheckListBox1->AddItem(Source(n)), true);
            w->CheckListBox2->SetItemChecked(w->CheckListBox2->AddItem(QStringLiteral("01_%1").arg(n)), true);
        }
        SetDialogHooks(
            {[this](const QString &text) { Record(text); }, [this] { Record(QString()); }, nullptr});
    }
    ~Fixture()
    {
        SetDialogHooks({});
        for (const char *name : kFakeVariables)
            qunsetenv(name);
    }

    void WriteEncoder(const QByteArray &script)
    {
        const QString path = program + QStringLiteral("/ffmpeg");
        WriteFile(path, script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void Record(const QString &text)
    {
        dialogs.append({text, w->isEnabled(), int(VisibleProgressForms().size())});
    }
    QString Source(int n) const { return videoTs + QStringLiteral("/VTS_01_%1.VOB").arg(n); }
    QString Output(int n) const { return out + QStringLiteral("/VTS_01_%1.avi").arg(n); }
    QStringList Calls() const
    {
        return QString::fromUtf8(ReadFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The calls without the parts that vary from run to run.
    QStringList CallsShort() const
    {
        QStringList calls;
        for (const QString &call : Calls())
            calls << call.section(QLatin1String(" pre="), 0, 0);
        return calls;
    }
    QStringList Messages() const
    {
        QStringList texts;
        for (const Dialog &dialog : dialogs)
            if (!dialog.text.isEmpty())
                texts << dialog.text;
        return texts;
    }
    int Beeps() const
    {
        return int(
            std::count_if(dialogs.begin(), dialogs.end(), [](const Dialog &d) { return d.text.isEmpty(); }));
    }
    QList<bool> Ticks() const
    {
        QList<bool> ticks;
        for (int i = 0; i < w->CheckListBox2->Count(); ++i)
            ticks << w->CheckListBox2->IsItemChecked(i);
        return ticks;
    }
    void Run() { w->CButton10Click(w->CButton10); }
    // After the run the main window is usable and no progress window is left.
    void CheckClosed() const
    {
        QVERIFY(w->isEnabled());
        QVERIFY(w->ProgressForm1.isNull());
        QVERIFY(VisibleProgressForms().isEmpty());
        QVERIFY(!QFile::exists(program + QStringLiteral("/_thumb.jpg")));
    }
    QString ThumbnailSource() const
    {
        const QString path = root.filePath(QStringLiteral("thumb_source.jpg"));
        if (!QFile::exists(path)) {
            QImage image(80, 60, QImage::Format_RGB32);
            image.fill(QColor(10, 200, 10));
            image.save(path, "JPG");
        }
        return path;
    }
};

} // namespace

class TestConversionRun : public QObject
{
    Q_OBJECT
  private slots:
    void emptyListDoesNothing()
    {
        Fixture f(0);
        f.Run();
        QVERIFY(f.dialogs.isEmpty());
        QVERIFY(f.Calls().isEmpty());
        QVERIFY(f.w->isEnabled());
        QVERIFY(!QFileInfo::exists(f.out)); // not even the folder
    }

    void untickedListEndsWithTheSound()
    {
        Fixture f(2);
        f.w->CheckListBox2->SetItemChecked(0, false);
        f.w->CheckListBox2->SetItemChecked(1, false);
        f.Run();
        QVERIFY(f.Calls().isEmpty());
        QCOMPARE(f.dialogs.size(), 1);
        QCOMPARE(f.Beeps(), 1);
        QCOMPARE(f.dialogs[0].progressWindows, 1); // shown, then closed after the sound
        QVERIFY(!f.dialogs[0].mainEnabled);
        QCOMPARE(f.Ticks(), (QList<bool>{false, false}));
        f.CheckClosed();
        QVERIFY(QFileInfo(f.out).isDir()); // created with its parents
    }

    void onlyTheThirdOfThreeTicked()
    {
        Fixture f(3);
        f.w->CheckListBox2->SetItemChecked(0, false);
        f.w->CheckListBox2->SetItemChecked(1, false);
        qputenv("FAKE_SLEEP", "1.5");
        qputenv("FAKE_THUMB", QFile::encodeName(f.ThumbnailSource()));
        // what the progress window shows while the encoder runs
        QSet<QString> bars, labels, sizes;
        bool picture = false;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (TProgressForm1 *form = f.w->ProgressForm1) {
                bars << QStringLiteral("%1/%2 %3")
                            .arg(form->ProgressBar1->value())
                            .arg(form->ProgressBar1->maximum())
                            .arg(form->ProgressBar1->text());
                labels << form->Label1->text();
                sizes << form->Label2->text();
                picture = picture || form->HasPicture();
                QVERIFY(!f.w->isEnabled());
            }
        });
        sampler.start(50);
        f.Run();
        sampler.stop();

        QCOMPARE(bars, QSet<QString>{QStringLiteral("2/3 67 %")});
        QCOMPARE(labels, QSet<QString>{QStringLiteral("VTS_01_3.VOB -> VTS_01_3.avi")});
        QVERIFY2(sizes.contains(QStringLiteral("15KB -> 0KB")),
                 qPrintable(QStringList(sizes.values()).join('|')));
        QVERIFY(picture);
        const QStringList calls = f.Calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0], QStringLiteral("thumb VTS_01_3.VOB"));
        QVERIFY2(
            calls[1].startsWith(QStringLiteral("encode VTS_01_3.VOB pass=0 pre=no stdin=/dev/null cwd=")),
            qPrintable(calls[1]));
        QVERIFY(calls[1].endsWith(QStringLiteral("out=") + f.Output(3)));
        QCOMPARE(ReadFile(f.Output(3)), QByteArray("complete"));
        QVERIFY(!QFile::exists(f.Output(1)) && !QFile::exists(f.Output(2)));
        QCOMPARE(f.Messages(), QStringList());
        QCOMPARE(f.Beeps(), 1);
        QCOMPARE(f.Ticks(), (QList<bool>{false, false, true}));
        QCOMPARE(f.w->CurrentSourcePath, f.Source(3)); // the last pass's state stays
        QCOMPARE(f.w->CurrentOutputPath, f.Output(3));
        f.CheckClosed();
    }

    void cancelDuringPassOneOfTwo()
    {
        Fixture f(2);
        f.w->CheckBox1->setChecked(true);
        qputenv("FAKE_SLEEP_PASS1", "20");
        // served in the first event round of the run: pass 1 of the first entry
        int round = 0;
        QTimer::singleShot(0, [&] {
            ++round;
            QVERIFY(f.w->ProgressForm1);
            f.w->ProgressForm1->CButton1Click(f.w->ProgressForm1->CButton1);
        });
        QElapsedTimer clock;
        clock.start();
        f.Run();
        QCOMPARE(round, 1);
        QVERIFY2(clock.elapsed() < 15000, "the cancel did not end pass 1");
        QCOMPARE(f.CallsShort(), (QStringList{
                                     QStringLiteral("thumb VTS_01_1.VOB"),
                                     QStringLiteral("encode VTS_01_1.VOB pass=1"),
                                     QStringLiteral("thumb VTS_01_1.VOB"),
                                     QStringLiteral("encode VTS_01_1.VOB pass=2"),
                                     QStringLiteral("thumb VTS_01_2.VOB"),
                                     QStringLiteral("encode VTS_01_2.VOB pass=1"),
                                     QStringLiteral("thumb VTS_01_2.VOB"),
                                     QStringLiteral("encode VTS_01_2.VOB pass=2"),
                                 }));
        const QStringList calls = f.Calls();
        // the cut-off output of pass 1 was deleted before pass 2 began
        QVERIFY2(calls[3].contains(QStringLiteral(" pre=no ")), qPrintable(calls[3]));
        QVERIFY(calls[7].contains(QStringLiteral(" pre=yes ")));
        QCOMPARE(ReadFile(f.Output(1)), QByteArray("complete"));
        QCOMPARE(ReadFile(f.Output(2)), QByteArray("complete"));
        QCOMPARE(f.Messages(), QStringList()); // a cancel is no failure
        QCOMPARE(f.Beeps(), 1);
        // every pass ran in one working folder of the run, gone afterwards
        QSet<QString> folders;
        for (const QString &call : calls)
            if (call.startsWith(QStringLiteral("encode")))
                folders << call.section(QStringLiteral("cwd="), 1).section(QStringLiteral(" out="), 0, 0);
        QCOMPARE(folders.size(), 1);
        const QString work = *folders.begin();
        QVERIFY(work != QDir::currentPath() && work != f.out);
        QVERIFY(!QFileInfo::exists(work));
        f.CheckClosed();
    }

    void cancelAfterTheEncoderEnded()
    {
        Fixture f(1);
        qputenv("FAKE_SLEEP", "0.3");
        QTimer::singleShot(0, [&] {
            // the encoder ends meanwhile; no event is handled, so the run has not noticed
            QElapsedTimer clock;
            clock.start();
            while (ReadFile(f.Output(1)) != "complete" && clock.elapsed() < 10000)
                QThread::msleep(20);
            QThread::msleep(300); // its last step after the write: the exit
            f.w->ProgressForm1->CButton1Click(f.w->ProgressForm1->CButton1);
        });
        f.Run();
        QCOMPARE(f.Messages(), QStringList{QStringLiteral("変換を中止できませんでした。")});
        QCOMPARE(f.Beeps(), 2); // before the message, and at the end
        QCOMPARE(f.dialogs[0].progressWindows, 1);
        QCOMPARE(ReadFile(f.Output(1)), QByteArray("complete")); // kept: it may be complete
        f.CheckClosed();
    }

    void twoCancelsInOneRound()
    {
        Fixture f(1);
        qputenv("FAKE_SLEEP", "20");
        QTimer::singleShot(0, [&] {
            f.w->ProgressForm1->CButton1Click(f.w->ProgressForm1->CButton1);
            f.w->ProgressForm1->CButton1Click(f.w->ProgressForm1->CButton1);
        });
        QElapsedTimer clock;
        clock.start();
        f.Run();
        QVERIFY(clock.elapsed() < 15000);
        QCOMPARE(f.Messages(), QStringList{QStringLiteral("変換を中止できませんでした。")});
        QVERIFY(!QFile::exists(f.Output(1))); // the first cut it off: deleted
        f.CheckClosed();
    }

    void encoderCannotBeStarted_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: no encoder at all
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QByteArray()
                                 << QStringLiteral("エンコーダ ffmpeg が見つかりませんでした。");
        QTest::newRow("not startable") << QByteArray("#!/nonexistent/interpreter\n")
                                       << QStringLiteral("を起動できませんでした。処理を中止します。");
    }
    void encoderCannotBeStarted()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        Fixture f(2, false);
        if (!script.isEmpty())
            f.WriteEncoder(script);
        QTemporaryDir emptyPath;
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(emptyPath.path()));
        f.Run();
        qputenv("PATH", oldPath);
        const QStringList messages = f.Messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(expected), qPrintable(messages[0]));
        QVERIFY(messages[0].contains(f.program + QStringLiteral("/ffmpeg"))); // where it was looked for
        QCOMPARE(f.Beeps(), 1);                                               // the failure's beep only
        QCOMPARE(f.dialogs.last().progressWindows, 1);
        QVERIFY(!QFile::exists(f.Output(1)) && !QFile::exists(f.Output(2)));
        f.CheckClosed();
    }

    void failedAndCrashedRunsAreReported()
    {
        Fixture f(3);
        qputenv("FAKE_END_1", "fail");
        qputenv("FAKE_END_2", "crash");
        f.Run();
        QCOMPARE(f.CallsShort().size(), 6); // the run went on after each
        QCOMPARE(f.dialogs.size(), 2);
        QVERIFY(f.dialogs[0].text.isEmpty()); // the end's sound first
        const Dialog report = f.dialogs[1];
        QVERIFY(report.mainEnabled); // after the closing steps
        QCOMPARE(report.progressWindows, 0);
        QVERIFY(report.text.startsWith(QStringLiteral("変換できなかったファイルがあります。")));
        QVERIFY(report.text.contains(
            QStringLiteral("VTS_01_1.VOB -> VTS_01_1.avi\n  エンコーダの終了コード: 1")));
        QVERIFY(report.text.contains(QStringLiteral("Conversion failed!")));
        QVERIFY(report.text.contains(
            QStringLiteral("VTS_01_2.VOB -> VTS_01_2.avi\n  エンコーダが異常終了しました。")));
        QVERIFY(!report.text.contains(QStringLiteral("VTS_01_3")));
        QCOMPARE(ReadFile(f.Output(3)), QByteArray("complete"));
        QCOMPARE(ReadFile(f.Output(1)), QByteArray("partial")); // a failure is not a cancel: kept
        f.CheckClosed();
    }

    void sourceIsNeverTheOutput_data()
    {
        QTest::addColumn<QString>("folder"); // relative to the temporary root
        QTest::newRow("same folder") << QStringLiteral("VIDEO_TS");
        QTest::newRow("spelled otherwise") << QStringLiteral("out/../VIDEO_TS/.");
    }
    void sourceIsNeverTheOutput()
    {
        QFETCH(QString, folder);
        Fixture f(1);
        f.w->CheckBox1->setChecked(true);
        f.w->C2_01->SetItemIndex(0); // the source's own extension
        QDir().mkpath(f.root.filePath(QStringLiteral("out")));
        f.w->C1_03->SetText(f.root.path() + QLatin1Char('/') + folder);
        const QByteArray before = ReadFile(f.Source(1));
        f.Run();
        QVERIFY(f.Calls().isEmpty());
        QCOMPARE(ReadFile(f.Source(1)), before);
        const QStringList messages = f.Messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(QStringLiteral("VTS_01_1.VOB -> VTS_01_1.VOB (1パス目)")));
        QVERIFY(messages[0].contains(QStringLiteral("出力先が変換元と同じファイル")));
        QVERIFY(!messages[0].contains(QStringLiteral("2パス目")));
        f.CheckClosed();
    }

    void abortedRuns_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("badThumbnail");
        QTest::newRow("empty output folder") << QString() << false;
        QTest::newRow("unreadable thumbnail") << QStringLiteral("x") << true;
    }
    void abortedRuns()
    {
        QFETCH(QString, folder);
        QFETCH(bool, badThumbnail);
        Fixture f(2);
        if (folder.isEmpty())
            f.w->C1_03->SetText(QString());
        if (badThumbnail) {
            const QString bad = f.root.filePath(QStringLiteral("bad.jpg"));
            WriteFile(bad, "this is no picture");
            qputenv("FAKE_THUMB", QFile::encodeName(bad));
        }
        f.Run();
        QCOMPARE(f.Messages(),
                 QStringList{QStringLiteral("非対応フォーマットが含まれていました。処理を中止します。")});
        QCOMPARE(f.Beeps(), 1);
        QCOMPARE(f.dialogs.last().progressWindows, 1); // the message comes before the release
        // no encoder run; the unreadable file is gone and cannot stop the next run
        QCOMPARE(f.CallsShort(),
                 badThumbnail ? QStringList{QStringLiteral("thumb VTS_01_1.VOB")} : QStringList());
        f.CheckClosed();
        QCOMPARE(f.Ticks(), (QList<bool>{true, true}));
    }

    void relativeOutputFolder()
    {
        Fixture f(1);
        const QString old = QDir::currentPath();
        QDir::setCurrent(f.root.path());
        f.w->C1_03->SetText(QStringLiteral("rel/out"));
        f.Run();
        QDir::setCurrent(old);
        const QString expected = f.root.path() + QStringLiteral("/rel/out/VTS_01_1.avi");
        QCOMPARE(ReadFile(expected), QByteArray("complete"));
        QVERIFY(f.Calls().constLast().endsWith(QStringLiteral("out=") + expected));
        QCOMPARE(f.w->CurrentOutputPath, expected);
        QCOMPARE(f.Messages(), QStringList());
        f.CheckClosed();
    }
};

QTEST_MAIN(TestConversionRun)
#include "test_conversion_run.moc"
