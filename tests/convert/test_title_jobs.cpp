// Jobs of a run from the source list, and the input of a joined job.
#include "convert/title_jobs.h"

#include <QtTest>

using namespace zento;

Q_DECLARE_METATYPE(QList<SourceEntry>)

namespace {

// "p" a ticked path, "-p" an unticked one, in a folder /d/VIDEO_TS unless the
// entry names its own.
QList<SourceEntry> Entries(const QStringList &names)
{
    QList<SourceEntry> entries;
    for (QString name : names) {
        const bool ticked = !name.startsWith('-');
        if (!ticked)
            name.remove(0, 1);
        entries.append({name.contains('/') ? name : "/d/VIDEO_TS/" + name, ticked});
    }
    return entries;
}

// Each job as "<index>:<file names joined with +>".
QStringList Shown(const QList<TitleJob> &jobs)
{
    QStringList shown;
    for (const TitleJob &job : jobs) {
        QStringList names;
        for (const QString &part : job.parts)
            names << PathFileName(part, PathStyle::Posix);
        shown << QString("%1:%2").arg(job.index).arg(names.join('+'));
    }
    return shown;
}

} // namespace

class TestTitleJobs : public QObject {
    Q_OBJECT
private slots:
    void formsJobs_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("joined");   // jobs with joining on
        QTest::addColumn<QStringList>("separate"); // and off
        const QStringList disc{"VTS_01_0.VOB", "VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB", "VTS_02_1.VOB"};
        QTest::newRow("menu, a title in three parts, another title")
            << disc << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB+VTS_01_2.VOB+VTS_01_3.VOB", "4:VTS_02_1.VOB"}
            << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB", "2:VTS_01_2.VOB", "3:VTS_01_3.VOB", "4:VTS_02_1.VOB"};
        QTest::newRow("an unticked part splits the title; the next two join again")
            << QStringList{"VTS_01_1.VOB", "-VTS_01_2.VOB", "VTS_01_3.VOB", "VTS_01_4.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "2:VTS_01_3.VOB+VTS_01_4.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "2:VTS_01_3.VOB", "3:VTS_01_4.VOB"};
        QTest::newRow("the first part unticked")
            << QStringList{"-VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB"}
            << QStringList{"1:VTS_01_2.VOB+VTS_01_3.VOB"} << QStringList{"1:VTS_01_2.VOB", "2:VTS_01_3.VOB"};
        QTest::newRow("letters in any case")
            << QStringList{"vts_03_1.vob", "VTS_03_2.Vob"} << QStringList{"0:vts_03_1.vob+VTS_03_2.Vob"}
            << QStringList{"0:vts_03_1.vob", "1:VTS_03_2.Vob"};
        QTest::newRow("a gap in the part numbers")
            << QStringList{"VTS_01_1.VOB", "VTS_01_3.VOB"} << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_3.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_3.VOB"};
        QTest::newRow("the menu never leads a title")
            << QStringList{"VTS_01_0.VOB", "VTS_01_1.VOB"} << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB"}
            << QStringList{"0:VTS_01_0.VOB", "1:VTS_01_1.VOB"};
        QTest::newRow("same names in two folders")
            << QStringList{"/a/VTS_01_1.VOB", "/b/VTS_01_2.VOB"} << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"};
        QTest::newRow("names of other forms")
            << QStringList{"VTS_01_1.VOB", "VTS_01_2X.VOB", "VTSA.VOB", "VTS_01_3.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2X.VOB", "2:VTSA.VOB", "3:VTS_01_3.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2X.VOB", "2:VTSA.VOB", "3:VTS_01_3.VOB"};
        QTest::newRow("a line break in a path: no list can hold it")
            << QStringList{"/x\ny/VTS_01_1.VOB", "/x\ny/VTS_01_2.VOB"}
            << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"} << QStringList{"0:VTS_01_1.VOB", "1:VTS_01_2.VOB"};
        QTest::newRow("nothing ticked") << QStringList{"-VTS_01_1.VOB", "-VTS_01_2.VOB"} << QStringList()
                                        << QStringList();
    }
    void formsJobs()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, joined);
        QFETCH(QStringList, separate);
        QCOMPARE(Shown(FormTitleJobs(Entries(names), true, PathStyle::Posix)), joined);
        QCOMPARE(Shown(FormTitleJobs(Entries(names), false, PathStyle::Posix)), separate);
    }

    void labelCountsFurtherParts()
    {
        const TitleJob one{0, {"/d/VTS_01_1.VOB"}};
        const TitleJob five{
            1, {"/d/VTS_01_1.VOB", "/d/VTS_01_2.VOB", "/d/VTS_01_3.VOB", "/d/VTS_01_4.VOB", "/d/VTS_01_5.VOB"}};
        QCOMPARE(JobLabelText(one, "/o/VTS_01_1.mp4", PathStyle::Posix), "VTS_01_1.VOB -> VTS_01_1.mp4");
        QCOMPARE(JobLabelText(five, "/o/VTS_01_1.mp4", PathStyle::Posix), "VTS_01_1.VOB + 4 -> VTS_01_1.mp4");
    }

    void joinedInput_data()
    {
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<QStringList>("head"); // the arguments up to the first option after the input
        QTest::addColumn<QString>("text");     // the command text's start
        QTest::newRow("one part: unchanged")
            << QStringList{"/d/VTS_01_1.VOB"} << QStringList{"-i", "/d/VTS_01_1.VOB", "-y"}
            << "ffmpeg -i \"/d/VTS_01_1.VOB\" -y";
        QTest::newRow("concat protocol, one argument")
            << QStringList{"/d v/VTS_01_1.VOB", "/d v/VTS_01_2.VOB"}
            << QStringList{"-i", "concat:/d v/VTS_01_1.VOB|/d v/VTS_01_2.VOB", "-y"}
            << "ffmpeg -i \"concat:/d v/VTS_01_1.VOB|/d v/VTS_01_2.VOB\" -y";
        QTest::newRow("a bar in a path: the demuxer with a list")
            << QStringList{"/a|b/VTS_01_1.VOB", "/a|b/VTS_01_2.VOB"}
            << QStringList{"-f", "concat", "-safe", "0", "-i", "/w/parts.ffconcat", "-y"}
            << "ffmpeg -f concat -safe 0 -i \"/w/parts.ffconcat\" -y";
    }
    void joinedInput()
    {
        QFETCH(QStringList, parts);
        QFETCH(QStringList, head);
        QFETCH(QString, text);
        ConversionSettings settings;
        settings.C1_03 = "/o";
        settings.C4_C1 = true;
        const QString output = BuildOutputPath(parts.first(), settings, PathStyle::Posix);
        const EncoderCommand first = BuildEncoderCommandLine(parts.first(), output, settings, 2, PathStyle::Posix);
        const EncoderCommand joined = JoinedEncoderCommand(first, parts, "/w/parts.ffconcat");
        QCOMPARE(joined.arguments.mid(0, head.size()), head);
        // every other piece as composed for the first part, the output quoted last
        QCOMPARE(joined.arguments.mid(head.size() - 1), first.arguments.mid(2));
        QVERIFY2(joined.commandLine().startsWith(text), qPrintable(joined.commandLine()));
        QVERIFY(joined.commandLine().endsWith(" \"/o/VTS_01_1.VOB\""));
    }

    void listFileQuotesEveryPath()
    {
        QCOMPARE(ConcatListText({"/a|b/VTS_01_1.VOB", "/it's/VTS_01_2.VOB", "/日本/VTS_01_3.VOB"}),
                 QByteArray("ffconcat version 1.0\n"
                            "file '/a|b/VTS_01_1.VOB'\n"
                            "file '/it'\\''s/VTS_01_2.VOB'\n"
                            "file '/\xE6\x97\xA5\xE6\x9C\xAC/VTS_01_3.VOB'\n"));
    }
};

QTEST_GUILESS_MAIN(TestTitleJobs)
#include "test_title_jobs.moc"
