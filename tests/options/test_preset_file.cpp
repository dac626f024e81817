#include "options/catalogue.h"
#include "options/comma_text.h"
#include "options/preset_file.h"
#include "platform/error.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zento;
using test::ReadFile;
using test::WriteFile;

Q_DECLARE_METATYPE(zento::TextEncoding)

namespace {

QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
QString CannotWrite(const QString &path)
{
    return U("ファイル ") + path + U(" を作成できません");
}

// The message of what f throws; empty when it throws nothing.
template <class F> QString FailureOf(F &&f)
{
    try {
        f();
    } catch (const std::exception &e) {
        return ExceptionMessage(e);
    }
    return QString();
}

} // namespace

class TestPresetFile : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        path_ = dir_->filePath("profile.txt");
    }

    void loadAndAppend_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<zento::TextEncoding>("encoding");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QByteArray>("written"); // every old byte stays; new breaks are CR LF
        const auto sjis = TextEncoding::ShiftJis, utf8 = TextEncoding::Utf8;
        QTest::newRow("empty file") << QByteArray() << QStringList{} << sjis << "x" << QByteArray("x\r\n");
        QTest::newRow("lf only") << QByteArray("a\nb\n") << QStringList{"a", "b"} << sjis << "x"
                                 << QByteArray("a\r\nb\r\nx\r\n");
        QTest::newRow("no final break") << QByteArray("a\r\nb") << QStringList{"a", "b"} << sjis << "x"
                                        << QByteArray("a\r\nb\r\nx");
        QTest::newRow("empty lines") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"} << sjis << ""
                                     << QByteArray("a\r\n\r\nb\r\n\r\n");
        // NEC/IBM duplicates and stray bytes go back as they were; 〜 is stored as CP932's ～.
        QTest::newRow("shift-jis") << QByteArray("\x8e\xe8\x93\xae,AVI\r\n\xed\x40\xfa\x5c\x87\x90\x80\r\n")
                                   << QStringList{U("手動,AVI"), U("纊纊≒\xef\xbf\xbd")} << sjis << U("携帯〜")
                                   << QByteArray("\x8e\xe8\x93\xae,AVI\r\n\xed\x40\xfa\x5c\x87\x90\x80\r\n"
                                                 "\x8c\x67\x91\xd1\x81\x60\r\n");
        QTest::newRow("utf-8") << QByteArray("\xe6\x89\x8b,AVI\n") << QStringList{U("手,AVI")} << utf8 << U("한")
                               << QByteArray("\xe6\x89\x8b,AVI\r\n\xed\x95\x9c\r\n");
        QTest::newRow("utf-8 with mark") << QByteArray("\xef\xbb\xbf"
                                                       "a\r\n")
                                         << QStringList{"a"} << utf8 << U("手")
                                         << QByteArray("\xef\xbb\xbf"
                                                       "a\r\n\xe6\x89\x8b\r\n");
    }
    void loadAndAppend()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, lines);
        QFETCH(zento::TextEncoding, encoding);
        QFETCH(QString, added);
        QFETCH(QByteArray, written);
        QVERIFY(WriteFile(path_, file));
        PresetFile presets = PresetFile::Load(path_);
        QCOMPARE(presets.Lines(), lines);
        QCOMPARE(presets.Encoding(), encoding);
        presets.AppendLine(added);
        QCOMPARE(presets.Lines(), lines + QStringList{added});
        QCOMPARE(ReadFile(path_), written);
        // Read back, the file gives the same lines (with the CP932 spellings) in the same encoding.
        const PresetFile again = PresetFile::Load(path_);
        QCOMPARE(again.Lines(), lines + QStringList{MapForShiftJis(added)});
        QCOMPARE(again.Encoding(), encoding);
    }

    void appendSwitchesToUtf8()
    {
        // A name Shift-JIS cannot hold is not lost: the whole file becomes UTF-8.
        QVERIFY(WriteFile(path_, "\x8e\xe8\x93\xae,AVI\r\n"));
        PresetFile presets = PresetFile::Load(path_);
        presets.AppendLine(U("😀한,MP4"));
        QCOMPARE(presets.Encoding(), TextEncoding::Utf8);
        QCOMPARE(ReadFile(path_), U("手動,AVI\r\n😀한,MP4\r\n").toUtf8());
        QCOMPARE(PresetFile::Load(path_).Lines(), QStringList({U("手動,AVI"), U("😀한,MP4")}));
    }

    void appendReadsBackInItsEncoding_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QByteArray>("written");
        const QByteArray mark("\xef\xbb\xbf");
        // "é" does not fit Shift-JIS; in UTF-8 it is C3 A9, also Shift-JIS "ﾃｩ": the mark tells them apart.
        QTest::newRow("two-byte utf-8 gets the mark")
            << QByteArray("a,AVI\r\n") << U("café,AVI") << mark + "a,AVI\r\ncaf\xc3\xa9,AVI\r\n";
        QTest::newRow("two-byte utf-8 after japanese needs none")
            << QByteArray("\x8e\xe8,AVI\r\n") << U("café,AVI") << U("手,AVI\r\ncafé,AVI\r\n").toUtf8();
        // "痺ｱ" is E1 83 B1 in Shift-JIS, three-byte UTF-8 "ჱ" too: that file goes UTF-8.
        QTest::newRow("shift-jis that reads as utf-8")
            << QByteArray("a,AVI\r\n") << U("痺ｱ,AVI") << U("a,AVI\r\n痺ｱ,AVI\r\n").toUtf8();
        QTest::newRow("same kanji with invalid utf-8 stays shift-jis")
            << QByteArray("\x8e\xe8,AVI\r\n") << U("痺ｱ,AVI") << QByteArray("\x8e\xe8,AVI\r\n\xe1\x83\xb1,AVI\r\n");
    }
    void appendReadsBackInItsEncoding()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, added);
        QFETCH(QByteArray, written);
        QVERIFY(WriteFile(path_, file));
        PresetFile presets = PresetFile::Load(path_);
        const QStringList before = presets.Lines();
        presets.AppendLine(added);
        QCOMPARE(ReadFile(path_), written);
        PresetFile again = PresetFile::Load(path_);
        QCOMPARE(again.Lines(), before + QStringList{added});
        QCOMPARE(again.Encoding(), presets.Encoding());
        // Stored again, the file keeps its bytes and its mark, also by a list read before.
        again.AppendLine(U("b"));
        QCOMPARE(ReadFile(path_), written + "b\r\n");
        presets.AppendLine(U("c"));
        QCOMPARE(ReadFile(path_), written + "b\r\nc\r\n");
    }

    void appendKeepsNamesThatLookLikeUtf8()
    {
        // "ﾃｽ" is C3 BD in Shift-JIS, which is also UTF-8 ("ý"): the file stays
        // Shift-JIS, and the next start reads the same name.
        for (const QByteArray &file : {QByteArray(), QByteArray("a,AVI\r\n"), QByteArray("\xc3\xbd,AVI\r\n")}) {
            QVERIFY(WriteFile(path_, file));
            PresetFile presets = PresetFile::Load(path_);
            QCOMPARE(presets.Encoding(), TextEncoding::ShiftJis);
            presets.AppendLine(U("ﾃｽ,AVI"));
            QCOMPARE(ReadFile(path_), file + "\xc3\xbd,AVI\r\n");
            const PresetFile again = PresetFile::Load(path_);
            QCOMPARE(again.Lines().last(), U("ﾃｽ,AVI"));
            QCOMPARE(again.Encoding(), TextEncoding::ShiftJis);
        }
        // A name that begins with U+FEFF keeps it: a mark goes before it.
        const QString name = QChar(0xFEFF) + U("한,AVI");
        QVERIFY(WriteFile(path_, QByteArray()));
        PresetFile presets = PresetFile::Load(path_);
        presets.AppendLine(name);
        presets.AppendLine(U("b"));
        QCOMPARE(PresetFile::Load(path_).Lines(), QStringList({name, U("b")}));
    }

    void overlongLine()
    {
        // 3000 double-byte characters: 6000 bytes, written back whole; the box shows the
        // front 4096 bytes, never half a character.
        const QByteArray bytes = QByteArray("\x90\xdd").repeated(3000) + ",AVI";
        QVERIFY(WriteFile(path_, bytes + "\r\n"));
        PresetFile presets = PresetFile::Load(path_);
        QCOMPARE(presets.Lines(), QStringList{QString(3000, QChar(u'設')) + ",AVI"});
        presets.AppendLine("x");
        QCOMPARE(ReadFile(path_), bytes + "\r\nx\r\n");
        QCOMPARE(PresetBoxRow(presets.Lines().at(0), presets.Encoding()), QString(2048, QChar(u'設')));
        const QString edge = QString(4095, u'a') + U("設b");
        QCOMPARE(PresetBoxRow(edge, TextEncoding::ShiftJis), QString(4095, u'a'));
        QCOMPARE(PresetBoxRow(edge, TextEncoding::Utf8), QString(4095, u'a'));
    }

    void notARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
    }
    void notARegularFile()
    {
        QFETCH(QString, kind);
        const QString cannotOpen = U("ファイル ") + path_ + U(" は開けません");
        const auto make = [&] {
            if (kind == "folder")
                return QDir().mkdir(path_);
            return kind == "missing" || ::mkfifo(QFile::encodeName(path_).constData(), 0600) == 0;
        };
        // A reader that waits on the FIFO is let go after a while (and then reads nothing).
        std::atomic<bool> loaded = false;
        std::thread writer([&] {
            for (int waited = 0; kind == "fifo" && !loaded && waited < 1500; waited += 20)
                QThread::msleep(20);
            const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        QVERIFY(make());
        QElapsedTimer clock;
        clock.start();
        const QString loadFailure = FailureOf([&] { PresetFile::Load(path_); });
        const qint64 loadMs = clock.elapsed();
        loaded = true;
        // A store into such a file, for a list read before it was put there.
        const QString stored = FailureOf([&] {
            if (kind == "folder")
                QDir().rmdir(path_);
            else
                QFile::remove(path_);
            QVERIFY(WriteFile(path_, "a\r\n"));
            PresetFile presets = PresetFile::Load(path_);
            QVERIFY(QFile::remove(path_) && make());
            presets.AppendLine("x");
        });
        writer.join();
        QCOMPARE(loadFailure, cannotOpen);
        QVERIFY2(loadMs < 1000, qPrintable(QString::number(loadMs)));
        if (kind == "missing") {
            QCOMPARE(stored, QString()); // a file gone is made again from the lines read
            QCOMPARE(ReadFile(path_), QByteArray("a\r\nx\r\n"));
        } else {
            QCOMPARE(stored, cannotOpen);
            QCOMPARE(QFileInfo(path_).isDir(), kind == "folder"); // left as it was
            QCOMPARE(QFileInfo(path_).isFile(), false);
        }
    }

    // Two windows store into one file: neither loses a line of the other's.
    void storesOfTwoListsKeepEachOther_data()
    {
        QTest::addColumn<bool>("userCopy"); // the lists were read from a shared file, stores go to a copy
        QTest::newRow("one file") << false;
        QTest::newRow("user's copy of a shared file") << true;
    }
    void storesOfTwoListsKeepEachOther()
    {
        QFETCH(bool, userCopy);
        const QByteArray shipped("\x8e\xe8\x93\xae,AVI\r\nb,MP4\r\n");
        const QString store = userCopy ? dir_->filePath("user/profile.txt") : path_;
        QVERIFY(WriteFile(path_, shipped) && QDir().mkpath(dir_->filePath("user")));
        PresetFile a = PresetFile::Load(path_), b = PresetFile::Load(path_);
        a.SetFilePath(store);
        b.SetFilePath(store);
        const QStringList old{U("手動,AVI"), "b,MP4"};

        QCOMPARE(a.AppendLine("fromA"), 2);
        QCOMPARE(b.AppendLine("fromB"), 2);
        QCOMPARE(b.Lines(), old + QStringList({"fromA", "fromB"}));
        QCOMPARE(a.AppendLine("fromA2"), 3); // fromA is still the file's, fromB is new to it
        QCOMPARE(a.Lines(), old + QStringList({"fromA", "fromB", "fromA2"}));
        QCOMPARE(ReadFile(store), shipped + "fromA\r\nfromB\r\nfromA2\r\n");
        if (userCopy)
            QCOMPARE(ReadFile(path_), shipped);
        // A line changed by hand before the store: the list is the file's from there on.
        QVERIFY(WriteFile(store, shipped + "edited\r\n"));
        QCOMPARE(b.AppendLine("fromB2"), 2);
        QCOMPARE(b.Lines(), old + QStringList({"edited", "fromB2"}));
        QVERIFY(!QFile::exists(store + ".lock"));
    }

    void concurrentStores()
    {
        // Four programs store at the same moment, each 15 times.
        QVERIFY(WriteFile(path_, "a\r\n"));
        QStringList expected{"a"};
        std::vector<std::thread> stores;
        QList<QString> failures(4);
        for (int t = 0; t < 4; ++t) {
            for (int n = 0; n < 15; ++n)
                expected << QString("t%1-%2").arg(t).arg(n);
            stores.emplace_back([this, t, &failures] {
                PresetFile presets = PresetFile::Load(path_);
                for (int n = 0; n < 15 && failures[t].isEmpty(); ++n)
                    failures[t] = FailureOf([&] { presets.AppendLine(QString("t%1-%2").arg(t).arg(n)); });
            });
        }
        for (std::thread &store : stores)
            store.join();
        QCOMPARE(failures, QList<QString>(4));
        QStringList lines = PresetFile::Load(path_).Lines();
        lines.sort();
        expected.sort();
        QCOMPARE(lines, expected);
    }

    // A file that did not read cleanly (another encoding, mixed bytes) keeps
    // every byte: a store appends in the encoding it was read in, or is refused.
    void fileReadWithLoss_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QByteArray>("written");                    // empty: refused, the file as it was
        QTest::addColumn<QString>("refused");                       // the character the message names
        const QByteArray eucJp("\xc6\xfc\xcb\xdc\xb8\xec,AVI\r\n"); // 日本語 in EUC-JP: not Shift-JIS
        const QByteArray eucJpClean("\xb7\xc8\xc2\xd3,AVI\r\n");    // 携帯 in EUC-JP: Shift-JIS ｷﾈﾂﾓ as well
        const QByteArray mixed("\xe6\x89\x8b,AVI\r\n\x8e\xe8,MP4\r\n"); // 手 in UTF-8, 手 in Shift-JIS
        const QByteArray ibm("\xed\x40,AVI\r\n");                       // 纊 of NEC's codes, which goes back as IBM's
        QTest::newRow("euc-jp, a name shift-jis holds") << eucJp << U("携帯,MP4") << eucJp + "\x8c\x67\x91\xd1,MP4\r\n"
                                                        << QString();
        QTest::newRow("euc-jp, café") << eucJp << U("Café,MP4") << QByteArray() << U("é");
        QTest::newRow("euc-jp read cleanly as shift-jis, café")
            << eucJpClean << U("Café,MP4") << QByteArray() << U("é");
        QTest::newRow("mixed bytes, emoji") << mixed << U("a😀,MP4") << QByteArray() << U("😀");
        QTest::newRow("mixed bytes, ascii") << mixed << U("a,MP4") << mixed + "a,MP4\r\n" << QString();
        QTest::newRow("codes that do not read back, café") << ibm << U("Café,MP4") << QByteArray() << U("é");
        // Bytes that would then read as UTF-8 (ﾃｽ is C3 BD, 痺ｱ is E1 83 B1) are refused too.
        QTest::newRow("a name that would turn the file into utf-8")
            << QByteArray("\xc3\xbd\xc3\xbd,AVI\r\n") << U("痺ｱ,MP4") << QByteArray() << U("痺");
    }
    void fileReadWithLoss()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, added);
        QFETCH(QByteArray, written);
        QFETCH(QString, refused);
        QVERIFY(WriteFile(path_, file));
        PresetFile presets = PresetFile::Load(path_);
        QVERIFY(!presets.ReadWithoutLoss());
        const QStringList before = presets.Lines();
        const QString failure = FailureOf([&] { presets.AppendLine(added); });
        if (written.isEmpty()) {
            QCOMPARE(failure, U("文字「") + refused + U("」は ファイル ") + path_ + U(" の文字コードでは書けません"));
            QCOMPARE(ReadFile(path_), file);
            QCOMPARE(presets.Lines(), before); // dropped, not waiting for the next store
            presets.AppendLine("b");
            QCOMPARE(ReadFile(path_), file + "b\r\n");
        } else {
            QCOMPARE(failure, QString());
            QCOMPARE(ReadFile(path_), written);
            QCOMPARE(presets.Encoding(), TextEncoding::ShiftJis);
        }
    }

    void wideTextNeitherReadNorWritten_data()
    {
        QTest::addColumn<QByteArray>("file");
        const char raw[] = "A\0V\0I\0,\0\r\0\n\0";
        const QByteArray line(raw, sizeof raw - 1);
        QTest::newRow("utf-16le with its mark") << "\xFF\xFE" + line;
        QTest::newRow("utf-16be with its mark") << "\xFE\xFF" + line.mid(1) + '\0';
    }
    void wideTextNeitherReadNorWritten()
    {
        QFETCH(QByteArray, file);
        QVERIFY(WriteFile(path_, file));
        // the user is told how the file was saved and what to do
        const QString told = U("ファイル ") + path_ + U(" は開けません\n(UTF-16 で保存されています。") +
                             U("Shift-JIS か UTF-8 で保存し直してください)");
        QCOMPARE(FailureOf([&] { PresetFile::Load(path_); }), told);
        // Saved so by an editor while the window was open: a store leaves it whole.
        QVERIFY(WriteFile(path_, "a\r\n"));
        PresetFile presets = PresetFile::Load(path_);
        QVERIFY(WriteFile(path_, file));
        QCOMPARE(FailureOf([&] { presets.AppendLine("b"); }), told);
        QCOMPARE(ReadFile(path_), file);
    }

    void failedWriteUnderAFile()
    {
        // The file's folder turns into a regular file after loading: no store can write there.
        const QString folder = dir_->filePath("program"), path = folder + "/profile.txt";
        QVERIFY(WriteFile(path, "a\r\n"));
        PresetFile presets = PresetFile::Load(path);
        QVERIFY(QDir(dir_->path()).rename("program", "moved"));
        QVERIFY(WriteFile(folder, "not a folder"));
        QCOMPARE(FailureOf([&] { presets.AppendLine("first"); }), CannotWrite(path));
        QCOMPARE(presets.Lines(), QStringList({"a", "first"}));
        // Once the folder is back, the next store writes both lines.
        QVERIFY(QFile::remove(folder) && QDir(dir_->path()).rename("moved", "program"));
        presets.AppendLine("second");
        QCOMPARE(ReadFile(path), QByteArray("a\r\nfirst\r\nsecond\r\n"));
    }

    void failedWriteOnAFullDisk_data()
    {
        QTest::addColumn<int>("lineLength");
        QTest::newRow("fails at the flush") << 200;
        QTest::newRow("fails while writing") << 100000;
    }
    void failedWriteOnAFullDisk()
    {
        QFETCH(int, lineLength);
        // A full disk, made by a limit on the size of any file this process writes.
        const QByteArray old("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps\r\n");
        QVERIFY(WriteFile(path_, old));
        PresetFile presets = PresetFile::Load(path_);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small{100, saved.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString message = FailureOf([&] { presets.AppendLine(QString(lineLength, u'x')); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(message, CannotWrite(path_));
        QCOMPARE(ReadFile(path_), old); // and no temporary file left beside it
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"profile.txt"});
    }

    void shippedProfile()
    {
        // Shift-JIS with CR LF breaks; nine columns a line, whose IDs name catalogue rows
        // (the automatic row included: a preset may keep the title's own format).
        const QByteArray bytes = test::ShippedProfile();
        QVERIFY(bytes.endsWith("\r\n") && bytes.count('\n') == bytes.count("\r\n"));
        const PresetFile presets = PresetFile::Load(ZENTO_SOURCE_DIR "/data/profile.txt");
        QVERIFY(presets.Encoding() == TextEncoding::ShiftJis && presets.Lines().size() >= 5);
        QVERIFY(presets.ReadWithoutLoss()); // a name Shift-JIS lacks turns it into UTF-8, not refused
        for (const QString &line : presets.Lines()) {
            const QStringList c = SplitCommaText(line);
            QVERIFY2(c.size() == 9 && FindCatalogueRow(Catalogue::Containers, c[1]) >= 0 &&
                         FindCatalogueRow(Catalogue::VideoCodecs, c[3]) >= 0 &&
                         FindCatalogueRow(Catalogue::AudioCodecs, c[6]) >= 0,
                     qPrintable(line));
        }
    }
};

QTEST_GUILESS_MAIN(TestPresetFile)
#include "test_preset_file.moc"
