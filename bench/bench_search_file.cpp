// Times recursive searches of a tree of a few thousand entries.
#include "source/search_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;

    // 50 folders on two levels with 80 entries each: 4,000 files, 1,000 of them titles.
    for (int i = 0; i < 25; ++i) {
        for (const QString &folder :
             {QString("%1/d%2").arg(tmp.path()).arg(i), QString("%1/d%2/inner").arg(tmp.path()).arg(i)}) {
            QDir().mkpath(folder);
            for (int f = 0; f < 80; ++f) {
                QFile file(folder + QString(f % 4 == 0 ? "/VTS_%1_1.VOB" : "/other_%1.dat").arg(f));
                if (!file.open(QIODevice::WriteOnly))
                    return 1;
            }
        }
    }

    zento::TSearchFile search;
    search.Directory = tmp.path();
    search.Recursive = true;
    int found = 0;
    search.OnFind = [&](zento::TSearchFile &, const QString &, const zento::TSearchFileData &, bool &) { ++found; };

    QTextStream out(stdout);
    for (const char *mask : {"VTS*.VOB", "*.*"}) {
        search.SearchName = QString::fromLatin1(mask);
        constexpr int runs = 20;
        QElapsedTimer timer;
        timer.start();
        for (int run = 0; run < runs; ++run) {
            found = 0;
            search.Search();
        }
        out << mask << ": " << found << " found, " << double(timer.nsecsElapsed()) / runs / 1e6 << " ms a search\n";
    }
    return 0;
}
