#include "platform/error.h"
#include "source/search_file.h"
#include "support/test_support.h"

#include <QDirIterator>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zento;

namespace {

// Builds a tree below root: "a/b/" is a folder, "a/f.VOB" a file, "l -> t" a link to root/t.
void MakeTree(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString path = root + "/" + entry.section(" -> ", 0, 0);
        if (entry.contains(" -> "))
            QVERIFY(QFile::link(root + "/" + entry.section(" -> ", 1), path));
        else
            QVERIFY2(entry.endsWith('/') ? QDir().mkpath(path) : test::WriteFile(path), qPrintable(path));
    }
}

// A name with its ASCII letters as capitals, the rest of its bytes as they are.
QByteArray AsciiUpper(QByteArray name)
{
    for (char &c : name)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return name;
}

// A folder's entries in the order a disc lists them (ASCII letters without
// regard to case, then the bytes), read by an independent reader.
QStringList DiscOrder(const QString &folder)
{
    QList<QByteArray> names;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext())
        names << QFile::encodeName(QFileInfo(it.next()).fileName());
    std::sort(names.begin(), names.end(), [](const QByteArray &a, const QByteArray &b) {
        const QByteArray ua = AsciiUpper(a), ub = AsciiUpper(b);
        return ua != ub ? ua < ub : a < b;
    });
    QStringList paths;
    for (const QByteArray &name : names)
        paths << folder + "/" + QFile::decodeName(name);
    return paths;
}

struct Recorder {
    TSearchFile search;
    QStringList names;
    QList<TSearchFileData> data;
    Recorder(const QString &directory, const QString &mask, bool recursive = true)
    {
        search.Directory = directory;
        search.SearchName = mask;
        search.Recursive = recursive;
        search.OnFind = [this](auto &, const QString &Name, const TSearchFileData &Data, bool &) {
            names << Name;
            data << Data;
        };
    }
};

} // namespace

class TestSearchFile : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> tmp_;
    QString root_;

private slots:
    void init()
    {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        root_ = tmp_->path();
    }

    void matchesMask_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("matches");
        QTest::newRow("lower case name") << "vts_01_1.vob"
                                         << "VTS*.VOB" << true;
        QTest::newRow("menu file") << "VIDEO_TS.VOB"
                                   << "VTS*.VOB" << false;
        QTest::newRow("more after the extension") << "VTS_01_1.VOB.bak"
                                                  << "VTS*.VOB" << false;
        QTest::newRow("star-dot-star, no dot") << "README"
                                               << "*.*" << true;
        QTest::newRow("question marks too short") << "VTS_1_1.VOB"
                                                  << "VTS_??_?.VOB" << false;
        QTest::newRow("star backtracks") << "abcbcd"
                                         << "a*bcd" << true;
        QTest::newRow("wide letters") << QStringLiteral("ＶＴＳ.vob") << QStringLiteral("ｖｔｓ*.VOB") << true;
        QTest::newRow("beyond the BMP is one character") << QStringLiteral("\U0001F600.VOB") << "?.VOB" << true;
    }
    void matchesMask()
    {
        QFETCH(QString, name);
        QFETCH(QString, mask);
        QFETCH(bool, matches);
        QCOMPARE(MatchesMask(name, mask), matches);
    }

    // Names read from the folder are matched without becoming texts first;
    // what is reported must be exactly what the text rule accepts.
    void folderNamesFollowTheTextRule_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::newRow("title mask") << "VTS*.VOB";
        QTest::newRow("literal start longer than some names") << "vts_01*";
        QTest::newRow("star-dot-star") << "*.*";
        QTest::newRow("dot-star also takes names without a dot") << "ABC.*";
        QTest::newRow("question mark first") << "?TS*.vob";
        QTest::newRow("wide letters in the mask") << QStringLiteral("ｖｔｓ*");
        QTest::newRow("folded letters outside ASCII") << QStringLiteral("\u017Fub*"); // long s folds to s
    }
    void folderNamesFollowTheTextRule()
    {
        QFETCH(QString, mask);
        const QStringList names = {"VTS_01_1.VOB",
                                   "vts_01_2.vob",
                                   "VT.VOB",
                                   "VTS",
                                   "VTSX.VOBX",
                                   "VIDEO_TS.VOB",
                                   "abc",
                                   "ABC.txt",
                                   "abcd",
                                   "ab",
                                   "xts.vob",
                                   QStringLiteral("ＶＴＳ_1.VOB"),
                                   QStringLiteral("ｖｔｓ"),
                                   "sub",
                                   "SUBTITLE.VOB",
                                   QStringLiteral("\u017Fub.vob"),
                                   QString(200, 'v') + ".VOB"};
        const QString folder = root_ + "/VIDEO_TS";
        for (const QString &name : names)
            QVERIFY(test::WriteFile(folder + "/" + name));
        QStringList expected;
        for (const QString &path : DiscOrder(folder))
            if (MatchesMask(QFileInfo(path).fileName(), mask))
                expected << path;
        QVERIFY(!expected.isEmpty());
        // Taken from the walk (recursive) and from a listing of its own.
        for (bool recursive : {true, false}) {
            Recorder r(folder, mask, recursive);
            QVERIFY(r.search.Search());
            QCOMPARE(r.names, expected);
        }
    }

    // The matches the walk collected carry the same description as those of
    // a folder listed on its own, each its own time stamp.
    void walkedMatchesDescribedInFull()
    {
        MakeTree(root_, {"VTS_01_0.VOB", "VTS_01_1.VOB", "sub/"});
        QVERIFY(test::WriteFile(root_ + "/VTS_01_2.VOB", QByteArray(1234, 'x')));
        const QDateTime base(QDate(2004, 3, 2), QTime(10, 20, 30));
        const QStringList stamped = {"VTS_01_0.VOB", "VTS_01_1.VOB", "VTS_01_2.VOB"};
        for (int i = 0; i < stamped.size(); ++i) {
            QFile file(root_ + "/" + stamped[i]);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(base.addSecs(i % 2 ? 3600 : 2 * i), QFileDevice::FileModificationTime));
        }
        Recorder walked(root_, "VTS*.VOB", true);
        Recorder listed(root_, "VTS*.VOB", false);
        QVERIFY(walked.search.Search());
        QVERIFY(listed.search.Search());
        QCOMPARE(walked.names, listed.names);
        QCOMPARE(walked.names.size(), 3);
        for (int i = 0; i < walked.data.size(); ++i) {
            const TSearchFileData &a = walked.data[i];
            const TSearchFileData &b = listed.data[i];
            QCOMPARE(a.LongName, b.LongName);
            QCOMPARE(a.Size, b.Size);
            QCOMPARE(a.Size, a.LongName == "VTS_01_2.VOB" ? 1234 : 0);
            QCOMPARE(a.WriteTimeValid, true);
            QCOMPARE(a.WriteTime, b.WriteTime);
            QCOMPARE(a.IsDirectory || a.IsReadOnly || a.IsHidden, false);
            const int index = stamped.indexOf(a.LongName);
            const QDateTime expected = base.addSecs(index % 2 ? 3600 : 2 * index);
            const double days =
                QDate(1899, 12, 30).daysTo(expected.date()) + expected.time().msecsSinceStartOfDay() / 86400000.0;
            QVERIFY2(qAbs(a.WriteTime - days) < 1e-9, qPrintable(a.LongName));
        }
    }

    void titleFolder()
    {
        const QString folder = root_ + "/VIDEO_TS";
        MakeTree(folder, {"VIDEO_TS.VOB", "VIDEO_TS.IFO", "VTS_01_0.VOB", "vts_01_1.vob", "VTS_99.VOB/VTS_02_1.VOB"});
        // Given with or without its trailing separator, recursive or not.
        const std::pair<QString, bool> runs[] = {{"", true}, {"/", true}, {"/", false}};
        for (const auto &[suffix, recursive] : runs) {
            Recorder r(folder + suffix, "VTS*.VOB", recursive);
            QVERIFY(r.search.Search());
            // The folder's own matches (a matching folder among them), then the subfolder's.
            QStringList expected = DiscOrder(folder).filter(QRegularExpression("/(VTS|vts)_[^/]*$"));
            if (recursive)
                expected << folder + "/VTS_99.VOB/VTS_02_1.VOB";
            QCOMPARE(r.names, expected);
            for (int i = 0; i < r.names.size(); ++i)
                QCOMPARE(r.data[i].IsDirectory, r.names[i].endsWith("/VTS_99.VOB"));
        }
    }

    // Entries come in the order of a disc whatever order the folder was
    // written in: the files of a folder and the folders of the walk alike.
    void discOrder_data()
    {
        QTest::addColumn<QByteArray>("created"); // in this order; "x/" is a folder
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QByteArray>("listed"); // in the order reported
        QTest::newRow("title files, '_' after the letters")
            << QByteArray("VTS_02_1.VOB vts_01_2.vob VIDEO_TS.VOB VTS_01_10.VOB VTSA.VOB VTS_01_0.VOB VTS_01.VOB "
                          "vts_01_3.VOB VTS_01_1.VOB")
            << "VTS*.VOB"
            << QByteArray("VTSA.VOB VTS_01.VOB VTS_01_0.VOB VTS_01_1.VOB VTS_01_10.VOB vts_01_2.vob vts_01_3.VOB "
                          "VTS_02_1.VOB");
        QTest::newRow("names apart only by case") << QByteArray("b a B A") << "*.*" << QByteArray("A a B b");
        QTest::newRow("beyond ASCII by code point, not folded")
            << QByteArray("ｚ.VOB Ω.VOB z.VOB É.VOB é.VOB Z_.VOB") << "*.VOB"
            << QByteArray("z.VOB Z_.VOB É.VOB é.VOB Ω.VOB ｚ.VOB");
        QTest::newRow("beyond ASCII, by the bytes") << QByteArray("\xe2\x80\x8b.VOB a.VOB \xc3\xa9.VOB") << "*.VOB"
                                                    << QByteArray("a.VOB \xc3\xa9.VOB \xe2\x80\x8b.VOB");
        QTest::newRow("folders of the walk, a matching folder among the files")
            << QByteArray("sub_b/ SUB_A/ N.VOB subC/ M.VOB/ L.VOB sub_b/2.VOB SUB_A/1.VOB subC/0.VOB M.VOB/m.VOB "
                          "subC/z/ SUB_A/y/ subC/z/4.VOB SUB_A/y/3.VOB")
            << "*.VOB"
            << QByteArray("L.VOB M.VOB N.VOB M.VOB/m.VOB subC/0.VOB SUB_A/1.VOB sub_b/2.VOB subC/z/4.VOB "
                          "SUB_A/y/3.VOB"); // level by level, each in its parent's order
    }
    void discOrder()
    {
        QFETCH(QByteArray, created);
        QFETCH(QString, mask);
        QFETCH(QByteArray, listed);
        const QByteArray base = QFile::encodeName(root_);
        // Names that are not UTF-8 cannot be removed by their decoded name.
        const auto removeFiles = qScopeGuard([&] {
            for (const QByteArray &entry : created.split(' '))
                if (!entry.endsWith('/'))
                    ::unlink((base + "/" + entry).constData());
        });
        for (const QByteArray &entry : created.split(' ')) {
            const QByteArray path = base + "/" + entry;
            if (entry.endsWith('/')) {
                QVERIFY2(::mkdir(path.constData(), 0755) == 0, path.constData());
            } else {
                const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
                QVERIFY2(fd >= 0, path.constData());
                ::close(fd);
            }
        }
        QStringList expected, expectedHere;
        for (const QByteArray &entry : listed.split(' ')) {
            expected << root_ + "/" + QFile::decodeName(entry);
            if (!entry.contains('/'))
                expectedHere << expected.last();
        }
        Recorder walked(root_, mask);
        QVERIFY(walked.search.Search());
        QCOMPARE(walked.names, expected);
        Recorder here(root_, mask, false);
        QVERIFY(here.search.Search());
        QCOMPARE(here.names, expectedHere);
    }

    // A name that is not UTF-8 (Shift-JIS from an unpacked archive) has no
    // text that names it: it is passed over and told, never listed as a
    // stand-in that opens another file or none.
    void namesNotText()
    {
        const QByteArray base = QFile::encodeName(root_) + "/raw";
        const auto removeAll = qScopeGuard([&] { QProcess::execute("rm", {"-rf", QFile::decodeName(base)}); });
        const QByteArray folders[] = {"", "/\x83\x7b", "/ok"};
        for (const QByteArray &folder : folders)
            QVERIFY(::mkdir(base + folder, 0755) == 0);
        // é in Latin-1 beside the file whose UTF-8 name is the stand-in itself.
        const QByteArray files[] = {"/\xe9.VOB", "/\xef\xbf\xbd.VOB", "/\x83\x7b/VTS_02_1.VOB", "/ok/VTS_03_1.VOB"};
        for (const QByteArray &file : files) { // each holds its own name
            const int fd = ::open(base + file, O_CREAT | O_WRONLY | O_TRUNC, 0644);
            QVERIFY(fd >= 0 && ::write(fd, file.constData(), file.size()) == file.size());
            ::close(fd);
        }
        for (const bool recursive : {true, false}) {
            Recorder found(QFile::decodeName(base), "*.VOB", recursive);
            QVERIFY(found.search.Search());
            QByteArrayList named = {"/\xef\xbf\xbd.VOB"}, passed = {"/\xe9.VOB"};
            if (recursive) {
                named << "/ok/VTS_03_1.VOB";
                passed << "/\x83\x7b";
            }
            QStringList expected, unnamed;
            for (const QByteArray &name : named)
                expected << QFile::decodeName(base + name);
            for (const QByteArray &name : passed)
                unnamed << QFile::decodeName(base + name);
            QCOMPARE(found.names, expected);
            QStringList told = found.search.UnnamedEntries();
            told.sort();
            unnamed.sort();
            QCOMPARE(told, unnamed);
            for (const QString &name : found.names) // each opens the very file it stands for
                QCOMPARE(test::ReadFile(name), QFile::encodeName(name).mid(base.size()));
        }
    }

    void breadthFirstOrder()
    {
        MakeTree(root_, {"base.VOB", "A/A.VOB", "B/B.VOB", "A/C/C.VOB"});
        QStringList events;
        Recorder r(root_, "*.VOB");
        r.search.OnFind = [&](auto &, const QString &Name, auto &, bool &) { events << "file " + Name; };
        r.search.OnFindDir = [&](auto &, const QString &Name, const TSearchFileData &Data, bool &, bool &) {
            QVERIFY(Data.IsDirectory);
            events << "dir " + Name;
        };
        QVERIFY(r.search.Search());
        const QStringList dirs =
            QStringList{root_} + DiscOrder(root_).filter(QRegularExpression("/[AB]$")) + QStringList{root_ + "/A/C"};
        QCOMPARE(r.search.DirectoryList(), dirs);
        QStringList expected; // every folder collected before the first file
        for (const QString &dir : dirs)
            expected << "dir " + dir;
        for (const QString &dir : dirs)
            expected << "file " + dir + "/" + (dir == root_ ? "base" : QFileInfo(dir).fileName()) + ".VOB";
        QCOMPARE(events, expected);

        // Skip keeps a folder's files out, IgnoreSubDir the folders below it.
        MakeTree(root_, {"A/C/D/D.VOB", "B/E/E.VOB"});
        r.search.OnFindDir = [&](auto &, const QString &Name, auto &, bool &Skip, bool &IgnoreSubDir) {
            Skip = Name.endsWith("/A");
            IgnoreSubDir = Name.endsWith("/B");
        };
        events.clear();
        QVERIFY(r.search.Search());
        events.sort();
        QCOMPARE(events, QStringList({"file " + root_ + "/A/C/C.VOB", "file " + root_ + "/A/C/D/D.VOB",
                                      "file " + root_ + "/B/B.VOB", "file " + root_ + "/base.VOB"}));
    }

    void handlersEndTheSearch()
    {
        MakeTree(root_, {"1.VOB", "2.VOB", "3.VOB", "sub/4.VOB"});
        int calls = 0;
        Recorder r(root_, "*.VOB");
        r.search.OnFind = [&](auto &, auto &, auto &, bool &Continue) { Continue = ++calls > 1; };
        QVERIFY(!r.search.Search());
        QCOMPARE(calls, 1);
        // A nested search is refused at once and the running one goes on.
        QList<bool> nested;
        r.search.OnFind = [&](TSearchFile &Sender, auto &, auto &, bool &) { nested << Sender.Search(); };
        r.search.OnFindDir = [&](TSearchFile &Sender, auto &, auto &, bool &, bool &) { nested << Sender.Search(); };
        QVERIFY(r.search.Search());
        QCOMPARE(nested, QList<bool>(6, false));
        // The walk refuses its own nesting too, and an early end stops after the base.
        TSearchDir walk;
        walk.BaseDir = root_;
        QStringList walked;
        walk.OnFind = [&](TSearchDir &Sender, const QString &Name, auto &, bool &, bool &Continue) {
            QVERIFY(!Sender.Search());
            walked << Name;
            Continue = false;
        };
        QVERIFY(!walk.Search());
        QCOMPARE(walked, QStringList{root_});

        // An exception from a handler reaches the caller and leaves the component idle.
        calls = 0;
        r.search.OnFind = [&](auto &, auto &, auto &, bool &) { throw Error(QString::number(++calls)); };
        r.search.OnFindDir = [&](auto &, auto &, auto &, bool &, bool &) { ++calls; };
        QVERIFY_THROWS_EXCEPTION(Error, r.search.Search());
        QCOMPARE(calls, 3); // both folders collected, then the first file
        r.search.OnFind = [&](auto &, auto &, auto &, bool &) { ++calls; };
        QVERIFY(r.search.Search());
        QCOMPARE(calls, 9);
    }

    void nothingOrEverything()
    {
        MakeTree(root_, {"VIDEO_TS/README", "VIDEO_TS/.hidden", "VIDEO_TS/a.b.c", "VIDEO_TS/deeper/x"});
        // An empty mask reports every entry, folders included.
        Recorder all(root_ + "/VIDEO_TS", QString(), false);
        QVERIFY(all.search.Search());
        QCOMPARE(all.names, DiscOrder(root_ + "/VIDEO_TS"));
        // A missing folder is no failure, recursive or not; without OnFind nothing runs.
        for (bool recursive : {true, false}) {
            Recorder missing(root_ + "/missing/VIDEO_TS", "*.*", recursive);
            QVERIFY(missing.search.Search());
            QCOMPARE(missing.names, QStringList{});
        }
        all.search.OnFind = nullptr;
        QVERIFY(!all.search.Search());
    }

    void linkLoopsEnd()
    {
        MakeTree(root_, {"A/a.VOB", "A/real/r.VOB", "A/up -> .", "A/self -> A", "B -> A", "dangling.VOB -> nowhere"});
        Recorder r(root_, "*.VOB");
        QVERIFY(r.search.Search());
        // Each real folder is searched once, whichever way leads to it first.
        const QStringList dirs = r.search.DirectoryList();
        QCOMPARE(dirs.size(), 3);
        QVERIFY(dirs[1] == root_ + "/A" || dirs[1] == root_ + "/B");
        QCOMPARE(dirs[2], dirs[1] + "/real");
        r.names.sort();
        QCOMPARE(r.names, QStringList({dirs[1] + "/a.VOB", dirs[2] + "/r.VOB", root_ + "/dangling.VOB"}));
    }

    void timeStamps()
    {
        // Local time in days since 30 December 1899, cut to even seconds; none outside 1980 to 2107.
        const QList<std::pair<QDateTime, double>> cases{
            {QDateTime(QDate(2005, 6, 7), QTime(8, 9, 11)), 38510 + (8 * 3600 + 9 * 60 + 10) / 86400.0},
            {QDateTime(QDate(1979, 12, 31), QTime(23, 59, 59)), 0.0},
            {QDateTime(QDate(2108, 1, 1), QTime(0, 0, 0)), 0.0}};
        for (const auto &[stamp, expected] : cases) {
            QFile file(root_ + "/stamped.VOB");
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
            QVERIFY(file.setFileTime(stamp, QFileDevice::FileAccessTime));
            file.close();
            Recorder r(root_, "*.VOB", false);
            QVERIFY(r.search.Search());
            QCOMPARE(r.data.size(), 1); // reported whether or not the time converts
            QCOMPARE(r.data[0].WriteTimeValid && r.data[0].AccessTimeValid, expected != 0);
            QVERIFY2(expected == 0 ||
                         qAbs(r.data[0].WriteTime - expected) + qAbs(r.data[0].AccessTime - expected) < 1e-9,
                     qPrintable(stamp.toString()));
        }
    }

    void largeTree()
    {
        // 40 folders on two levels with 100 files each; a quarter of them match.
        QStringList entries;
        for (int i = 0; i < 4000; ++i)
            entries << QString(i % 4 ? "d%1%2/other_%3.dat" : "d%1%2/VTS_%3.VOB")
                           .arg(i / 200)
                           .arg(i / 100 % 2 ? "/inner" : "")
                           .arg(i % 100);
        MakeTree(root_, entries);
        Recorder r(root_, "VTS*.VOB");
        QVERIFY(r.search.Search());
        const QStringList dirs = r.search.DirectoryList();
        QCOMPARE(dirs.size(), 41);
        QStringList expected;
        for (int i = 0; i < dirs.size(); ++i) {
            QCOMPARE(dirs[i].endsWith("/inner"), i > 20); // a whole level before the next
            expected << DiscOrder(dirs[i]).filter("/VTS_");
        }
        QCOMPARE(expected.size(), 1000);
        QCOMPARE(r.names, expected);
    }
};

QTEST_GUILESS_MAIN(TestSearchFile)
#include "test_search_file.moc"
