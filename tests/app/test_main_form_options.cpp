// The option handlers of the main window: presets, colours, storing a preset,
// and the settings file read on activation and written on close.
#include "app/main_form.h"
#include "options/option_rules.h"
#include "platform/text_encoding.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>
#include <optional>

using namespace zento;
using namespace zento::test;

namespace {

const QColor kYellow(255, 255, 128), kSilver(192, 192, 192);
const QByteArray kDvdRow = "DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps";
const QByteArray kSmallRow = "Small,MP4,320x240,MPEG4,15fps,300kbps,LIBFAAC,22050Hz,64kbps";
const QString kStoreNotice = "現設定を一発設定として記憶します。";

QColor ToColor(const RgbColor &c)
{
    return QColor(c.red, c.green, c.blue);
}

// The user picks a row of a box (the box raises its change event).
void Pick(TMultiColComboBox *box, int row)
{
    box->SetItemIndex(row);
    emit box->activated(row);
}

// The option controls: the three catalogue boxes, then the number fields in window order.
using Box = TMultiColComboBox *TMainForm1::*;
using Spin = TSpinEdit *TMainForm1::*;
using W = TMainForm1;
const Box kBoxes[] = {&W::C2_01, &W::C2_04, &W::C3_01};
const Spin kSpins[] = {&W::C2_02_01, &W::C2_02_02, &W::C2_03_01, &W::C2_03_02,
                       &W::C2_06,    &W::C2_05,    &W::C3_03,    &W::C3_02};

// One thing of each option control, boxes first.
template <typename T, typename OfBox, typename OfSpin> QList<T> Options(const TMainForm1 &w, OfBox ofBox, OfSpin ofSpin)
{
    QList<T> list;
    for (Box box : kBoxes)
        list << ofBox(w.*box);
    for (Spin spin : kSpins)
        list << ofSpin(w.*spin);
    return list;
}
QList<int> OptionValues(const TMainForm1 &w)
{
    return Options<int>(
        w, [](auto *b) { return b->ItemIndex(); }, [](auto *s) { return s->Value(); });
}
QList<QColor> OptionColors(const TMainForm1 &w)
{
    const auto color = [](auto *control) { return control->Color(); };
    return Options<QColor>(w, color, color);
}

// A settings file and what the window shows after reading it.
struct Stored {
    QByteArray ini;
    QPoint position{20, 20};
    QString folder = {}; // empty: the program folder
    int preset = -1, container = -1, width = 0, aspect = 0;
    bool twoPass = false;
};

} // namespace

Q_DECLARE_METATYPE(zento::PresetValues)
Q_DECLARE_METATYPE(Stored)

class TestMainFormOptions : public QObject {
    Q_OBJECT

    std::optional<ProgramFolder> program_;
    std::optional<DialogRecorder> dialogs_;

    QString Folder() const { return program_->Path(); }
    QString IniPath() const { return program_->File("DVD_zento.ini"); }
    QString ProfilePath() const { return program_->File("profile.txt"); }
    std::unique_ptr<TMainForm1> NewWindow() { return std::make_unique<TMainForm1>(program_->Executable()); }

private slots:
    void init()
    {
        program_.emplace(kDvdRow + "\r\n" + kSmallRow + "\r\nThird,FLV\r\nFourth,WMV\r\n");
        QVERIFY(program_->IsValid());
        dialogs_.emplace();
    }

    // --- settings file ---------------------------------------------------------

    void storedSettings_data()
    {
        QTest::addColumn<Stored>("s");
        const QPoint home = QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(20, 20);
        QTest::newRow("no file") << Stored{};
        QTest::newRow("only M_LEFT") << Stored{.ini = "[SET]\r\nM_LEFT=100\r\n", .position = {100, 20}};
        QTest::newRow("clamped") << Stored{.ini = "[SET2]\r\nC2_02_01=12345\r\nC2_03_01=-5", .width = 9999};
        QTest::newRow("C4_C1 of 2") << Stored{.ini = "[SET4]\r\nC4_C1=2\r\n", .twoPass = true};
        QTest::newRow("hexadecimal") << Stored{.ini = "[SET]\nM_LEFT=0x64\nM_TOP=$32", .position = {100, 50}};
        QTest::newRow("not a number") << Stored{.ini = "[SET]\r\nM_LEFT=abc\r\n[SET2]\r\nC2_01=x\r\n"};
        QTest::newRow("trailing separator") << Stored{.ini = "[SET1]\r\nC1_03=/video/", .folder = "/video"};
        QTest::newRow("empty folder") << Stored{.ini = "[SET1]\r\nC1_03=\r\n"};
        QTest::newRow("other case") << Stored{.ini = "[set]\nm_left=100\n[Set2]\nc2_01=3\nC2_03_01=16",
                                              .position = {100, 20},
                                              .container = 3,
                                              .aspect = 16};
        QTest::newRow("index beyond the rows") << Stored{.ini = "[SET2]\r\nC2_01=13\r\n"};
        QTest::newRow("index below -1") << Stored{.ini = "[SET2]\r\nC2_01=-2\r\n"};
        QTest::newRow("automatic row") << Stored{.ini = "[SET2]\r\nC2_01=0\r\n", .container = 0};
        // The preset row is selected but not applied (it would choose FLV).
        QTest::newRow("preset") << Stored{.ini = "[SET2]\r\nC2_00=3\r\nC2_01=2", .preset = 3, .container = 2};
        QTest::newRow("top bar partly shown") << Stored{.ini = "[SET]\nM_LEFT=-400", .position = {-400, 20}};
        QTest::newRow("off to the left") << Stored{.ini = "[SET]\r\nM_LEFT=-5000\r\n", .position = home};
        QTest::newRow("above the top") << Stored{.ini = "[SET]\r\nM_TOP=-20\r\n", .position = home};
        QTest::newRow("below the bottom") << Stored{.ini = "[SET]\r\nM_TOP=100000\r\n", .position = home};
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QByteArray corner =
            QByteArray::number(screen.right()) + "\r\nM_TOP=" + QByteArray::number(screen.bottom());
        QTest::newRow("a pixel of it on screen") << Stored{.ini = "[SET]\r\nM_LEFT=" + corner, .position = home};
        QTest::newRow("extreme position")
            << Stored{.ini = "[SET]\r\nM_LEFT=2147483647\r\nM_TOP=-2147483648\r\n", .position = home};
    }
    void storedSettings()
    {
        QFETCH(Stored, s);
        if (!s.ini.isEmpty())
            QVERIFY(WriteFile(IniPath(), s.ini));
        auto w = NewWindow();
        w->FormActivate();
        QCOMPARE(w->pos(), s.position);
        QCOMPARE(w->C1_03->Text(), s.folder.isEmpty() ? Folder() : s.folder);
        QCOMPARE(w->C2_00->ItemIndex(), s.preset);
        QCOMPARE(w->C2_01->ItemIndex(), s.container);
        QCOMPARE(w->C2_01->Color(), s.container == 0 ? kSilver : kYellow);
        QCOMPARE(w->C2_02_01->Value(), s.width);
        QCOMPARE(w->C2_03_01->Value(), s.aspect);
        QCOMPARE(w->CheckBox1->isChecked(), s.twoPass);
        // A second activation reads nothing.
        QVERIFY(WriteFile(IniPath(), "[SET2]\r\nC2_05=700\r\n"));
        w->FormActivate();
        QCOMPARE(w->C2_05->Value(), 0);
        if (s.ini.isEmpty()) { // the first close writes every key, in this order
            QVERIFY(QFile::remove(IniPath()));
            w->FormClose();
            QCOMPARE(ReadFile(IniPath()),
                     "[SET]\r\nM_LEFT=20\r\nM_TOP=20\r\n[SET1]\r\nC1_03=" + Folder().toUtf8() +
                         "\r\n[SET2]\r\nC2_00=-1\r\nC2_01=-1\r\nC2_02_01=0\r\nC2_02_02=0\r\nC2_03_01=0\r\n"
                         "C2_03_02=0\r\nC2_04=-1\r\nC2_05=0\r\nC2_06=0\r\n"
                         "[SET3]\r\nC3_01=-1\r\nC3_02=0\r\nC3_03=0\r\n[SET4]\r\nC4_C1=0\r\n");
        }
    }

    void roundTripThroughClose()
    {
        QVERIFY(WriteFile(IniPath(), "; kept\r\n[SET]\r\nM_LEFT=60\r\nM_TOP=70\r\n[Other]\r\nx=1\r\n"));
        const QString folder = Folder() + "/出力 先";
        const QList<int> values = {12, 33, 51, 9999, 1, 16, 99, 999, 10000, 99999, 999};
        auto w = NewWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->move(60, 70);
        w->C1_03->SetText(folder);
        w->C2_00->SetItemIndex(2);
        for (int i = 0; i < 3; ++i)
            (w.get()->*kBoxes[i])->SetItemIndex(values[i]);
        for (int i = 0; i < 8; ++i)
            (w.get()->*kSpins[i])->SetValue(values[3 + i]);
        w->CheckBox1->setChecked(true);
        QVERIFY(w->close());
        const QByteArray bytes = ReadFile(IniPath());
        QVERIFY(bytes.startsWith("; kept\r\n[SET]\r\nM_LEFT=60\r\nM_TOP=70\r\n[Other]\r\nx=1\r\n[SET1]\r\n"));
        QCOMPARE(DecodeText(bytes).encoding, TextEncoding::ShiftJis);

        w = NewWindow();
        w->FormActivate();
        QCOMPARE(w->pos(), QPoint(60, 70));
        QCOMPARE(w->C1_03->Text(), folder);
        QCOMPARE(w->C2_00->ItemIndex(), 2);
        QCOMPARE(OptionValues(*w), values);
        QCOMPARE(OptionColors(*w), QList<QColor>(11, kYellow));
        QVERIFY(w->CheckBox1->isChecked());
        // A file that cannot be written does not keep the window open.
        w->show();
        QVERIFY(QFile::remove(IniPath()) && QDir().mkpath(IniPath()));
        QVERIFY(w->close() && !w->isVisible());
        QCOMPARE(dialogs_->messages, QStringList{IniPath() + " に書き込めません."});
    }

    // --- presets ---------------------------------------------------------------

    void presetTable_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<PresetValues>("expected");
        QTest::newRow("DVD") << QString(kDvdRow) << PresetValues{1, 640, 480, 31, 30, 1000, 27, 44100, 128};
        QTest::newRow("640") << "a,AVI,640,MPEG4" << PresetValues{1, 0, 0, 17, 0, 0, 0, 0, 0};
        QTest::newRow("640x") << "a,AVI,640x" << PresetValues{1, 640, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("x480") << "a,AVI,x480" << PresetValues{1, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("29.97fps") << "a,,,,29.97fps" << PresetValues{};
        QTest::newRow("30fpsX") << "a,,,,30fpsX" << PresetValues{0, 0, 0, 0, 30, 0, 0, 0, 0};
        QTest::newRow("20000kbps") << "a,,,,,20000kbps" << PresetValues{0, 0, 0, 0, 0, 10000, 0, 0, 0};
        QTest::newRow("MPEG4") << "a,MPEG4" << PresetValues{1, 0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("avi") << "a,avi" << PresetValues{};
        QTest::newRow("PCM") << "a,,,,,,PCM" << PresetValues{0, 0, 0, 0, 0, 0, 3, 0, 0};
        QTest::newRow("three columns") << "a,MP4,320x240" << PresetValues{4, 320, 240, 0, 0, 0, 0, 0, 0};
        QTest::newRow("blank inside a column") << "DVD,AVI,640x480,LIBXVID,30 fps,1000kbps,LIBMP3LAME,44100Hz"
                                               << PresetValues{1, 640, 480, 31, 0, 0, 0, 0, 0};
        QTest::newRow("empty line") << "" << PresetValues{};
    }
    void presetTable()
    {
        QFETCH(QString, row);
        QFETCH(PresetValues, expected);
        QVERIFY(WriteFile(ProfilePath(), kDvdRow + "\r\n" + row.toUtf8() + "\r\n"));
        auto w = NewWindow();
        w->FormActivate();
        w->C2_03_01->SetValue(4); // the aspect and the passes are no part of a preset
        w->C2_03_02->SetValue(3);
        w->CheckBox1->setChecked(true);
        // Another preset first, so that every value has to be reset.
        Pick(w->C2_00, 1);
        Pick(w->C2_00, 2);
        const PresetValues &e = expected;
        const QList<int> values = {e.container, e.videoCodec, e.audioCodec,   e.width,      e.height,      4,
                                   3,           e.frameRate,  e.videoBitRate, e.sampleRate, e.audioBitRate};
        QCOMPARE(OptionValues(*w), values);
        const QColor size = ToColor(PairColor(e.width, e.height));
        QCOMPARE(OptionColors(*w),
                 (QList<QColor>{ToColor(CatalogueBoxColor(e.container)), ToColor(CatalogueBoxColor(e.videoCodec)),
                                ToColor(CatalogueBoxColor(e.audioCodec)), size, size, kYellow, kYellow,
                                ToColor(NumberColor(e.frameRate)), ToColor(NumberColor(e.videoBitRate)),
                                ToColor(NumberColor(e.sampleRate)), ToColor(NumberColor(e.audioBitRate))}));
        QVERIFY(w->CheckBox1->isChecked());
        QCOMPARE(w->C2_00->ItemIndex(), 2);
    }

    void manualRowAndHandEdits()
    {
        auto w = NewWindow();
        w->FormActivate();
        Pick(w->C2_00, 0); // the manual row: every option to its automatic value
        QCOMPARE(w->C2_00->GetSelectedText(), QString("手動"));
        QCOMPARE(OptionValues(*w), QList<int>(11, 0));
        QCOMPARE(OptionColors(*w), QList<QColor>(11, kSilver));
        // By hand: a pair is set only when both terms are; a box unless on row 0.
        Pick(w->C2_00, 1);
        w->C2_02_02->SetValue(0);
        w->C2_03_01->SetValue(16);
        w->C2_03_02->SetValue(9);
        Pick(w->C2_04, 0);
        const QColor Y = kYellow, S = kSilver;
        QCOMPARE(OptionColors(*w), (QList<QColor>{Y, S, Y, S, S, Y, Y, Y, Y, Y, Y}));
        QCOMPARE(w->C2_00->ItemIndex(), 1); // the preset box keeps its row
    }

    // --- storing a preset --------------------------------------------------------

    void storePreset()
    {
        auto w = NewWindow();
        w->FormActivate();
        Pick(w->C2_00, 1);
        w->C2_04->SetItemIndex(-1); // no video codec: an empty fourth column
        w->C2_05->SetValue(2500);
        const int rows = w->C2_00->ItemCount();
        const QByteArray before = ReadFile(ProfilePath());
        // Blanks and commas in the name become their full-width forms.
        dialogs_->answers = {"my dvd, \"hq\"\t2"};
        w->CButton11Click();
        const QString name = "my　dvd，　\"hq\"　2";
        const QString audio = QString(kDvdRow).section(',', 6); // the DVD row's audio columns
        const QByteArray line = ToShiftJis(name + ",AVI,640x480,,30fps,2500kbps," + audio + "\r\n");
        QCOMPARE(dialogs_->inputs, QStringList{"名前の入力|一発設定名(&I):"});
        QCOMPARE(dialogs_->messages,
                 (QStringList{kStoreNotice, "一発設定を記憶しました。\n"
                                            "記憶した設定を編集する場合は 同梱の profile.txt(CSV仕様)を\n"
                                            "テキストエディター等で直接編集してください。"}));
        QCOMPARE(ReadFile(ProfilePath()), before + line);
        QCOMPARE(w->C2_00->ItemCount(), rows + 1);
        QCOMPARE(w->C2_00->GetSelectedText(), name);
        QVERIFY(w->C2_04->ItemIndex() == -1 && w->C2_05->Value() == 2500); // selected, not applied

        // An empty name or a cancel stores nothing.
        dialogs_->messages.clear();
        dialogs_->answers = {QString()};
        w->CButton11Click();
        w->CButton11Click(); // no answer left: cancelled
        const QString noName = "名前を入力してください。";
        QCOMPARE(dialogs_->messages, (QStringList{kStoreNotice, noName, kStoreNotice, noName}));
        QCOMPARE(w->C2_00->ItemCount(), rows + 1);

        // The program folder disappears: no row is added, the line is kept, and
        // the next store that succeeds writes it too.
        Pick(w->C2_00, 2);
        const QString profile = ProfilePath();
        QVERIFY(QDir(Folder()).removeRecursively());
        dialogs_->messages.clear();
        dialogs_->answers = {"lost", "next"};
        w->CButton11Click();
        QCOMPARE(dialogs_->messages, (QStringList{kStoreNotice, "ファイル " + profile + " を作成できません."}));
        QCOMPARE(w->C2_00->ItemCount(), rows + 1);
        QCOMPARE(w->C2_00->ItemIndex(), 2);
        QVERIFY(QDir().mkpath(Folder()));
        w->CButton11Click();
        QCOMPARE(dialogs_->messages.size(), 4);
        QCOMPARE(w->C2_00->ItemCount(), rows + 3);
        QCOMPARE(w->C2_00->GetSelectedText(), QString("next"));
        const QByteArray small = kSmallRow.mid(5) + "\r\n"; // the row without its name
        QCOMPARE(ReadFile(profile), before + line + "lost" + small + "next" + small);
    }
};

QTEST_MAIN(TestMainFormOptions)
#include "test_main_form_options.moc"
