// The file system against the program: output folders and files that cannot
// be made, a program folder that takes no writes (a file in its place, a size
// limit, a full disk, a read-only mount), preset files of extreme shape and a
// settings file of random bytes. Each fault is told or passed over as the
// program's rules say; no file that was there is lost, and the window works on.
#include "support/fake_encoder.h"

#include "app/ini_file.h"
#include "platform/error.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zento;
using test::FaultBench;
using test::ReadFile;
using test::WriteFile;

namespace {

// Mounts work only with the right to make a mount namespace of our own.
bool PrivateMounts()
{
    static const bool ok =
        ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

bool MountTmpfs(const QString &at, const char *size)
{
    return ::mount("zento-full", QFile::encodeName(at).constData(), "tmpfs", 0, size) == 0;
}

bool BindReadOnly(const QString &at)
{
    const QByteArray path = QFile::encodeName(at);
    return ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

bool Unmount(const QString &at)
{
    return ::umount2(QFile::encodeName(at).constData(), MNT_DETACH) == 0;
}

// Fills the file system of the folder up to the last byte.
bool Fill(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder + "/filler").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'f');
    while (::write(fd, block.constData(), block.size()) == block.size()) {
    }
    while (::write(fd, "f", 1) == 1) { // the last partial block
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

// A limit on the size of every file this process writes.
class SizeLimit {
public:
    explicit SizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{bytes, saved_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    SizeLimit(const SizeLimit &) = delete;
    SizeLimit &operator=(const SizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};

} // namespace

class TestFaultsFiles : public QObject {
    Q_OBJECT
private slots:
    // The run: every file that cannot be written is reported, the run goes on,
    // nothing in the way is removed.
    void outputFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said"); // what the report shows of the encoder's words
        QTest::addColumn<QString>("cause"); // and of the cause, in the user's words
        QTest::newRow("output folder below a file") << "folder below a file"
                                                    << "Not a directory"
                                                    << "出力先フォルダを作れません: ";
        QTest::newRow("output on a full disk") << "full disk"
                                               << "No space left on device"
                                               << "出力先の空き容量が足りません: ";
        QTest::newRow("output folder read-only") << "read-only"
                                                 << "Read-only file system"
                                                 << "出力先フォルダに書き込めません: ";
    }
    void outputFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QFETCH(QString, cause);
        FaultBench b(2);
        QString keep; // a file in the way, which must stay
        if (fault == "folder below a file") {
            keep = b.root.filePath("blocker");
            QVERIFY(WriteFile(keep, "mine"));
            b.out = keep + "/out";
        } else {
            if (!PrivateMounts())
                QSKIP("no mount namespace here (needs CAP_SYS_ADMIN): the full disk is not made");
            QVERIFY(QDir().mkpath(b.out));
            keep = b.out + "/filler";
            if (fault == "read-only")
                QVERIFY(WriteFile(keep, "mine") && BindReadOnly(b.out));
            else
                QVERIFY(MountTmpfs(b.out, "size=64k") && Fill(b.out));
        }
        const QByteArray kept = ReadFile(keep);
        b.w->C1_03->SetText(b.out);
        b.Run();
        const bool mounted = fault == "full disk";
        if (mounted)
            QFile::remove(keep);
        else if (fault == "read-only")
            QVERIFY(Unmount(b.out));

        QCOMPARE(b.Calls(), test::ExpectedCalls(2, false)); // the run went on
        QCOMPARE(b.messages.size(), 2);
        const QString report = b.messages[1];
        QVERIFY2(report.startsWith("変換できなかったファイルがあります。"), qPrintable(report));
        for (int n = 1; n <= 2; ++n)
            QVERIFY2(report.contains(QString("VTS_01_%1.VOB -> VTS_01_%1.avi\n  エンコーダの終了コード: 1").arg(n)) &&
                         report.count(said) == 2,
                     qPrintable(report));
        if (!mounted)
            QCOMPARE(ReadFile(keep), kept);
        QVERIFY2(report.count(cause + b.out + "\n") == 2, qPrintable(report));
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
        if (mounted) {
            test::ConvertsAgain(b); // room again
            QVERIFY(Unmount(b.out));
        }
    }

    // An output's name taken by a folder (or a file of an earlier run): the
    // output gets the next free name, the folder stays, the report says so.
    void outputNameTaken()
    {
        FaultBench b(2);
        const QString keep = b.Output(0) + "/inside";
        QVERIFY(WriteFile(keep, "mine") && WriteFile(b.Output(1), "earlier"));
        b.w->C1_03->SetText(b.out);
        b.Run();
        QCOMPARE(b.Calls(), test::ExpectedCalls(2, false));
        QCOMPARE(b.messages.size(), 2);
        QCOMPARE(b.messages[1], "同じ名前のファイルがあったため、次の名前で保存しました。\n\n"
                                "VTS_01_1.avi -> VTS_01_1 (2).avi\nVTS_01_2.avi -> VTS_01_2 (2).avi");
        QCOMPARE(ReadFile(keep), "mine");
        QCOMPARE(ReadFile(b.Output(1)), "earlier");
        for (int i = 0; i < 2; ++i)
            QCOMPARE(ReadFile(b.out + QString("/VTS_01_%1 (2).avi").arg(i + 1)), "complete");
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
    }

    // A renamed output whose encoder failed was not saved: the report names
    // it among the failures only, not among the files saved under a new name.
    void renamedOutputThatFailed()
    {
        FaultBench b(1);
        QVERIFY(WriteFile(b.Output(0), "earlier"));
        b.Fake("END=fail\n");
        b.w->C1_03->SetText(b.out);
        b.Run();
        const QString report = b.messages.constLast();
        QVERIFY2(report.startsWith("変換できなかったファイルがあります。") &&
                     report.contains("VTS_01_1.VOB -> VTS_01_1 (2).avi") && !report.contains("保存しました"),
                 qPrintable(report));
        QCOMPARE(ReadFile(b.Output(0)), "earlier");
    }

    // The output folder taken away while the first file is converted (deleted,
    // its drive pulled out): each failed file's report names the folder, and
    // it is not made again where it was.
    void outputFolderTakenAway()
    {
        FaultBench b(2);
        b.Fake("END_1=foldergone\n");
        b.Run();
        QCOMPARE(b.Calls(), test::ExpectedCalls(2, false)); // the run went on
        const QString report = b.messages.constLast(), gone = "\n  出力先のフォルダがなくなりました: " + b.out;
        QVERIFY2(report.contains("VTS_01_1.VOB -> VTS_01_1.avi\n  エンコーダは出力ファイルを書きませんでした。" + gone) &&
                     report.count(gone) == 2,
                 qPrintable(report));
        QVERIFY(!QFileInfo::exists(b.out));
    }

    // A second window converting a file of the same name into the same folder
    // while the first window's encoder has not yet made its output: each
    // output keeps a name of its own, and no empty file is left behind.
    void outputNameTakenMeanwhile()
    {
        FaultBench first(1), second(1);
        second.w->C1_03->SetText(first.out);
        // the first window's encoder waits, before writing anything, for the
        // second window's run to end
        first.Fake("[[ \" $* \" != *\" image2 \"* && \"$2\" != -encoders && \"$2\" != -muxers ]] && "
                   "while [ ! -f \"$dir/go\" ]; do sleep 0.02; done\n");
        bool secondRan = false;
        QTimer meanwhile;
        QObject::connect(&meanwhile, &QTimer::timeout, [&] {
            QProcess *process = first.w->EncoderProcess;
            if (secondRan || !process || process->state() != QProcess::Running)
                return;
            secondRan = true;
            second.Run();
            QVERIFY(WriteFile(first.program + "/go", ""));
        });
        meanwhile.start(20);
        first.Run();
        meanwhile.stop();
        QVERIFY(secondRan);
        const QString named = first.out + "/VTS_01_1.avi", numbered = first.out + "/VTS_01_1 (2).avi";
        QCOMPARE(first.Arguments(2).constLast(), named);
        QCOMPARE(second.Arguments(2).constLast(), numbered);
        QCOMPARE(QDir(first.out).entryList(QDir::Files), QStringList({"VTS_01_1 (2).avi", "VTS_01_1.avi"}));
        QCOMPARE(ReadFile(named), "complete");
        QCOMPARE(ReadFile(numbered), "complete");
        // a name held for an output that never comes is given back
        QVERIFY(QFile::remove(named) && QFile::remove(numbered));
        second.Fake("END=nothing\n");
        second.Run();
        QCOMPARE(QDir(first.out).entryList(QDir::Files), QStringList());
    }

    // The program folder takes no writes: storing a preset (profile.txt) and
    // closing the window (DVD_zento.ini) say so; the files stay as they were,
    // and once the folder takes writes again both work.
    void programFolderFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("file");
        for (const char *fault : {"folder replaced by a file", "size limit", "full disk", "read-only mount"})
            for (const char *file : {"profile.txt", "DVD_zento.ini"})
                QTest::addRow("%s, %s", fault, file) << QString(fault) << QString(file);
    }
    void programFolderFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, file);
        const bool mounts = fault == "full disk" || fault == "read-only mount";
        if (mounts && !PrivateMounts())
            QSKIP("no mount namespace here (needs CAP_SYS_ADMIN): the mount is not made");
        QTemporaryDir root;
        const QString program = root.filePath("program"), moved = root.filePath("moved");
        if (fault == "full disk")
            QVERIFY(QDir().mkpath(program) && MountTmpfs(program, "size=256k"));
        const QByteArray ini = "[SET]\r\nM_LEFT=10\r\nM_TOP=20\r\n; mine\r\n";
        QVERIFY(WriteFile(program + "/profile.txt", test::ShippedProfile()));
        QVERIFY(WriteFile(program + "/DVD_zento.ini", ini));
        const QByteArray profile = ReadFile(program + "/profile.txt");

        test::DialogRecorder dialogs;
        dialogs.answers = QStringList{"first", "second"};
        auto w = std::make_unique<TMainForm1>(program + "/DVD_zento");
        w->show();
        const int rows = w->C2_00->ItemCount();
        const QString path = QFileInfo(program + "/" + file).absoluteFilePath();

        // The fault, and back.
        const auto make = [&] {
            if (fault == "folder replaced by a file")
                return QDir(root.path()).rename("program", "moved") && WriteFile(program, "a file");
            if (fault == "full disk")
                return Fill(program);
            if (fault == "read-only mount")
                return BindReadOnly(program);
            return true;
        };
        const auto undo = [&] {
            if (fault == "folder replaced by a file")
                return QFile::remove(program) && QDir(root.path()).rename("moved", "program");
            if (fault == "full disk")
                return QFile::remove(program + "/filler");
            if (fault == "read-only mount")
                return Unmount(program);
            return true;
        };
        const auto act = [&](bool limited) {
            std::unique_ptr<SizeLimit> limit;
            if (limited)
                limit = std::make_unique<SizeLimit>(16);
            if (file == "profile.txt")
                w->CButton11Click(w->CButton11);
            else
                w->close();
        };
        QVERIFY(make());
        act(fault == "size limit");
        const QStringList told = dialogs.messages;
        QVERIFY(undo());
        QCOMPARE(ReadFile(program + "/profile.txt"), profile);
        QCOMPARE(ReadFile(program + "/DVD_zento.ini"), ini);
        QCOMPARE(QDir(program).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"DVD_zento.ini", "profile.txt"})); // no temporary file left
        QVERIFY2(!told.isEmpty() && told.last().contains(path), qPrintable(told.join('|')));
        dialogs.messages.clear();

        if (file == "profile.txt") {
            QCOMPARE(told.last(), "ファイル " + path + " を作成できません.");
            QCOMPARE(w->C2_00->ItemCount(), rows); // not offered as stored
            // The line waits in the list and goes out with the next store.
            act(false);
            QCOMPARE(ReadFile(program + "/profile.txt").left(profile.size()), profile);
            const QList<QByteArray> added = ReadFile(program + "/profile.txt").mid(profile.size()).split('\n');
            QCOMPARE(added.size(), 3);
            QVERIFY(added[0].startsWith("first,") && added[1].startsWith("second,") && added[2].isEmpty());
            // The box shows both, where the file and the next start have them.
            QCOMPARE(w->C2_00->ItemCount(), rows + 2);
            QVERIFY(w->C2_00->Item(rows).startsWith("first,") && w->C2_00->Item(rows + 1).startsWith("second,"));
            QCOMPARE(w->C2_00->ItemIndex(), rows + 1);
            QVERIFY(w->isVisible() && w->isEnabled());
        } else {
            QCOMPARE(told, QStringList{path + " に書き込めません."});
            QVERIFY(!w->isVisible()); // closed all the same
            w = std::make_unique<TMainForm1>(program + "/DVD_zento");
            w->show();
            w->C2_02_01->SetValue(640);
            QVERIFY(w->close());
            QCOMPARE(dialogs.messages, QStringList());
            QCOMPARE(IniFile(program + "/DVD_zento.ini").ReadInteger("SET2", "C2_02_01", -1), 640);
            QVERIFY(ReadFile(program + "/DVD_zento.ini").contains("; mine\r\n"));
        }
        w.reset();
        if (fault == "full disk")
            QVERIFY(Unmount(program));
    }

    // A FIFO or a folder where the program keeps a file: the window does not
    // wait on it; it is unreadable, and never replaced.
    void notRegularFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fifo");
        QTest::newRow("settings file, a FIFO") << "DVD_zento.ini" << true;
        QTest::newRow("settings file, a folder") << "DVD_zento.ini" << false;
        QTest::newRow("preset file, a FIFO") << "profile.txt" << true;
    }
    void notRegularFiles()
    {
        QFETCH(QString, file);
        QFETCH(bool, fifo);
        test::ProgramFolder program;
        const QString path = program.File(file);
        QFile::remove(path);
        QVERIFY(fifo ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 : QDir().mkdir(path));
        // A reader that waits on the FIFO is let go after a while.
        std::atomic<bool> started = false;
        std::thread writer([&] {
            for (int waited = 0; fifo && !started && waited < 1500; waited += 20)
                QThread::msleep(20);
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        test::DialogRecorder dialogs;
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<TMainForm1> w;
        QString failure;
        try {
            w = std::make_unique<TMainForm1>(program.Executable());
            w->FormActivate();
        } catch (const Error &e) {
            failure = e.message();
        }
        const qint64 startMs = clock.elapsed();
        started = true;
        writer.join();
        QVERIFY2(startMs < 1000, qPrintable(QString::number(startMs)));
        if (file == "profile.txt") {
            QCOMPARE(failure, "ファイル " + path + " は開けません"); // no presets: the program ends
        } else {
            QCOMPARE(failure, QString());
            QCOMPARE(w->C1_03->Text(), program.Path()); // no settings
            w->close();
            QCOMPARE(dialogs.messages, QStringList{path + " に書き込めません."});
        }
        QCOMPARE(QFileInfo(path).isFile(), false);
        QCOMPARE(QFileInfo(path).isDir(), !fifo);
    }

    // Preset files far beyond any made by hand: the window starts, offers
    // every row, and a store keeps every byte.
    void hugePresetFiles_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("lines");
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "P" + QByteArray::number(i) + ",AVI,320x240,MPEG4,30fps,800kbps,LIBMP3LAME,44100Hz,128kbps\r\n";
        QTest::newRow("100,000 lines") << many << 100000;
        QTest::newRow("one line of 1 MB") << QByteArray(1 << 20, 'x') + ",AVI\r\n" << 1;
    }
    void hugePresetFiles()
    {
        QFETCH(QByteArray, profile);
        QFETCH(int, lines);
        test::ProgramFolder program(profile);
        QVERIFY(program.IsValid());
        test::DialogRecorder dialogs;
        dialogs.answers = QStringList{"added"};
        QElapsedTimer clock;
        clock.start();
        TMainForm1 w(program.Executable());
        w.show();
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(w.C2_00->ItemCount(), lines + 1); // the manual row first
        QCOMPARE(w.C2_00->Item(1).size(), qMin(profile.indexOf('\r'), qsizetype(4096)));
        w.CButton11Click(w.CButton11);
        QCOMPARE(dialogs.messages.size(), 2); // the announcement and "stored"
        const QByteArray after = ReadFile(program.File("profile.txt"));
        QCOMPARE(after.left(profile.size()), profile);
        QVERIFY(after.mid(profile.size()).startsWith("added,"));
        QCOMPARE(after.count('\n'), lines + 1);
        QCOMPARE(w.C2_00->ItemCount(), lines + 2);
    }

    // Random bytes for a settings file: the window starts with values in their
    // ranges, closes, and what it wrote reads back; the bytes that were there
    // stay where no key replaced them.
    void randomSettingsFile_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void randomSettingsFile()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        QByteArray garbage(8192, '\0');
        for (char &c : garbage)
            c = char(random.bounded(256));
        test::ProgramFolder program;
        const QString ini = program.File("DVD_zento.ini");
        QVERIFY(WriteFile(ini, garbage));
        test::DialogRecorder dialogs;
        QStringList shown;
        {
            TMainForm1 w(program.Executable());
            w.show();
            for (TSpinEdit *edit : {w.C2_02_01, w.C2_02_02, w.C2_03_01, w.C2_03_02, w.C2_05, w.C2_06, w.C3_02, w.C3_03})
                QVERIFY(edit->Value() >= 0 && edit->Value() <= 99999);
            for (TMultiColComboBox *box : {w.C2_00, w.C2_01, w.C2_04, w.C3_01})
                QVERIFY(box->ItemIndex() >= -1 && box->ItemIndex() < box->ItemCount());
            w.C2_02_01->SetValue(720);
            w.C1_03->SetText("/videos");
            QVERIFY(w.close());
        }
        QCOMPARE(dialogs.messages, QStringList());
        const IniFile written(ini);
        QCOMPARE(written.ReadInteger("SET2", "C2_02_01", -1), 720);
        QCOMPARE(written.ReadString("SET1", "C1_03", QString()), "/videos");
        // Every line of the old bytes that holds no key is still there, byte for byte.
        const QByteArray after = ReadFile(ini);
        int kept = 0;
        for (const QByteArray &line : garbage.split('\n')) {
            const QByteArray text = line.split('\r').value(0);
            if (text.size() >= 8 && !text.contains('=') && !text.contains('[')) {
                QVERIFY2(after.contains(text), qPrintable(text.toHex()));
                ++kept;
            }
        }
        QVERIFY(kept > 0);
    }
};

QTEST_MAIN(TestFaultsFiles)
#include "test_faults_files.moc"
