// The parts of a title joined into one encoder run, the progress of the
// encoder run in the progress window, and the tick box's place in the
// settings file; against a fake encoder.
#include "convert/title_jobs.h"
#include "support/fake_encoder.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

using namespace zento;
using test::FaultBench;
using test::ReadFile;
using test::WriteFile;

namespace {

// Logs like the fault encoder (argv.<n>, pids, calls: "thumb" or "encode"),
// keeps what it reads from a pipe (stdin.<n>), and prints, when
// fake.conf says so, a "Duration:" line (DURATION) and one progress line
// for each of TIMES, STEP seconds apart.
const char kProgressEncoder[] = R"SH(#!/bin/bash
dir=$(dirname "$0"); out="${@: -1}"
n=$(( $(cat "$dir/count" 2>/dev/null || echo 0) + 1 )); echo "$n" > "$dir/count"
printf '%s\0' "$@" > "$dir/argv.$n"
echo "$$" >> "$dir/pids"
[ -f "$dir/fake.conf" ] && . "$dir/fake.conf"
if [[ " $* " == *" image2 "* ]]; then echo thumb >> "$dir/calls"; exit 0; fi
[[ " $* " == *" pipe:0 "* ]] && cat > "$dir/stdin.$n"
echo encode >> "$dir/calls"
# READ: bytes of the input read (and held open) before the progress lines.
[ -n "$READ" ] && { exec 3<"$2"; head -c "$READ" <&3 >/dev/null; }
[ -n "$DURATION" ] && printf 'Input #0, mpeg, from x:\n  Duration: %s, start: 0.2\n' "$DURATION" >&2
for t in $TIMES; do
    sleep "${STEP:-0}"; printf 'frame=  9 fps=0.0 q=2.0 size=  1kB time=%s bitrate=1.0kbits/s\r' "$t" >&2
done
sleep "${STEP:-0}"
printf 'complete' > "$out"
)SH";

// A menu part and a title in three parts, in a folder of the given name.
QStringList Disc(const QTemporaryDir &root, const QString &folder = "disc")
{
    QStringList paths;
    for (int n = 0; n <= 3; ++n)
        paths << root.filePath(folder + QString("/VIDEO_TS/VTS_01_%1.VOB").arg(n));
    return paths;
}

// What the progress window showed, sampled while the run went on.
struct Seen {
    QStringList labels, bars, progress;
    void Add(QStringList &list, const QString &text)
    {
        if (list.isEmpty() || list.last() != text)
            list << text;
    }
};

Seen RunSampled(FaultBench &b)
{
    Seen seen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (TProgressForm1 *form = b.w->ProgressForm1) {
            seen.Add(seen.labels, form->Label1->text());
            seen.Add(seen.bars, QString::number(form->ProgressBar1->value()));
            seen.Add(seen.progress, form->Label3->text());
        }
    });
    sampler.start(30);
    b.Run();
    return seen;
}

} // namespace

class TestTitleJoining : public QObject {
    Q_OBJECT
    QTemporaryDir root_;

private slots:
    void jobsOfARun_data()
    {
        QTest::addColumn<bool>("join");
        QTest::addColumn<bool>("twoPass");
        QTest::addColumn<QList<bool>>("ticks");
        QTest::addColumn<QStringList>("inputs"); // of the encoder runs: part numbers, "+" between joined ones
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("joined: the menu alone, the title in one run")
            << true << false << QList<bool>{true, true, true, true} << QStringList{"0", "1+2+3"}
            << QStringList{"VTS_01_0.VOB -> VTS_01_0.avi", "VTS_01_1.VOB + 2 -> VTS_01_1.avi"};
        QTest::newRow("not joined: as before")
            << false << false << QList<bool>{true, true, true, true} << QStringList{"0", "1", "2", "3"}
            << QStringList{"VTS_01_0.VOB -> VTS_01_0.avi", "VTS_01_1.VOB -> VTS_01_1.avi",
                           "VTS_01_2.VOB -> VTS_01_2.avi", "VTS_01_3.VOB -> VTS_01_3.avi"};
        QTest::newRow("joined, two passes")
            << true << true << QList<bool>{false, true, true, true} << QStringList{"1+2+3", "1+2+3"}
            << QStringList{"VTS_01_1.VOB + 2 -> VTS_01_1.avi"};
        QTest::newRow("joined, part 2 unticked")
            << true << false << QList<bool>{false, true, false, true} << QStringList{"1", "3"}
            << QStringList{"VTS_01_1.VOB -> VTS_01_1.avi", "VTS_01_3.VOB -> VTS_01_3.avi"};
    }
    void jobsOfARun()
    {
        QFETCH(bool, join);
        QFETCH(bool, twoPass);
        QFETCH(QList<bool>, ticks);
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, labels);
        FaultBench b(4, Disc(root_, QTest::currentDataTag()));
        b.SetEncoder(kProgressEncoder);
        b.Fake("STEP=0.2\n");
        b.w->CheckBox2->setChecked(join);
        b.w->CheckBox1->setChecked(twoPass);
        for (int i = 0; i < ticks.size(); ++i)
            b.w->CheckListBox2->SetItemChecked(i, ticks[i]);
        const Seen seen = RunSampled(b);

        QStringList calls;
        QStringList expectedInputs;
        QSet<QString> outputs;
        for (const QString &input : inputs) {
            QStringList parts;
            for (const QString &n : input.split('+'))
                parts << b.sources[n.toInt()];
            expectedInputs << (parts.size() > 1 ? "pipe:0" : parts[0]);
            calls << "thumb"
                  << "encode";
            outputs << QFileInfo(b.Output(input.left(1).toInt())).fileName();
        }
        QCOMPARE(b.Calls(), calls);
        for (int i = 0; i < inputs.size(); ++i) {
            const QStringList thumbnail = b.Arguments(2 * i + 1), encoder = b.Arguments(2 * i + 2);
            QCOMPARE(thumbnail.mid(0, 2), (QStringList{"-i", b.sources[inputs[i].left(1).toInt()]}));
            const qsizetype input = encoder.indexOf("-i");
            const QStringList before = expectedInputs[i] == "pipe:0" ? QStringList{"-f", "mpeg"} : QStringList{};
            QCOMPARE(encoder.mid(0, input), before);
            QCOMPARE(encoder.value(input + 1), expectedInputs[i]);
            QCOMPARE(encoder.contains("-pass"), twoPass);
        }
        QCOMPARE(seen.labels, labels);
        QStringList bars; // the index of each job's first entry
        for (const QString &input : inputs)
            if (bars.isEmpty() || bars.last() != input.left(1))
                bars << input.left(1);
        QCOMPARE(seen.bars, bars);
        const QStringList written = QDir(b.out).entryList(QDir::Files);
        QCOMPARE(QSet<QString>(written.begin(), written.end()), outputs);
        QCOMPARE(b.messages, QStringList{QString()});
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
    }

    // Parts whose folder holds a "|" and a line break are joined all the
    // same: the encoder reads them through a pipe, one after the other.
    void oddFolderNamesJoinThroughThePipe()
    {
        FaultBench b(4, Disc(root_, "disc|bar\nline"));
        b.SetEncoder(kProgressEncoder);
        b.w->CheckBox2->setChecked(true);
        b.w->CheckListBox2->SetItemChecked(0, false);
        b.Run();
        QCOMPARE(b.Calls(), (QStringList{"thumb", "encode"}));
        const QStringList arguments = b.Arguments(2);
        QCOMPARE(arguments.mid(0, 4), (QStringList{"-f", "mpeg", "-i", "pipe:0"}));
        QByteArray parts;
        for (const QString &part : b.sources.mid(1))
            parts += ReadFile(part);
        QVERIFY(!parts.isEmpty());
        QCOMPARE(ReadFile(b.program + "/stdin.2"), parts);
        QCOMPARE(arguments.last(), b.Output(1));
        QCOMPARE(ReadFile(b.Output(1)), "complete");
        QCOMPARE(b.messages, QStringList{QString()});
    }

    // A title file in a folder below VIDEO_TS has the name of the title's
    // first part: within one run it never overwrites that output.
    void sameNameIsNumbered()
    {
        const QString disc = root_.filePath("same");
        FaultBench b(2, {disc + "/VIDEO_TS/VTS_01_1.VOB", disc + "/VIDEO_TS/extra/VTS_01_1.VOB"});
        b.SetEncoder(kProgressEncoder);
        b.Fake("STEP=0.2\n");
        const Seen seen = RunSampled(b);
        QCOMPARE(QDir(b.out).entryList(QDir::Files, QDir::Name), (QStringList{"VTS_01_1 (2).avi", "VTS_01_1.avi"}));
        QCOMPARE(seen.labels, (QStringList{"VTS_01_1.VOB -> VTS_01_1.avi", "VTS_01_1.VOB -> VTS_01_1 (2).avi"}));
        QCOMPARE(b.messages, QStringList{QString()});
    }

    void progressOfTheEncoderRun_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<bool>("twoPass");
        QTest::addColumn<QStringList>("patterns"); // each matched by some sample of Label3; none: all empty
        QTest::addColumn<QString>("never");        // what no sample holds
        const QByteArray timed = "DURATION=00:00:10.00\nSTEP=0.5\n"
                                 "TIMES='00:00:02.00 00:00:04.00 00:00:06.00 00:00:08.00'\n";
        QTest::newRow("percent and estimate")
            << timed << false << QStringList{"^(20|40|60|80) %  残り 約\\d+秒$"} << "パス";
        QTest::newRow("two passes") << timed << true
                                    << QStringList{"^1/2パス (20|40|60|80) %  残り 約\\d+秒$",
                                                   "^2/2パス (20|40|60|80) %  残り 約\\d+秒$"}
                                    << "-";
        // Time stamps that restart inside a file tell a length far too short:
        // how far the encoder has read the file tells the truth.
        QTest::newRow("read position, not a lying duration")
            << QByteArray("DURATION=00:00:01.00\nREAD=1500\nSTEP=0.5\nTIMES='00:00:02.00 00:00:04.00'\n") << false
            << QStringList{"^50 %.*"} << "100 %";
        QTest::newRow("no duration: empty")
            << QByteArray("TIMES='00:00:02.00 00:00:05.00'\nSTEP=0.7\n") << false << QStringList() << "%";
    }
    void progressOfTheEncoderRun()
    {
        QFETCH(QByteArray, conf);
        QFETCH(bool, twoPass);
        QFETCH(QStringList, patterns);
        QFETCH(QString, never);
        FaultBench b(1);
        b.SetEncoder(kProgressEncoder);
        b.Fake(conf);
        b.w->CheckBox1->setChecked(twoPass);
        const Seen seen = RunSampled(b);
        const QString shown = seen.progress.join(" | ");
        if (patterns.isEmpty())
            QCOMPARE(seen.progress, QStringList{QString()});
        for (const QString &pattern : patterns)
            QVERIFY2(seen.progress.indexOf(QRegularExpression(pattern)) >= 0, qPrintable(shown));
        QVERIFY2(!shown.contains(never), qPrintable(shown));
        QCOMPARE(ReadFile(b.Output(0)), "complete");
    }

    void joiningInTheSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("ticked");    // after the first activation
        QTest::addColumn<bool>("tick");      // then set by the user
        QTest::addColumn<QByteArray>("end"); // of the file after the close; empty: no SET5 at all
        QTest::newRow("never used: not written") << QByteArray() << false << false << QByteArray();
        QTest::newRow("ticked: written after SET4")
            << QByteArray() << false << true << QByteArray("[SET4]\r\nC4_C1=0\r\n[SET5]\r\nC5_C1=1\r\n");
        QTest::newRow("stored 1, unticked: written 0")
            << QByteArray("[SET5]\r\nC5_C1=1\r\n") << true << false << QByteArray("[SET5]\r\nC5_C1=0\r\n[SET]");
        QTest::newRow("any other number ticks; other case")
            << QByteArray("[set5]\r\nc5_c1=7\r\n") << true << true << QByteArray("[set5]\r\nc5_c1=1\r\n[SET]");
    }
    void joiningInTheSettingsFile()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, ticked);
        QFETCH(bool, tick);
        QFETCH(QByteArray, end);
        test::ProgramFolder program;
        const QString ini = program.File("DVD_zento.ini");
        if (!stored.isEmpty())
            QVERIFY(WriteFile(ini, stored));
        TMainForm1 w(program.Executable());
        w.FormActivate();
        QCOMPARE(w.CheckBox2->isChecked(), ticked);
        w.CheckBox2->setChecked(tick);
        w.FormClose();
        const QByteArray written = ReadFile(ini);
        if (end.isEmpty())
            QVERIFY2(!written.contains("SET5") && written.endsWith("[SET4]\r\nC4_C1=0\r\n"), written.constData());
        else
            QVERIFY2(written.startsWith(end) || written.endsWith(end), written.constData());
    }
};

QTEST_MAIN(TestTitleJoining)
#include "test_title_joining.moc"
