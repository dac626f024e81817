// The program's own files: a profile.txt of 10,000 presets loaded and put
// into the preset box as the main window does it at start-up, and the
// settings file written when the window closes.
//
//   bench_files [work folder]
//
// Both live in a program folder below the work folder (the disk the program
// would use, not a memory file system).
#include "app/application_gui.h"
#include "app/main_form.h"
#include "bench_support.h"
#include "options/preset_file.h"
#include "widgets/multi_col_combo_box.h"

#include <QTemporaryDir>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kPresetLines = 10000;
constexpr int kRounds = 10;
constexpr int kWrites = 20;

QByteArray LargeProfile()
{
    const QStringList codecs = {
        "LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps", "MPEG4,30fps,1200kbps,LIBMP3LAME,44100Hz,128kbps",
        "LIBX264,0fps,1500kbps,AAC,48000Hz,160kbps", "WMV2,0fps,1500kbps,WMAV2,44100Hz,128kbps"};
    QString text;
    for (int i = 0; i < kPresetLines; ++i)
        text += QStringLiteral("設定%1(画質%2),AVI,%3x%4,%5\r\n")
                    .arg(i)
                    .arg(i % 7)
                    .arg(320 + i % 400)
                    .arg(240 + i % 240)
                    .arg(codecs[i % codecs.size()]);
    TextEncoding encoding = TextEncoding::ShiftJis;
    return EncodeText(text, encoding);
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    QTemporaryDir folder(work + QStringLiteral("/files-XXXXXX"));
    const QString profile = folder.filePath(QStringLiteral("profile.txt"));
    if (!folder.isValid() || !WriteBytes(profile, LargeProfile())) {
        Note(QStringLiteral("bench_files: cannot write ") + profile);
        return 1;
    }
    const QString executable = folder.filePath(QStringLiteral("DVD_zento"));

    // Loading and filling, as the constructor does it, into the box of a
    // window made over the same file.
    TMainForm1 w(executable);
    QList<double> loadMs, fillMs, bothMs, windowMs;
    for (int round = 0; round <= kRounds; ++round) {
        const double t0 = NowMs();
        const PresetFile presets = PresetFile::Load(profile);
        const double t1 = NowMs();
        w.C2_00->ClearItems();
        w.C2_00->AddItem(QString::fromUtf8(kManualPresetRow));
        for (const QString &line : presets.Lines())
            w.C2_00->AddItem(PresetBoxRow(line, presets.Encoding()));
        const double t2 = NowMs();
        if (w.C2_00->ItemCount() != kPresetLines + 1) {
            Note(QStringLiteral("bench_files: the box holds %1 rows").arg(w.C2_00->ItemCount()));
            return 1;
        }
        // The whole window over the large file, for comparison.
        const double t3 = NowMs();
        {
            TMainForm1 another(executable);
        }
        const double t4 = NowMs();
        if (round > 0) { // round 0 warms the caches
            loadMs << t1 - t0;
            fillMs << t2 - t1;
            bothMs << t2 - t0;
            windowMs << t4 - t3;
        }
    }
    Result("presets.load_ms", Median(loadMs));
    Result("presets.fill_ms", Median(fillMs));
    Result("presets.load_and_fill_ms", Median(bothMs));
    Result("presets.window_construct_ms", Median(windowMs));

    // The settings file on close: the first time (no file yet), then again
    // over the file the last close left.
    QList<double> firstMs, againMs;
    const QString settings = folder.filePath(QStringLiteral("DVD_zento.ini"));
    for (int round = 0; round < kWrites; ++round) {
        QFile::remove(settings);
        double t = NowMs();
        w.FormClose();
        firstMs << NowMs() - t;
        t = NowMs();
        w.FormClose();
        againMs << NowMs() - t;
    }
    if (QFileInfo(settings).size() == 0) {
        Note(QStringLiteral("bench_files: no settings file written"));
        return 1;
    }
    Result("settings.write_first_ms", Median(firstMs));
    Result("settings.write_again_ms", Median(againMs));
    Result("settings.write_max_ms", std::max(Max(firstMs), Max(againMs)));
    return 0;
}
