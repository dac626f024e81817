// From the listing of a small VIDEO_TS to playable files, with the real encoder.
#include "app/main_form.h"
#include "convert/file_size.h"
#include "convert/progress_form.h"
#include "options/catalogue.h"
#include "platform/dialogs.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/color_button.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace zento;

namespace
{

int RowWithId(Catalogue catalogue, const QString &id)
{
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (CatalogueRowId(rows.at(i)) == id)
            return i;
    qFatal("no catalogue row %s", qPrintable(id));
}

bool Run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return false;
    const QByteArray all = process.readAll();
    if (output)
        *output = all;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), all.right(600).constData());
        return false;
    }
    return true;
}

// "format=avi streams=mpeg4,mp3"
QString Probe(const QString &file)
{
    QByteArray output;
    if (!Run(QStringLiteral("ffprobe"),
             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
              QStringLiteral("format=format_name:stream=codec_name"), QStringLiteral("-of"),
              QStringLiteral("default=nw=1"), file},
             &output))
        return QStringLiteral("unreadable");
    QString format;
    QStringList streams;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("format_name="))
            format = QString::fromUtf8(line.mid(12));
        else if (line.startsWith("codec_name="))
            streams << QString::fromUtf8(line.mid(11));
    }
    return QStringLiteral("format=%1 streams=%2").arg(format, streams.join(QLatin1Char(',')));
}

} // namespace

class TestConversionE2e : public QObject
{
    Q_OBJECT
  private:
    QTemporaryDir root_;
    QString disc_;
    QString program_;

  private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QFAIL("the encoder ffmpeg (with ffprobe) must be on PATH");
        QVERIFY(root_.isValid());
        disc_ = root_.filePath(QStringLiteral("disc"));
        program_ = root_.filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(disc_ + QStringLiteral("/VIDEO_TS")));
        QVERIFY(QDir().mkpath(program_));
        QVERIFY(QFile::copy(QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt"),
                            program_ + QStringLiteral("/profile.txt")));
        // a little over 5 s each: the thumbnail is taken 5 s in
        for (int n = 1; n <= 2; ++n) {
            const QString vob = disc_ + QStringLiteral("/VIDEO_TS/VTS_01_%1.VOB").arg(n);
            QVERIFY(
                Run(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=352x240:rate=30000/1001"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=frequency=%1:sample_rate=48000").arg(440 * n), QStringLiteral("-t"),
                     QStringLiteral("5.6"), QStringLiteral("-target"), QStringLiteral("ntsc-dvd"),
                     QStringLiteral("-s"), QStringLiteral("352x240"), QStringLiteral("-y"), vob}));
        }
    }

    void convertsListedTitles_data()
    {
        QTest::addColumn<int>("container");
        QTest::addColumn<int>("video");
        QTest::addColumn<int>("audio");
        QTest::addColumn<bool>("twoPass");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("probe");
        const int avi = RowWithId(Catalogue::Containers, QStringLiteral("AVI"));
        const int mpeg4 = RowWithId(Catalogue::VideoCodecs, QStringLiteral("MPEG4"));
        const int mp3 = RowWithId(Catalogue::AudioCodecs, QStringLiteral("LIBMP3LAME"));
        QTest::newRow("AVI MPEG4 MP3 one pass") << avi << mpeg4 << mp3 << false << "avi"
                                                << "format=avi streams=mpeg4,mp3";
        QTest::newRow("AVI MPEG4 MP3 two passes") << avi << mpeg4 << mp3 << true << "avi"
                                                  << "format=avi streams=mpeg4,mp3";
        QTest::newRow("source container, streams copied") << 0 << 0 << 0 << false << "VOB"
                                                          << "format=mpeg streams=mpeg2video,ac3";
    }
    void convertsListedTitles()
    {
        QFETCH(int, container);
        QFETCH(int, video);
        QFETCH(int, audio);
        QFETCH(bool, twoPass);
        QFETCH(QString, extension);
        QFETCH(QString, probe);

        QStringList messages;
        int beeps = 0;
        SetDialogHooks({[&](const QString &text) { messages << text; }, [&] { ++beeps; }, nullptr});
        const QString out =
            root_.filePath(QStringLiteral("out/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
        QTemporaryDir current; // the program's current folder: nothing may land there
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(current.path());

        {
            TMainForm1 w(program_ + QStringLiteral("/DVD_zento"));
            w.DriveComboBox1->SetDrive(disc_);
            w.CButton12Click();
            QCOMPARE(w.CheckListBox1->Count(), 2);
            QVERIFY(w.CButton10->isEnabled());
            w.C1_03->SetText(out);
            w.C2_01->SetItemIndex(container);
            w.C2_04->SetItemIndex(video);
            w.C3_01->SetItemIndex(audio);
            if (video > 0) {
                w.C2_02_01->SetValue(176);
                w.C2_02_02->SetValue(120);
                w.C2_05->SetValue(300);
                w.C3_02->SetValue(64);
                w.C3_03->SetValue(44100);
            }
            w.CheckBox1->setChecked(twoPass);

            // what the progress window shows while the encoder works
            bool picture = false;
            bool thumbnailLeft = false;
            QStringList sizes;
            QTimer sampler;
            QObject::connect(&sampler, &QTimer::timeout, [&] {
                if (TProgressForm1 *form = w.ProgressForm1) {
                    picture = picture || form->HasPicture();
                    sizes << form->Label2->text();
                }
                thumbnailLeft = thumbnailLeft || QFile::exists(program_ + QStringLiteral("/_thumb.jpg"));
            });
            sampler.start(40);
            w.CButton10->click();
            sampler.stop();

            QCOMPARE(messages, QStringList());
            QCOMPARE(beeps, 1);
            QVERIFY(w.isEnabled());
            QVERIFY(w.ProgressForm1.isNull());
            QVERIFY(picture);
            QVERIFY(!thumbnailLeft);
            QVERIFY(!QFile::exists(program_ + QStringLiteral("/_thumb.jpg")));
            const QString sourceKb = QString::number(FileSize(w.CheckListBox1->ItemText(0)) / 1000);
            QVERIFY2(sizes.contains(QRegularExpression(QStringLiteral("^%1KB -> \\d+KB$").arg(sourceKb))),
                     qPrintable(sizes.join(QLatin1Char('|'))));
            for (int i = 0; i < 2; ++i)
                QVERIFY(w.CheckListBox2->IsItemChecked(i));
        }
        QDir::setCurrent(oldCurrent);
        SetDialogHooks({});

        QStringList expected;
        for (int n = 1; n <= 2; ++n) {
            const QString file = out + QStringLiteral("/VTS_01_%1.%2").arg(n).arg(extension);
            expected << QFileInfo(file).fileName();
            QCOMPARE(Probe(file), probe);
        }
        // the outputs and nothing else: the pass logs stayed in the run's own folder
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name), expected);
        QCOMPARE(QDir(current.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_MAIN(TestConversionE2e)
#include "test_conversion_e2e.moc"
