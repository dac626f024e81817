#include "app/main_form.h"

#include "app/application_gui.h"
#include "convert/encoder_process.h"
#include "options/catalogue.h"
#include "options/option_rules.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "source/title_listing.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/grad_box.h"
#include "widgets/handler_guard.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/shadow_label.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <exception>
#include <utility>

namespace zento {

namespace {

const QColor kSilver(192, 192, 192);
const QColor kLightYellow(255, 255, 128);
const QColor kLightGrey(240, 240, 240);
const QColor kFieldText(70, 70, 70);

constexpr int kWindowWidth = 434;
constexpr int kWindowHeight = 574;
constexpr int kFieldLeft = 108; // every field starts here; its label ends just before

const char *const kInformationHost = "https://www.dvd-zento.example";

QFont FieldFont()
{
    return UiFont(11);
}

void SetTextColor(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::ButtonText, color);
    widget->setPalette(pal);
}

void SetBaseColor(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Base, color);
    widget->setPalette(pal);
}

// A box whose columns are laid out as the table gives them (width, colour).
void SetUpColumns(TMultiColComboBox *box, const QList<QPair<int, QColor>> &columns)
{
    const QFont font = FieldFont();
    box->SetIndent(1);
    box->SetDropDownCount(30);
    box->SetItemHeight(13);
    box->setCursor(Qt::PointingHandCursor);
    box->setFont(font);
    SetTextColor(box, kFieldText);
    box->Columns().Clear();
    for (const auto &[width, color] : columns) {
        TCBColumn &column = box->Columns().Add();
        column.SetWidth(width);
        column.SetParentColor(false);
        column.SetColor(color);
        column.SetParentFont(false);
        column.SetFont(font);
        column.SetAlignment(TAlignment::taLeftJustify);
    }
}

// One decorative panel: a black shadow 4 pixels to the lower right, then the
// gradient from grey at the bottom to the bar colour at the top, grey outline.
// A section panel: a gradient box over its black shadow 4 pixels further right and down.
void PaintPanel(QPainter &painter, const QRect &panel)
{
    const QRect shadow = panel.translated(4, 4);
    painter.fillRect(shadow, Qt::black);
    painter.setPen(kGradGrey);
    painter.drawRect(shadow.adjusted(0, 0, -1, -1));
    PaintGradBox(painter, panel);
}

// The entries a search passed over for their names, at most ten of them.
QString UnnamedEntriesText(const QStringList &unnamed)
{
    constexpr qsizetype kShown = 10;
    QStringList lines = unnamed.mid(0, kShown);
    if (unnamed.size() > kShown)
        lines << QStringLiteral("ほか %1 件").arg(unnamed.size() - kShown);
    return QStringLiteral("次のファイルやフォルダは名前を文字として読めないため、一覧に入れていません。"
                          "名前を付け直してから一覧を読み直してください。\n") +
           lines.join(QLatin1Char('\n'));
}

} // namespace

TMainForm1::TMainForm1(const QString &executablePath, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), executablePath_(executablePath)
{
    // The program folder's name may be bytes the system gives no text for
    // (a folder unpacked with Shift-JIS names): the program is then told no
    // path at all, and would take the current folder for its own, its
    // settings, presets and encoder with it.
    if (executablePath_.isEmpty())
        throw Error(QStringLiteral("このプログラムのフォルダの名前が読めないため、起動できません。\n"
                                   "フォルダの名前を付け直してから起動してください。"));
    // 1. The window and its controls.
    BuildControls();
    SetDialogParent(this);
    // 2. The run state starts empty.
    CurrentSourcePath.clear();
    CurrentOutputPath.clear();
    // 3. The program folder.
    programFolder_ = ProgramFolderOf(executablePath_);
    // A program folder that cannot be written is an installed copy: each
    // user keeps settings and presets in a folder of the user's.
    places_ = FilePlaces::ForProgramFolder(programFolder_);
    // 4. Hints of the colour buttons are on (every control shows its own).
    // 5. The preset box: the manual row, then one row per line of the file.
    presets_ = PresetFile::Load(places_.PresetPath());
    presets_.SetFilePath(places_.PresetStorePath());
    C2_00->AddItem(QString::fromUtf8(kManualPresetRow));
    for (const QString &line : presets_.Lines())
        C2_00->AddItem(PresetBoxRow(line, presets_.Encoding()));
    // 6. The catalogues.
    for (const QString &row : CatalogueRows(Catalogue::Containers))
        C2_01->AddItem(row);
    for (const QString &row : CatalogueRows(Catalogue::VideoCodecs))
        C2_04->AddItem(row);
    for (const QString &row : CatalogueRows(Catalogue::AudioCodecs))
        C3_01->AddItem(row);
    for (TMultiColComboBox *box : {C2_00, C2_01, C2_04, C3_01})
        box->SetItemIndex(-1);
}

TMainForm1::~TMainForm1() = default;

void TMainForm1::BuildControls()
{
    setWindowTitle(ApplicationTitle());
    setFixedSize(kWindowWidth, kWindowHeight);
    setFont(UiFont(12));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(false);

    auto hint = [](QWidget *widget, const QString &text) {
        widget->setToolTip(text);
        widget->setToolTipDuration(TApplication::kHintHidePause);
    };
    auto colorButton = [&](const QString &name, const QString &caption, const QRect &place, const QColor &color,
                           const QString &hintText) {
        auto *button = new TdxfColorButton(caption, this);
        button->setObjectName(name);
        button->setGeometry(place);
        button->SetColor(color);
        button->setFont(UiFont(12));
        hint(button, hintText);
        return button;
    };
    auto fieldLabel = [&](const QString &name, const QString &text, int top, int height = 19) {
        auto *label = new TShadowLabel(text, this);
        label->setObjectName(name);
        label->setFont(FieldFont());
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(18, top, kFieldLeft - 2 - 18, height);
        return label;
    };
    auto unitLabel = [&](const QString &text, int left, int top, int width) {
        auto *label = new TShadowLabel(text, this);
        label->setFont(FieldFont());
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(left, top, width, 19);
        return label;
    };
    auto heading = [&](const QString &name, const QString &text, const QRect &place, Qt::Alignment alignment) {
        auto *label = new TShadowLabel(text, this, TShadowLabel::Look::Outline);
        label->setObjectName(name);
        // Regular weight: the outline gives the heading its weight, and bold
        // glyphs of this size leave too little room between their parts for it.
        label->setFont(UiFont(12));
        label->setAlignment(alignment | Qt::AlignVCenter);
        label->setGeometry(place);
        return label;
    };
    auto spinEdit = [&](const QString &name, const QRect &place, int maximum, int typedLength, const QString &hintText,
                        void (TMainForm1::*handler)(QObject *)) {
        auto *spin = new TSpinEdit(this);
        spin->setObjectName(name);
        spin->setGeometry(place);
        spin->setFont(FieldFont());
        SetTextColor(spin, kFieldText);
        SetTextColor(spin->findChild<QLineEdit *>(), kFieldText);
        spin->SetRange(0, maximum);
        spin->SetMaxLength(typedLength);
        spin->SetValue(0);
        spin->SetColor(kSilver);
        hint(spin, hintText);
        spin->OnChange = [this, handler](TSpinEdit &sender) { (this->*handler)(&sender); };
        return spin;
    };
    auto optionBox = [&](const QString &name, const QRect &place, const QColor &color,
                         const QList<QPair<int, QColor>> &columns, const QString &hintText) {
        auto *box = new TMultiColComboBox(this, false);
        box->setObjectName(name);
        SetUpColumns(box, columns);
        box->setGeometry(place);
        box->SetColor(color);
        hint(box, hintText);
        return box;
    };

    // Top bar.
    CButton4 = colorButton(QStringLiteral("CButton4"), QStringLiteral("情報"), {296, 3, 66, 14}, kGradLight,
                           QStringLiteral(" 情報の表示"));
    CButton3 = colorButton(QStringLiteral("CButton3"), QStringLiteral("？"), {372, 3, 18, 14}, kGradLight,
                           QStringLiteral(" 説明書"));
    CButton2 = colorButton(QStringLiteral("CButton2"), QStringLiteral("＿"), {392, 3, 18, 14}, kGradLight,
                           QStringLiteral(" 最小化"));
    CButton1 = colorButton(QStringLiteral("CButton1"), QStringLiteral("×"), {412, 3, 18, 14}, kGradLight,
                           QStringLiteral(" 終了"));
    for (TdxfColorButton *button : {CButton1, CButton2, CButton3, CButton4})
        button->setFont(UiFont(11));
    CButton1->OnClick = [this](TdxfColorButton &sender) { CButton1Click(&sender); };
    CButton2->OnClick = [this](TdxfColorButton &sender) { CButton2Click(&sender); };
    CButton3->OnClick = [this](TdxfColorButton &sender) { CButton3Click(&sender); };
    CButton4->OnClick = [this](TdxfColorButton &sender) { CButton4Click(&sender); };
    heading(QStringLiteral("dxfLabel1"), ApplicationTitle(), {12, 1, 200, 18}, Qt::AlignLeft);

    // Source: drive and chapters.
    heading(QStringLiteral("dxfLabel2"), QStringLiteral("入力元 (DVD) - DVDドライブとチャプターを選択"),
            {24, 30, 380, 18}, Qt::AlignLeft);
    fieldLabel(QStringLiteral("L0_01"), QStringLiteral("DVDドライブ ："), 50, 17);
    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(108, 50, 300, 17);
    DriveComboBox1->setFont(FieldFont());
    DriveComboBox1->setCursor(Qt::PointingHandCursor);
    SetTextColor(DriveComboBox1, kFieldText);
    SetBaseColor(DriveComboBox1, Qt::white);
    hint(DriveComboBox1, QStringLiteral(" 入力元のDVDドライブ"));
    DriveComboBox1->OnSelect = [this](TDriveComboBox &sender) { RunGuarded([&] { DriveComboBox1Select(&sender); }); };
    // An image as the source is read by title only: the tick box shows it at once.
    DriveComboBox1->OnChange = [this](TDriveComboBox &) { UpdateTitleModeBox(); };

    auto checkList = [&](const QString &name) {
        auto *list = new TCheckListBox(this);
        list->setObjectName(name);
        list->setGeometry(108, 68, 300, 100);
        list->setFont(FieldFont());
        SetTextColor(list, kFieldText);
        SetBaseColor(list, Qt::white);
        hint(list, QStringLiteral(" 入力元のチャプター一覧"));
        return list;
    };
    // The full paths lie under the visible list, index for index; nobody sees
    // or reaches them.
    CheckListBox1 = checkList(QStringLiteral("CheckListBox1"));
    CheckListBox1->hide();
    CheckListBox2 = checkList(QStringLiteral("CheckListBox2"));
    CheckListBox2->raise();
    // A title row's menu of audio tracks.
    CheckListBox2->installEventFilter(this);
    CheckListBox2->viewport()->installEventFilter(this);
    fieldLabel(QStringLiteral("L0_02"), QStringLiteral("チャプター ："), 68, 17);
    CButton12 = colorButton(QStringLiteral("CButton12"), QStringLiteral("更新→"), {46, 146, 58, 16}, kGradLight,
                            QStringLiteral(" 一覧の更新"));
    CButton12->setFont(FieldFont());
    CButton12->OnClick = [this](TdxfColorButton &sender) { CButton12Click(&sender); };

    // Joining the parts of a title: left of the chapter list, above the refresh button.
    CheckBox2 = new QCheckBox(this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(22, 125, 12, 12);
    CheckBox2->setCursor(Qt::PointingHandCursor);
    hint(CheckBox2, QString());
    UpdateTitleModeBox(); // its hint follows the source
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { RunGuarded([this] { CheckBox2Click(CheckBox2); }); });
    auto *joinLabel = new TShadowLabel(QStringLiteral("タイトル結合"), this);
    joinLabel->setObjectName(QStringLiteral("L0_04"));
    joinLabel->setFont(FieldFont());
    joinLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    joinLabel->setGeometry(37, 122, 104 - 37, 18);

    SearchFile1.Directory = QStringLiteral("/");
    SearchFile1.Recursive = true;
    SearchFile1.OnFind = [this](TSearchFile &sender, const QString &name, const TSearchFileData &data, bool &goOn) {
        SearchFile1Find(sender, name, data, goOn);
    };

    // Output folder.
    heading(QStringLiteral("dxfLabel3"), QStringLiteral("出力先 (動画ファイル)"), {24, 174, 380, 18}, Qt::AlignLeft);
    fieldLabel(QStringLiteral("L0_03"), QStringLiteral("フォルダ ："), 194);
    C1_03 = new TBrowseEdit(this);
    C1_03->setObjectName(QStringLiteral("C1_03"));
    C1_03->setGeometry(108, 194, 300, 19);
    C1_03->setFont(FieldFont());
    SetTextColor(C1_03->Edit(), kFieldText);
    C1_03->SetHint(QStringLiteral(" 出力先のフォルダ"));
    C1_03->setToolTipDuration(TApplication::kHintHidePause);
    C1_03->OnChange = [this](TBrowseEdit &sender) { C1_03Change(&sender); };

    // Preset and video.
    heading(QStringLiteral("dxfLabel4"), QStringLiteral("一発設定 ："), {18, 238, kFieldLeft - 2 - 18, 19},
            Qt::AlignRight);
    C2_00 = optionBox(QStringLiteral("C2_00"), {108, 238, 250, 19}, Qt::white,
                      {{190, Qt::white},
                       {60, kLightGrey},
                       {60, kLightYellow},
                       {70, kLightYellow},
                       {60, kLightYellow},
                       {60, kLightYellow},
                       {60, QColor(255, 255, 0)},
                       {60, QColor(255, 255, 0)},
                       {60, QColor(255, 255, 0)}},
                      QStringLiteral(" 動画/音声の自動設定"));
    C2_00->OnChange = [this](TMultiColComboBox &sender) { RunGuarded([&] { C2_00Change(&sender); }); };
    heading(QStringLiteral("dxfLabel5"), QStringLiteral("動画の設定"), {24, 259, 200, 18}, Qt::AlignLeft);

    fieldLabel(QStringLiteral("L2_01"), QStringLiteral("ファイル形式 ："), 278);
    C2_01 = optionBox(QStringLiteral("C2_01"), {108, 278, 200, 19}, kSilver, {{200, Qt::white}, {130, kLightYellow}},
                      QStringLiteral(" 動画のファイル形式(コンテナ)"));
    C2_01->OnChange = [this](TMultiColComboBox &sender) { RunGuarded([&] { C2_01Change(&sender); }); };

    fieldLabel(QStringLiteral("L2_02"), QStringLiteral("幅x高さ ："), 302);
    C2_02_01 = spinEdit(QStringLiteral("C2_02_01"), {108, 302, 60, 19}, kSizeRange.maximum, 3,
                        QStringLiteral(" 動画のサイズ(幅)"), &TMainForm1::C2_02_01Change);
    unitLabel(QStringLiteral("x"), 171, 302, 10);
    C2_02_02 = spinEdit(QStringLiteral("C2_02_02"), {182, 302, 60, 19}, kSizeRange.maximum, 3,
                        QStringLiteral(" 動画のサイズ(高さ)"), &TMainForm1::C2_02_02Change);
    unitLabel(QStringLiteral("pixel"), 246, 302, 40);

    fieldLabel(QStringLiteral("L2_03"), QStringLiteral("縦横比率 ："), 322);
    C2_03_01 = spinEdit(QStringLiteral("C2_03_01"), {108, 322, 60, 19}, kAspectRange.maximum, 3,
                        QStringLiteral(" 動画のアスペクト比(横)"), &TMainForm1::C2_03_01Change);
    unitLabel(QStringLiteral(":"), 173, 322, 8);
    C2_03_02 = spinEdit(QStringLiteral("C2_03_02"), {182, 322, 60, 19}, kAspectRange.maximum, 3,
                        QStringLiteral(" 動画のアスペクト比(縦)"), &TMainForm1::C2_03_02Change);

    fieldLabel(QStringLiteral("L2_04"), QStringLiteral("圧縮形式 ："), 346);
    C2_04 = optionBox(QStringLiteral("C2_04"), {108, 346, 175, 19}, kSilver, {{175, Qt::white}, {160, kLightYellow}},
                      QStringLiteral(" 動画のコーデック"));
    C2_04->OnChange = [this](TMultiColComboBox &sender) {
        RunGuarded([&] {
            C2_04Change(&sender);
            RefreshTitleRows(); // subtitles are burned in only into an encoded picture
        });
    };

    fieldLabel(QStringLiteral("L2_06"), QStringLiteral("1秒間の描画数 ："), 366);
    C2_06 = spinEdit(QStringLiteral("C2_06"), {108, 366, 60, 19}, kFrameRateRange.maximum, 3,
                     QStringLiteral(" 動画のフレームレート(fps単位)"), &TMainForm1::C2_06Change);
    unitLabel(QStringLiteral("fps"), 172, 366, 40);

    fieldLabel(QStringLiteral("L2_05"), QStringLiteral("1秒間の情報量 ："), 386);
    C2_05 = spinEdit(QStringLiteral("C2_05"), {108, 386, 60, 19}, kVideoBitRateRange.maximum, 5,
                     QStringLiteral(" 動画のビットレート(kbps単位)"), &TMainForm1::C2_05Change);
    unitLabel(QStringLiteral("kbps"), 172, 386, 40);

    // Audio.
    heading(QStringLiteral("dxfLabel6"), QStringLiteral("音声の設定"), {24, 425, 200, 18}, Qt::AlignLeft);
    fieldLabel(QStringLiteral("L3_01"), QStringLiteral("圧縮形式 ："), 444);
    C3_01 = optionBox(QStringLiteral("C3_01"), {108, 444, 150, 19}, kSilver, {{150, Qt::white}, {220, kLightYellow}},
                      QStringLiteral(" 音声のコーデック"));
    C3_01->OnChange = [this](TMultiColComboBox &sender) { RunGuarded([&] { C3_01Change(&sender); }); };

    fieldLabel(QStringLiteral("L3_03"), QStringLiteral("周波数 ："), 468);
    C3_03 = spinEdit(QStringLiteral("C3_03"), {108, 468, 60, 19}, kSampleRateRange.maximum, 5,
                     QStringLiteral(" 音声のサンプリングレート"), &TMainForm1::C3_03Change);
    unitLabel(QStringLiteral("Hz"), 172, 468, 40);

    fieldLabel(QStringLiteral("L3_02"), QStringLiteral("1秒間の情報量 ："), 488);
    C3_02 = spinEdit(QStringLiteral("C3_02"), {108, 488, 60, 19}, kAudioBitRateRange.maximum, 3,
                     QStringLiteral(" 音声のビットレート"), &TMainForm1::C3_02Change);
    unitLabel(QStringLiteral("kbps"), 172, 488, 40);

    // Two passes.
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(24, 532, 12, 12);
    CheckBox1->setCursor(Qt::PointingHandCursor);
    auto *passLabel = new TShadowLabel(QStringLiteral("動画解析後圧縮変換 (2パスエンコード)"), this);
    passLabel->setObjectName(QStringLiteral("L4_01"));
    passLabel->setFont(FieldFont());
    passLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    passLabel->setGeometry(40, 529, 222, 18);

    // Convert and store.
    CButton10 = colorButton(QStringLiteral("CButton10"), QStringLiteral("変換！"), {328, 424, 90, 90}, kSilver,
                            QStringLiteral(" 変換開始"));
    QFont convertFont = UiFont(16);
    convertFont.setBold(true);
    CButton10->setFont(convertFont);
    CButton10->setEnabled(false);
    CButton10->OnClick = [this](TdxfColorButton &sender) { CButton10Click(&sender); };
    CButton11 = colorButton(QStringLiteral("CButton11"), QStringLiteral("設定記憶"), {328, 524, 90, 28}, kSilver,
                            QStringLiteral(" 一発設定の記憶"));
    CButton11->OnClick = [this](TdxfColorButton &sender) { CButton11Click(&sender); };

    // Keyboard order: source, output, preset and options top to bottom, the
    // switch, the buttons, and the chapter list last.
    const QList<QWidget *> order = {DriveComboBox1, C1_03,    C2_00,     C2_01,     C2_02_01,  C2_02_02,
                                    C2_03_01,       C2_03_02, C2_04,     C2_06,     C2_05,     C3_01,
                                    C3_03,          C3_02,    CheckBox1, CButton10, CButton11, CButton12,
                                    CheckBox2,      CButton4, CButton3,  CButton2,  CButton1,  CheckListBox2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    CheckListBox1->setFocusPolicy(Qt::NoFocus);
    // The first of that order has the keyboard when the window opens (the
    // window would otherwise give it to the first control it made, a button
    // of the top bar).
    DriveComboBox1->setFocus();
}

QString TMainForm1::ProgramFolderOf(const QString &executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QDir::currentPath(); // a bare file name lies in the current folder
    if (slash == 0)
        return QStringLiteral("/");
    return executablePath.left(slash);
}

ConversionSettings TMainForm1::CurrentSettings() const
{
    auto choice = [](const TMultiColComboBox *box) {
        CatalogueChoice result;
        result.index = box->ItemIndex();
        if (result.index >= 0 && result.index < box->ItemCount())
            result.row = box->Item(result.index);
        return result;
    };
    ConversionSettings settings;
    settings.C1_03 = C1_03->Text();
    settings.C2_01 = choice(C2_01);
    settings.C2_04 = choice(C2_04);
    settings.C3_01 = choice(C3_01);
    settings.C2_02_01 = C2_02_01->Value();
    settings.C2_02_02 = C2_02_02->Value();
    settings.C2_03_01 = C2_03_01->Value();
    settings.C2_03_02 = C2_03_02->Value();
    settings.C2_05 = C2_05->Value();
    settings.C2_06 = C2_06->Value();
    settings.C3_02 = C3_02->Value();
    settings.C3_03 = C3_03->Value();
    settings.C4_C1 = CheckBox1->isChecked();
    return settings;
}

// --- top bar, output folder ---------------------------------------------------

void TMainForm1::CButton1Click(QObject *)
{
    close();
}

void TMainForm1::CButton2Click(QObject *)
{
    showMinimized();
}

void TMainForm1::CButton3Click(QObject *)
{
    // Whatever the desktop does when it cannot show the file is all the user sees.
    QDesktopServices::openUrl(QUrl::fromLocalFile(ManualPath()));
}

void TMainForm1::CButton4Click(QObject *)
{
    QDesktopServices::openUrl(QUrl(InformationPageAddress(), QUrl::TolerantMode));
}

QString TMainForm1::InformationPageAddress() const
{
    QString name = PathFileName(executablePath_);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return QString::fromLatin1(kInformationHost) + QStringLiteral("/info.php?pf=w&sn=") + name;
}

QString TMainForm1::ManualPath() const
{
    return PathInFolder(programFolder_, QStringLiteral("Readme.txt"));
}

void TMainForm1::C1_03Change(QObject *)
{
    const QString slash(QLatin1Char('/'));
    auto withoutTrailingSlash = [&slash](QString text) {
        if (text.endsWith(slash) && text != slash)
            text.chop(1);
        return text;
    };
    // Putting back a different text runs this handler once more, nested.
    const QString text = C1_03->Text();
    const QString before = typedFolder_;
    const bool held = separatorHeld_;
    typedFolder_ = text;
    separatorHeld_ = false;
    // A separator typed at the end goes at once; typing on at the end puts
    // it back before the next character, so a folder below another can be
    // typed key by key.
    if (held && text.size() == before.size() + 1 && text.startsWith(before) && !text.endsWith(slash)) {
        C1_03->SetText(before + slash + text.back());
        return;
    }
    const QString kept = withoutTrailingSlash(text);
    if (kept != text) {
        C1_03->SetText(kept);
        separatorHeld_ = text == before + slash;
    }
    C1_03->SetHint(withoutTrailingSlash(C1_03->Text()));
}

// --- title listing ---------------------------------------------------------------

void TMainForm1::DriveComboBox1Select(QObject *)
{
    // What the user chose on the rows of a disc's titles, for the same disc
    // listed again.
    const TitleListing before = titles_;
    QList<bool> ticks;
    for (int i = 0; before.active && i < CheckListBox2->Count(); ++i)
        ticks << CheckListBox2->IsItemChecked(i);
    CheckListBox1->Clear();
    CheckListBox2->Clear();
    titles_ = {}; // the titles the rows showed go with them
    listed_ = true;
    // The list is empty now, whatever the search does next.
    CButton10->setEnabled(false);
    UpdateTitleModeBox();
    CheckListBox2->setToolTip(QStringLiteral(" 入力元のチャプター一覧"));
    // Title mode: the disc's own titles when its structure can be read.
    const QString root = DriveComboBox1->DriveRoot();
    const bool chosen = DriveComboBox1->IsFolder(DriveComboBox1->Drive());
    // A folder or image the user chose that has gone (moved, deleted) is
    // told, not listed as a disc with nothing on it.
    if (chosen && !root.isEmpty() && !QFileInfo::exists(root)) {
        ShowFailure(QStringLiteral("%1 は見つかりません。").arg(QDir::toNativeSeparators(root)));
        return;
    }
    if (CheckBox2->isChecked()) {
        if (ListTitles(root)) {
            KeepTitleChoices(before, ticks);
            CheckListBox2->setToolTip(QStringLiteral(" 入力元のタイトル一覧 (右クリックで音声を選択)"));
            CButton10->setEnabled(CheckListBox1->Count() > 0);
            return;
        }
    }
    // No disc in the drive, no title folder: nothing is listed, nothing is said.
    const QString folder = SourceTitleFolder(root, chosen);
    SearchFile1.Directory = folder;
    SearchFile1.SearchName = QString::fromLatin1(kTitleMask);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        SearchFile1.Search();
        if (const QStringList &unnamed = SearchFile1.UnnamedEntries(); !unnamed.isEmpty())
            ShowFailure(UnnamedEntriesText(unnamed));
    }
    if (CheckBox2->isChecked() && CheckListBox1->Count() > 0)
        CheckListBox2->setToolTip(QStringLiteral(" ディスクの構造を読めないため、ファイル名で結合します"));
    CButton10->setEnabled(CheckListBox1->Count() > 0);
}

void TMainForm1::CButton12Click(QObject *Sender)
{
    DriveComboBox1Select(Sender);
}

void TMainForm1::SearchFile1Find(TSearchFile &, const QString &Name, const TSearchFileData &, bool &)
{
    CheckListBox1->SetItemChecked(CheckListBox1->AddItem(Name), true);
    CheckListBox2->SetItemChecked(CheckListBox2->AddItem(TitleDisplayText(Name)), true);
    CButton10->setEnabled(CheckListBox1->Count() > 0);
}

// --- window ----------------------------------------------------------------------

bool TMainForm1::event(QEvent *event)
{
    const bool result = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        RunGuarded([this] { FormActivate(this); });
    return result;
}

void TMainForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RunGuarded([this] { FormActivate(this); }); // once only: the handler keeps its own flag
}

void TMainForm1::StartEncoderQuery()
{
    if (encoderQuery_)
        return;
    encoderQuery_ = std::make_unique<EncoderQuery>();
    encoderQuery_->Start(FindEncoder(programFolder_),
                         [this](const EncoderCapabilities &capabilities) { SetCapabilities(capabilities); });
}

void TMainForm1::AskEncoderAgainIfUnanswered()
{
    // An encoder slow to start the first time, or put in place after the
    // window opened, left its lists unknown: without them retired names
    // would reach it as they stand and fail.
    if (!encoderQuery_ || encoderQuery_->IsRunning() || (capabilities_.KnowsEncoders() && capabilities_.KnowsMuxers()))
        return;
    encoderQuery_.reset();
    StartEncoderQuery();
}

const EncoderCapabilities &TMainForm1::Capabilities()
{
    // A shown window asks the encoder after its first paint; asked before
    // that, it asks now.
    if (isVisible())
        StartEncoderQuery();
    if (encoderQuery_)
        encoderQuery_->Finish();
    return capabilities_;
}

bool TMainForm1::AwaitCapabilities(int ms)
{
    if (isVisible())
        StartEncoderQuery();
    return !encoderQuery_ || encoderQuery_->Wait(ms);
}

void TMainForm1::SetCapabilities(const EncoderCapabilities &capabilities)
{
    capabilities_ = capabilities;
    const QList<QPair<TMultiColComboBox *, Catalogue>> boxes = {
        {C2_01, Catalogue::Containers}, {C2_04, Catalogue::VideoCodecs}, {C3_01, Catalogue::AudioCodecs}};
    for (const auto &[box, catalogue] : boxes)
        for (int i = 0; i < box->ItemCount(); ++i)
            box->SetItemUnavailable(i, IsRowUnavailable(catalogue, i, box->Item(i), capabilities_));
}

void TMainForm1::closeEvent(QCloseEvent *event)
{
    // While a conversion runs the window is disabled; the window manager can
    // still ask it to close (a key, the taskbar), which would leave the run
    // going on without a window. It stays until the run is over.
    if (!ProgressForm1.isNull()) {
        event->ignore();
        return;
    }
    // The window closes even when the settings cannot be written.
    RunGuarded([this] { FormClose(this); });
    event->accept();
}

void TMainForm1::EndBySystem()
{
    endRequested_ = true;
    // A run going looks for the request itself and ends the program when
    // it has stopped.
    if (ProgressForm1.isNull())
        EndNow();
}

void TMainForm1::EndNow()
{
    if (std::exchange(ended_, true))
        return;
    close();
    // Every loop running ends, a message's too; queued, so that one not yet
    // running (the start) ends as it begins. quit() would do nothing before
    // the program's own loop runs.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void TMainForm1::mousePressEvent(QMouseEvent *event)
{
    if (!drag_.Press(*this, event))
        QWidget::mousePressEvent(event);
}

void TMainForm1::mouseMoveEvent(QMouseEvent *event)
{
    if (!drag_.Move(*this, event))
        QWidget::mouseMoveEvent(event);
}

void TMainForm1::mouseReleaseEvent(QMouseEvent *event)
{
    if (!drag_.Release(event))
        QWidget::mouseReleaseEvent(event);
}

void TMainForm1::paintEvent(QPaintEvent *)
{
    // The encoder is asked what it can write once the window is on the
    // screen, so that neither starting it nor its own start delays the first
    // paint: that paint is flushed in this round of events, and a zero timer
    // runs after it. (A window painted into an image, never shown, asks
    // nothing.)
    if (!encoderQuery_ && isVisible())
        QTimer::singleShot(0, this, [this] { StartEncoderQuery(); });
    QPainter painter(this);
    const QRect all = rect();
    // Background.
    QLinearGradient background(all.topLeft(), all.bottomLeft());
    background.setColorAt(0.0, QColor(226, 226, 226));
    background.setColorAt(1.0, kSilver);
    painter.fillRect(all, background);
    // Bars: top, bottom, sides.
    PaintGradient(painter, QRect(0, 0, kWindowWidth, 20), Qt::Vertical);
    PaintGradient(painter, QRect(0, kWindowHeight - 16, kWindowWidth, 16), Qt::Vertical, true);
    PaintGradient(painter, QRect(0, 20, 10, kWindowHeight - 36), Qt::Horizontal);
    PaintGradient(painter, QRect(kWindowWidth - 10, 20, 10, kWindowHeight - 36), Qt::Horizontal, true);
    // Section panels with their shadows.
    PaintPanel(painter, QRect(16, 28, 400, 194));  // source and output folder
    PaintPanel(painter, QRect(16, 230, 350, 184)); // preset and video
    PaintPanel(painter, QRect(16, 422, 300, 94));  // audio
    PaintPanel(painter, QRect(16, 524, 250, 26));  // two passes
    // The banner of the supported outputs, in the bottom bar.
    QFont bannerFont = UiFont(10);
    painter.setFont(bannerFont);
    const QRect banner(0, kWindowHeight - 16, kWindowWidth, 16);
    const QString supported = QStringLiteral("Support : AVI, MPEG1/2/4, 3GPP, WMV, ASF, RM, MOV, OGM, SWF, FLV");
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(banner.translated(1, 1), Qt::AlignCenter, supported);
    painter.setPen(Qt::white);
    painter.drawText(banner, Qt::AlignCenter, supported);
}

} // namespace zento
