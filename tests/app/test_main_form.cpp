#include "app/application_gui.h"
#include "app/main_form.h"
#include "options/catalogue.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace zento;

namespace {

const QByteArray kPresets = "DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps\r\n"
                            "Web,FLV,320x240,FLV,15fps,300kbps,LIBMP3LAME,22050Hz,64kbps\r\n";

bool WriteFile(const QString &path, const QByteArray &bytes = QByteArray())
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

// Receives the addresses the window asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

// An object whose handler of one event fails.
class FailingReceiver : public QObject {
    Q_OBJECT
public:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw Error("処理できません");
        if (event->type() == QEvent::User + 1)
            throw 7;
        return QObject::event(event);
    }
};

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startupWithoutPresetFile();
    void programFolder_data();
    void programFolder();
    void informationAndManual_data();
    void informationAndManual();
    void controls_data();
    void controls();
    void firstState();
    void tabOrder();
    void currentSettings();
    void hintTiming();

    void listing();
    void listingSubfolderAndOddNames();
    void listingLowerCaseFolder();
    void refreshResetsTicks();
    void driveWithoutTitles();
    void driveSelectionLists();

    void outputFolder_data();
    void outputFolder();
    void outputFolderTyped();

    void topBarButtons();
    void closeButton();
    void dragByBackground();
    void handlerErrorShownAndGoesOn();
    void eventErrorShownByApplication();

private:
    std::unique_ptr<TMainForm1> MakeWindow();
    // Makes <program>/disc/<titleFolder> with the files; returns the disc root.
    QString MakeDisc(const QString &titleFolder, const QStringList &files);

    std::unique_ptr<QTemporaryDir> program_;
    QStringList messages_;
};

void TestMainForm::init()
{
    program_ = std::make_unique<QTemporaryDir>();
    QVERIFY(program_->isValid());
    QVERIFY(WriteFile(program_->filePath("profile.txt"), kPresets));
    QVERIFY(WriteFile(program_->filePath("Readme.txt"), "manual"));
    messages_.clear();
    SetDialogHooks({[this](const QString &text) { messages_ << text; }, [] {},
                    [](const QString &, const QString &) { return QString(); }});
}

void TestMainForm::cleanup()
{
    SetDialogHooks({});
    program_.reset();
}

std::unique_ptr<TMainForm1> TestMainForm::MakeWindow()
{
    return std::make_unique<TMainForm1>(program_->filePath("DVD_zento"));
}

QString TestMainForm::MakeDisc(const QString &titleFolder, const QStringList &files)
{
    const QString root = program_->filePath("disc");
    for (const QString &file : files) {
        const QString path = root + "/" + titleFolder + "/" + file;
        QDir().mkpath(path.left(path.lastIndexOf('/')));
        if (!WriteFile(path, "x"))
            return QString();
    }
    QDir().mkpath(root);
    return root;
}

void TestMainForm::startupWithoutPresetFile()
{
    QVERIFY(QFile::remove(program_->filePath("profile.txt")));
    const QString expected = "ファイル " + program_->filePath("profile.txt") + " は開けません";
    try {
        TMainForm1 window(program_->filePath("DVD_zento"));
        QFAIL("the window was built without its preset file");
    } catch (const Error &e) {
        QCOMPARE(e.message(), expected);
    }
}

void TestMainForm::programFolder_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("folder");
    QTest::newRow("folder") << "/opt/zento/DVD_zento"
                            << "/opt/zento";
    QTest::newRow("root") << "/DVD_zento"
                          << "/";
    QTest::newRow("dot in the folder") << "/opt/z.d/DVD_zento.exe"
                                       << "/opt/z.d";
    QTest::newRow("Japanese folder") << "/home/太郎/変換/DVD_zento"
                                     << "/home/太郎/変換";
    QTest::newRow("bare name") << "DVD_zento" << QDir::currentPath();
}

void TestMainForm::programFolder()
{
    QFETCH(QString, executable);
    QFETCH(QString, folder);
    QCOMPARE(TMainForm1::ProgramFolderOf(executable), folder);
}

void TestMainForm::informationAndManual_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("end");
    QTest::newRow("program") << "DVD_zento"
                             << "/info.php?pf=w&sn=DVD_zento";
    QTest::newRow("extension") << "DVD_zento.exe"
                               << "/info.php?pf=w&sn=DVD_zento";
    QTest::newRow("renamed, two dots") << "zento2.bin.x"
                                       << "/info.php?pf=w&sn=zento2.bin";
}

void TestMainForm::informationAndManual()
{
    QFETCH(QString, name);
    QFETCH(QString, end);
    const TMainForm1 window(program_->filePath(name));
    QCOMPARE(window.ProgramFolder(), program_->path());
    QCOMPARE(window.ManualPath(), program_->path() + "/Readme.txt");
    const QString address = window.InformationPageAddress();
    QVERIFY2(address.startsWith("https://") && address.endsWith(end), qPrintable(address));
    QCOMPARE(QUrl(address).path(), QString("/info.php"));
}

void TestMainForm::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("caption"); // buttons only
    QTest::addColumn<QString>("label");   // the field label before it
    QTest::newRow("CButton4") << "CButton4" << QRect(296, 3, 66, 14) << " 情報の表示"
                              << "情報"
                              << "";
    QTest::newRow("CButton3") << "CButton3" << QRect(372, 3, 18, 14) << " 説明書"
                              << "？"
                              << "";
    QTest::newRow("CButton2") << "CButton2" << QRect(392, 3, 18, 14) << " 最小化"
                              << "＿"
                              << "";
    QTest::newRow("CButton1") << "CButton1" << QRect(412, 3, 18, 14) << " 終了"
                              << "×"
                              << "";
    QTest::newRow("DriveComboBox1") << "DriveComboBox1" << QRect(108, 50, 300, 17) << " 入力元のDVDドライブ"
                                    << ""
                                    << "L0_01";
    QTest::newRow("CheckListBox1") << "CheckListBox1" << QRect(108, 68, 300, 100) << " 入力元のチャプター一覧"
                                   << ""
                                   << "";
    QTest::newRow("CheckListBox2") << "CheckListBox2" << QRect(108, 68, 300, 100) << " 入力元のチャプター一覧"
                                   << ""
                                   << "L0_02";
    QTest::newRow("CButton12") << "CButton12" << QRect(46, 146, 58, 16) << " 一覧の更新"
                               << "更新→"
                               << "";
    QTest::newRow("C1_03") << "C1_03" << QRect(108, 194, 300, 19) << " 出力先のフォルダ"
                           << ""
                           << "L0_03";
    QTest::newRow("C2_00") << "C2_00" << QRect(108, 238, 250, 19) << " 動画/音声の自動設定"
                           << ""
                           << "dxfLabel4";
    QTest::newRow("C2_01") << "C2_01" << QRect(108, 278, 200, 19) << " 動画のファイル形式(コンテナ)"
                           << ""
                           << "L2_01";
    QTest::newRow("C2_02_01") << "C2_02_01" << QRect(108, 302, 60, 19) << " 動画のサイズ(幅)"
                              << ""
                              << "L2_02";
    QTest::newRow("C2_02_02") << "C2_02_02" << QRect(182, 302, 60, 19) << " 動画のサイズ(高さ)"
                              << ""
                              << "";
    QTest::newRow("C2_03_01") << "C2_03_01" << QRect(108, 322, 60, 19) << " 動画のアスペクト比(横)"
                              << ""
                              << "L2_03";
    QTest::newRow("C2_03_02") << "C2_03_02" << QRect(182, 322, 60, 19) << " 動画のアスペクト比(縦)"
                              << ""
                              << "";
    QTest::newRow("C2_04") << "C2_04" << QRect(108, 346, 175, 19) << " 動画のコーデック"
                           << ""
                           << "L2_04";
    QTest::newRow("C2_06") << "C2_06" << QRect(108, 366, 60, 19) << " 動画のフレームレート(fps単位)"
                           << ""
                           << "L2_06";
    QTest::newRow("C2_05") << "C2_05" << QRect(108, 386, 60, 19) << " 動画のビットレート(kbps単位)"
                           << ""
                           << "L2_05";
    QTest::newRow("C3_01") << "C3_01" << QRect(108, 444, 150, 19) << " 音声のコーデック"
                           << ""
                           << "L3_01";
    QTest::newRow("C3_03") << "C3_03" << QRect(108, 468, 60, 19) << " 音声のサンプリングレート"
                           << ""
                           << "L3_03";
    QTest::newRow("C3_02") << "C3_02" << QRect(108, 488, 60, 19) << " 音声のビットレート"
                           << ""
                           << "L3_02";
    QTest::newRow("CheckBox1") << "CheckBox1" << QRect(24, 532, 12, 12) << ""
                               << ""
                               << "";
    QTest::newRow("CButton10") << "CButton10" << QRect(328, 424, 90, 90) << " 変換開始"
                               << "変換！"
                               << "";
    QTest::newRow("CButton11") << "CButton11" << QRect(328, 524, 90, 28) << " 一発設定の記憶"
                               << "設定記憶"
                               << "";
}

void TestMainForm::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QFETCH(QString, hint);
    QFETCH(QString, caption);
    QFETCH(QString, label);
    const auto window = MakeWindow();
    auto *control = window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), window.get());
    QCOMPARE(control->geometry(), place);
    QCOMPARE(control->toolTip(), hint);
    if (auto *button = qobject_cast<TdxfColorButton *>(control)) {
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }
    // Every field label ends just before its field.
    if (!label.isEmpty()) {
        auto *labelWidget = window->findChild<QWidget *>(label);
        QVERIFY(labelWidget);
        QCOMPARE(labelWidget->geometry().right(), place.left() - 3);
        QCOMPARE(labelWidget->geometry().top(), place.top());
        QVERIFY(labelWidget->testAttribute(Qt::WA_TransparentForMouseEvents));
    }
}

void TestMainForm::firstState()
{
    const auto window = MakeWindow();
    QCOMPARE(window->size(), QSize(434, 574));
    QCOMPARE(window->minimumSize(), window->maximumSize()); // not resizable
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window->pos(), QPoint(20, 20));
    QCOMPARE(window->windowTitle(), QString("DVD変換Zento"));
    // Nothing listed, nothing to convert.
    QCOMPARE(window->CheckListBox1->Count(), 0);
    QCOMPARE(window->CheckListBox2->Count(), 0);
    QVERIFY(!window->CButton10->isEnabled());
    QVERIFY(window->CButton11->isEnabled());
    QVERIFY(window->CheckListBox2->isVisibleTo(window.get()));
    QVERIFY(!window->CheckListBox1->isVisibleTo(window.get()));
    // The preset box: the manual row, then the file's lines.
    QCOMPARE(window->C2_00->ItemCount(), 3);
    QCOMPARE(window->C2_00->Item(0), QString::fromUtf8(kManualPresetRow));
    QCOMPARE(window->C2_00->Item(1), QString::fromLatin1(kPresets.split('\r').first()));
    QCOMPARE(window->Presets().Lines().size(), 2);
    QCOMPARE(window->C2_00->Columns().Count(), 9);
    QCOMPARE(window->C2_00->Columns().TotalWidth(), 680);
    // The catalogues in their boxes, nothing selected.
    QCOMPARE(window->C2_01->Items(), CatalogueRows(Catalogue::Containers));
    QCOMPARE(window->C2_04->Items(), CatalogueRows(Catalogue::VideoCodecs));
    QCOMPARE(window->C3_01->Items(), CatalogueRows(Catalogue::AudioCodecs));
    QCOMPARE(window->C2_01->Columns().TotalWidth(), 330);
    QCOMPARE(window->C2_04->Columns().TotalWidth(), 335);
    QCOMPARE(window->C3_01->Columns().TotalWidth(), 370);
    for (TMultiColComboBox *box : {window->C2_00, window->C2_01, window->C2_04, window->C3_01}) {
        QCOMPARE(box->ItemIndex(), -1);
        QVERIFY(!box->CanEdit());
        QVERIFY(box->OnChange);
    }
    // Colours: the preset box white, every option control silver.
    QCOMPARE(window->C2_00->Color(), QColor(Qt::white));
    for (TMultiColComboBox *box : {window->C2_01, window->C2_04, window->C3_01})
        QCOMPARE(box->Color(), QColor(192, 192, 192));
    struct Spin {
        TSpinEdit *spin;
        int maximum, typed;
    };
    const QList<Spin> spins = {{window->C2_02_01, 9999, 3}, {window->C2_02_02, 9999, 3},
                               {window->C2_03_01, 99, 3},   {window->C2_03_02, 99, 3},
                               {window->C2_06, 999, 3},     {window->C2_05, 10000, 5},
                               {window->C3_03, 99999, 5},   {window->C3_02, 999, 3}};
    for (const Spin &s : spins) {
        QCOMPARE(s.spin->Color(), QColor(192, 192, 192));
        QCOMPARE(s.spin->Value(), 0);
        QCOMPARE(s.spin->minimum(), 0);
        QCOMPARE(s.spin->maximum(), s.maximum);
        QCOMPARE(s.spin->MaxLength(), s.typed);
        QVERIFY(s.spin->OnChange);
    }
    QVERIFY(!window->CheckBox1->isChecked());
    QVERIFY(window->C1_03->Text().isEmpty());
    QCOMPARE(window->CurrentSourcePath, QString());
}

void TestMainForm::tabOrder()
{
    const auto window = MakeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto control = [&window](QWidget *focused) {
        while (focused && focused->parentWidget() != window.get())
            focused = focused->parentWidget();
        return focused ? focused->objectName() : QString();
    };
    window->DriveComboBox1->setFocus();
    QStringList order{control(QApplication::focusWidget())};
    for (int i = 0; i < 22; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << control(QApplication::focusWidget());
    }
    QCOMPARE(order, (QStringList{"DriveComboBox1", "C1_03",         "C2_00",         "C2_01",    "C2_02_01",
                                 "C2_02_02",       "C2_03_01",      "C2_03_02",      "C2_04",    "C2_06",
                                 "C2_05",          "C3_01",         "C3_03",         "C3_02",    "CheckBox1",
                                 "CButton11",      "CButton12",     "CButton4",      "CButton3", "CButton2",
                                 "CButton1",       "CheckListBox2", "DriveComboBox1"}));
}

void TestMainForm::currentSettings()
{
    const auto window = MakeWindow();
    window->C1_03->SetText("/srv/out");
    window->C2_01->SetItemIndex(1);
    window->C3_01->SetItemIndex(3);
    window->C2_02_01->SetValue(640);
    window->C2_02_02->SetValue(480);
    window->C2_03_01->SetValue(16);
    window->C2_03_02->SetValue(9);
    window->C2_05->SetValue(20000);
    window->C2_06->SetValue(30);
    window->C3_02->SetValue(128);
    window->C3_03->SetValue(44100);
    window->CheckBox1->setChecked(true);
    const ConversionSettings s = window->CurrentSettings();
    QCOMPARE(s.C1_03, QString("/srv/out"));
    QCOMPARE(s.C2_01.index, 1);
    QCOMPARE(s.C2_01.row, CatalogueRows(Catalogue::Containers).at(1));
    QCOMPARE(s.C2_04.index, -1);
    QCOMPARE(s.C2_04.row, QString());
    QCOMPARE(s.C3_01.index, 3);
    QCOMPARE(s.C3_01.row, CatalogueRows(Catalogue::AudioCodecs).at(3));
    QCOMPARE(s.C2_02_01, 640);
    QCOMPARE(s.C2_02_02, 480);
    QCOMPARE(s.C2_03_01, 16);
    QCOMPARE(s.C2_03_02, 9);
    QCOMPARE(s.C2_05, 10000);
    QCOMPARE(s.C2_06, 30);
    QCOMPARE(s.C3_02, 128);
    QCOMPARE(s.C3_03, 44100);
    QVERIFY(s.C4_C1);
}

void TestMainForm::hintTiming()
{
    QCOMPARE(qApp->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 300);
    const auto window = MakeWindow();
    QCOMPARE(window->CButton10->toolTipDuration(), 2000);
    QCOMPARE(window->C2_05->toolTipDuration(), 2000);
    QStringList substitutes = QFont::substitutes("ＭＳ Ｐゴシック");
    for (QString &family : substitutes)
        family = family.toLower();
    QCOMPARE(substitutes, (QStringList{"ipapgothic", "noto sans cjk jp"}));
}

void TestMainForm::listing()
{
    const QString disc =
        MakeDisc("VIDEO_TS", {"VIDEO_TS.VOB", "VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.VOB", "VTS_01_1.VOB",
                              "VTS_01_2.VOB", "VTS_01_0.IFO", "VTS_01_0.BUP"});
    const auto window = MakeWindow();
    window->DriveComboBox1->SetDrive(disc);
    window->CButton12Click();
    QCOMPARE(window->SearchFile1.Directory, disc + "/VIDEO_TS");
    QStringList shown = window->CheckListBox2->Items();
    QStringList paths = window->CheckListBox1->Items();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(paths.size(), 3);
    for (int i = 0; i < 3; ++i) {
        // Entry i of one list is entry i of the other.
        QCOMPARE(paths[i], disc + "/VIDEO_TS/VTS_" + shown[i] + ".VOB");
        QVERIFY(window->CheckListBox2->IsItemChecked(i));
        QVERIFY(window->CheckListBox1->IsItemChecked(i));
    }
    shown.sort();
    QCOMPARE(shown, (QStringList{"01_0", "01_1", "01_2"}));
    QVERIFY(window->CButton10->isEnabled());
}

void TestMainForm::listingSubfolderAndOddNames()
{
    const QString disc =
        MakeDisc("VIDEO_TS", {"VTS_01_1.VOB", "VTS.VOB", "SUB/VTS_02_1.VOB", "SUB/VTS_02_1.IFO"});
    const auto window = MakeWindow();
    window->DriveComboBox1->SetDrive(disc);
    window->CButton12Click();
    const QStringList paths = window->CheckListBox1->Items();
    QCOMPARE(paths.size(), 3);
    // The folder's own matches come before those of its subfolders.
    QCOMPARE(paths.last(), disc + "/VIDEO_TS/SUB/VTS_02_1.VOB");
    QCOMPARE(window->CheckListBox2->ItemText(2), QString("02_1"));
    const qsizetype shortName = paths.indexOf(disc + "/VIDEO_TS/VTS.VOB");
    QVERIFY(shortName >= 0 && shortName < 2);
    QCOMPARE(window->CheckListBox2->ItemText(int(shortName)), QString()); // listed, with no text
    QVERIFY(window->CheckListBox2->IsItemChecked(int(shortName)));
}

void TestMainForm::listingLowerCaseFolder()
{
    const QString disc = MakeDisc("video_ts", {"vts_01_1.vob", "video_ts.vob"});
    const auto window = MakeWindow();
    window->DriveComboBox1->SetDrive(disc);
    window->CButton12Click();
    QCOMPARE(window->CheckListBox1->Items(), QStringList{disc + "/video_ts/vts_01_1.vob"});
    QCOMPARE(window->CheckListBox2->Items(), QStringList{"01_1"});
    QVERIFY(window->CButton10->isEnabled());
}

void TestMainForm::refreshResetsTicks()
{
    const QString disc = MakeDisc("VIDEO_TS", {"VTS_01_1.VOB", "VTS_01_2.VOB"});
    const auto window = MakeWindow();
    window->DriveComboBox1->SetDrive(disc);
    window->CButton12Click();
    QCOMPARE(window->CheckListBox2->Count(), 2);
    window->CheckListBox2->SetItemChecked(0, false);
    window->CheckListBox2->SetItemChecked(1, false);
    // Nothing ticked still leaves something to convert.
    QVERIFY(window->CButton10->isEnabled());
    window->show();
    QTest::mouseClick(window->CButton12, Qt::LeftButton);
    QCOMPARE(window->CheckListBox2->Count(), 2);
    QCOMPARE(window->CheckListBox1->Count(), 2);
    QVERIFY(window->CheckListBox2->IsItemChecked(0));
    QVERIFY(window->CheckListBox2->IsItemChecked(1));
}

void TestMainForm::driveWithoutTitles()
{
    const QString disc = MakeDisc("VIDEO_TS", {"VTS_01_1.VOB"});
    const QString empty = program_->filePath("empty");
    QVERIFY(QDir().mkpath(empty + "/AUDIO_TS"));
    const QString noTitles = program_->filePath("notitles");
    QVERIFY(QDir().mkpath(noTitles + "/VIDEO_TS"));
    QVERIFY(WriteFile(noTitles + "/VIDEO_TS/VIDEO_TS.VOB"));
    const auto window = MakeWindow();
    for (const QString &other : {empty, noTitles, program_->filePath("missing")}) {
        window->DriveComboBox1->SetDrive(disc);
        window->CButton12Click();
        QCOMPARE(window->CheckListBox1->Count(), 1);
        window->DriveComboBox1->SetDrive(other);
        window->CButton12Click();
        QCOMPARE(window->CheckListBox1->Count(), 0);
        QCOMPARE(window->CheckListBox2->Count(), 0);
        QVERIFY(!window->CButton10->isEnabled());
    }
    QCOMPARE(messages_, QStringList());
}

void TestMainForm::driveSelectionLists()
{
    const QString disc = MakeDisc("VIDEO_TS", {"VTS_03_1.VOB"});
    const auto window = MakeWindow();
    window->DriveComboBox1->SetDrive(disc);
    // The drive selector's pick event is wired to the listing.
    QVERIFY(window->DriveComboBox1->OnSelect);
    window->DriveComboBox1->OnSelect(*window->DriveComboBox1);
    QCOMPARE(window->CheckListBox2->Items(), QStringList{"03_1"});
}

void TestMainForm::outputFolder_data()
{
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("text");
    QTest::newRow("pasted with separator") << "/srv/Out/"
                                           << "/srv/Out";
    QTest::newRow("without separator") << "/srv/Out"
                                       << "/srv/Out";
    QTest::newRow("root stays") << "/"
                                << "/";
    QTest::newRow("doubled separator") << "/srv/Out//"
                                       << "/srv/Out";
    QTest::newRow("doubled root") << "//"
                                  << "/";
    QTest::newRow("Japanese folder") << "/home/太郎/動画/"
                                     << "/home/太郎/動画";
    QTest::newRow("backslash is a name character") << "/srv/a\\"
                                                   << "/srv/a\\";
    QTest::newRow("empty") << ""
                           << "";
}

void TestMainForm::outputFolder()
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

void TestMainForm::outputFolderTyped()
{
    const auto window = MakeWindow();
    window->show();
    QLineEdit *edit = window->C1_03->Edit();
    edit->setFocus();
    window->C1_03->SetText("/srv/ab");
    // A separator typed at the end goes at once; one typed inside stays.
    edit->setCursorPosition(edit->text().size());
    QTest::keyClick(edit, '/');
    QCOMPARE(window->C1_03->Text(), QString("/srv/ab"));
    edit->setCursorPosition(6);
    QTest::keyClick(edit, '/');
    QCOMPARE(window->C1_03->Text(), QString("/srv/a/b"));
    QCOMPARE(window->C1_03->Hint(), QString("/srv/a/b"));
}

void TestMainForm::topBarButtons()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("https", &recorder, "open");
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    const auto window = MakeWindow();
    window->show();
    QTest::mouseClick(window->CButton4, Qt::LeftButton);
    QTest::mouseClick(window->CButton3, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(recorder.urls.size(), 2);
    QCOMPARE(recorder.urls[0].toString(), window->InformationPageAddress());
    QVERIFY(recorder.urls[0].toString().endsWith("/info.php?pf=w&sn=DVD_zento"));
    QCOMPARE(recorder.urls[1].toLocalFile(), program_->filePath("Readme.txt"));
    QTest::mouseClick(window->CButton2, Qt::LeftButton);
    QVERIFY(window->windowState() & Qt::WindowMinimized);
    QVERIFY(messages_.isEmpty());
}

void TestMainForm::closeButton()
{
    const auto window = MakeWindow();
    window->show();
    QVERIFY(window->isVisible());
    QTest::mouseClick(window->CButton1, Qt::LeftButton);
    QVERIFY(!window->isVisible());
}

void TestMainForm::dragByBackground()
{
    const auto window = MakeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QPoint start = window->pos();
    auto send = [&](QEvent::Type type, QWidget *target, QPoint local, QPoint global,
                    Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(global),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    // A press on a button does not move the window.
    const QPoint onButton(5, 5);
    send(QEvent::MouseButtonPress, window->CButton11, onButton, window->CButton11->mapToGlobal(onButton),
         Qt::LeftButton);
    send(QEvent::MouseMove, window->CButton11, onButton + QPoint(30, 30),
         window->CButton11->mapToGlobal(onButton) + QPoint(30, 30), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, window->CButton11, onButton, window->CButton11->mapToGlobal(onButton),
         Qt::NoButton);
    QCOMPARE(window->pos(), start);
    // The background (here the side bar) carries it.
    const QPoint grip(4, 300);
    const QPoint global = start + grip;
    send(QEvent::MouseButtonPress, window.get(), grip, global, Qt::LeftButton);
    send(QEvent::MouseMove, window.get(), grip + QPoint(40, 25), global + QPoint(40, 25), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, window.get(), grip + QPoint(40, 25), global + QPoint(40, 25),
         Qt::NoButton);
    QCOMPARE(window->pos(), start + QPoint(40, 25));
    // Moving after the release moves nothing.
    send(QEvent::MouseMove, window.get(), grip, global + QPoint(90, 90), Qt::NoButton);
    QCOMPARE(window->pos(), start + QPoint(40, 25));
}

void TestMainForm::handlerErrorShownAndGoesOn()
{
    const auto window = MakeWindow();
    window->show();
    window->CButton12->OnClick = [](TdxfColorButton &) { throw Error("ドライブを読めません"); };
    QTest::mouseClick(window->CButton12, Qt::LeftButton);
    QCOMPARE(messages_, QStringList{"ドライブを読めません."});
    window->CButton12->OnClick = [](TdxfColorButton &) { throw 42; };
    QTest::mouseClick(window->CButton12, Qt::LeftButton);
    QCOMPARE(messages_, (QStringList{"ドライブを読めません.", ""}));
    // The window is still usable.
    const QString disc = MakeDisc("VIDEO_TS", {"VTS_01_1.VOB"});
    window->DriveComboBox1->SetDrive(disc);
    window->CButton12->OnClick = [&window](TdxfColorButton &sender) { window->CButton12Click(&sender); };
    QTest::mouseClick(window->CButton12, Qt::LeftButton);
    QCOMPARE(window->CheckListBox2->Count(), 1);
    QCOMPARE(messages_.size(), 2);
}

void TestMainForm::eventErrorShownByApplication()
{
    FailingReceiver receiver;
    QEvent failing(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&receiver, &failing));
    QCOMPARE(messages_, QStringList{"処理できません."});
    // From the message loop, and of a kind that carries no message.
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::Type(QEvent::User + 1)));
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QTRY_COMPARE(messages_.size(), 3);
    QCOMPARE(messages_, (QStringList{"処理できません.", "", "処理できません."}));
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestMainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_form.moc"
