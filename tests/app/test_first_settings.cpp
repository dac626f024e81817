// The settings file of a first start (tools/first_settings, written by
// scripts/bootstrap run): the window that reads it shows what it would show
// after the user picked the first preset, chose the source folder and ticked
// "タイトル結合"; and the file holds the bytes the window writes on close for
// those choices.
#include "app/main_form.h"
#include "options/catalogue.h"
#include "options/option_rules.h"
#include "platform/dialogs.h"
#include "platform/text_encoding.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QTest>

#include <optional>

using namespace zento;
using namespace zento::test;

namespace {

// What a window shows of the settings the file keeps.
struct Shown {
    int preset = -1;
    QList<int> options;   // the catalogue boxes, then the number fields
    QList<QColor> colors; // of the same controls
    bool twoPass = false;
    bool joined = false;
    QString drive;
    QString keptFolder;
    QString output;
    friend bool operator==(const Shown &, const Shown &) = default;
};

QString Describe(const Shown &s)
{
    QStringList colors;
    for (const QColor &c : s.colors)
        colors << c.name();
    QStringList options;
    for (int v : s.options)
        options << QString::number(v);
    return QStringLiteral("preset %1 options [%2] colours [%3] two-pass %4 joined %5 drive %6 kept %7 output %8")
        .arg(s.preset)
        .arg(options.join(','), colors.join(','))
        .arg(s.twoPass)
        .arg(s.joined)
        .arg(s.drive, s.keptFolder, s.output);
}

Shown ShownBy(const TMainForm1 &w)
{
    Shown s;
    s.preset = w.C2_00->ItemIndex();
    for (TMultiColComboBox *box : {w.C2_01, w.C2_04, w.C3_01}) {
        s.options << box->ItemIndex();
        s.colors << box->Color();
    }
    for (TSpinEdit *spin : {w.C2_02_01, w.C2_02_02, w.C2_03_01, w.C2_03_02, w.C2_06, w.C2_05, w.C3_03, w.C3_02}) {
        s.options << spin->Value();
        s.colors << spin->Color();
    }
    s.twoPass = w.CheckBox1->isChecked();
    s.joined = w.CheckBox2->isChecked();
    s.drive = w.DriveComboBox1->Drive();
    s.keptFolder = w.DriveComboBox1->KeptFolder();
    s.output = w.C1_03->Text();
    return s;
}

// The options a preset sets, in the order of Shown::options (aspect 0:0).
QList<int> OptionsOf(const PresetValues &v)
{
    return {v.container, v.videoCodec, v.audioCodec,   v.width,      v.height,      0,
            0,           v.frameRate,  v.videoBitRate, v.sampleRate, v.audioBitRate};
}

QByteArray ShiftJisBytes(const QString &text)
{
    TextEncoding encoding = TextEncoding::ShiftJis;
    return EncodeText(text, encoding);
}

} // namespace

class TestFirstSettings : public QObject {
    Q_OBJECT

    std::optional<DialogRecorder> dialogs_;
    QString chooserAnswer_;

private slots:
    void init()
    {
        dialogs_.emplace();
        SetFolderChooserHook([this](const QString &, const QString &) { return chooserAnswer_; });
    }
    void cleanup()
    {
        SetFolderChooserHook(nullptr);
        dialogs_.reset();
    }

    void firstStartShowsFirstPresetAndSource_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QString>("source"); // below the program folder
        // The first preset's options; none: as the user's own pick shows them.
        QTest::addColumn<QList<int>>("expected");
        using C = Catalogue;
        QTest::newRow("shipped presets") << ShippedProfile() << "sample-dvd" << QList<int>();
        QTest::newRow("UTF-8, Japanese folder")
            << QByteArray("\xEF\xBB\xBF") +
                   QStringLiteral("高画質,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps\r\n"
                                  "二番目,FLV\r\n")
                       .toUtf8()
            << "ディスク/サンプル"
            << OptionsOf({.container = RowWithId(C::Containers, "AVI"),
                          .width = 640,
                          .height = 480,
                          .videoCodec = RowWithId(C::VideoCodecs, "LIBXVID"),
                          .frameRate = 30,
                          .videoBitRate = 1000,
                          .audioCodec = RowWithId(C::AudioCodecs, "LIBMP3LAME"),
                          .sampleRate = 44100,
                          .audioBitRate = 128});
        // Quoted name, numbers beyond their fields, columns missing: the
        // window's rules bring them in range or leave automatic and 0.
        QTest::newRow("Shift-JIS, odd first row")
            << ShiftJisBytes(QStringLiteral("\"大きい, 短い\",WMV,20000x100,,2000fps\nSecond,MP4\n")) << "d v d"
            << OptionsOf(
                   {.container = RowWithId(C::Containers, "WMV"), .width = 9999, .height = 100, .frameRate = 999});
    }
    void firstStartShowsFirstPresetAndSource()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QString, source);
        QFETCH(QList<int>, expected);
        ProgramFolder program(profile);
        QVERIFY(program.IsValid());
        const QString folder = program.File(source);
        QVERIFY(QDir().mkpath(folder + "/VIDEO_TS"));
        const QString ini = program.File("DVD_zento.ini");

        // The first start: the tool writes the file, the window reads it.
        const QString said = Run(QStringLiteral(ZENTO_FIRST_SETTINGS), {program.Path(), folder});
        QVERIFY2(!said.startsWith("failed"), qPrintable(said));
        const QByteArray written = ReadFile(ini);
        QVERIFY(!written.isEmpty());
        Shown first;
        {
            TMainForm1 window(program.Executable());
            window.FormActivate();
            first = ShownBy(window);
        }

        // The same choices made by hand in a window without the file.
        QVERIFY(QFile::remove(ini));
        TMainForm1 window(program.Executable());
        window.FormActivate();
        window.C2_00->SetItemIndex(1);
        emit window.C2_00->activated(1);
        chooserAnswer_ = folder;
        window.DriveComboBox1->PickFolder();
        window.CheckBox2->click();
        const Shown byHand = ShownBy(window);
        QVERIFY2(first == byHand, qPrintable(Describe(first) + "\n  by hand: " + Describe(byHand)));

        QCOMPARE(first.preset, 1);
        QVERIFY(first.joined);
        QVERIFY(!first.twoPass);
        QCOMPARE(first.drive, folder);
        QCOMPARE(first.keptFolder, folder);
        QCOMPARE(first.output, program.Path()); // the program folder's own default
        if (!expected.isEmpty())
            QCOMPARE(first.options, expected);
        else
            QVERIFY2(first.options.first() > 0, qPrintable(Describe(first))); // a container is set

        // The bytes the window writes on close, apart from its position and
        // output folder, which the first file leaves to the window.
        window.FormClose();
        const QByteArray closed = ReadFile(ini);
        const qsizetype options = closed.indexOf("[SET2]");
        QVERIFY2(options > 0, closed.constData());
        for (const QByteArray &line : closed.first(options).split('\n'))
            QVERIFY2(!line.startsWith('[') || line == "[SET]\r" || line == "[SET1]\r", line.constData());
        QCOMPARE(written, closed.mid(options));
    }

    void settingsFileThereIsKept()
    {
        ProgramFolder program;
        QVERIFY(program.IsValid());
        const QString ini = program.File("DVD_zento.ini");
        const QByteArray own = "[SET2]\r\nC2_00=3\r\n";
        QVERIFY(WriteFile(ini, own));
        const QString said = Run(QStringLiteral(ZENTO_FIRST_SETTINGS), {program.Path(), program.File("sample-dvd")});
        QVERIFY2(!said.startsWith("failed"), qPrintable(said));
        QCOMPARE(ReadFile(ini), own);
    }
};

QTEST_MAIN(TestFirstSettings)
#include "test_first_settings.moc"
