// Source, output and program folder names with blanks, quotes, "$", ";", a
// leading "-", Japanese and characters Shift-JIS lacks: the encoder gets each
// path as one argument, absolute (so never as an option), exactly as named.
#include "support/fake_encoder.h"

#include "widgets/drive_combo_box.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace zento;
using test::FaultBench;
using test::ReadFile;
using test::WriteFile;

class TestFaultsNames : public QObject {
    Q_OBJECT
    QString current_ = QDir::currentPath();

private slots:
    void cleanup() { QDir::setCurrent(current_); }

    void eachPathOneArgument_data()
    {
        QTest::addColumn<QString>("source");  // below the temporary root
        QTest::addColumn<QString>("output");  // the output folder as typed, against the root
        QTest::addColumn<QString>("program"); // the program folder's name
        QTest::newRow("blanks") << "my disc/VIDEO_TS/VTS_01_1 a.VOB"
                                << "out put"
                                << "pro gram";
        QTest::newRow("double quotes") << "\"q\" \"/VIDEO_TS/VTS_01_\"1.VOB"
                                       << "o\"ut"
                                       << "p\"rog";
        QTest::newRow("single quotes") << "it's/VIDEO_TS/VTS_01_'1.VOB"
                                       << "o'ut"
                                       << "p'rog";
        QTest::newRow("dollar") << "$HOME $(id) `id`/VIDEO_TS/VTS_01_$1.VOB"
                                << "$PATH"
                                << "$0";
        QTest::newRow("semicolon") << "a;b/VIDEO_TS/VTS;01.VOB"
                                   << "x; rm -rf y"
                                   << "p;q";
        QTest::newRow("leading dash") << "-i/VIDEO_TS/-x.VOB"
                                      << "-"
                                      << "-y";
        QTest::newRow("options as names") << "-f/VIDEO_TS/-vcodec.VOB"
                                          << "-map"
                                          << "--help";
        QTest::newRow("Japanese") << "ディスク/VIDEO_TS/映像　1.VOB"
                                  << "出力先"
                                  << "プログラム";
        QTest::newRow("beyond Shift-JIS") << "😀한/VIDEO_TS/VTS_01_Ω.VOB"
                                          << "Ωé😀"
                                          << "한국";
        QTest::newRow("backslash and percent") << "a\\b/VIDEO_TS/VTS_%d_1.VOB"
                                               << "c\\"
                                               << "50%";
        QTest::newRow("all at once") << "-a b'\"$;日本😀/VIDEO_TS/-x y.VOB"
                                     << "-o \"'$;出力한"
                                     << "-p '\"$;한";
    }
    void eachPathOneArgument()
    {
        QFETCH(QString, source);
        QFETCH(QString, output);
        QFETCH(QString, program);

        QTemporaryDir holder;
        const QString sourcePath = holder.filePath(source);
        FaultBench b(1, {sourcePath}, program);
        QVERIFY(QDir::setCurrent(b.root.path()));
        b.w->C1_03->SetText(output);
        b.Run();

        QCOMPARE(b.messages, QStringList{QString()});
        QCOMPARE(b.Calls().size(), 2);
        const QString outputPath = b.root.filePath(output) + "/" + QFileInfo(source).completeBaseName() + ".avi";
        const QStringList thumbnail = b.Arguments(1), encoder = b.Arguments(2);
        // (a program folder with "%" in its name has its picture taken in a
        // folder of its own: the encoder would read the name as a pattern)
        const QString picture = program.contains('%') ? thumbnail.last() : b.program + "/_thumb.jpg";
        QVERIFY2(!picture.contains('%') && picture.endsWith("/_thumb.jpg"), qPrintable(picture));
        for (const auto &[arguments, last] : {std::pair{thumbnail, picture}, std::pair{encoder, outputPath}}) {
            QVERIFY2(arguments.size() > 3, qPrintable(arguments.join('|')));
            QCOMPARE(arguments[0], "-i");
            QCOMPARE(arguments[1], sourcePath);
            QCOMPARE(arguments.last(), last);
            // absolute: neither path can be taken for an option
            QVERIFY(arguments[1].startsWith('/') && arguments.last().startsWith('/'));
            // every other argument is the program's own: no piece of a name
            for (qsizetype i = 2; i + 1 < arguments.size(); ++i)
                QVERIFY2(!arguments[i].contains(holder.path()) && !arguments[i].contains(b.root.path()) &&
                             arguments[i].size() < 12,
                         qPrintable(arguments[i]));
        }
        QCOMPARE(ReadFile(outputPath), QByteArray("complete"));
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
    }

    // The real encoder, with a title listed from a disc whose folder has every
    // kind of character: it reads the source and writes the output named.
    void realEncoderTakesTheNames()
    {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
            QFAIL("the encoder ffmpeg must be on PATH");
        QTemporaryDir holder;
        const QString disc = holder.filePath("-a b'\"$;日本😀한");
        const QString source = disc + "/VIDEO_TS/VTS_01_1 -y;$x'\".VOB";
        QVERIFY(QDir().mkpath(disc + "/VIDEO_TS"));
        QProcess make;
        make.setStandardInputFile(QProcess::nullDevice());
        make.start("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=352x240:rate=30000/1001",
                              "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-target", "ntsc-dvd", "-s",
                              "352x240", "-y", source});
        QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);

        FaultBench b(0, {}, "-prog '\"$;한");
        b.SetEncoder(QByteArray()); // the one on PATH
        const QByteArray before = ReadFile(source);
        b.w->DriveComboBox1->SetDrive(disc);
        b.w->CButton12Click();
        QCOMPARE(b.w->CheckListBox1->Count(), 1);
        QCOMPARE(b.w->CheckListBox1->ItemText(0), source);
        QVERIFY(QDir::setCurrent(b.root.path()));
        b.w->C1_03->SetText("-out \"'$;出力😀");
        b.Run();
        QCOMPARE(b.messages, QStringList{QString()});
        const QString output = b.root.filePath("-out \"'$;出力😀/VTS_01_1 -y;$x'\".avi");
        QVERIFY2(QFileInfo(output).size() > 10000, qPrintable(output));
        QCOMPARE(ReadFile(source), before);
        QVERIFY(b.w->isEnabled() && !b.w->ProgressForm1);
    }
};

QTEST_MAIN(TestFaultsNames)
#include "test_faults_names.moc"
