// Speed of the pure parts the user waits for: composing command lines,
// catalogue lookups, splitting preset rows and loading a large preset file.
// (bench_search_file times the tree search.) Prints one line per measurement:
//   name  iterations  total-ms  per-op-us
#include "convert/command_line.h"
#include "options/catalogue.h"
#include "options/comma_text.h"
#include "options/preset_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

using namespace zento;

static void Measure(const char *name, int iterations, const std::function<void()> &op)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < iterations; ++i)
        op();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%-28s %8d %10.2f %10.3f\n", name, iterations, ms, ms * 1000.0 / iterations);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    volatile qsizetype sink = 0;

    ConversionSettings s;
    s.C1_03 = QStringLiteral("/home/user/Video");
    s.C2_01 = {1, CatalogueRows(Catalogue::Containers).at(1)};
    s.C2_04 = {31, CatalogueRows(Catalogue::VideoCodecs).at(31)};
    s.C3_01 = {27, CatalogueRows(Catalogue::AudioCodecs).at(27)};
    s.C2_02_01 = 640, s.C2_02_02 = 480, s.C2_05 = 1000, s.C2_06 = 30, s.C3_02 = 128, s.C3_03 = 44100;
    s.C4_C1 = true;
    const QString src = QStringLiteral("/media/dvd/VIDEO_TS/VTS_01_1.VOB");

    Measure("command line (2 passes)", 100000, [&] {
        const QString out = BuildOutputPath(src, s);
        sink = sink + BuildEncoderCommandLine(src, out, s, 1).commandLine().size();
        sink = sink + BuildEncoderCommandLine(src, out, s, 2).commandLine().size();
        sink = sink + BuildThumbnailParameters(src, QStringLiteral("/opt/zento")).commandLine().size();
    });
    Measure("catalogue lookup (all ids)", 2000, [&] {
        for (Catalogue c : {Catalogue::Containers, Catalogue::VideoCodecs, Catalogue::AudioCodecs})
            for (const QString &row : CatalogueRows(c))
                sink = sink + FindCatalogueRow(c, CatalogueRowId(row));
    });
    const QString preset = QStringLiteral("DVD画質,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps");
    Measure("split preset row", 200000, [&] { sink = sink + SplitCommaText(preset).size(); });

    QTemporaryDir dir;
    {
        QFile f(dir.filePath(QStringLiteral("profile.txt")));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 0; i < 20000; ++i)
            f.write(QStringLiteral("preset%1,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps\r\n")
                        .arg(i)
                        .toLatin1());
    }
    Measure("load 20000-line profile", 20,
            [&] { sink = sink + PresetFile::Load(dir.filePath(QStringLiteral("profile.txt"))).Lines().size(); });

    return sink == -1;
}
