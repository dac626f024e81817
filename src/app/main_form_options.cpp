// The option handlers of the main window: applying a preset, the highlight
// colours, storing a preset, and the settings file read on the first
// activation and written on close.
#include "app/main_form.h"

#include "app/ini_file.h"
#include "options/option_rules.h"
#include "options/preset_file.h"
#include "options/preset_store.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "widgets/browse_edit.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace zento {

namespace {

constexpr int kTopBarHeight = 20;
constexpr int kGrabWidth = 30;
constexpr int kFarAway = 1000000; // pixels from the origin
constexpr QPoint kFirstPosition(20, 20); // with no position stored
constexpr int kPresetColumns = 9;

QColor ToQColor(const RgbColor &c)
{
    return QColor(c.red, c.green, c.blue);
}

void PaintBox(TMultiColComboBox *box)
{
    box->SetColor(ToQColor(CatalogueBoxColor(box->ItemIndex())));
}

void PaintNumber(TSpinEdit *edit)
{
    edit->SetColor(ToQColor(NumberColor(edit->Value())));
}

void PaintPair(TSpinEdit *first, TSpinEdit *second)
{
    const QColor colour = ToQColor(PairColor(first->Value(), second->Value()));
    first->SetColor(colour);
    second->SetColor(colour);
}

// A borderless window whose top bar lies on no screen could never be dragged
// back; such a position is moved onto the primary screen.
QPoint ReachablePosition(const QPoint &stored, int width)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    // A position this far out is on no screen; checked first, since the
    // rectangle of a window there would not fit in int.
    const bool farAway = qAbs(qint64(stored.x())) > kFarAway || qAbs(qint64(stored.y())) > kFarAway;
    if (!farAway) {
        if (screens.isEmpty())
            return stored;
        // Enough of the top bar on a screen to take it with the mouse: a
        // corner of a few pixels (a screen gone or made smaller) is not.
        const QRect topBar(stored, QSize(qMax(width, 1), kTopBarHeight));
        for (const QScreen *screen : screens)
            if (const QRect shown = screen->geometry().intersected(topBar);
                shown.width() >= qMin(topBar.width(), kGrabWidth) && shown.height() >= kTopBarHeight / 2)
                return stored;
    }
    if (screens.isEmpty())
        return QPoint(20, 20);
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QRect area = primary ? primary->availableGeometry() : screens.first()->availableGeometry();
    return area.topLeft() + QPoint(20, 20);
}

} // namespace

// --- highlighting -------------------------------------------------------------

void TMainForm1::C2_01Change(QObject *)
{
    PaintBox(C2_01);
}

void TMainForm1::C2_04Change(QObject *)
{
    PaintBox(C2_04);
}

void TMainForm1::C3_01Change(QObject *)
{
    PaintBox(C3_01);
}

void TMainForm1::C2_02_01Change(QObject *)
{
    PaintPair(C2_02_01, C2_02_02);
}

void TMainForm1::C2_02_02Change(QObject *)
{
    PaintPair(C2_02_01, C2_02_02);
}

void TMainForm1::C2_03_01Change(QObject *)
{
    PaintPair(C2_03_01, C2_03_02);
}

void TMainForm1::C2_03_02Change(QObject *)
{
    PaintPair(C2_03_01, C2_03_02);
}

void TMainForm1::C2_05Change(QObject *)
{
    PaintNumber(C2_05);
}

void TMainForm1::C2_06Change(QObject *)
{
    PaintNumber(C2_06);
    RefreshTitleRows(); // a frame rate typed in wins over a film's own
}

void TMainForm1::C3_02Change(QObject *)
{
    PaintNumber(C3_02);
}

void TMainForm1::C3_03Change(QObject *)
{
    PaintNumber(C3_03);
}

// --- applying a preset ----------------------------------------------------------

void TMainForm1::C2_00Change(QObject *)
{
    // The picked row's columns, read one at a time through the key column.
    QStringList columns;
    for (int column = 0; column < kPresetColumns; ++column) {
        C2_00->SetTargetColumn(column);
        columns.append(C2_00->GetSelectedText());
    }
    C2_00->SetTargetColumn(0);

    const PresetValues v = PresetValuesFromColumns(columns);

    // Each control is reset before it takes the preset's value, so a value
    // the row lacks ends at automatic or 0; every handler runs once by hand
    // because putting in the value a field already shows raises nothing.
    C2_01->SetItemIndex(0);
    C2_01Change();
    C2_01->SetItemIndex(v.container);
    C2_01Change();

    C2_02_01->SetValue(0);
    C2_02_01Change();
    C2_02_02->SetValue(0);
    C2_02_02Change();
    C2_02_01->SetValue(v.width);
    C2_02_02->SetValue(v.height);
    C2_02_01Change();

    C2_04->SetItemIndex(0);
    C2_04Change();
    C2_04->SetItemIndex(v.videoCodec);
    C2_04Change();

    C2_06->SetValue(0);
    C2_06Change();
    C2_06->SetValue(v.frameRate);
    C2_06Change();

    C2_05->SetValue(0);
    C2_05Change();
    C2_05->SetValue(v.videoBitRate);
    C2_05Change();

    C3_01->SetItemIndex(0);
    C3_01Change();
    C3_01->SetItemIndex(v.audioCodec);
    C3_01Change();

    C3_03->SetValue(0);
    C3_03Change();
    C3_03->SetValue(v.sampleRate);
    C3_03Change();

    C3_02->SetValue(0);
    C3_02Change();
    C3_02->SetValue(v.audioBitRate);
    C3_02Change();
}

// --- storing a preset -----------------------------------------------------------

void TMainForm1::CButton11Click(QObject *)
{
    ShowMessage(QStringLiteral("現設定を一発設定として記憶します。"));
    const QString name =
        SafePresetName(InputLine(QStringLiteral("名前の入力"), QStringLiteral("一発設定名(&I):"), 255));
    if (name.isEmpty()) {
        ShowMessage(QStringLiteral("名前を入力してください。"));
        return;
    }

    qsizetype kept = 0;
    try {
        // On failure the line stays in the list and goes out with the next store.
        Places().PrepareUserFolder();
        kept = Presets().AppendLine(ComposePresetLine(name, CurrentSettings()));
    } catch (const std::exception &e) {
        ShowErrorBox(ExceptionMessage(e));
        return;
    }

    // Installed, the presets are the user's own copy, not the shipped file.
    const QString notice = QStringLiteral("一発設定を記憶しました。\n"
                                          "記憶した設定を編集する場合は 同梱の profile.txt(CSV仕様)を\n"
                                          "テキストエディター等で直接編集してください。");
    ShowMessage(Places().Mode() == RunMode::Portable
                    ? notice
                    : notice +
                          QStringLiteral("\n記憶先: %1").arg(QDir::toNativeSeparators(Places().PresetStorePath())));
    // The box shows the file as written, lines that other windows stored
    // meanwhile included, so that each row stands where the next start puts
    // it and the stored row number picks the same preset. Rows the file still
    // holds keep their places; the store's own line is the last row.
    const int firstChanged = int(qMin<qsizetype>(kept, C2_00->ItemCount() - 1)) + 1;
    while (C2_00->ItemCount() > firstChanged)
        C2_00->DeleteItem(C2_00->ItemCount() - 1);
    const QStringList &lines = Presets().Lines();
    for (qsizetype i = firstChanged - 1; i < lines.size(); ++i)
        C2_00->AddItem(PresetBoxRow(lines.at(i), Presets().Encoding()));
    // The options already hold the preset's values: the row is selected, not applied.
    C2_00->SetItemIndex(C2_00->ItemCount() - 1);
}

// --- settings file ---------------------------------------------------------------

void TMainForm1::FormActivate(QObject *)
{
    if (Tag != 0)
        return;
    const IniFile ini(Places().SettingsReadPath());
    const QString set = QStringLiteral("SET");
    const QString set1 = QStringLiteral("SET1");
    const QString set2 = QStringLiteral("SET2");
    const QString set3 = QStringLiteral("SET3");
    const QString set4 = QStringLiteral("SET4");

    // Both coordinates are checked before the window goes there: a hand-edited
    // value near the end of the int range would overflow its rectangle. The
    // window is placed here only, as it is first shown: one moved before as
    // well was left by some window managers where they put it, but believed
    // at 0,0, and stored so on closing.
    const int left = ini.ReadInteger(set, QStringLiteral("M_LEFT"), kFirstPosition.x());
    const int top = ini.ReadInteger(set, QStringLiteral("M_TOP"), kFirstPosition.y());
    move(ReachablePosition(QPoint(left, top), width()));

    C1_03->SetText(ini.ReadString(set1, QStringLiteral("C1_03"), C1_03->Text()));
    if (C1_03->Text().isEmpty())
        C1_03->SetText(Places().DefaultOutputFolder());

    // The preset row is only selected; its values are not applied. A stored
    // index that names no row selects none.
    C2_00->SetItemIndex(ini.ReadInteger(set2, QStringLiteral("C2_00"), C2_00->ItemIndex()));

    C2_01->SetItemIndex(ini.ReadInteger(set2, QStringLiteral("C2_01"), C2_01->ItemIndex()));
    C2_01Change();

    C2_02_01->SetValue(ini.ReadInteger(set2, QStringLiteral("C2_02_01"), C2_02_01->Value()));
    C2_02_01Change();
    C2_02_02->SetValue(ini.ReadInteger(set2, QStringLiteral("C2_02_02"), C2_02_02->Value()));
    C2_02_02Change();
    C2_03_01->SetValue(ini.ReadInteger(set2, QStringLiteral("C2_03_01"), C2_03_01->Value()));
    C2_03_01Change();
    C2_03_02->SetValue(ini.ReadInteger(set2, QStringLiteral("C2_03_02"), C2_03_02->Value()));
    C2_03_02Change();

    C2_04->SetItemIndex(ini.ReadInteger(set2, QStringLiteral("C2_04"), C2_04->ItemIndex()));
    C2_04Change();

    C2_05->SetValue(ini.ReadInteger(set2, QStringLiteral("C2_05"), C2_05->Value()));
    C2_05Change();
    C2_06->SetValue(ini.ReadInteger(set2, QStringLiteral("C2_06"), C2_06->Value()));
    C2_06Change();

    C3_01->SetItemIndex(ini.ReadInteger(set3, QStringLiteral("C3_01"), C3_01->ItemIndex()));
    C3_01Change();

    C3_02->SetValue(ini.ReadInteger(set3, QStringLiteral("C3_02"), C3_02->Value()));
    C3_02Change();
    C3_03->SetValue(ini.ReadInteger(set3, QStringLiteral("C3_03"), C3_03->Value()));
    C3_03Change();

    CheckBox1->setChecked(ini.ReadInteger(set4, QStringLiteral("C4_C1"), CheckBox1->isChecked() ? 1 : 0) != 0);
    SetTitleModeChoice(
        ini.ReadInteger(QStringLiteral("SET5"), QStringLiteral("C5_C1"), TitleModeChoice() ? 1 : 0) != 0);

    // The source folder of the last run gets its row back, even when it is not
    // there now (a disc not plugged in); when it was the current drive it is
    // current again, so the refresh button lists it. Nothing is listed here.
    const QString source = QStringLiteral("SOURCE");
    const QString folder = ini.ReadString(source, QStringLiteral("FOLDER"), QString());
    if (!folder.isEmpty() && DriveComboBox1->AddFolder(folder) >= 0 &&
        ini.ReadInteger(source, QStringLiteral("CURRENT"), 0) != 0 && !DriveComboBox1->KeptFolder().isEmpty())
        DriveComboBox1->SetDrive(DriveComboBox1->KeptFolder());

    Tag = 1;

    // The user's own presets could not be read at start: the shipped ones
    // stand in, and nothing is written to that file.
    const QString unreadable = Places().UnreadableUserPresets();
    if (!unreadable.isEmpty())
        ShowErrorBox(FormatMessage(QStringLiteral("ファイル %s は開けません"), unreadable));
}

void TMainForm1::FormClose(QObject *)
{
    Places().PrepareUserFolder();
    IniFile ini(Places().SettingsPath());
    const QString set = QStringLiteral("SET");
    const QString set2 = QStringLiteral("SET2");
    const QString set3 = QStringLiteral("SET3");

    // A field with an empty or unreadable text counts as 0 and shows it.
    auto value = [](TSpinEdit *edit) {
        const int v = edit->Value();
        edit->SetValue(v);
        return v;
    };

    // One change of the file with every key: a failed write changes none,
    // and another window closing meanwhile writes its keys before or after
    // these, never between them.
    const auto number = [](const QString &section, const char *key, int n) {
        return IniFile::Value{section, QLatin1String(key), QString::number(n)};
    };
    QList<IniFile::Value> values{
        number(set, "M_LEFT", x()),
        number(set, "M_TOP", y()),
        {QStringLiteral("SET1"), QStringLiteral("C1_03"), C1_03->Text()},
        number(set2, "C2_00", C2_00->ItemIndex()),
        number(set2, "C2_01", C2_01->ItemIndex()),
        number(set2, "C2_02_01", value(C2_02_01)),
        number(set2, "C2_02_02", value(C2_02_02)),
        number(set2, "C2_03_01", value(C2_03_01)),
        number(set2, "C2_03_02", value(C2_03_02)),
        number(set2, "C2_04", C2_04->ItemIndex()),
        number(set2, "C2_05", value(C2_05)),
        number(set2, "C2_06", value(C2_06)),
        number(set3, "C3_01", C3_01->ItemIndex()),
        number(set3, "C3_02", value(C3_02)),
        number(set3, "C3_03", value(C3_03)),
        number(QStringLiteral("SET4"), "C4_C1", CheckBox1->isChecked() ? 1 : 0),
    };
    // Joining titles is written once it was used: a file that never knew it
    // keeps its bytes.
    const QString set5 = QStringLiteral("SET5");
    const QString join = QStringLiteral("C5_C1");
    // An image forces the box on; the file keeps the user's own choice.
    if (TitleModeChoice() || !ini.ReadString(set5, join, QString()).isNull())
        values << number(set5, "C5_C1", TitleModeChoice() ? 1 : 0);
    // A chosen source folder, after every other key; without one the file
    // keeps only the keys above.
    const QString folder = DriveComboBox1->KeptFolder();
    if (!folder.isEmpty()) {
        values << IniFile::Value{QStringLiteral("SOURCE"), QStringLiteral("FOLDER"), folder}
               << number(QStringLiteral("SOURCE"), "CURRENT", DriveComboBox1->Drive() == folder ? 1 : 0);
    }
    ini.WriteValues(values);
}

} // namespace zento
