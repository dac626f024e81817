// Thumbnails that come late, broken or never: the run shows what it can,
// stops only where a picture cannot be read, leaves no picture file and no
// thumbnail run behind, and the next run works.
#include "support/fake_encoder.h"

#include "convert/progress_form.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace zento;
using test::ConvertsAgain;
using test::ExpectedCalls;
using test::FaultBench;
using test::ReadFile;
using test::WriteFile;

namespace {

const char kAbort[] = "非対応フォーマットが含まれていました。処理を中止します。";

// A picture with enough detail that its data is most of the file.
QByteArray Picture(const char *format)
{
    QImage image(80, 60, QImage::Format_RGB32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) * 4 % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format, 90) ? bytes : QByteArray();
}

} // namespace

class TestFaultsThumbnail : public QObject {
    Q_OBJECT
private slots:
    // pictures: per entry, whether the progress window showed one while that
    // entry was converted.
    void thumbnailFaults_data()
    {
        QTest::addColumn<QByteArray>("thumbnail");
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("aborts");
        QTest::addColumn<QList<bool>>("pictures");
        const QByteArray jpeg = Picture("JPG");
        const qsizetype scan = jpeg.indexOf("\xFF\xDA");
        QVERIFY(scan > 0 && jpeg.size() - scan > 1000);
        // A run still going after the pause is watched while the encoder
        // works: its picture shows when it ends during its own pass; a pass
        // that ends first stops it, and the picture never shows for a later one.
        QTest::newRow("written late") << jpeg << QByteArray("THUMB_DELAY=1.6\nSLEEP=1.5\n") << 2 << false
                                      << QList<bool>{true, true};
        QTest::newRow("written after its pass")
            << jpeg << QByteArray("THUMB_DELAY=1.6\nSLEEP=0.2\n") << 2 << false << QList<bool>{false, false};
        QTest::newRow("written too late")
            << jpeg << QByteArray("THUMB_DELAY=2.6\nSLEEP=0.2\n") << 2 << false << QList<bool>{false, false};
        QTest::newRow("still being written after the pause")
            << jpeg << QByteArray("THUMB_HALF=" + QByteArray::number(scan / 2) + "\nTHUMB_DELAY=1.4\nSLEEP=1.2\n") << 1
            << false << QList<bool>{true};
        // Late and unreadable: the encoder is at work by then, so no picture and no stop.
        QTest::newRow("late and not a JPEG")
            << Picture("PNG") << QByteArray("THUMB_DELAY=1.4\nSLEEP=1.2\n") << 1 << false << QList<bool>{false};
        QTest::newRow("never written") << QByteArray() << QByteArray("THUMB_HANG=1\nSLEEP=0.2\n") << 1 << false
                                       << QList<bool>{false};
        QTest::newRow("cut off in its picture data") << jpeg.left(scan + (jpeg.size() - scan) / 2)
                                                     << QByteArray("SLEEP=0.2\n") << 1 << false << QList<bool>{true};
        QTest::newRow("cut off in its header") << jpeg.left(scan / 2) << QByteArray() << 2 << true << QList<bool>();
        QTest::newRow("empty") << QByteArray() << QByteArray() << 2 << true << QList<bool>();
        QTest::newRow("not a JPEG") << Picture("PNG") << QByteArray() << 2 << true << QList<bool>();
    }
    void thumbnailFaults()
    {
        QFETCH(QByteArray, thumbnail);
        QFETCH(QByteArray, conf);
        QFETCH(int, entries);
        QFETCH(bool, aborts);
        QFETCH(QList<bool>, pictures);

        FaultBench b(entries);
        const QString picture = b.root.filePath("picture");
        QVERIFY(WriteFile(picture, thumbnail));
        b.Fake(conf + "THUMB=\"" + QFile::encodeName(picture) + "\"\n");
        QList<bool> shown(entries, false);
        QTimer sampler;
        QElapsedTimer sinceTick;
        qint64 longestGap = 0; // the longest time the windows went unserved
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (sinceTick.isValid())
                longestGap = std::max(longestGap, sinceTick.restart());
            else
                sinceTick.start();
            if (TProgressForm1 *form = b.w->ProgressForm1)
                for (int i = 0; i < entries; ++i)
                    if (form->Label1->text().startsWith(QString("VTS_01_%1.VOB ->").arg(i + 1)))
                        shown[i] = shown[i] || form->HasPicture();
        });
        sampler.start(30);
        b.Run();
        sampler.stop();

        if (aborts) {
            // over the progress window, before any encoder run
            QCOMPARE(b.messages, (QStringList{QString(), kAbort}));
            QCOMPARE(b.mainEnabled[1], false);
            QCOMPARE(b.Calls(), QStringList{"thumb VTS_01_1.VOB"});
            QVERIFY(!QFile::exists(b.Output(0)));
        } else {
            QCOMPARE(b.messages, QStringList{QString()});
            QCOMPARE(b.Calls(), ExpectedCalls(entries, false));
            QCOMPARE(shown, pictures);
            // the designed pause and no more, whatever the thumbnail run does
            QVERIFY2(longestGap < 1400, qPrintable(QString::number(longestGap)));
            for (int i = 0; i < entries; ++i)
                QCOMPARE(ReadFile(b.Output(i)), QByteArray("complete"));
        }
        // Late or unreadable, the picture file is gone: the next run cannot
        // show it for another source, nor stop at it.
        QVERIFY(!QFile::exists(b.program + "/_thumb.jpg"));
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
        ConvertsAgain(b);
    }

    // The question to the encoder at start-up is still under way when the
    // first run starts: it gets the pause, then is waited for with the
    // windows alive, and its answer is in before the encoder starts.
    void slowEncoderQuestion()
    {
        FaultBench b(1);
        b.Fake("QUERY_SLEEP=2.5\nSLEEP=0.2\n");
        b.w->StartEncoderQuery();
        QTimer sampler;
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        int served = 0;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (sinceTick.isValid())
                longestGap = std::max(longestGap, sinceTick.restart());
            else
                sinceTick.start();
            served += b.w->ProgressForm1 && b.Calls().size() == 1; // before the encoder starts
        });
        sampler.start(30);
        QElapsedTimer clock;
        clock.start();
        b.Run();
        sampler.stop();
        QCOMPARE(b.messages, QStringList{QString()});
        QCOMPARE(b.Calls(), ExpectedCalls(1, false));
        QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed()))); // the answer was awaited
        QVERIFY2(longestGap < 1400, qPrintable(QString::number(longestGap)));
        QVERIFY2(served > 10, qPrintable(QString::number(served)));
        QString why;
        QVERIFY2(b.Settled(why), qPrintable(why));
    }

    // The question at start-up went unanswered (the encoder's first start
    // outlasted the limit): the next run asks again, and a retired encoder
    // name reaches the encoder as the name that replaced it.
    void unansweredQuestionAskedAgain()
    {
        FaultBench b(1);
        b.Fake("QUERY_SLEEP=600\n");
        b.w->StartEncoderQuery();
        QVERIFY(b.w->AwaitCapabilities(10000));
        QVERIFY(!b.w->Capabilities().IsKnown());
        b.Fake("ENCODERS='aac mp2'\n");
        b.w->C3_01->SetItemIndex(test::RowWithId(Catalogue::AudioCodecs, "LIBFAAC"));
        b.ClearLog();
        b.Run();
        QCOMPARE(b.messages, QStringList{QString()});
        QStringList codecs;
        for (int n = 1; QFile::exists(b.program + QStringLiteral("/argv.%1").arg(n)); ++n)
            if (const QStringList a = b.Arguments(n); a.contains("-acodec"))
                codecs << a.value(a.indexOf("-acodec") + 1);
        QCOMPARE(codecs, QStringList{"aac"});
    }
};

QTEST_MAIN(TestFaultsThumbnail)
#include "test_faults_thumbnail.moc"
