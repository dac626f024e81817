// The title search on a large tree against find(1), and the listing of a
// VIDEO_TS of real size through the main window.
//
//   bench_search_file [work folder]
//
// The tree (<work>/tree, made once): 100 folders of 99 folders each, 10,000
// folders, each holding the ten files of a small DVD, 100,000 files, 40,000
// of them matching "VTS*.VOB" (one in lower case). The search is recursive,
// as the listing does it; find runs as `find DIR -iname 'VTS*.VOB'` with its
// output thrown away. Both run warm, in turns, median of five.
#include "app/main_form.h"
#include "bench_support.h"
#include "source/search_file.h"
#include "widgets/check_list_box.h"
#include "widgets/drive_combo_box.h"

#include <QApplication>
#include <QTemporaryDir>

using namespace zento;
using namespace zento::bench;

namespace {

constexpr int kTop = 100, kInner = 99, kRounds = 5;
const char *const kDiscFiles[] = {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VIDEO_TS.VOB", "VTS_01_0.IFO", "VTS_01_0.BUP",
                                  "VTS_01_0.VOB", "VTS_01_1.VOB", "vts_01_2.vob", "VTS_02_0.IFO", "VTS_02_1.VOB"};
constexpr int kMatchesPerFolder = 4;

bool MakeFolderFiles(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    for (const char *name : kDiscFiles) {
        QFile file(folder + '/' + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

bool MakeTree(const QString &tree)
{
    const QString done = tree + QStringLiteral(".done");
    if (QFile::exists(done))
        return true;
    QDir(tree).removeRecursively();
    for (int t = 0; t < kTop; ++t) {
        const QString top = tree + QStringLiteral("/t%1").arg(t, 3, 10, QLatin1Char('0'));
        if (!MakeFolderFiles(top))
            return false;
        for (int i = 0; i < kInner; ++i)
            if (!MakeFolderFiles(top + QStringLiteral("/s%1").arg(i, 2, 10, QLatin1Char('0'))))
                return false;
    }
    return WriteBytes(done, "100000 files in 10000 folders\n");
}

// The VIDEO_TS of a disc with four title sets: 30 entries, 19 of them titles.
bool MakeDisc(const QString &disc)
{
    QStringList names = {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VIDEO_TS.VOB"};
    const int parts[] = {5, 5, 3, 2};
    for (int set = 1; set <= 4; ++set) {
        const QString stem = QStringLiteral("VTS_%1_").arg(set, 2, 10, QLatin1Char('0'));
        names << stem + "0.IFO" << stem + "0.BUP";
        for (int part = 0; part <= parts[set - 1]; ++part)
            names << stem + QString::number(part) + ".VOB";
    }
    for (const QString &name : names)
        if (!WriteBytes(disc + QStringLiteral("/VIDEO_TS/") + name, QByteArray(1024, '\0')))
            return false;
    return names.size() == 30;
}

} // namespace

// One search of a folder and nothing else, for profilers:
//   bench_search_file --once DIR
int SearchOnce(const QString &folder)
{
    TSearchFile search;
    search.Directory = folder;
    search.Recursive = true;
    search.SearchName = QStringLiteral("VTS*.VOB");
    int found = 0;
    search.OnFind = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &) { ++found; };
    search.Search();
    std::printf("%d found\n", found);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--once") == 0)
        return SearchOnce(QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    const QString work = WorkFolder(argc, argv);
    const QString tree = work + QStringLiteral("/tree");
    const QString disc = work + QStringLiteral("/disc30");
    if (!MakeTree(tree) || !MakeDisc(disc)) {
        Note(QStringLiteral("bench_search_file: cannot make the trees"));
        return 1;
    }

    TSearchFile search;
    search.Directory = tree;
    search.Recursive = true;
    search.SearchName = QStringLiteral("VTS*.VOB");
    int found = 0;
    search.OnFind = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &) { ++found; };

    QList<double> searchMs, findMs, searchCpuMs, findCpuMs;
    for (int round = 0; round <= kRounds; ++round) { // round 0 warms the caches
        found = 0;
        double t = NowMs();
        double cpu = ThreadCpuMs();
        search.Search();
        const double searched = NowMs() - t;
        const double searchedCpu = ThreadCpuMs() - cpu;
        if (found != kTop * (kInner + 1) * kMatchesPerFolder) {
            Note(QStringLiteral("bench_search_file: the search found %1").arg(found));
            return 1;
        }
        t = NowMs();
        cpu = ChildrenCpuMs();
        if (!RunTool(QStringLiteral("find"), {tree, QStringLiteral("-iname"), QStringLiteral("VTS*.VOB")})) {
            Note(QStringLiteral("bench_search_file: find failed"));
            return 1;
        }
        if (round > 0) {
            searchMs << searched;
            findMs << NowMs() - t;
            searchCpuMs << searchedCpu;
            findCpuMs << ChildrenCpuMs() - cpu;
        }
    }
    // Where the time goes: the walk alone (every folder reported), and the
    // search with a mask that matches nothing (the listing's enumeration
    // without any entry reported).
    {
        TSearchDir walk;
        walk.BaseDir = tree;
        int folders = 0;
        walk.OnFind = [&](TSearchDir &, const QString &, const TSearchFileData &, bool &, bool &) { ++folders; };
        QList<double> walkMs, emptyMs;
        TSearchFile none;
        none.Directory = tree;
        none.Recursive = true;
        none.SearchName = QStringLiteral("NOMATCH*.VOB");
        none.OnFind = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &) { ++found; };
        for (int round = 0; round < kRounds; ++round) {
            double t = NowMs();
            walk.Search();
            walkMs << NowMs() - t;
            t = NowMs();
            none.Search();
            emptyMs << NowMs() - t;
        }
        Result("listing.tree.walk_only_ms", Median(walkMs));
        Result("listing.tree.no_match_ms", Median(emptyMs));
    }
    Result("listing.tree.search_ms", Median(searchMs));
    Result("listing.tree.find_ms", Median(findMs));
    Result("listing.tree.ratio", Median(searchMs) / Median(findMs));
    Result("listing.tree.search_cpu_ms", Median(searchCpuMs));
    Result("listing.tree.find_cpu_ms", Median(findCpuMs));
    Result("listing.tree.cpu_ratio", Median(searchCpuMs) / Median(findCpuMs));

    // The listing as the user starts it: the refresh button of the main window.
    QTemporaryDir program;
    if (!program.isValid() ||
        !QFile::copy(QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt"), program.filePath("profile.txt")))
        return 1;
    TMainForm1 w(program.filePath(QStringLiteral("DVD_zento")));
    w.DriveComboBox1->SetDrive(disc);
    QList<double> listMs;
    for (int round = 0; round <= 50; ++round) {
        const double t = NowMs();
        w.CButton12Click();
        const double listed = NowMs() - t;
        if (w.CheckListBox2->Count() != 19) {
            Note(QStringLiteral("bench_search_file: the listing shows %1 titles").arg(w.CheckListBox2->Count()));
            return 1;
        }
        if (round > 0)
            listMs << listed;
    }
    Result("listing.disc30.median_ms", Median(listMs));
    Result("listing.disc30.max_ms", Max(listMs));
    return 0;
}
