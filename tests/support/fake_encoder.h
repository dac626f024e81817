#pragma once

// A main window over a program folder whose encoder is a bash script that
// plays the faults a real encoder can have. Every call of the script appends
// its process id to "pids", one line to "calls" ("thumb|encode <source file>
// pass=<n>") and writes its argument vector, NUL-separated, to "argv.<n>",
// all in the program folder. fake.conf next to it (bash, read after $pass
// is known) sets, for all sources or for VTS_01_<n>.VOB alone (END_<n>):
//   END     fail (exit 1), crash (SIGSEGV), crash1 (SIGSEGV in pass 1),
//           nothing (exit 0, no output), hang (never ends), hangchild (waits
//           for a child of its own, whose id goes to "grandchild", that never
//           ends), unfinished (exit 0 after the disk filled as the output
//           was closed), inputgone (exit 0 after its input stopped answering),
//           foldergone (exit 0 after the output's folder was deleted)
//   SLEEP   seconds every encoder run takes
//   THUMB   a file copied to the thumbnail path; THUMB_DELAY seconds before
//           that (THUMB_HALF bytes of it written at once); THUMB_HANG=1:
//           the thumbnail run never ends
//   QUERY_SLEEP seconds the question for the encoder's lists takes
//   ENCODERS the audio encoders it lists (none: the list stays unknown)
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
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace zento::test {

inline const char kFaultEncoder[] = R"SH(#!/bin/bash
dir=$(dirname "$0"); out="${@: -1}"; src="$2"
n=$(( $(cat "$dir/count" 2>/dev/null || echo 0) + 1 )); echo "$n" > "$dir/count"
printf '%s\0' "$@" > "$dir/argv.$n"
echo "$$" >> "$dir/pids"
pass=0; [[ " $* " =~ " -pass "([12])" " ]] && pass=${BASH_REMATCH[1]}
[ -f "$dir/fake.conf" ] && . "$dir/fake.conf"
if [ "$2" = -encoders ] || [ "$2" = -muxers ]; then
    [ "$2" = -encoders ] && for e in $ENCODERS; do echo " A..... $e  listed"; done
    exec sleep "${QUERY_SLEEP:-0}"
fi
if [[ " $* " == *" image2 "* ]]; then
    echo "thumb $(basename "$src")" >> "$dir/calls"
    [ "$THUMB_HANG" = 1 ] && exec sleep 600
    [ -n "$THUMB_HALF" ] && head -c "$THUMB_HALF" "$THUMB" > "$out"
    [ -n "$THUMB_DELAY" ] && sleep "$THUMB_DELAY"
    [ -n "$THUMB" ] && cp "$THUMB" "$out"
    exit 0
fi
# a loaded machine may start the thumbnail run late: its line comes first
for i in {1..100}; do [ "$(grep -c '^thumb' "$dir/calls")" -gt "$(grep -c '^encode' "$dir/calls")" ] && break; sleep 0.05; done
echo "encode $(basename "$src") pass=$pass" >> "$dir/calls"
e=$(basename "$src" .VOB); e=${e##*_}
eval "end=\${END_$e:-\$END}"
[ "$end" = nothing ] && exit 0
printf 'partial' > "$out" || exit 1
sleep "${SLEEP:-0}"
echo "frame=  100 fps=0.0 q=2.0 size=1kB time=00:00:04.00" >&2
case "$end" in
    crash) kill -SEGV $$ ;;
    crash1) [ "$pass" = 1 ] && kill -SEGV $$ ;;
    fail) echo "Conversion failed!" >&2; exit 1 ;;
    hang) exec sleep 600 ;;
    hangchild) sleep 600 & echo $! > "$dir/grandchild"; wait; exit 0 ;;
    inputgone) echo "$src: Transport endpoint is not connected" >&2; exit 0 ;;
    foldergone) rm -rf "$(dirname "$out")"; exit 0 ;;
    unfinished) echo "Error writing trailer of $out: No space left on device" >&2
        echo "Error closing file $out: No space left on device" >&2
        printf '[libx264 @ 0x1] kb/s:1461.21\n[aac @ 0x2] Qavg: 331.318\n1 frames left in the queue on closing\n' >&2
        exit 0 ;;
esac
printf 'complete' > "$out" || exit 1
)SH";

// Whether the process still runs, or lingers unreaped.
inline bool ProcessLeft(const QString &pid)
{
    const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.isEmpty())
        return false;
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || close + 2 >= stat.size() || stat.at(close + 2) != 'X';
}

class FaultBench {
public:
    QTemporaryDir root;
    QString program = root.filePath(QStringLiteral("program"));
    QString out = root.filePath(QStringLiteral("out"));
    std::unique_ptr<TMainForm1> w;
    QStringList messages;    // a beep is an empty text
    QList<bool> mainEnabled; // at each of them
    QStringList sources;

    // Sources VTS_01_<n>.VOB below <root>/<disc>/VIDEO_TS, or the given full paths.
    explicit FaultBench(int count, const QStringList &paths = {}, const QString &programName = QString())
    {
        if (!programName.isEmpty())
            program = root.filePath(programName);
        WriteFile(program + QStringLiteral("/profile.txt"), ShippedProfile());
        WriteFile(program + QStringLiteral("/DVD_zento.ini"), "[SET1]\r\nC1_03=/nowhere\r\n");
        SetEncoder(kFaultEncoder);
        sources = paths;
        for (int n = 1; sources.size() < count; ++n)
            sources << root.filePath(QStringLiteral("disc/VIDEO_TS/VTS_01_%1.VOB").arg(n));
        for (int i = 0; i < sources.size(); ++i)
            WriteFile(sources[i], QByteArray(3000 * (i + 1), 'v'));
        kept_ = Snapshot();
        w = std::make_unique<TMainForm1>(program + QStringLiteral("/DVD_zento"));
        w->C1_03->SetText(out);
        w->C2_01->SetItemIndex(FindCatalogueRow(Catalogue::Containers, QStringLiteral("AVI,")));
        for (const QString &source : sources) {
            w->CheckListBox1->SetItemChecked(w->CheckListBox1->AddItem(source), true);
            w->CheckListBox2->SetItemChecked(w->CheckListBox2->AddItem(source.right(8)), true);
        }
        const auto record = [this](const QString &text) {
            messages << text;
            mainEnabled << w->isEnabled();
        };
        SetDialogHooks({record, [record] { record(QString()); }, nullptr});
    }
    ~FaultBench() { SetDialogHooks({}); }
    FaultBench(const FaultBench &) = delete;
    FaultBench &operator=(const FaultBench &) = delete;

    void SetEncoder(const QByteArray &script,
                    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
    {
        const QString path = program + QStringLiteral("/ffmpeg");
        QFile::remove(path);
        if (!script.isEmpty() && WriteFile(path, script))
            QFile::setPermissions(path, permissions);
    }
    void Fake(const QByteArray &conf) { WriteFile(program + QStringLiteral("/fake.conf"), conf); }
    QString Output(int i) const
    {
        return out + QLatin1Char('/') + QFileInfo(sources[i]).completeBaseName() + QStringLiteral(".avi");
    }
    QStringList Lines(const QString &name) const
    {
        return QString::fromUtf8(ReadFile(program + QLatin1Char('/') + name))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList Calls() const { return Lines(QStringLiteral("calls")); }
    // The argument vector of call n (from 1).
    QStringList Arguments(int n) const
    {
        QStringList list = QString::fromUtf8(ReadFile(program + QStringLiteral("/argv.%1").arg(n))).split(QChar(u'\0'));
        if (!list.isEmpty() && list.last().isEmpty())
            list.removeLast();
        return list;
    }
    void ClearLog()
    {
        for (const char *name : {"calls", "pids", "count"})
            QFile::remove(program + QLatin1Char('/') + QLatin1String(name));
        messages.clear();
        mainEnabled.clear();
    }
    void Run() { w->CButton10Click(w->CButton10); }

    // The bytes of the files that must outlive every fault.
    QList<QByteArray> Snapshot() const
    {
        QList<QByteArray> bytes{ReadFile(program + QStringLiteral("/profile.txt")),
                                ReadFile(program + QStringLiteral("/DVD_zento.ini"))};
        for (const QString &source : sources)
            bytes << ReadFile(source);
        return bytes;
    }
    // Processes of the encoder still there, as "pid: stat".
    QStringList LeftProcesses() const
    {
        QStringList left;
        for (const QString &pid : Lines(QStringLiteral("pids")))
            if (ProcessLeft(pid))
                left << pid + QStringLiteral(": ") +
                            QString::fromUtf8(ReadFile(QStringLiteral("/proc/%1/stat").arg(pid)));
        return left;
    }
    // After any run: the main window usable, no progress window, no encoder
    // process left, nothing kept lost.
    bool Settled(QString &why) const
    {
        int visible = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            visible += qobject_cast<TProgressForm1 *>(widget) && widget->isVisible();
        const QStringList left = LeftProcesses();
        if (!w->isEnabled() || w->ProgressForm1 || visible)
            why = QStringLiteral("the main window is not usable again");
        else if (!left.isEmpty())
            why = QStringLiteral("encoder processes left: ") + left.join(QStringLiteral("; "));
        else if (Snapshot() != kept_)
            why = QStringLiteral("profile.txt, DVD_zento.ini or a source changed");
        else
            return true;
        return false;
    }

private:
    QList<QByteArray> kept_;
};

// The calls of a run that converts entries 1 to n.
inline QStringList ExpectedCalls(int entries, bool twoPass)
{
    QStringList calls;
    for (int n = 1; n <= entries; ++n)
        for (int pass = 1; pass <= (twoPass ? 2 : 1); ++pass)
            calls << QStringLiteral("thumb VTS_01_%1.VOB").arg(n)
                  << QStringLiteral("encode VTS_01_%1.VOB pass=%2").arg(n).arg(twoPass ? pass : 0);
    return calls;
}

// The fault gone, the same window converts its first entry (in one pass, the
// others unticked for the while) without a word. What the faulted run left
// goes first: a file there already would have the new output numbered.
inline void ConvertsAgain(FaultBench &b)
{
    b.SetEncoder(kFaultEncoder);
    b.Fake(QByteArray());
    b.ClearLog();
    for (int i = 0; i < b.sources.size(); ++i)
        QFile::remove(b.Output(i));
    b.w->CheckBox1->setChecked(false);
    for (int i = 1; i < b.sources.size(); ++i)
        b.w->CheckListBox2->SetItemChecked(i, false);
    b.Run();
    for (int i = 1; i < b.sources.size(); ++i)
        b.w->CheckListBox2->SetItemChecked(i, true);
    QCOMPARE(b.messages, QStringList{QString()});
    QCOMPARE(ReadFile(b.Output(0)), QByteArray("complete"));
    QString why;
    QVERIFY2(b.Settled(why), qPrintable(why));
}

} // namespace zento::test
