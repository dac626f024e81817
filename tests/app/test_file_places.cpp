// Where the program keeps its files: beside itself when its folder can be
// written, in the user's own folders when it cannot (an installed package).
#include "app/file_places.h"
#include "convert/command_line.h"
#include "options/preset_file.h"
#include "platform/error.h"
#include "platform/folder_access.h"
#include "platform/text_encoding.h"
#include "support/fake_encoder.h"
#include "support/test_support.h"
#include "widgets/spin_edit.h"

#include <QImage>
#include <QStandardPaths>
#include <QTest>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zento;
using namespace zento::test;

namespace {

// The line the options of StorePreset give under a name.
QString StoredLine(const QString &name)
{
    return name + ",MP4,320x240,LIBX264,15fps,300kbps,LIBFAAC,44100Hz,96kbps";
}
// As the shipped Shift-JIS file holds it.
QByteArray StoredBytes(const QString &name)
{
    return ToShiftJis(StoredLine(name)) + "\r\n";
}

// The program folder is taken as read-only (or writable) by the program.
struct ProgramFolderTakenAs {
    explicit ProgramFolderTakenAs(bool writable)
    {
        SetFolderWriteProbe([writable](const QString &) { return writable; });
    }
    ~ProgramFolderTakenAs() { SetFolderWriteProbe(nullptr); }
};

} // namespace

class TestFilePlaces : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    std::optional<ProgramFolder> program_;
    std::optional<DialogRecorder> dialogs_;

    QString Home(const QString &relative) const { return home_.filePath(relative); }
    QString Config(const QString &name) const { return Home(".config/dvd-zento/" + name); }
    QStringList ProgramFolderEntries() const
    {
        return QDir(program_->Path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // The user picks "設定記憶" and names the preset; the options are those of StoredLine.
    void StorePreset(TMainForm1 &window, const QString &name)
    {
        window.C2_01->SetItemIndex(RowWithId(Catalogue::Containers, "MP4"));
        window.C2_02_01->SetValue(320);
        window.C2_02_02->SetValue(240);
        window.C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "LIBX264"));
        window.C2_06->SetValue(15);
        window.C2_05->SetValue(300);
        window.C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBFAAC"));
        window.C3_03->SetValue(44100);
        window.C3_02->SetValue(96);
        dialogs_->answers << name;
        window.CButton11Click(window.CButton11);
    }

private slots:
    void init()
    {
        QVERIFY(home_.isValid());
        QVERIFY(QDir(home_.path()).removeRecursively() && QDir().mkpath(home_.path()));
        // The user's folders as a fresh account has them.
        qputenv("HOME", QFile::encodeName(home_.path()));
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(QDir().mkpath(Home("run")));
        QVERIFY(QFile::setPermissions(Home("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Home("run")));
        program_.emplace();
        QVERIFY(program_->IsValid());
        dialogs_.emplace();
    }
    void cleanup()
    {
        dialogs_.reset();
        SetFolderWriteProbe(nullptr);
    }

    void places_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("configHome");  // XDG_CONFIG_HOME below home, empty: unset
        QTest::addColumn<QByteArray>("userDirs"); // user-dirs.dirs in the configuration folder
        QTest::addColumn<bool>("ownPresets");     // profile.txt in the user's folder
        QTest::addColumn<QString>("userFolder");  // "<program>" or below home
        QTest::addColumn<QString>("presets");
        QTest::addColumn<QString>("output");
        QTest::newRow("portable, even with the user's files present")
            << true << QString() << QByteArray("XDG_VIDEOS_DIR=\"$HOME/ビデオ\"\n") << true << "<program>"
            << "<program>/profile.txt"
            << "<program>";
        QTest::newRow("installed, first start") << false << QString() << QByteArray() << false << ".config/dvd-zento"
                                                << "<program>/profile.txt"
                                                << "Videos";
        QTest::newRow("installed, own presets stored before")
            << false << QString() << QByteArray() << true << ".config/dvd-zento"
            << ".config/dvd-zento/profile.txt"
            << "Videos";
        QTest::newRow("installed, configuration folder and video folder of the user's choice")
            << false << "conf" << QByteArray("XDG_VIDEOS_DIR=\"$HOME/ビデオ\"\n") << true << "conf/dvd-zento"
            << "conf/dvd-zento/profile.txt"
            << "ビデオ";
    }
    void places()
    {
        QFETCH(bool, writable);
        QFETCH(QString, configHome);
        QFETCH(QByteArray, userDirs);
        QFETCH(bool, ownPresets);
        QFETCH(QString, userFolder);
        QFETCH(QString, presets);
        QFETCH(QString, output);
        if (!configHome.isEmpty())
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home(configHome)));
        const QString configuration = Home(configHome.isEmpty() ? ".config" : configHome);
        if (!userDirs.isEmpty())
            QVERIFY(WriteFile(configuration + "/user-dirs.dirs", userDirs));
        if (ownPresets)
            QVERIFY(WriteFile(configuration + "/dvd-zento/profile.txt", StoredBytes("x")));
        const auto resolve = [this](const QString &path) {
            return path.startsWith("<program>") ? program_->Path() + path.mid(9) : Home(path);
        };

        const ProgramFolderTakenAs taken(writable);
        const FilePlaces places = FilePlaces::ForProgramFolder(program_->Path());
        QCOMPARE(places.Mode(), writable ? RunMode::Portable : RunMode::Installed);
        QCOMPARE(places.UserFolder(), resolve(userFolder));
        QCOMPARE(places.SettingsPath(), resolve(userFolder) + "/DVD_zento.ini");
        QCOMPARE(places.PresetPath(), resolve(presets));
        QCOMPARE(places.PresetStorePath(), resolve(userFolder) + "/profile.txt");
        QCOMPARE(places.DefaultOutputFolder(), resolve(output));
        // Asking makes nothing; only a write does.
        QCOMPARE(QFileInfo::exists(configuration + "/dvd-zento"), ownPresets);
        places.PrepareUserFolder();
        QVERIFY(QFileInfo(resolve(userFolder)).isDir());
    }

    // The thumbnail of an installed copy: a private folder of the user's per
    // run, in the runtime folder, gone with the run; the program folder is
    // never written.
    void installedThumbnail()
    {
        const ProgramFolderTakenAs taken(false);
        FaultBench b(2);
        QCOMPARE(b.w->Places().Mode(), RunMode::Installed);
        // A picture the run can show: one that it could not read would stop it.
        QImage image(80, 60, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString picture = b.root.filePath("picture.jpg");
        QVERIFY(image.save(picture, "JPG"));
        b.Fake("THUMB=\"" + QFile::encodeName(picture) + "\"\n");
        b.Run();
        QCOMPARE(b.messages, QStringList{QString()});
        QCOMPARE(b.Calls(), ExpectedCalls(2, false));
        // Both thumbnail runs of the run write into one private folder below the runtime folder.
        const QString thumbnail1 = b.Arguments(1).last(), thumbnail2 = b.Arguments(3).last();
        QCOMPARE(thumbnail1, thumbnail2);
        const QString folder = QFileInfo(thumbnail1).path();
        QCOMPARE(QFileInfo(folder).path(), Home("run"));
        QVERIFY2(QFileInfo(folder).fileName().startsWith("dvd-zento-"), qPrintable(folder));
        QCOMPARE(QFileInfo(thumbnail1).fileName(), "_thumb.jpg");
        QCOMPARE(QDir(Home("run")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFile::exists(b.program + "/_thumb.jpg"));
        QCOMPARE(ReadFile(b.Output(1)), QByteArray("complete"));

        // The next run gets a folder of its own again, private to the user.
        b.ClearLog();
        b.Fake("SLEEP=0.5\n");
        QFile::Permissions seen;
        QTimer::singleShot(300, [&] {
            const QStringList made = QDir(Home("run")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            if (made.size() == 1)
                seen = QFileInfo(Home("run/" + made.first())).permissions();
        });
        b.Run();
        QCOMPARE(seen & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                         QFile::ExeOther),
                 QFile::Permissions());
        QVERIFY(seen & QFile::WriteOwner);
        QCOMPARE(QDir(Home("run")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
        QVERIFY(!QFile::exists(b.program + "/_thumb.jpg"));
    }

    // An installed copy from start to close: no warning, the user's video
    // folder as output, presets stored into the user's copy after the
    // shipped lines, the settings in the user's folder.
    void installedWindow()
    {
        const QByteArray shipped = ReadFile(program_->File("profile.txt"));
        const QStringList programFiles = ProgramFolderEntries();
        const ProgramFolderTakenAs taken(false);
        {
            TMainForm1 window(program_->Executable());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTest::qWait(50);
            QCOMPARE(dialogs_->messages, QStringList());
            QCOMPARE(window.C1_03->Text(), Home("Videos"));
            const int rows = window.C2_00->ItemCount();

            StorePreset(window, "携帯");
            QCOMPARE(ReadFile(Config("profile.txt")), shipped + StoredBytes("携帯"));
            StorePreset(window, "携帯 2");
            QCOMPARE(ReadFile(Config("profile.txt")), shipped + StoredBytes("携帯") + StoredBytes("携帯　2"));
            QCOMPARE(window.C2_00->ItemCount(), rows + 2);
            window.close();
        }
        QCOMPARE(ReadFile(program_->File("profile.txt")), shipped);
        QCOMPARE(ProgramFolderEntries(), programFiles);
        const QByteArray ini = ReadFile(Config("DVD_zento.ini"));
        QVERIFY2(ini.startsWith("[SET]\r\nM_LEFT="), ini.constData());
        QVERIFY2(ini.contains("[SET1]\r\nC1_03=" + Home("Videos").toUtf8() + "\r\n"), ini.constData());

        // The next start reads the user's presets and settings.
        TMainForm1 again(program_->Executable());
        again.FormActivate();
        QCOMPARE(again.Presets().Lines().last(), StoredLine("携帯　2"));
        QCOMPARE(again.C2_00->ItemIndex(), again.C2_00->ItemCount() - 1);
        QCOMPARE(dialogs_->messages.filter("を作成できません"), QStringList());
    }

    // A portable copy whose settings file was made read-only runs as an
    // installed one: its settings are where it starts from, never passed
    // over, and are kept from then on in the user's folder.
    void settingsLeftInProgramFolder()
    {
        const QByteArray left = "[SET1]\r\nC1_03=" + Home("mine").toUtf8() + "\r\n";
        QVERIFY(WriteFile(program_->File("DVD_zento.ini"), left));
        const ProgramFolderTakenAs taken(false);
        {
            TMainForm1 window(program_->Executable());
            window.FormActivate();
            QCOMPARE(window.C1_03->Text(), Home("mine"));
            window.close();
        }
        QCOMPARE(ReadFile(program_->File("DVD_zento.ini")), left);
        QVERIFY(ReadFile(Config("DVD_zento.ini")).contains("C1_03=" + Home("mine").toUtf8() + "\r\n"));
        QCOMPARE(dialogs_->messages, QStringList());
    }

    // Two windows of an installed or portable copy store presets into one
    // file: none loses a line of the other's; each window's box shows the
    // file, so the row stored on close is the preset picked at the next start.
    void twoWindowsStore_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed") << true;
        QTest::newRow("portable") << false;
    }
    void twoWindowsStore()
    {
        QFETCH(bool, installed);
        const ProgramFolderTakenAs taken(!installed);
        const QByteArray shipped = ReadFile(program_->File("profile.txt"));
        const QString file = installed ? Config("profile.txt") : program_->File("profile.txt");
        auto a = std::make_unique<TMainForm1>(program_->Executable());
        TMainForm1 b(program_->Executable());
        a->FormActivate();
        b.FormActivate();
        const int rows = a->C2_00->ItemCount();
        StorePreset(*a, "fromA");
        StorePreset(b, "fromB");
        StorePreset(*a, "fromA2");
        QCOMPARE(ReadFile(file), shipped + StoredBytes("fromA") + StoredBytes("fromB") + StoredBytes("fromA2"));
        // an installed copy's stored presets are not the shipped file: where they are is told
        QCOMPARE(dialogs_->messages.filter("一発設定を記憶しました。").size(), 3);
        QCOMPARE(dialogs_->messages.filter("記憶先: " + file).size(), installed ? 3 : 0);
        const QStringList lines = PresetFile::Load(file).Lines();
        QCOMPARE(a->C2_00->ItemCount(), rows + 3);
        for (int row = 1; row < a->C2_00->ItemCount(); ++row)
            QCOMPARE(a->C2_00->Item(row), lines.at(row - 1));
        QCOMPARE(a->C2_00->ItemIndex(), rows + 2);
        QCOMPARE(b.C2_00->Item(b.C2_00->ItemIndex()), StoredLine("fromB"));
        a->FormClose();
        a.reset();
        TMainForm1 next(program_->Executable());
        next.FormActivate();
        QCOMPARE(next.C2_00->Item(next.C2_00->ItemIndex()), StoredLine("fromA2"));
    }

    // The user's own preset file is there but cannot be read: the window
    // says so and offers the shipped presets; a store never writes there.
    void unreadableUserPresets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("no permission") << "no permission";
    }
    void unreadableUserPresets()
    {
        QFETCH(QString, kind);
        if (kind == "no permission" && geteuid() == 0)
            QSKIP("permission bits do not bind the administrator");
        const QString own = Config("profile.txt");
        QVERIFY(QDir().mkpath(Config("")));
        if (kind == "folder")
            QVERIFY(QDir().mkpath(own));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(own).constData(), 0600), 0);
        else
            QVERIFY(WriteFile(own, StoredBytes("mine")) && QFile::setPermissions(own, QFile::WriteOwner));
        const ProgramFolderTakenAs taken(false);
        TMainForm1 window(program_->Executable()); // does not end, nor wait on the FIFO
        window.FormActivate();
        const QString cannotOpen = ErrorBoxText("ファイル " + own + " は開けません");
        QCOMPARE(dialogs_->messages, QStringList{cannotOpen});
        QCOMPARE(window.Presets().Lines(), PresetFile::Load(program_->File("profile.txt")).Lines());
        const int rows = window.C2_00->ItemCount();
        StorePreset(window, "x");
        QCOMPARE(dialogs_->messages.last(), cannotOpen);
        QCOMPARE(window.C2_00->ItemCount(), rows);
        QCOMPARE(QFileInfo(own).isDir(), kind == "folder");
        QCOMPARE(QFileInfo(own).isFile(), kind == "no permission");
        QCOMPARE(QDir(Config("")).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"profile.txt"});
        QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner);
    }

    // A program folder of the system is an installed copy whoever runs it:
    // the administrator, who could write there, changes no file of the package.
    void systemProgramFolder_data()
    {
        QTest::addColumn<QString>("folder"); // "<tmp>": a folder of the user's; "<listed>": one the package list names
        QTest::addColumn<bool>("system");
        QTest::newRow("the package's folder") << "/usr/lib/dvd-zento" << true;
        QTest::newRow("below /usr/local") << "/usr/local/lib/dvd-zento" << true;
        QTest::newRow("a name that only begins like it") << "/usr-copy/dvd-zento" << false;
        QTest::newRow("a folder of the user's") << "<tmp>" << false;
        QTest::newRow("a folder the package list names") << "<listed>" << true;
        QTest::newRow("a link to a folder below /usr") << "<link>" << true;
    }
    void systemProgramFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        const QString list = Home("dvd-zento.list");
        QVERIFY(WriteFile(list, "/.\n/opt\n/opt/dvd-zento\n" + QFile::encodeName(Home("listed")) + "\n"));
        if (folder == "<tmp>" || folder == "<listed>")
            folder = Home(folder.mid(1, folder.size() - 2));
        if (folder == "<link>") {
            folder = Home("link");
            QVERIFY(QFile::link("/usr/share", folder));
        }
        QVERIFY(QDir().mkpath(Home("tmp")) && QDir().mkpath(Home("listed")));
        QCOMPARE(SystemProgramFolder(folder, list), system);
        // Taken as writable, as the administrator finds it: only a folder of the user's is portable.
        const ProgramFolderTakenAs taken(true);
        if (!folder.endsWith("listed")) // the package list of the machine is asked there
            QCOMPARE(FilePlaces::ForProgramFolder(folder).Mode(), system ? RunMode::Installed : RunMode::Portable);
    }

    // Two windows of one portable copy converting at once: the first run's
    // picture is the program folder's, the second's its own, and neither's
    // end takes the other's picture; once the first is over, the next run
    // has the program folder again.
    void portableThumbnailOfTwoWindows()
    {
        FilePlaces first(program_->Path(), RunMode::Portable), second(program_->Path(), RunMode::Portable);
        const QString folder = first.ThumbnailFolder(), own = second.ThumbnailFolder();
        QCOMPARE(folder, program_->Path());
        QCOMPARE(first.ThumbnailFolder(), folder); // asked again in the same run
        QVERIFY2(own != folder && QFileInfo(own).isDir(), qPrintable(own));
        QVERIFY(WriteFile(folder + "/_thumb.jpg", "first") && WriteFile(own + "/_thumb.jpg", "second"));
        second.RemoveThumbnail();
        QVERIFY(QFile::exists(folder + "/_thumb.jpg") && !QFileInfo::exists(own));
        QCOMPARE(second.ThumbnailFolder() == folder, false); // still the first's
        second.RemoveThumbnail();
        first.RemoveThumbnail();
        QVERIFY(!QFile::exists(folder + "/_thumb.jpg"));
        QCOMPARE(second.ThumbnailFolder(), folder);
        second.RemoveThumbnail();
    }

    // A portable copy in a folder whose name holds "%d": the encoder would
    // read it as a place for a number and write the picture into another
    // folder ("p1q"); the run's picture goes to a private folder instead.
    void thumbnailOfFolderNamedLikeANumberPlace()
    {
        QTemporaryDir root;
        const QString program = root.filePath("p%dq"), other = root.filePath("p1q");
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(other));
        const QString title = root.filePath("title.mpg");
        QCOMPARE(test::MakeDvdTitle(title, 7, 440), QString()); // the picture is taken 5 s in
        FilePlaces places(program, RunMode::Portable);
        const QString folder = places.ThumbnailFolder();
        const EncoderCommand thumbnail = BuildThumbnailParameters(title, folder);
        QCOMPARE(test::Run("ffmpeg", QStringList{"-v", "error", "-nostdin"} + thumbnail.arguments), QString());
        QVERIFY2(QFileInfo(folder + "/_thumb.jpg").size() > 0, qPrintable(folder));
        QCOMPARE(QDir(other).entryList(QDir::Files), QStringList());
        places.RemoveThumbnail();
    }

    // Relative values of the XDG folder variables are ignored: nothing is
    // made below the folder the program was started in.
    void relativeXdgValuesIgnored()
    {
        const QString started = Home("started");
        QVERIFY(QDir().mkpath(started));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(started));
        qputenv("XDG_CONFIG_HOME", "~/.config");
        qputenv("XDG_RUNTIME_DIR", "run");
        QVERIFY(WriteFile(Home(".config/user-dirs.dirs"), "XDG_VIDEOS_DIR=\"ビデオ\"\n"));
        const ProgramFolderTakenAs taken(false);
        FilePlaces places = FilePlaces::ForProgramFolder(program_->Path());
        const QString userFolder = places.UserFolder(), output = places.DefaultOutputFolder();
        places.PrepareUserFolder();
        const QString thumbnails = places.ThumbnailFolder();
        places.RemoveThumbnail();
        const QStringList made = QDir(started).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QDir::setCurrent(previous);
        QCOMPARE(userFolder, Config("").chopped(1));
        QCOMPARE(output, Home("Videos"));
        QVERIFY2(QDir::isAbsolutePath(thumbnails) && !thumbnails.startsWith(started), qPrintable(thumbnails));
        QCOMPARE(made, QStringList());
    }

    // A configuration folder that cannot be made: the existing messages name
    // the user's files; nothing is written anywhere else.
    void installedUserFolderCannotBeMade()
    {
        QVERIFY(WriteFile(Home(".config"), "a file where the folder would be"));
        const ProgramFolderTakenAs taken(false);
        const QStringList programFiles = ProgramFolderEntries();
        TMainForm1 window(program_->Executable());
        window.FormActivate();
        StorePreset(window, "x");
        QCOMPARE(dialogs_->messages.size(), 2); // the announcement, then the failure
        QCOMPARE(dialogs_->messages.last(), ErrorBoxText("ファイル " + Config("profile.txt") + " を作成できません"));
        try {
            window.FormClose();
            QFAIL("the settings were written");
        } catch (const Error &e) {
            QCOMPARE(e.message(), Config("DVD_zento.ini") + " に書き込めません");
        }
        QCOMPARE(ProgramFolderEntries(), programFiles);
    }

    // Without any stand-in: a program folder whose permissions forbid writing
    // makes an installed copy; the administrator writes anywhere, so the
    // package check runs this case as an ordinary user.
    void readOnlyProgramFolderIsInstalled()
    {
        if (geteuid() == 0)
            QSKIP("permission bits do not bind the administrator");
        QVERIFY(QFile::setPermissions(program_->Path(), QFile::ReadOwner | QFile::ExeOwner));
        const RunMode mode = FilePlaces::ForProgramFolder(program_->Path()).Mode();
        QFile::setPermissions(program_->Path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(mode, RunMode::Installed);
        QCOMPARE(FilePlaces::ForProgramFolder(program_->Path()).Mode(), RunMode::Portable);
    }
};

QTEST_MAIN(TestFilePlaces)
#include "test_file_places.moc"
