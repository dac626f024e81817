// Every preset of the shipped profile.txt converts a short DVD title with the
// real encoder, picked in the main window and run as the convert button runs it.
#include "app/main_form.h"
#include "options/comma_text.h"
#include "options/preset_file.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace zento;

namespace {

// What the prober calls what a preset's IDs ask for; the automatic rows keep
// the title's own MPEG-2 video, AC-3 audio and program stream.
const QHash<QString, QString> kFormats = {
    {"自動", "mpeg"},
    {"MPG", "mpeg"},
    {"M2P", "mpeg"},
    {"AVI", "avi"},
    {"WMV", "asf"},
    {"ASF", "asf"},
    {"FLV", "flv"},
    {"OGM", "ogg"},
    {"RM", "rm"},
    {"SWF", "swf"},
    {"MP4", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"3GP", "mov,mp4,m4a,3gp,3g2,mj2"},
    {"MOV", "mov,mp4,m4a,3gp,3g2,mj2"},
};
const QHash<QString, QString> kVideoCodecs = {
    {"自動", "mpeg2video"},
    {"LIBX264", "h264"},
    {"H263", "h263"},
    {"LIBXVID", "mpeg4"},
    {"MPEG4", "mpeg4"},
    {"WMV1", "wmv1"},
    {"WMV2", "wmv2"},
    {"FLV", "flv1"},
    {"LIBTHEORA", "theora"},
    {"MPEG1VIDEO", "mpeg1video"},
    {"MPEG2VIDEO", "mpeg2video"},
};
const QHash<QString, QString> kAudioCodecs = {
    {"自動", "ac3"},      {"LIBFAAC", "aac"}, {"LIBMP3LAME", "mp3"}, {"WMAV2", "wmav2"},
    {"VORBIS", "vorbis"}, {"AC3", "ac3"},     {"MP2", "mp2"},
};

// The title: 2.5 s of DVD video, 720x480 at 29.97 fps, AC-3 stereo at 48000 Hz.
constexpr int kSourceWidth = 720, kSourceHeight = 480, kSourceRate = 48000;
const QString kSourceFrameRate = "30000/1001";

QString Run(const QString &program, const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool done =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromUtf8(done ? process.readAllStandardOutput() : process.readAllStandardError());
}

// A number at the start of a column ("854x480" -> 854, "15fps" -> 15).
int Leading(const QString &text)
{
    int value = 0;
    for (QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

} // namespace

class TestShippedPresets : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    const QString disc_ = root_.filePath("disc");
    test::ProgramFolder program_;
    std::unique_ptr<TMainForm1> window_;

private slots:
    void initTestCase()
    {
        QVERIFY2(test::EncoderToolsOnPath(), "the encoder ffmpeg (with ffprobe) must be on PATH");
        QVERIFY(program_.IsValid() && QDir().mkpath(disc_ + "/VIDEO_TS"));
        bool ok = false;
        const QString error =
            Run("ffmpeg",
                {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=720x480:rate=30000/1001", "-f", "lavfi",
                 "-i", "sine=frequency=440:sample_rate=48000", "-t", "2.5", "-target", "ntsc-dvd", "-ac", "2", "-y",
                 disc_ + "/VIDEO_TS/VTS_01_1.VOB"},
                &ok);
        QVERIFY2(ok, qPrintable(error));

        // The window as the user has it: shown, so it asks the encoder what it has.
        window_ = std::make_unique<TMainForm1>(program_.Executable());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QTRY_VERIFY_WITH_TIMEOUT(window_->Capabilities().IsKnown(), 5000);
        window_->DriveComboBox1->SetDrive(disc_);
        window_->CButton12Click();
        QCOMPARE(window_->CheckListBox1->Count(), 1);
    }

    void cleanupTestCase() { window_.reset(); }

    void convertsWithEveryPreset_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<bool>("twoPass");
        const PresetFile presets = PresetFile::Load(ZENTO_SOURCE_DIR "/data/profile.txt");
        QVERIFY(presets.Lines().size() >= 8 && presets.Lines().size() <= 10);
        for (int i = 0; i < presets.Lines().size(); ++i) {
            const QStringList columns = SplitCommaText(presets.Lines().at(i));
            QTest::newRow(qPrintable(columns.value(0))) << i + 1 << columns << false;
            // the Xvid preset is also meant for two passes
            if (columns.value(3) == "LIBXVID")
                QTest::newRow(qPrintable(columns.value(0) + " two passes")) << i + 1 << columns << true;
        }
    }
    void convertsWithEveryPreset()
    {
        QFETCH(int, row);
        QFETCH(QStringList, columns);
        QFETCH(bool, twoPass);
        QCOMPARE(columns.size(), 9);
        const QString container = columns[1], video = columns[3], audio = columns[6];
        QVERIFY2(kFormats.contains(container) && kVideoCodecs.contains(video) && kAudioCodecs.contains(audio),
                 "a preset this test has no expectation for");

        // Pick the preset, then convert.
        TMainForm1 &w = *window_;
        test::DialogRecorder dialogs;
        w.C2_00->SetItemIndex(row);
        w.C2_00Change(w.C2_00);
        QCOMPARE(w.C2_01->GetSelectedText(), container);
        QCOMPARE(w.C2_04->GetSelectedText(), video);
        QCOMPARE(w.C3_01->GetSelectedText(), audio);
        // the preset's rows all work here
        for (TMultiColComboBox *box : {w.C2_01, w.C2_04, w.C3_01})
            QVERIFY2(!box->ItemUnavailable(box->ItemIndex()), qPrintable(box->GetSelectedText()));
        const QString out = root_.filePath(QString("out%1%2").arg(row).arg(twoPass ? "-2" : ""));
        w.C1_03->SetText(out);
        w.CheckBox1->setChecked(twoPass);
        w.CButton10Click();
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(dialogs.beeps, 1);

        const QString extension = container == "自動" ? "VOB" : container.toLower();
        const QString file = out + "/VTS_01_1." + extension;
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        bool ok = false;
        const QString probe = Run("ffprobe",
                                  {"-v", "error", "-of", "json", "-show_entries",
                                   "format=format_name,duration:stream=codec_type,codec_name,width,height,"
                                   "r_frame_rate,sample_rate",
                                   file},
                                  &ok);
        QVERIFY2(ok, qPrintable(probe));
        const QJsonObject json = QJsonDocument::fromJson(probe.toUtf8()).object();
        const QJsonObject format = json["format"].toObject();
        QCOMPARE(format["format_name"].toString(), kFormats[container]);
        const double duration = format["duration"].toString().toDouble();
        QVERIFY2(duration > 2.0 && duration < 3.2, qPrintable(QString::number(duration)));

        QJsonObject videoStream, audioStream;
        for (const QJsonValue &stream : json["streams"].toArray()) {
            const QJsonObject s = stream.toObject();
            QVERIFY2(videoStream.isEmpty() || s["codec_type"] != "video", "two video streams");
            QVERIFY2(audioStream.isEmpty() || s["codec_type"] != "audio", "two audio streams");
            (s["codec_type"] == "video" ? videoStream : audioStream) = s;
        }
        QCOMPARE(videoStream["codec_name"].toString(), kVideoCodecs[video]);
        QCOMPARE(audioStream["codec_name"].toString(), kAudioCodecs[audio]);

        const int width = Leading(columns[2]);
        const int height = Leading(columns[2].section(u'x', 1));
        QCOMPARE(videoStream["width"].toInt(), width > 0 ? width : kSourceWidth);
        QCOMPARE(videoStream["height"].toInt(), height > 0 ? height : kSourceHeight);
        // A preset's frame rate is the file's; 0 keeps the title's, with no frames added.
        const int frameRate = Leading(columns[4]);
        QCOMPARE(videoStream["r_frame_rate"].toString(),
                 frameRate > 0 ? QString("%1/1").arg(frameRate) : kSourceFrameRate);
        const int sampleRate = Leading(columns[7]);
        QCOMPARE(audioStream["sample_rate"].toString().toInt(), sampleRate > 0 ? sampleRate : kSourceRate);
    }
};

QTEST_MAIN(TestShippedPresets)
#include "test_shipped_presets.moc"
