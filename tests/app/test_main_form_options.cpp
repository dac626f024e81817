// The option handlers of the main window over a temporary program folder:
// presets picked through the preset box, the colours, storing a preset, and
// the settings file read on activation and written on close.
#include "app/main_form.h"
#include "options/option_rules.h"
#include "platform/dialogs.h"
#include "platform/text_encoding.h"
#include "widgets/browse_edit.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace zento;

namespace {

const QColor kYellow(255, 255, 128);
const QColor kSilver(192, 192, 192);

const char *const kDvdRow = "DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps";

QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QColor Expected(const RgbColor &c)
{
    return QColor(c.red, c.green, c.blue);
}

// The user picks a row of a box (the box raises its change event).
void Pick(TMultiColComboBox *box, int row)
{
    box->SetItemIndex(row);
    emit box->activated(row);
}

} // namespace

Q_DECLARE_METATYPE(zento::PresetValues)

class TestMainFormOptions : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QStringList messages_;
    QStringList inputs_;    // title and prompt of each input dialog
    QStringList answers_;   // what the input dialog gives, in turn

    QString Folder() const { return dir_->path(); }
    QString IniPath() const { return Folder() + QStringLiteral("/DVD_zento.ini"); }
    QString ProfilePath() const { return Folder() + QStringLiteral("/profile.txt"); }
    std::unique_ptr<TMainForm1> NewWindow() const
    {
        return std::make_unique<TMainForm1>(Folder() + QStringLiteral("/DVD_zento"));
    }

    static QList<QWidget *> OptionControls(TMainForm1 &w)
    {
        return {w.C2_01, w.C2_02_01, w.C2_02_02, w.C2_04, w.C2_06, w.C2_05, w.C3_01, w.C3_03, w.C3_02};
    }
    static QColor ColorOf(QWidget *control)
    {
        if (auto *box = qobject_cast<TMultiColComboBox *>(control))
            return box->Color();
        return qobject_cast<TSpinEdit *>(control)->Color();
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(WriteBytes(ProfilePath(), QByteArray(kDvdRow) + "\r\nSmall,MP4,320x240,MPEG4,15fps,300kbps,LIBFAAC,22050Hz,64kbps\r\n"
                                          "Third,FLV\r\nFourth,WMV\r\n"));
        messages_.clear();
        inputs_.clear();
        answers_.clear();
        DialogHooks hooks;
        hooks.message = [this](const QString &text) { messages_.append(text); };
        hooks.beep = [] {};
        hooks.input = [this](const QString &title, const QString &prompt) {
            inputs_.append(title + QLatin1Char('|') + prompt);
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        };
        SetDialogHooks(hooks);
    }

    void cleanup()
    {
        SetDialogHooks({});
        SetDialogParent(nullptr);
    }

    // --- settings file ---------------------------------------------------------

    void firstRunWritesEveryKey()
    {
        auto w = NewWindow();
        w->FormActivate();
        QCOMPARE(w->pos(), QPoint(20, 20));
        QCOMPARE(w->C1_03->Text(), Folder());
        for (TMultiColComboBox *box : {w->C2_00, w->C2_01, w->C2_04, w->C3_01})
            QCOMPARE(box->ItemIndex(), -1);
        // No row is still an option of its own: set colour; zeros are silver.
        QCOMPARE(w->C2_01->Color(), kYellow);
        QCOMPARE(w->C3_01->Color(), kYellow);
        QCOMPARE(w->C2_05->Color(), kSilver);
        QCOMPARE(w->C2_03_01->Color(), kSilver);
        QCOMPARE(w->Tag, 1);

        w->FormClose();
        const QByteArray expected = "[SET]\r\nM_LEFT=20\r\nM_TOP=20\r\n"
                                    "[SET1]\r\nC1_03=" + Folder().toUtf8() + "\r\n"
                                    "[SET2]\r\nC2_00=-1\r\nC2_01=-1\r\nC2_02_01=0\r\nC2_02_02=0\r\nC2_03_01=0\r\n"
                                    "C2_03_02=0\r\nC2_04=-1\r\nC2_05=0\r\nC2_06=0\r\n"
                                    "[SET3]\r\nC3_01=-1\r\nC3_02=0\r\nC3_03=0\r\n"
                                    "[SET4]\r\nC4_C1=0\r\n";
        QCOMPARE(ReadBytes(IniPath()), expected);
    }

    void storedSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QString>("folder"); // empty: the program folder
        QTest::addColumn<int>("container");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("aspect");
        QTest::addColumn<bool>("twoPass");

        QTest::newRow("only M_LEFT") << QByteArray("[SET]\r\nM_LEFT=100\r\n") << QPoint(100, 20) << QString() << -1
                                     << 0 << 0 << false;
        QTest::newRow("clamped") << QByteArray("[SET2]\r\nC2_02_01=12345\r\nC2_03_01=-5\r\n") << QPoint(20, 20)
                                 << QString() << -1 << 9999 << 0 << false;
        QTest::newRow("C4_C1 of 2") << QByteArray("[SET4]\r\nC4_C1=2\r\n") << QPoint(20, 20) << QString() << -1 << 0
                                    << 0 << true;
        QTest::newRow("hexadecimal") << QByteArray("[SET]\r\nM_LEFT=0x64\r\nM_TOP=$32\r\n") << QPoint(100, 50)
                                     << QString() << -1 << 0 << 0 << false;
        QTest::newRow("not a number") << QByteArray("[SET]\r\nM_LEFT=abc\r\n[SET2]\r\nC2_01=x\r\n") << QPoint(20, 20)
                                      << QString() << -1 << 0 << 0 << false;
        QTest::newRow("trailing separator") << QByteArray("[SET1]\r\nC1_03=/video/\r\n") << QPoint(20, 20)
                                            << QStringLiteral("/video") << -1 << 0 << 0 << false;
        QTest::newRow("empty folder") << QByteArray("[SET1]\r\nC1_03=\r\n") << QPoint(20, 20) << QString() << -1
                                      << 0 << 0 << false;
        QTest::newRow("other case") << QByteArray("[set]\r\nm_left=100\r\n[Set2]\r\nc2_01=3\r\nC2_03_01=16\r\n")
                                    << QPoint(100, 20) << QString() << 3 << 0 << 16 << false;
        QTest::newRow("index beyond the rows") << QByteArray("[SET2]\r\nC2_01=13\r\n") << QPoint(20, 20) << QString()
                                               << -1 << 0 << 0 << false;
        QTest::newRow("index below -1") << QByteArray("[SET2]\r\nC2_01=-2\r\n") << QPoint(20, 20) << QString() << -1
                                        << 0 << 0 << false;
        QTest::newRow("automatic row") << QByteArray("[SET2]\r\nC2_01=0\r\n") << QPoint(20, 20) << QString() << 0
                                       << 0 << 0 << false;
        QTest::newRow("part of the top bar on screen") << QByteArray("[SET]\r\nM_LEFT=-400\r\nM_TOP=0\r\n")
                                                       << QPoint(-400, 0) << QString() << -1 << 0 << 0 << false;
    }

    void storedSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QPoint, position);
        QFETCH(QString, folder);
        QFETCH(int, container);
        QFETCH(int, width);
        QFETCH(int, aspect);
        QFETCH(bool, twoPass);
        QVERIFY(WriteBytes(IniPath(), ini));
        auto w = NewWindow();
        w->FormActivate();
        QCOMPARE(w->pos(), position);
        QCOMPARE(w->C1_03->Text(), folder.isEmpty() ? Folder() : folder);
        QCOMPARE(w->C2_01->ItemIndex(), container);
        QCOMPARE(w->C2_01->Color(), container == 0 ? kSilver : kYellow);
        QCOMPARE(w->C2_02_01->Value(), width);
        QCOMPARE(w->C2_02_02->Value(), 0);
        QCOMPARE(w->C2_02_01->Color(), kSilver); // the height is 0
        QCOMPARE(w->C2_03_01->Value(), aspect);
        QCOMPARE(w->CheckBox1->isChecked(), twoPass);
        QCOMPARE(w->C2_00->ItemIndex(), -1);

        // The next close writes what the controls show.
        w->FormClose();
        const QString text = QString::fromLatin1(ReadBytes(IniPath()));
        QVERIFY2(text.contains(QStringLiteral("C4_C1=%1\r\n").arg(twoPass ? 1 : 0), Qt::CaseInsensitive), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("C2_02_01=%1\r\n").arg(width), Qt::CaseInsensitive), qPrintable(text));
    }

    void unreachablePositionMovedBack()
    {
        QVERIFY(!QGuiApplication::screens().isEmpty());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        for (const QByteArray &ini : {QByteArray("[SET]\r\nM_LEFT=-5000\r\nM_TOP=20\r\n"),
                                      QByteArray("[SET]\r\nM_LEFT=20\r\nM_TOP=-20\r\n"),
                                      QByteArray("[SET]\r\nM_LEFT=20\r\nM_TOP=100000\r\n")}) {
            QVERIFY(WriteBytes(IniPath(), ini));
            auto w = NewWindow();
            w->FormActivate();
            QCOMPARE(w->pos(), area.topLeft() + QPoint(20, 20));
        }
    }

    void storedPresetIndexIsNotApplied()
    {
        QVERIFY(WriteBytes(IniPath(), "[SET2]\r\nC2_00=3\r\nC2_01=2\r\nC2_05=500\r\n"));
        auto w = NewWindow();
        w->FormActivate();
        QCOMPARE(w->C2_00->ItemIndex(), 3);
        QCOMPARE(w->C2_00->GetSelectedText(), QStringLiteral("Third"));
        QCOMPARE(w->C2_01->ItemIndex(), 2); // the preset would have chosen FLV
        QCOMPARE(w->C2_05->Value(), 500);
        QCOMPARE(w->C2_05->Color(), kYellow);
        QCOMPARE(w->C2_06->Value(), 0);
    }

    void secondActivationDoesNotRead()
    {
        QVERIFY(WriteBytes(IniPath(), "[SET]\r\nM_LEFT=100\r\n"));
        auto w = NewWindow();
        w->FormActivate();
        QVERIFY(WriteBytes(IniPath(), "[SET]\r\nM_LEFT=200\r\n[SET2]\r\nC2_05=700\r\n"));
        w->FormActivate();
        QCOMPARE(w->x(), 100);
        QCOMPARE(w->C2_05->Value(), 0);
    }

    void roundTripThroughClose()
    {
        QVERIFY(WriteBytes(IniPath(), "; kept\r\n[SET]\r\nM_LEFT=60\r\nM_TOP=70\r\n[Other]\r\nx=1\r\n"));
        const QString folder = Folder() + QStringLiteral("/出力 先");
        {
            auto w = NewWindow();
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QCOMPARE(w->Tag, 1); // the first show read the file
            w->move(60, 70);
            w->C1_03->SetText(folder);
            w->C2_00->SetItemIndex(2);
            w->C2_01->SetItemIndex(12);
            w->C2_02_01->SetValue(9999);
            w->C2_02_02->SetValue(1);
            w->C2_03_01->SetValue(16);
            w->C2_03_02->SetValue(99);
            w->C2_04->SetItemIndex(33);
            w->C2_05->SetValue(10000);
            w->C2_06->SetValue(999);
            w->C3_01->SetItemIndex(51);
            w->C3_02->SetValue(999);
            w->C3_03->SetValue(99999);
            w->CheckBox1->setChecked(true);
            QVERIFY(w->close());
        }
        const QByteArray bytes = ReadBytes(IniPath());
        QVERIFY(bytes.startsWith("; kept\r\n[SET]\r\nM_LEFT=60\r\nM_TOP=70\r\n[Other]\r\nx=1\r\n[SET1]\r\n"));
        QCOMPARE(DecodeText(bytes).encoding, TextEncoding::ShiftJis);

        auto w = NewWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->pos(), QPoint(60, 70));
        QCOMPARE(w->C1_03->Text(), folder);
        QCOMPARE(w->C2_00->ItemIndex(), 2);
        QCOMPARE(w->C2_01->ItemIndex(), 12);
        QCOMPARE(w->C2_02_01->Value(), 9999);
        QCOMPARE(w->C2_02_02->Value(), 1);
        QCOMPARE(w->C2_03_01->Value(), 16);
        QCOMPARE(w->C2_03_02->Value(), 99);
        QCOMPARE(w->C2_04->ItemIndex(), 33);
        QCOMPARE(w->C2_05->Value(), 10000);
        QCOMPARE(w->C2_06->Value(), 999);
        QCOMPARE(w->C3_01->ItemIndex(), 51);
        QCOMPARE(w->C3_02->Value(), 999);
        QCOMPARE(w->C3_03->Value(), 99999);
        QVERIFY(w->CheckBox1->isChecked());
        for (QWidget *control : OptionControls(*w))
            QCOMPARE(ColorOf(control), kYellow);
        QCOMPARE(w->C2_03_01->Color(), kYellow);
        QCOMPARE(w->C2_03_02->Color(), kYellow);
        w->hide();
    }

    void failedWriteStillCloses()
    {
        auto w = NewWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // The settings file cannot be created: a folder stands in its place.
        QVERIFY(QDir().mkpath(IniPath()));
        QVERIFY(w->close());
        QVERIFY(!w->isVisible());
        QCOMPARE(messages_, QStringList{IniPath() + QStringLiteral(" に書き込めません.")});
    }

    // --- presets ---------------------------------------------------------------

    void presetTable_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<PresetValues>("expected");
        auto v = [](int c, int w, int h, int vc, int fps, int vk, int ac, int hz, int ak) {
            PresetValues p;
            p.container = c; p.width = w; p.height = h; p.videoCodec = vc; p.frameRate = fps;
            p.videoBitRate = vk; p.audioCodec = ac; p.sampleRate = hz; p.audioBitRate = ak;
            return p;
        };
        QTest::newRow("DVD") << QString::fromLatin1(kDvdRow) << v(1, 640, 480, 31, 30, 1000, 27, 44100, 128);
        QTest::newRow("640") << "a,AVI,640,MPEG4" << v(1, 0, 0, 17, 0, 0, 0, 0, 0);
        QTest::newRow("640x") << "a,AVI,640x" << v(1, 640, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("x480") << "a,AVI,x480" << v(1, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("29.97fps") << "a,,,,29.97fps" << v(0, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("30fpsX") << "a,,,,30fpsX" << v(0, 0, 0, 0, 30, 0, 0, 0, 0);
        QTest::newRow("20000kbps") << "a,,,,,20000kbps" << v(0, 0, 0, 0, 0, 10000, 0, 0, 0);
        QTest::newRow("MPEG4") << "a,MPEG4" << v(1, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("avi") << "a,avi" << v(0, 0, 0, 0, 0, 0, 0, 0, 0);
        QTest::newRow("PCM") << "a,,,,,,PCM" << v(0, 0, 0, 0, 0, 0, 3, 0, 0);
        QTest::newRow("three columns") << "a,MP4,320x240" << v(4, 320, 240, 0, 0, 0, 0, 0, 0);
        QTest::newRow("blank inside a column")
            << "DVD,AVI,640x480,LIBXVID,30 fps,1000kbps,LIBMP3LAME,44100Hz,128kbps" << v(1, 640, 480, 31, 0, 0, 0, 0, 0);
        QTest::newRow("empty line") << "" << v(0, 0, 0, 0, 0, 0, 0, 0, 0);
    }

    void presetTable()
    {
        QFETCH(QString, row);
        QFETCH(PresetValues, expected);
        QVERIFY(WriteBytes(ProfilePath(), QByteArray(kDvdRow) + "\r\n" + row.toUtf8() + "\r\n"));
        auto w = NewWindow();
        w->FormActivate();
        w->C2_03_01->SetValue(4);
        w->C2_03_02->SetValue(3);
        w->C2_03_01Change();
        w->CheckBox1->setChecked(true);

        // Another preset first, so that every value has to be reset.
        Pick(w->C2_00, 1);
        Pick(w->C2_00, 2);
        QCOMPARE(w->C2_00->TargetColumn(), 0);
        QCOMPARE(w->C2_01->ItemIndex(), expected.container);
        QCOMPARE(w->C2_02_01->Value(), expected.width);
        QCOMPARE(w->C2_02_02->Value(), expected.height);
        QCOMPARE(w->C2_04->ItemIndex(), expected.videoCodec);
        QCOMPARE(w->C2_06->Value(), expected.frameRate);
        QCOMPARE(w->C2_05->Value(), expected.videoBitRate);
        QCOMPARE(w->C3_01->ItemIndex(), expected.audioCodec);
        QCOMPARE(w->C3_03->Value(), expected.sampleRate);
        QCOMPARE(w->C3_02->Value(), expected.audioBitRate);

        QCOMPARE(w->C2_01->Color(), Expected(CatalogueBoxColor(expected.container)));
        QCOMPARE(w->C2_02_01->Color(), Expected(PairColor(expected.width, expected.height)));
        QCOMPARE(w->C2_02_02->Color(), Expected(PairColor(expected.width, expected.height)));
        QCOMPARE(w->C2_04->Color(), Expected(CatalogueBoxColor(expected.videoCodec)));
        QCOMPARE(w->C2_06->Color(), Expected(NumberColor(expected.frameRate)));
        QCOMPARE(w->C2_05->Color(), Expected(NumberColor(expected.videoBitRate)));
        QCOMPARE(w->C3_01->Color(), Expected(CatalogueBoxColor(expected.audioCodec)));
        QCOMPARE(w->C3_03->Color(), Expected(NumberColor(expected.sampleRate)));
        QCOMPARE(w->C3_02->Color(), Expected(NumberColor(expected.audioBitRate)));

        // Not part of a preset.
        QCOMPARE(w->C2_03_01->Value(), 4);
        QCOMPARE(w->C2_03_02->Value(), 3);
        QCOMPARE(w->C2_03_01->Color(), kYellow);
        QVERIFY(w->CheckBox1->isChecked());
        QCOMPARE(w->C2_00->ItemIndex(), 2);
    }

    void dvdAllYellowManualAllSilver()
    {
        auto w = NewWindow();
        w->FormActivate();
        Pick(w->C2_00, 1);
        for (QWidget *control : OptionControls(*w))
            QCOMPARE(ColorOf(control), kYellow);
        Pick(w->C2_00, 0); // the manual row
        for (QWidget *control : OptionControls(*w))
            QCOMPARE(ColorOf(control), kSilver);
        for (TMultiColComboBox *box : {w->C2_01, w->C2_04, w->C3_01})
            QCOMPARE(box->ItemIndex(), 0);
        QCOMPARE(w->C2_00->GetSelectedText(), QStringLiteral("手動"));
    }

    void sizePairByHand()
    {
        auto w = NewWindow();
        w->FormActivate();
        Pick(w->C2_00, 1);
        w->C2_02_02->SetValue(0); // raises the field's own change event
        QCOMPARE(w->C2_02_01->Color(), kSilver);
        QCOMPARE(w->C2_02_02->Color(), kSilver);
        w->C2_02_02->SetValue(480);
        QCOMPARE(w->C2_02_01->Color(), kYellow);
        QCOMPARE(w->C2_02_02->Color(), kYellow);
        w->C2_02_01->SetValue(0);
        QCOMPARE(w->C2_02_01->Color(), kSilver);
        QCOMPARE(w->C2_02_02->Color(), kSilver);
        w->C2_03_02->SetValue(9);
        QCOMPARE(w->C2_03_01->Color(), kSilver);
        w->C2_03_01->SetValue(16);
        QCOMPARE(w->C2_03_01->Color(), kYellow);
        QCOMPARE(w->C2_03_02->Color(), kYellow);
        // A box picked by hand: row 0 silver, any other row yellow.
        Pick(w->C2_04, 0);
        QCOMPARE(w->C2_04->Color(), kSilver);
        Pick(w->C2_04, 5);
        QCOMPARE(w->C2_04->Color(), kYellow);
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
        const QByteArray before = ReadBytes(ProfilePath());

        answers_ = {QStringLiteral("my dvd, \"hq\"\t2")};
        w->CButton11Click();
        const QString name = QStringLiteral("my　dvd，　＂hq＂　2");
        const QString line = name + QStringLiteral(",AVI,640x480,,30fps,2500kbps,LIBMP3LAME,44100Hz,128kbps");
        QCOMPARE(inputs_, QStringList{QStringLiteral("名前の入力|一発設定名(&I):")});
        QCOMPARE(messages_, (QStringList{QStringLiteral("現設定を一発設定として記憶します。"),
                                         QStringLiteral("一発設定を記憶しました。\n"
                                                        "記憶した設定を編集する場合は 同梱の profile.txt(CSV仕様)を\n"
                                                        "テキストエディター等で直接編集してください。")}));
        QCOMPARE(ReadBytes(ProfilePath()), before + ToShiftJis(line) + "\r\n");
        QCOMPARE(w->Presets().Lines().last(), line);
        QCOMPARE(w->C2_00->ItemCount(), rows + 1);
        QCOMPARE(w->C2_00->ItemIndex(), rows);
        QCOMPARE(w->C2_00->GetSelectedText(), name);
        // Selected, not applied: the options keep their values.
        QCOMPARE(w->C2_04->ItemIndex(), -1);
        QCOMPARE(w->C2_05->Value(), 2500);

        // The same name again: a second row of that name.
        messages_.clear();
        answers_ = {QStringLiteral("my dvd, \"hq\"\t2")};
        w->CButton11Click();
        QCOMPARE(w->C2_00->ItemCount(), rows + 2);
        QCOMPARE(w->C2_00->Item(rows + 1), line);
        QCOMPARE(ReadBytes(ProfilePath()), before + ToShiftJis(line) + "\r\n" + ToShiftJis(line) + "\r\n");

        // Picked later, the stored row gives back what was stored.
        Pick(w->C2_00, 0);
        Pick(w->C2_00, rows);
        QCOMPARE(w->C2_05->Value(), 2500);
        QCOMPARE(w->C2_04->ItemIndex(), 0);
        QCOMPARE(w->C2_01->ItemIndex(), 1);
    }

    void storeWithoutName()
    {
        auto w = NewWindow();
        w->FormActivate();
        const QByteArray before = ReadBytes(ProfilePath());
        const int rows = w->C2_00->ItemCount();
        answers_ = {QString()}; // an empty name; a cancel gives the same
        w->CButton11Click();
        w->CButton11Click(); // no answer prepared: cancelled
        QCOMPARE(messages_, (QStringList{QStringLiteral("現設定を一発設定として記憶します。"),
                                         QStringLiteral("名前を入力してください。"),
                                         QStringLiteral("現設定を一発設定として記憶します。"),
                                         QStringLiteral("名前を入力してください。")}));
        QCOMPARE(ReadBytes(ProfilePath()), before);
        QCOMPARE(w->C2_00->ItemCount(), rows);
        QCOMPARE(w->Presets().Lines().size(), 4);
    }

    void failedStore()
    {
        auto w = NewWindow();
        w->FormActivate();
        Pick(w->C2_00, 2);
        const int rows = w->C2_00->ItemCount();
        const QByteArray before = ReadBytes(ProfilePath());
        // The program folder disappears: the file cannot be created.
        const QString profile = ProfilePath();
        QVERIFY(QDir(Folder()).removeRecursively());
        answers_ = {QStringLiteral("lost")};
        w->CButton11Click();
        QCOMPARE(messages_, (QStringList{QStringLiteral("現設定を一発設定として記憶します。"),
                                         QStringLiteral("ファイル %1 を作成できません.").arg(profile)}));
        QCOMPARE(w->C2_00->ItemCount(), rows);
        QCOMPARE(w->C2_00->ItemIndex(), 2);
        QCOMPARE(w->Presets().Lines().last(), QStringLiteral("lost,MP4,320x240,MPEG4,15fps,300kbps,LIBFAAC,22050Hz,64kbps"));

        // The next store that succeeds writes the kept line too.
        QVERIFY(QDir().mkpath(Folder()));
        messages_.clear();
        answers_ = {QStringLiteral("next")};
        w->CButton11Click();
        QCOMPARE(messages_.size(), 2);
        QCOMPARE(w->C2_00->ItemCount(), rows + 1);
        QCOMPARE(w->C2_00->GetSelectedText(), QStringLiteral("next"));
        QCOMPARE(ReadBytes(profile), before + "lost,MP4,320x240,MPEG4,15fps,300kbps,LIBFAAC,22050Hz,64kbps\r\n"
                                              "next,MP4,320x240,MPEG4,15fps,300kbps,LIBFAAC,22050Hz,64kbps\r\n");
    }
};

QTEST_MAIN(TestMainFormOptions)
#include "test_main_form_options.moc"
