// The conversion run against a fake encoder: a bash script named ffmpeg in the
// program folder. It logs every call into calls.log beside that folder and reads
// fake.conf next to it: THUMB, a file copied to the thumbnail path; SLEEP, seconds
// of every run; SLEEP_PASS1, extra seconds of pass 1 of VTS_01_1.VOB; END and
// END_<n>, "fail" (exit 1) or "crash" (SIGSEGV), for all sources or VTS_01_<n>.VOB.
#include "app/main_form.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/multi_col_combo_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace zento;
using test::ReadFile;
using test::WriteFile;

namespace {

const char kFakeEncoder[] = R"SH(#!/bin/bash
dir=$(dirname "$0"); log="$dir/../calls.log"; out="${@: -1}"; src="$2"
[ -f "$dir/fake.conf" ] && . "$dir/fake.conf"
if [[ " $* " == *" image2 "* ]]; then
    echo "thumb $(basename "$src")" >> "$log"; [ -n "$THUMB" ] && cp "$THUMB" "$out"; exit 0
fi
pass=0; [[ " $* " =~ " -pass "([12])" " ]] && pass=${BASH_REMATCH[1]}
pre=no; [ -e "$out" ] && pre=yes
# a loaded machine may start the thumbnail run late: its line comes first
for i in {1..100}; do [ "$(grep -c '^thumb' "$log")" -gt "$(grep -c '^encode' "$log")" ] && break; sleep 0.05; done
echo "encode $(basename "$src") pass=$pass pre=$pre stdin=$(readlink /proc/self/fd/0) cwd=$(pwd) out=$out" >> "$log"
printf 'partial' > "$out"
n=$(basename "$src" .VOB); n=${n##*_}
sleep "${SLEEP:-0}"; [ "$pass$n" = 11 ] && sleep "${SLEEP_PASS1:-0}"
eval "end=\${END_$n:-\$END}"
echo "frame=  100 fps=0.0 q=2.0 size=1kB time=00:00:04.00" >&2
[ "$end" = crash ] && kill -SEGV $$
[ "$end" = fail ] && { echo "Conversion failed!" >&2; exit 1; }
printf 'complete' > "$out"
)SH";

int VisibleProgressForms()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<TProgressForm1 *>(widget) && widget->isVisible();
    return count;
}

// A message (a beep: no text) and the state of the windows at that moment.
struct Dialog {
    QString text;
    bool mainEnabled;
    int progressWindows; // visible ones
};

// A program folder with the fake encoder, a VIDEO_TS with sources (all ticked
// unless `ticks` says otherwise), an output folder and the main window set to AVI.
struct Fixture {
    QTemporaryDir root;
    QString program = root.filePath("program"), out = root.filePath("out/video");
    std::unique_ptr<TMainForm1> w;
    QList<bool> ticks;
    QList<Dialog> dialogs;
    QStringList messages;
    int beeps = 0;

    explicit Fixture(int sources, const QList<bool> &ticked = {}) : ticks(ticked)
    {
        WriteFile(program + "/profile.txt", test::ShippedProfile());
        WriteEncoder(kFakeEncoder);
        for (int n = 1; n <= sources; ++n)
            WriteFile(Source(n), QByteArray(5000 * n, 'v'));
        w = std::make_unique<TMainForm1>(program + "/DVD_zento");
        w->C1_03->SetText(out);
        w->C2_01->SetItemIndex(FindCatalogueRow(Catalogue::Containers, "AVI,"));
        for (int n = 1; n <= sources; ++n) {
            w->CheckListBox1->SetItemChecked(w->CheckListBox1->AddItem(Source(n)), true);
            w->CheckListBox2->SetItemChecked(w->CheckListBox2->AddItem(QString("01_%1").arg(n)),
                                             ticks.value(n - 1, true));
        }
        const auto record = [this](const QString &text) {
            dialogs.append({text, w->isEnabled(), VisibleProgressForms()});
            text.isEmpty() ? void(++beeps) : void(messages << text);
        };
        SetDialogHooks({record, [record] { record(QString()); }, nullptr});
    }
    ~Fixture() { SetDialogHooks({}); }
    void Fake(const QByteArray &conf) { WriteFile(program + "/fake.conf", conf); }
    void WriteEncoder(const QByteArray &script) // none: no encoder at all
    {
        QFile::remove(program + "/ffmpeg");
        if (!script.isEmpty() && WriteFile(program + "/ffmpeg", script))
            QFile::setPermissions(program + "/ffmpeg", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Source(int n) const { return root.filePath("VIDEO_TS/VTS_01_%1.VOB").arg(n); }
    QString Output(int n) const { return out + QString("/VTS_01_%1.avi").arg(n); }
    QStringList Calls(bool full = true) const // without the parts that vary unless full
    {
        QStringList calls = QString::fromUtf8(ReadFile(root.filePath("calls.log"))).split('\n', Qt::SkipEmptyParts);
        for (QString &call : calls)
            call = full ? call : call.section(" pre=", 0, 0);
        return calls;
    }
    void Run() { w->CButton10Click(w->CButton10); }
    void Cancel() { w->ProgressForm1->CButton1Click(w->ProgressForm1->CButton1); }
    // After the run the main window is usable, no progress window or thumbnail is
    // left and the ticks are as they were.
    void CheckClosed() const
    {
        for (int i = 0; i < w->CheckListBox2->Count(); ++i)
            QCOMPARE(w->CheckListBox2->IsItemChecked(i), ticks.value(i, true));
        QVERIFY(w->isEnabled());
        QVERIFY(w->ProgressForm1.isNull());
        QCOMPARE(VisibleProgressForms(), 0);
        QVERIFY(!QFile::exists(program + "/_thumb.jpg"));
    }
};

} // namespace

class TestConversionRun : public QObject {
    Q_OBJECT
private slots:
    void emptyListDoesNothing()
    {
        Fixture f(0);
        f.Run();
        QVERIFY(f.dialogs.isEmpty() && f.Calls().isEmpty());
        QVERIFY(!QFileInfo::exists(f.out)); // not even the folder
    }

    void onlyTheThirdOfThreeTicked()
    {
        Fixture f(3, {false, false});
        f.Fake("SLEEP=1.5\n");
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(f.root.path());
        f.w->C1_03->SetText("out/video");  // relative: taken against the current folder
        QSet<QString> bars, labels, sizes; // what the progress window shows meanwhile
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (TProgressForm1 *form = f.w->ProgressForm1) {
                const QProgressBar *bar = form->ProgressBar1;
                bars << QString("%1/%2 %3").arg(bar->value()).arg(bar->maximum()).arg(bar->text());
                labels << form->Label1->text();
                sizes << form->Label2->text();
                QVERIFY(!f.w->isEnabled());
            }
        });
        sampler.start(50);
        f.Run();
        sampler.stop();
        QDir::setCurrent(oldCurrent);
        QCOMPARE(bars, QSet<QString>{"2/3 67 %"});
        QCOMPARE(labels, QSet<QString>{"VTS_01_3.VOB -> VTS_01_3.avi"});
        QVERIFY2(sizes.contains("15KB -> 0KB"), qPrintable(QStringList(sizes.values()).join('|')));
        QCOMPARE(f.Calls(false), (QStringList{"thumb VTS_01_3.VOB", "encode VTS_01_3.VOB pass=0"}));
        const QString call = f.Calls().at(1);
        QVERIFY2(call.contains(" stdin=/dev/null cwd=") && call.endsWith("out=" + f.Output(3)), qPrintable(call));
        QCOMPARE(ReadFile(f.Output(3)), "complete");
        QCOMPARE(f.messages, QStringList());
        QCOMPARE(f.beeps, 1);
        f.CheckClosed();
    }

    void cancelDuringPassOneOfTwo()
    {
        Fixture f(2);
        f.w->CheckBox1->setChecked(true);
        f.Fake("SLEEP_PASS1=20\n");
        // pass 1 of entry 1, once the encoder has logged its call
        bool cancelled = false;
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            if (!cancelled && f.Calls(false).contains("encode VTS_01_1.VOB pass=1")) {
                cancelled = true;
                f.Cancel();
            }
        });
        canceller.start(10);
        const QDeadlineTimer deadline(15000);
        f.Run();
        QVERIFY2(!deadline.hasExpired(), "the cancel did not end pass 1");
        QVERIFY(cancelled);
        QStringList expected;
        for (const char *entry : {"VTS_01_1.VOB", "VTS_01_2.VOB"})
            for (int pass = 1; pass <= 2; ++pass)
                expected << QString("thumb ") + entry << QString("encode %1 pass=%2").arg(entry).arg(pass);
        QCOMPARE(f.Calls(false), expected);
        const QStringList calls = f.Calls();
        QVERIFY2(calls[3].contains(" pre=no "), qPrintable(calls[3])); // cut-off pass 1 output deleted
        QVERIFY(calls[7].contains(" pre=yes "));
        QVERIFY(!QFile::exists(f.Output(1))); // pass 2 built on the cut-off pass 1: its output goes too
        QCOMPARE(ReadFile(f.Output(2)), "complete");
        QCOMPARE(f.messages, QStringList()); // a cancel is no failure
        QCOMPARE(f.beeps, 1);
        const QString work = calls[1].section("cwd=", 1).section(" out=", 0, 0); // the run's own folder:
        for (int i = 1; i < calls.size(); i += 2)                                // every pass in it, gone afterwards
            QVERIFY2(calls[i].contains("cwd=" + work + " out="), qPrintable(calls[i]));
        QVERIFY(work != QDir::currentPath() && work != f.out && !QFileInfo::exists(work));
        f.CheckClosed();
    }

    void cancelFindingNothingToStop_data()
    {
        QTest::addColumn<bool>("afterEnd"); // else the second of two cancels in one event round
        QTest::newRow("after the encoder ended") << true;
        QTest::newRow("two cancels in one round") << false;
    }
    void cancelFindingNothingToStop()
    {
        QFETCH(bool, afterEnd);
        Fixture f(1);
        f.Fake(afterEnd ? "SLEEP=0.3\n" : "SLEEP=20\n");
        QTimer::singleShot(0, [&] {
            const QDeadlineTimer wait(10000); // the encoder ends meanwhile, unnoticed: no event is handled
            while (afterEnd && ReadFile(f.Output(1)) != "complete" && !wait.hasExpired())
                QTest::qSleep(20);
            QTest::qSleep(afterEnd ? 300 : 0); // its last step after the write: the exit
            if (!afterEnd)
                f.Cancel();
            f.Cancel();
        });
        const QDeadlineTimer deadline(15000);
        f.Run();
        QVERIFY(!deadline.hasExpired());
        QCOMPARE(f.messages, QStringList{"変換を中止できませんでした。"});
        QCOMPARE(f.beeps, 2); // before the message, and at the end
        QCOMPARE(f.dialogs[0].progressWindows, 1);
        // kept when it may be complete; deleted when the first cancel cut it off
        QCOMPARE(QFile::exists(f.Output(1)), afterEnd);
        f.CheckClosed();
    }

    void failedAndCrashedRunsAreReported()
    {
        Fixture f(3);
        f.Fake("END_1=fail\nEND_2=crash\n");
        f.Run();
        QCOMPARE(f.Calls().size(), 6); // the run went on after each
        QCOMPARE(f.dialogs.size(), 2);
        QVERIFY(f.dialogs[0].text.isEmpty()); // the end's sound first
        const Dialog report = f.dialogs[1];
        QVERIFY(report.mainEnabled); // after the closing steps
        QCOMPARE(report.progressWindows, 0);
        QVERIFY(report.text.startsWith("変換できなかったファイルがあります。"));
        for (const char *part : {"VTS_01_1.VOB -> VTS_01_1.avi\n  エンコーダの終了コード: 1", "Conversion failed!",
                                 "VTS_01_2.VOB -> VTS_01_2.avi\n  エンコーダが異常終了しました。"})
            QVERIFY2(report.text.contains(QString::fromUtf8(part)), qPrintable(report.text));
        QVERIFY(!report.text.contains("VTS_01_3"));
        QCOMPARE(ReadFile(f.Output(3)), "complete");
        QCOMPARE(ReadFile(f.Output(1)), "partial"); // a failure is not a cancel: kept
        f.CheckClosed();
    }

    // Runs that encode nothing. Each beeps once and shows one message (none when nothing is
    // ticked): an abort's over the progress window, the report of entries not converted
    // (output = source) after the release.
    void runsThatEncodeNothing_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("parts"); // the message holds each
        const QStringList unsupported{"非対応フォーマットが含まれていました。処理を中止します。"};
        const QStringList same{"VTS_01_1.VOB -> VTS_01_1.VOB (1パス目)", "出力先が変換元と同じファイル"};
        QTest::newRow("nothing ticked") << "unticked" << QStringList();
        QTest::newRow("missing encoder") << "no encoder"
                                         << QStringList{"エンコーダ ffmpeg が見つかりませんでした。",
                                                        "/program/ffmpeg"};
        QTest::newRow("encoder not startable")
            << "#!/nonexistent/interpreter\n"
            << QStringList{"を起動できませんでした。処理を中止します。", "/program/ffmpeg"};
        QTest::newRow("empty output folder") << "no folder" << unsupported;
        QTest::newRow("unreadable thumbnail") << "bad thumbnail" << unsupported;
        QTest::newRow("output is the source") << "VIDEO_TS" << same;
        QTest::newRow("output is the source spelled otherwise") << "out/../VIDEO_TS/." << same;
    }
    void runsThatEncodeNothing()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, parts);
        const bool encoderRow = setup == "no encoder" || setup.startsWith("#!");
        Fixture f(2, QList<bool>(2, setup != "unticked"));
        if (encoderRow)
            f.WriteEncoder(setup == "no encoder" ? QByteArray() : setup.toUtf8());
        if (setup == "no folder")
            f.w->C1_03->SetText(QString());
        if (setup == "bad thumbnail")
            f.Fake("THUMB=\"$dir/profile.txt\"\n"); // no picture
        const bool sameFile = setup.contains("VIDEO_TS");
        if (sameFile) {
            f.w->CheckBox1->setChecked(true);
            f.w->C2_01->SetItemIndex(0); // the source's own extension
            f.w->C1_03->SetText(f.root.filePath(setup));
        }
        const QByteArray oldPath = qgetenv("PATH");
        if (encoderRow)
            qputenv("PATH", "/nonexistent");
        f.Run();
        qputenv("PATH", oldPath);
        QCOMPARE(f.messages.size(), parts.isEmpty() ? 0 : 1);
        for (const QString &part : parts)
            QVERIFY2(f.messages[0].contains(part) && !f.messages[0].contains("2パス目"), qPrintable(f.messages[0]));
        QCOMPARE(f.beeps, 1);
        QVERIFY(setup != "unticked" || QFileInfo(f.out).isDir()); // created with its parents
        QCOMPARE(f.dialogs.last().progressWindows, sameFile ? 0 : 1);
        QCOMPARE(f.dialogs.last().mainEnabled, sameFile);
        // no encoder run; an unreadable thumbnail is gone and cannot stop the next run
        QCOMPARE(f.Calls(false), setup == "bad thumbnail" ? QStringList{"thumb VTS_01_1.VOB"} : QStringList());
        QVERIFY(!QFile::exists(f.Output(1)) && !QFile::exists(f.Output(2)));
        QCOMPARE(ReadFile(f.Source(1)), QByteArray(5000, 'v'));
        f.CheckClosed();
    }
};

QTEST_MAIN(TestConversionRun)
#include "test_conversion_run.moc"
