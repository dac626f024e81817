#include "platform/error.h"
#include "source/search_file.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zento;

namespace {

// Builds a tree below root: "a/b/" is a folder, "a/f.VOB" a file, "l -> t" a link to root/t.
void MakeTree(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString path = root + "/" + entry.section(" -> ", 0, 0);
        if (entry.contains(" -> ")) {
            QVERIFY(QFile::link(root + "/" + entry.section(" -> ", 1), path));
        } else if (entry.endsWith('/')) {
            QVERIFY2(QDir().mkpath(path), qPrintable(path));
        } else {
            const QString parent = QFileInfo(path).path();
            QVERIFY(QFileInfo(parent).isDir() || QDir().mkpath(parent));
            QFile file(path);
            QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
            if (entry.startsWith("five"))
                file.write("12345");
        }
    }
}

// The full paths of a folder's entries in the order the file system
// enumerates them, as an independent reader sees it (nothing sorted).
QStringList NativeOrder(const QString &folder, const QString &prefix = QString(), bool realDirsOnly = false)
{
    QStringList paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        if (realDirsOnly && (!it.fileInfo().isDir() || it.fileInfo().isSymLink()))
            continue;
        if (it.fileName().startsWith(prefix))
            paths << folder + "/" + it.fileName();
    }
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
        search.OnFind = [this](TSearchFile &, const QString &Name, const TSearchFileData &Data, bool &) {
            names << Name;
            data << Data;
        };
    }
};

double DateTimeValue(const QDate &date, int hour, int minute, int second)
{
    return double(date.toJulianDay() - QDate(1899, 12, 30).toJulianDay()) +
           (hour * 3600 + minute * 60 + second) / 86400.0;
}

} // namespace

class TestSearchFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void matchesMask_data();
    void matchesMask();
    void titleFolder_data();
    void titleFolder();
    void breadthFirstOrder();
    void skipAndIgnoreSubDir();
    void earlyEndAndReentry();
    void emptyMaskAndRelativeDirectory();
    void nothingToSearch_data();
    void nothingToSearch();
    void unreadableFolderReportsNothing();
    void errorsReachTheCaller();
    void linkLoopsEnd();
    void entryData();
    void timeStamps_data();
    void timeStamps();
    void largeTree();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    QString root_;
    QString savedCurrent_;
};

void TestSearchFile::init()
{
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    root_ = tmp_->path();
    savedCurrent_ = QDir::currentPath();
}

void TestSearchFile::cleanup()
{
    QDir::setCurrent(savedCurrent_);
    QFile::setPermissions(root_ + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    tmp_.reset();
}

void TestSearchFile::matchesMask_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("matches");
    QTest::newRow("title file") << "VTS_01_1.VOB" << "VTS*.VOB" << true;
    QTest::newRow("lower case name") << "vts_01_1.vob" << "VTS*.VOB" << true;
    QTest::newRow("menu file") << "VIDEO_TS.VOB" << "VTS*.VOB" << false;
    QTest::newRow("star takes nothing") << "VTS.VOB" << "VTS*.VOB" << true;
    QTest::newRow("more after the extension") << "VTS_01_1.VOB.bak" << "VTS*.VOB" << false;
    QTest::newRow("star-dot-star, no dot") << "README" << "*.*" << true;
    QTest::newRow("star-dot-star, hidden") << ".hidden" << "*.*" << true;
    QTest::newRow("prefix-dot-star, no dot") << "VTS_LIST" << "VTS*.*" << true;
    QTest::newRow("prefix-dot-star, wrong prefix") << "VIDEO" << "VTS*.*" << false;
    QTest::newRow("question mark, one") << "a" << "?" << true;
    QTest::newRow("question mark, two") << "ab" << "?" << false;
    QTest::newRow("question mark, none") << "" << "?" << false;
    QTest::newRow("question marks too short") << "VTS_1_1.VOB" << "VTS_??_?.VOB" << false;
    QTest::newRow("star backtracks") << "abcbcd" << "a*bcd" << true;
    QTest::newRow("stars, one part missing") << "x_y" << "*_*_*" << false;
    QTest::newRow("wide letters") << QStringLiteral("ＶＴＳ.vob") << QStringLiteral("ｖｔｓ*.VOB") << true;
    QTest::newRow("accented letters") << QStringLiteral("Ärger.TXT") << QStringLiteral("ä*.txt") << true;
    QTest::newRow("beyond the BMP is one character") << QStringLiteral("\U0001F600.VOB") << "?.VOB" << true;
}

void TestSearchFile::matchesMask()
{
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, matches);
    QCOMPARE(MatchesMask(name, mask), matches);
}

void TestSearchFile::titleFolder_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("recursive");
    QTest::newRow("recursive") << "" << true;
    QTest::newRow("recursive, trailing separator") << "/" << true;
    QTest::newRow("flat") << "" << false;
    QTest::newRow("flat, trailing separator") << "/" << false;
}

void TestSearchFile::titleFolder()
{
    QFETCH(QString, suffix);
    QFETCH(bool, recursive);
    const QString folder = root_ + "/VIDEO_TS";
    MakeTree(root_, {"VIDEO_TS/VIDEO_TS.VOB", "VIDEO_TS/VIDEO_TS.IFO", "VIDEO_TS/VTS_01_0.VOB",
                     "VIDEO_TS/VTS_01_0.IFO", "VIDEO_TS/vts_01_1.vob", "VIDEO_TS/VTS_99.VOB/VTS_02_1.VOB"});
    Recorder r(folder + suffix, "VTS*.VOB", recursive);
    QVERIFY(r.search.Search());

    // Matches in the folder's own order, a folder that matches among them,
    // then the subfolder's; one separator each.
    QStringList expected;
    for (const QString &path : NativeOrder(folder))
        if (MatchesMask(QFileInfo(path).fileName(), "VTS*.VOB"))
            expected << path;
    QCOMPARE(expected.size(), 3);
    if (recursive)
        expected << folder + "/VTS_99.VOB/VTS_02_1.VOB";
    QCOMPARE(r.names, expected);
    for (int i = 0; i < r.names.size(); ++i)
        QCOMPARE(r.data[i].IsDirectory, r.names[i].endsWith("/VTS_99.VOB"));
}

void TestSearchFile::breadthFirstOrder()
{
    // base holds A and B; A holds C. Each folder holds one match.
    MakeTree(root_, {"base.VOB", "A/A.VOB", "B/B.VOB", "A/C/C.VOB"});
    QStringList events;
    Recorder r(root_, "*.VOB");
    r.search.OnFind = [&](TSearchFile &, const QString &Name, const TSearchFileData &, bool &) {
        events << "file " + Name;
    };
    r.search.OnFindDir = [&](TSearchFile &, const QString &Name, const TSearchFileData &Data, bool &Skip,
                             bool &IgnoreSubDir) {
        QVERIFY(!Skip && !IgnoreSubDir && Data.IsDirectory);
        events << "dir " + Name;
    };
    QVERIFY(r.search.Search());

    QStringList dirs{root_};
    dirs << NativeOrder(root_, QString(), true) << root_ + "/A/C";
    QCOMPARE(r.search.DirectoryList(), dirs);
    // Every folder is collected before the first file is reported.
    QStringList expected;
    for (const QString &dir : dirs)
        expected << "dir " + dir;
    for (const QString &dir : dirs)
        expected << "file " + dir + "/" + (dir == root_ ? QString("base") : QFileInfo(dir).fileName()) + ".VOB";
    QCOMPARE(events, expected);
}

void TestSearchFile::skipAndIgnoreSubDir()
{
    MakeTree(root_, {"f.VOB", "S/f.VOB", "S/below/f.VOB", "I/f.VOB", "I/below/f.VOB"});
    Recorder r(root_, "*.VOB");
    r.search.OnFindDir = [&](TSearchFile &, const QString &Name, const TSearchFileData &, bool &Skip,
                             bool &IgnoreSubDir) {
        Skip = Name.endsWith("/S");
        IgnoreSubDir = Name.endsWith("/I");
    };
    QVERIFY(r.search.Search());
    r.names.sort();
    QCOMPARE(r.names, (QStringList{root_ + "/I/f.VOB", root_ + "/S/below/f.VOB", root_ + "/f.VOB"}));
}

void TestSearchFile::earlyEndAndReentry()
{
    MakeTree(root_, {"1.VOB", "2.VOB", "3.VOB", "sub/4.VOB"});
    int calls = 0;
    Recorder r(root_, "*.VOB");
    r.search.OnFind = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &Continue) {
        QVERIFY(Continue);
        ++calls;
        Continue = false;
    };
    QVERIFY(!r.search.Search());
    QCOMPARE(calls, 1);

    // A nested search is refused at once and the running one goes on.
    QList<bool> nested;
    r.search.OnFind = [&](TSearchFile &Sender, const QString &, const TSearchFileData &, bool &) {
        ++calls;
        nested << Sender.Search();
    };
    r.search.OnFindDir = [&](TSearchFile &Sender, const QString &, const TSearchFileData &, bool &, bool &) {
        nested << Sender.Search();
    };
    QVERIFY(r.search.Search());
    QCOMPARE(calls, 5);
    QCOMPARE(nested, QList<bool>(6, false));

    // The walk: refuses its own nesting, and an early end stops after the base.
    TSearchDir walk;
    walk.BaseDir = root_;
    QStringList walked;
    walk.OnFind = [&](TSearchDir &Sender, const QString &Name, const TSearchFileData &Data, bool &, bool &Continue) {
        QVERIFY(!Sender.Search());
        walked << Name + " " + Data.LongName;
        Continue = false;
    };
    QVERIFY(!walk.Search());
    QCOMPARE(walked, QStringList{root_ + " " + QFileInfo(root_).fileName()});
}

void TestSearchFile::emptyMaskAndRelativeDirectory()
{
    MakeTree(root_, {"VIDEO_TS/README", "VIDEO_TS/.hidden", "VIDEO_TS/a.b.c", "VIDEO_TS/deeper/x"});
    QVERIFY(QDir::setCurrent(root_));
    bool dirEvent = false;
    Recorder r("VIDEO_TS", QString(), false);
    r.search.OnFindDir = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &, bool &) {
        dirEvent = true;
    };
    QVERIFY(r.search.Search());
    const QString absolute = QDir::current().absoluteFilePath("VIDEO_TS");
    QCOMPARE(r.names, NativeOrder(absolute));
    QCOMPARE(r.names.size(), 4);
    QCOMPARE(r.search.DirectoryList(), QStringList{absolute});
    QVERIFY(!dirEvent);
}

void TestSearchFile::nothingToSearch_data()
{
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing, recursive") << true << "missing/VIDEO_TS";
    QTest::newRow("missing, flat") << false << "missing/VIDEO_TS";
    QTest::newRow("a file, recursive") << true << "plain.VOB";
    QTest::newRow("a file, flat") << false << "plain.VOB";
    QTest::newRow("empty folder") << true << "empty";
}

void TestSearchFile::nothingToSearch()
{
    QFETCH(bool, recursive);
    QFETCH(QString, relative);
    MakeTree(root_, {"plain.VOB", "empty/"});
    Recorder r(root_ + "/" + relative, "*.*", recursive);
    QVERIFY(r.search.Search());
    QCOMPARE(r.names, QStringList{});

    // Without OnFind both refuse; a walk of nothing reports nothing.
    TSearchFile bare;
    bare.Directory = root_;
    QVERIFY(!bare.Search());
    TSearchDir walk;
    walk.BaseDir = root_;
    QVERIFY(!walk.Search());
    bool called = false;
    walk.OnFind = [&](TSearchDir &, const QString &, const TSearchFileData &, bool &, bool &) { called = true; };
    walk.BaseDir = root_ + "/missing";
    QVERIFY(!walk.Search());
    QVERIFY(!called);
}

void TestSearchFile::unreadableFolderReportsNothing()
{
    if (::geteuid() == 0)
        QSKIP("permissions do not bind the super-user");
    MakeTree(root_, {"locked/inner/", "locked/x.VOB", "open.VOB"});
    QVERIFY(QFile::setPermissions(root_ + "/locked", QFile::WriteOwner));
    Recorder tree(root_, "*.VOB");
    QVERIFY(tree.search.Search());
    QCOMPARE(tree.names, QStringList{root_ + "/open.VOB"});
    Recorder flat(root_ + "/locked", "*.VOB", false);
    QVERIFY(flat.search.Search());
    QCOMPARE(flat.names, QStringList{});
}

void TestSearchFile::errorsReachTheCaller()
{
    MakeTree(root_, {"a.VOB", "sub/b.VOB"});
    Recorder r(root_, "*.VOB");
    int calls = 0;
    r.search.OnFind = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &) {
        ++calls;
        throw Error("handler failed");
    };
    QVERIFY_THROWS_EXCEPTION(Error, r.search.Search());
    QCOMPARE(calls, 1);

    // From the collection of folders as well, before any file.
    r.search.OnFind = [&](TSearchFile &, const QString &, const TSearchFileData &, bool &) { ++calls; };
    r.search.OnFindDir = [&](TSearchFile &, const QString &Name, const TSearchFileData &, bool &, bool &) {
        if (Name.endsWith("/sub"))
            throw std::runtime_error("walk failed");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, r.search.Search());
    QCOMPARE(calls, 1);

    // Both components are idle again: the next search runs in full.
    r.search.OnFindDir = nullptr;
    QVERIFY(r.search.Search());
    QCOMPARE(calls, 3);
}

void TestSearchFile::linkLoopsEnd()
{
    MakeTree(root_, {"A/a.VOB", "A/real/r.VOB", "A/up -> .", "A/self -> A", "B -> A", "dangling.VOB -> nowhere",
                     "A/link.VOB -> A/a.VOB"});
    Recorder r(root_, "*.VOB");
    QVERIFY(r.search.Search());

    // Each real folder is searched once, whichever way leads to it first.
    const QStringList dirs = r.search.DirectoryList();
    QCOMPARE(dirs.size(), 3);
    QCOMPARE(dirs[0], root_);
    QVERIFY(dirs[1] == root_ + "/A" || dirs[1] == root_ + "/B");
    QCOMPARE(dirs[2], dirs[1] + "/real");

    QStringList expected{root_ + "/dangling.VOB", dirs[1] + "/a.VOB", dirs[1] + "/link.VOB", dirs[2] + "/r.VOB"};
    expected.sort();
    QStringList names = r.names;
    names.sort();
    QCOMPARE(names, expected);
    const int link = r.names.indexOf(dirs[1] + "/link.VOB");
    QVERIFY(r.data[link].IsArchive && !r.data[link].IsDirectory); // described by its target
}

void TestSearchFile::entryData()
{
    MakeTree(root_, {"five.VOB", ".hidden.VOB", "locked.VOB", "folder.VOB/"});
    QVERIFY(QFile::setPermissions(root_ + "/locked.VOB", QFile::ReadOwner | QFile::ReadGroup));
    Recorder r(root_, "*.vob", false);
    QVERIFY(r.search.Search());
    QCOMPARE(r.names.size(), 4);
    const double today = DateTimeValue(QDate::currentDate(), 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        const QString name = QFileInfo(r.names[i]).fileName();
        const TSearchFileData &d = r.data[i];
        QCOMPARE(d.LongName, name);
        QCOMPARE(d.ShortName, name);
        QVERIFY(!d.IsSystem);
        QCOMPARE(d.IsHidden, name == ".hidden.VOB");
        QCOMPARE(d.IsReadOnly, name == "locked.VOB");
        QCOMPARE(d.IsDirectory, name == "folder.VOB");
        QCOMPARE(d.IsArchive, name != "folder.VOB");
        QCOMPARE(d.Size, name == "five.VOB" ? 5 : 0);
        QVERIFY(d.WriteTimeValid && d.AccessTimeValid);
        QVERIFY2(d.WriteTime >= today - 1 && d.WriteTime < today + 2, qPrintable(name));
    }
}

void TestSearchFile::timeStamps_data()
{
    QTest::addColumn<QDateTime>("stamp");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("expected");
    const QDate date(2005, 6, 7);
    QTest::newRow("odd second cut to two") << QDateTime(date, QTime(8, 9, 11)) << true << DateTimeValue(date, 8, 9, 10);
    QTest::newRow("first DOS second") << QDateTime(QDate(1980, 1, 1), QTime(0, 0, 1)) << true
                                      << DateTimeValue(QDate(1980, 1, 1), 0, 0, 0);
    QTest::newRow("last DOS year") << QDateTime(QDate(2107, 12, 31), QTime(23, 59, 59)) << true
                                   << DateTimeValue(QDate(2107, 12, 31), 23, 59, 58);
    QTest::newRow("before 1980") << QDateTime(QDate(1979, 12, 31), QTime(23, 59, 59)) << false << 0.0;
    QTest::newRow("after 2107") << QDateTime(QDate(2108, 1, 1), QTime(0, 0, 0)) << false << 0.0;
}

void TestSearchFile::timeStamps()
{
    QFETCH(QDateTime, stamp);
    QFETCH(bool, valid);
    QFETCH(double, expected);
    MakeTree(root_, {"stamped.VOB"});
    {
        QFile file(root_ + "/stamped.VOB");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileAccessTime));
    }
    Recorder r(root_, "*.VOB", false);
    QVERIFY(r.search.Search());
    QCOMPARE(r.data.size(), 1);
    QCOMPARE(r.data[0].WriteTimeValid, valid);
    QCOMPARE(r.data[0].AccessTimeValid, valid);
    if (valid) {
        QVERIFY2(qAbs(r.data[0].WriteTime - expected) < 1e-9, qPrintable(QString::number(r.data[0].WriteTime, 'f', 9)));
        QVERIFY(qAbs(r.data[0].AccessTime - expected) < 1e-9);
    }
}

void TestSearchFile::largeTree()
{
    // 40 folders on two levels with 100 files each; a quarter of them match.
    QStringList entries;
    for (int i = 0; i < 20; ++i)
        for (const QString &folder : {QString("d%1").arg(i), QString("d%1/inner").arg(i)})
            for (int f = 0; f < 100; ++f)
                entries << folder + QString(f % 4 == 0 ? "/VTS_%1.VOB" : "/other_%1.dat").arg(f);
    MakeTree(root_, entries);

    Recorder r(root_, "VTS*.VOB");
    QVERIFY(r.search.Search());
    const QStringList dirs = r.search.DirectoryList();
    QCOMPARE(dirs.size(), 41);
    for (int i = 1; i <= 20; ++i) // a whole level before the next
        QVERIFY(!dirs[i].endsWith("/inner"));
    QStringList expected;
    for (const QString &dir : dirs)
        expected << NativeOrder(dir, "VTS_");
    QCOMPARE(expected.size(), 1000);
    QCOMPARE(r.names, expected);
}

QTEST_GUILESS_MAIN(TestSearchFile)
#include "test_search_file.moc"
