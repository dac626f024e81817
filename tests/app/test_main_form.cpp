#include "app/application_gui.h"
#include "app/main_form.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "platform/error.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/shadow_label.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <memory>
#include <optional>
#include <tuple>

using namespace zento;
using namespace zento::test;

static const QByteArray kPresets = "DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps\r\n"
                                   "Web,FLV,320x240,FLV,15fps,300kbps,LIBMP3LAME,22050Hz,64kbps\r\n";

// Receives the addresses the window asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestMainForm : public QObject {
    Q_OBJECT

    std::optional<ProgramFolder> program_;
    std::optional<DialogRecorder> dialogs_;

    std::unique_ptr<TMainForm1> MakeWindow() { return std::make_unique<TMainForm1>(program_->Executable()); }
    // Puts the files (relative paths) under <program>/<root>; returns that folder.
    QString MakeDisc(const QString &root, const QStringList &files)
    {
        QDir().mkpath(program_->File(root));
        for (const QString &file : files)
            WriteFile(program_->File(root + "/" + file), "x");
        return program_->File(root);
    }

private slots:
    void init()
    {
        program_.emplace(kPresets);
        QVERIFY(program_->IsValid());
        dialogs_.emplace();
    }

    void startupWithoutPresetFile()
    {
        QVERIFY(QFile::remove(program_->File("profile.txt")));
        try {
            TMainForm1 window(program_->Executable());
            QFAIL("the window was built without its preset file");
        } catch (const Error &e) {
            QCOMPARE(e.message(), "ファイル " + program_->File("profile.txt") + " は開けません");
        }
    }

    // The encoder is asked what it has once the window's first paint is out;
    // asked for that before (a conversion started at once), the window asks it
    // then instead of going on without the answer.
    void encoderListsBeforeTheFirstPaint()
    {
        if (!EncoderToolsOnPath())
            QSKIP("no encoder on PATH");
        auto window = MakeWindow();
        window->show();
        QVERIFY(window->Capabilities().IsKnown());
    }

    void programFolder_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("folder");
        const std::pair<QString, QString> rows[] = {{"/opt/zento/DVD_zento", "/opt/zento"},
                                                    {"/DVD_zento", "/"},
                                                    {"/opt/z.d/Zento.exe", "/opt/z.d"},
                                                    {"/home/太郎/変換/DVD_zento", "/home/太郎/変換"},
                                                    {"DVD_zento", QDir::currentPath()}};
        for (const auto &[executable, folder] : rows)
            QTest::newRow(qPrintable(executable)) << executable << folder;
    }
    void programFolder()
    {
        QFETCH(QString, executable);
        QFETCH(QString, folder);
        QCOMPARE(TMainForm1::ProgramFolderOf(executable), folder);
    }

    void programFolderWithoutAName()
    {
        // A program folder whose name is not text reaches the window as no
        // path; the current folder must not stand in for it.
        try {
            TMainForm1 window{QString()};
            QFAIL("the window was made");
        } catch (const Error &e) {
            QVERIFY2(e.message().startsWith("このプログラムのフォルダの名前が読めないため"), qPrintable(e.message()));
        }
    }

    void controls_data()
    {
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("caption"); // buttons only
        struct Row {
            const char *name;
            QRect place;
            const char *hint, *caption;
        };
        const Row rows[] = {
            {"CButton4", {296, 3, 66, 14}, " 情報の表示", "情報"},
            {"CButton3", {372, 3, 18, 14}, " 説明書", "？"},
            {"CButton2", {392, 3, 18, 14}, " 最小化", "＿"},
            {"CButton1", {412, 3, 18, 14}, " 終了", "×"},
            {"DriveComboBox1", {108, 50, 300, 17}, " 入力元のDVDドライブ", ""},
            {"CheckListBox1", {108, 68, 300, 100}, " 入力元のチャプター一覧", ""},
            {"CheckListBox2", {108, 68, 300, 100}, " 入力元のチャプター一覧", ""},
            {"CButton12", {46, 146, 58, 16}, " 一覧の更新", "更新→"},
            {"C1_03", {108, 194, 300, 19}, " 出力先のフォルダ", ""},
            {"C2_00", {108, 238, 250, 19}, " 動画/音声の自動設定", ""},
            {"C2_01", {108, 278, 200, 19}, " 動画のファイル形式(コンテナ)", ""},
            {"C2_02_01", {108, 302, 60, 19}, " 動画のサイズ(幅)", ""},
            {"C2_02_02", {182, 302, 60, 19}, " 動画のサイズ(高さ)", ""},
            {"C2_03_01", {108, 322, 60, 19}, " 動画のアスペクト比(横)", ""},
            {"C2_03_02", {182, 322, 60, 19}, " 動画のアスペクト比(縦)", ""},
            {"C2_04", {108, 346, 175, 19}, " 動画のコーデック", ""},
            {"C2_06", {108, 366, 60, 19}, " 動画のフレームレート(fps単位)", ""},
            {"C2_05", {108, 386, 60, 19}, " 動画のビットレート(kbps単位)", ""},
            {"C3_01", {108, 444, 150, 19}, " 音声のコーデック", ""},
            {"C3_03", {108, 468, 60, 19}, " 音声のサンプリングレート", ""},
            {"C3_02", {108, 488, 60, 19}, " 音声のビットレート", ""},
            {"CheckBox1", {24, 532, 12, 12}, "", ""},
            {"CButton10", {328, 424, 90, 90}, " 変換開始", "変換！"},
            {"CButton11", {328, 524, 90, 28}, " 一発設定の記憶", "設定記憶"},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << r.place << QString(r.hint) << QString(r.caption);
    }
    void controls()
    {
        QFETCH(QRect, place);
        QFETCH(QString, hint);
        QFETCH(QString, caption);
        const auto window = MakeWindow();
        auto *control = window->findChild<QWidget *>(QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(control->parentWidget(), window.get());
        QCOMPARE(control->geometry(), place);
        QCOMPARE(control->toolTip(), hint);
        if (auto *button = qobject_cast<TdxfColorButton *>(control))
            QCOMPARE(button->text(), caption);
    }

    void firstState()
    {
        const auto window = MakeWindow();
        QCOMPARE(window->size(), QSize(434, 574));
        QCOMPARE(window->minimumSize(), window->maximumSize()); // not resizable
        QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(window->windowTitle(), QString("DVD変換Zento"));
        // The title is the program's name; as a display name the platform
        // would append it to the caption of every other window.
        QCOMPARE(QCoreApplication::applicationName(), QString("DVD変換Zento"));
        QCOMPARE(window->CheckListBox2->Count(), 0);
        QVERIFY(!window->CButton10->isEnabled());
        QVERIFY(!window->CheckListBox1->isVisibleTo(window.get()));
        // The preset box: the manual row, then the file's lines.
        QCOMPARE(window->C2_00->ItemCount(), 3);
        QCOMPARE(window->C2_00->Item(0), QString::fromUtf8(kManualPresetRow));
        QCOMPARE(window->C2_00->Item(2), QString::fromLatin1(kPresets.split('\n').at(1).trimmed()));
        QCOMPARE(window->C2_01->Items(), CatalogueRows(Catalogue::Containers));
        QCOMPARE(window->C2_04->Items(), CatalogueRows(Catalogue::VideoCodecs));
        QCOMPARE(window->C3_01->Items(), CatalogueRows(Catalogue::AudioCodecs));
        for (TMultiColComboBox *box : {window->C2_00, window->C2_01, window->C2_04, window->C3_01})
            QVERIFY(box->ItemIndex() == -1 && !box->CanEdit());
        // Number fields: the range and the digits one can type.
        const QList<std::tuple<TSpinEdit *, int, int>> spins = {
            {window->C2_02_01, 9999, 3}, {window->C2_02_02, 9999, 3}, {window->C2_03_01, 99, 3},
            {window->C2_03_02, 99, 3},   {window->C2_06, 999, 3},     {window->C2_05, 10000, 5},
            {window->C3_03, 99999, 5},   {window->C3_02, 999, 3}};
        for (const auto &[spin, maximum, typed] : spins)
            QVERIFY(spin->Value() == 0 && spin->maximum() == maximum && spin->MaxLength() == typed);
        // Hints show after 300 ms for 2 s; the face falls back to Japanese fonts.
        QCOMPARE(qApp->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 300);
        QCOMPARE(window->CButton10->toolTipDuration(), 2000);
        QCOMPARE(QFont::substitutes("ＭＳ Ｐゴシック").join(',').toLower(), QString("ipapgothic,noto sans cjk jp"));

        // The settings the controls give; the bit rate is held to its range.
        window->C2_01->SetItemIndex(1);
        window->C2_02_01->SetValue(640);
        window->C2_05->SetValue(20000);
        window->CheckBox1->setChecked(true);
        const ConversionSettings s = window->CurrentSettings();
        QCOMPARE(s.C2_01.row, CatalogueRows(Catalogue::Containers).at(1));
        QVERIFY(s.C2_04.index == -1 && s.C2_02_01 == 640 && s.C2_02_02 == 0 && s.C2_05 == 10000 && s.C4_C1);
    }

    void headingColonDotsApart()
    {
        // The heading of the preset box ends in "：": drawn outlined, its two
        // dots stay apart, with background between them (not a blot like "8").
        // The picture's background is blue, unlike the white text and grey edge.
        const auto window = MakeWindow();
        auto *heading = window->findChild<TShadowLabel *>(QStringLiteral("dxfLabel4"));
        QVERIFY(heading && heading->text() == QString("一発設定 ："));
        const QColor background(0, 0, 160);
        QImage image(heading->size(), QImage::Format_RGB32);
        image.fill(background);
        heading->render(&image);
        // Red tells them apart: white text 255, the grey edge 64, the background 0.
        const auto white = [&](int x, int y) { return image.pixelColor(x, y).red() >= 128; };
        const auto whiteInColumn = [&](int x) {
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                count += white(x, y);
            return count;
        };
        // The colon is the rightmost glyph (the heading is right-aligned);
        // its fullest column goes through both dots.
        int right = image.width() - 1;
        while (right >= 0 && whiteInColumn(right) == 0)
            --right;
        int left = right;
        while (left > 0 && whiteInColumn(left - 1) > 0)
            --left;
        QVERIFY(right >= 0 && right - left < 4);
        int column = right;
        for (int x = left; x <= right; ++x)
            if (whiteInColumn(x) > whiteInColumn(column))
                column = x;
        QList<int> dots; // the first row of each white run
        int gapBackground = 0;
        for (int y = 0; y < image.height(); ++y) {
            if (white(column, y) && (y == 0 || !white(column, y - 1)))
                dots << y;
            // Background, or an edge at most a quarter strong (red 64 at full strength).
            if (dots.size() == 1 && !white(column, y) && image.pixelColor(column, y).red() <= 16)
                ++gapBackground;
        }
        QCOMPARE(dots.size(), 2);
        QVERIFY2(gapBackground > 0, "the outline fills the gap between the colon's dots");
    }

    void listing_data()
    {
        QTest::addColumn<QString>("folder"); // the title folder
        QTest::addColumn<QString>("files");  // in it
        QTest::addColumn<QString>("listed"); // sorted
        struct Row {
            const char *name, *folder, *files, *listed;
        };
        const Row rows[] = {{"menu files listed, VIDEO_TS.VOB not", "VIDEO_TS",
                             "VIDEO_TS.VOB VIDEO_TS.IFO VTS_01_0.VOB VTS_01_0.IFO VTS_01_1.VOB VTS_01_2.VOB",
                             "VTS_01_0.VOB VTS_01_1.VOB VTS_01_2.VOB"},
                            {"subfolder and short name", "VIDEO_TS", "VTS_01_1.VOB VTS.VOB SUB/VTS_02_1.VOB",
                             "SUB/VTS_02_1.VOB VTS.VOB VTS_01_1.VOB"},
                            {"lower-case folder", "video_ts", "vts_01_1.vob video_ts.vob", "vts_01_1.vob"},
                            {"no VIDEO_TS", "AUDIO_TS", "VTS_01_1.VOB", ""},
                            {"no titles", "VIDEO_TS", "VIDEO_TS.VOB", ""},
                            {"missing drive", "", "", ""}};
        for (const Row &r : rows)
            QTest::newRow(r.name) << QString(r.folder) << QString(r.files) << QString(r.listed);
    }
    void listing()
    {
        QFETCH(QString, folder);
        QFETCH(QString, files);
        QFETCH(QString, listed);
        MakeDisc("other/VIDEO_TS", {"VTS_09_1.VOB"});
        const QString disc = program_->File("disc");
        if (!folder.isEmpty())
            MakeDisc("disc/" + folder, files.split(' '));
        const auto window = MakeWindow();
        // List another disc first: the new listing replaces it.
        window->DriveComboBox1->SetDrive(program_->File("other"));
        window->CButton12Click();
        QCOMPARE(window->CheckListBox2->Items(), QStringList{"09_1"});
        window->DriveComboBox1->SetDrive(disc);
        window->DriveComboBox1->OnSelect(*window->DriveComboBox1); // picking a drive lists it
        const int count = window->CheckListBox2->Count();
        // Nothing ticked still leaves something to convert; a refresh ticks all again.
        for (int i = 0; i < count; ++i)
            window->CheckListBox2->SetItemChecked(i, false);
        QCOMPARE(window->CButton10->isEnabled(), !listed.isEmpty());
        window->CButton12Click();

        const QStringList paths = window->CheckListBox1->Items();
        QVERIFY(window->CheckListBox2->Count() == count && paths.size() == count);
        QStringList relative;
        for (int i = 0; i < count; ++i) {
            relative << paths[i].mid(disc.size() + folder.size() + 2);
            // Entry i of one list is entry i of the other.
            const QString name = paths[i].section('/', -1).toUpper();
            QCOMPARE(window->CheckListBox2->ItemText(i), name.size() == 12 ? name.mid(4, 4) : QString());
            QVERIFY(window->CheckListBox1->IsItemChecked(i) && window->CheckListBox2->IsItemChecked(i));
        }
        relative.sort();
        QCOMPARE(relative.join(' '), listed);
        QCOMPARE(window->CButton10->isEnabled(), !listed.isEmpty());
        QCOMPARE(dialogs_->messages, QStringList());
    }

    void outputFolder_data()
    {
        QTest::addColumn<QString>("put");
        QTest::addColumn<QString>("text");
        // A trailing "/" goes, except for the root; "\\" is a name character.
        const std::pair<const char *, const char *> rows[] = {{"/srv/Out/", "/srv/Out"},
                                                              {"/srv/Out", "/srv/Out"},
                                                              {"/srv/Out//", "/srv/Out"},
                                                              {"/", "/"},
                                                              {"//", "/"},
                                                              {"/home/太郎/動画/", "/home/太郎/動画"},
                                                              {"/srv/a\\", "/srv/a\\"},
                                                              {"", ""}};
        for (const auto &[put, text] : rows)
            QTest::addRow("[%s]", put) << QString(put) << QString(text);
    }
    void outputFolder()
    {
        QFETCH(QString, put);
        QFETCH(QString, text);
        const auto window = MakeWindow();
        window->C1_03->SetText("/tmp/x");
        window->C1_03->SetText(put);
        QCOMPARE(window->C1_03->Text(), text);
        QCOMPARE(window->C1_03->Hint(), text);
        QCOMPARE(window->CurrentSettings().C1_03, text);
    }

    void outputFolderTyped()
    {
        const auto window = MakeWindow();
        window->show();
        window->C1_03->SetText("/srv/ab");
        // A separator typed at the end goes at once; one typed inside stays.
        QLineEdit *edit = window->C1_03->Edit();
        edit->setCursorPosition(edit->text().size());
        QTest::keyClick(edit, '/');
        QCOMPARE(window->C1_03->Text(), QString("/srv/ab"));
        edit->setCursorPosition(6);
        QTest::keyClick(edit, '/');
        QCOMPARE(window->C1_03->Hint(), QString("/srv/a/b"));
        // Typed key by key, a folder keeps every separator but a last one.
        window->C1_03->SetText("");
        QTest::keyClicks(edit, "/srv/out/dvd/");
        QCOMPARE(window->C1_03->Text(), QString("/srv/out/dvd"));
        QTest::keyClick(edit, 'x');
        QCOMPARE(window->C1_03->Hint(), QString("/srv/out/dvd/x"));
    }

    // The borderless window's own chrome: dragging, the top bar's buttons.
    void dragAndTopBar()
    {
        const auto window = std::make_unique<TMainForm1>(program_->File("zento2.bin.x"));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QPoint start = window->pos();
        auto send = [](QEvent::Type type, QWidget *target, QPoint local, QPoint global, bool held) {
            const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
            const Qt::MouseButtons buttons = held ? Qt::LeftButton : Qt::NoButton;
            QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        };
        // A press on a button does not move the window; one on the background
        // (here the side bar) carries it until the release.
        const QPoint onButton = window->CButton11->mapToGlobal(QPoint(5, 5));
        send(QEvent::MouseButtonPress, window->CButton11, {5, 5}, onButton, true);
        send(QEvent::MouseMove, window->CButton11, {35, 35}, onButton + QPoint(30, 30), true);
        QCOMPARE(window->pos(), start);
        const QPoint grip(4, 300), moved(44, 325);
        send(QEvent::MouseButtonPress, window.get(), grip, start + grip, true);
        send(QEvent::MouseMove, window.get(), moved, start + moved, true);
        send(QEvent::MouseButtonRelease, window.get(), grip, start + moved, false);
        QCOMPARE(window->pos(), start + QPoint(40, 25));
        send(QEvent::MouseMove, window.get(), grip, start + QPoint(90, 90), false);
        QCOMPARE(window->pos(), start + QPoint(40, 25));

        // The information page is named after the program file without its
        // last extension; the manual is Readme.txt beside it.
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        QDesktopServices::setUrlHandler("file", &recorder, "open");
        QTest::mouseClick(window->CButton4, Qt::LeftButton);
        QTest::mouseClick(window->CButton3, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(recorder.urls.size(), 2);
        QCOMPARE(recorder.urls[0].scheme() + recorder.urls[0].path(), QString("https/info.php"));
        QVERIFY(recorder.urls[0].toString().endsWith("/info.php?pf=w&sn=zento2.bin"));
        QVERIFY(MakeWindow()->InformationPageAddress().endsWith("/info.php?pf=w&sn=DVD_zento"));
        QCOMPARE(recorder.urls[1].toLocalFile(), program_->File("Readme.txt"));
        QTest::mouseClick(window->CButton2, Qt::LeftButton);
        QVERIFY(window->windowState() & Qt::WindowMinimized);
        window->showNormal();
        QTest::mouseClick(window->CButton1, Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }

    // The drive box holds the keyboard when the window opens; Tab goes on
    // through the fields top to bottom, the buttons, and the chapter list last.
    void keyboardFocus()
    {
        const auto window = MakeWindow();
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(QApplication::focusWidget(), window->DriveComboBox1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // opens the drive list, no web page
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(recorder.urls, QList<QUrl>());
        window->DriveComboBox1->hidePopup();
        QTRY_COMPARE(QApplication::focusWidget(), window->DriveComboBox1);

        const QStringList order = {"DriveComboBox1", "C1_03",     "C1_03 ...",     "C2_00",         "C2_01",         "C2_02_01",
                                   "C2_02_02",       "C2_03_01",  "C2_03_02",      "C2_04",         "C2_06",
                                   "C2_05",          "C3_01",     "C3_03",         "C3_02",         "CheckBox1",
                                   "CButton11",      "CButton12", "CheckBox2",     "CButton4",      "CButton3",
                                   "CButton2",       "CButton1",  "CheckListBox2", "DriveComboBox1"};
        QStringList visited;
        for (qsizetype i = 0; i < order.size(); ++i) {
            QWidget *control = QApplication::focusWidget();
            while (control && control->parentWidget() != window.get())
                control = control->parentWidget(); // the field inside a compound control
            QVERIFY(control);
            // the folder chooser's button too (before, no key reached it)
            const bool chooser = QApplication::focusWidget() == window->C1_03->BrowseButton();
            visited << control->objectName() + (chooser ? " ..." : "");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, order); // the convert button is left out while it is disabled
    }

    // During a run the window refuses to close; afterwards it closes and
    // writes its settings.
    void closeWaitsForTheRun()
    {
        const auto window = MakeWindow();
        window->show();
        auto progress = std::make_unique<TProgressForm1>(window.get());
        window->ProgressForm1 = progress.get();
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(!QFile::exists(program_->File("DVD_zento.ini")));
        progress.reset();
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QVERIFY(QFile::exists(program_->File("DVD_zento.ini")));
    }

    void handlerErrorsShownAndProgramGoesOn()
    {
        const auto window = MakeWindow();
        window->show();
        window->CButton12->OnClick = [](TdxfColorButton &) { throw Error("ドライブを読めません"); };
        QTest::mouseClick(window->CButton12, Qt::LeftButton);
        window->CButton12->OnClick = [](TdxfColorButton &) { throw 42; }; // carries no message
        QTest::mouseClick(window->CButton12, Qt::LeftButton);
        // From the message loop too, whatever the receiver.
        QMetaObject::invokeMethod(
            qApp, [] { throw Error("処理できません"); }, Qt::QueuedConnection);
        QTRY_COMPARE(dialogs_->messages, (QStringList{"ドライブを読めません.", "", "処理できません."}));
        // The window is still usable.
        window->DriveComboBox1->SetDrive(MakeDisc("disc", {"VIDEO_TS/VTS_01_1.VOB"}));
        window->CButton12->OnClick = [&window](TdxfColorButton &sender) { window->CButton12Click(&sender); };
        QTest::mouseClick(window->CButton12, Qt::LeftButton);
        QCOMPARE(window->CheckListBox2->Count(), 1);
        QCOMPARE(dialogs_->messages.size(), 3);
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestMainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_form.moc"
