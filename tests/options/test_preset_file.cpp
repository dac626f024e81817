#include "options/catalogue.h"
#include "options/comma_text.h"
#include "options/preset_file.h"
#include "platform/error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace zento;

Q_DECLARE_METATYPE(zento::TextEncoding)

namespace {

QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

QString MessageOf(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

class TestPresetFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadAndAppend_data();
    void loadAndAppend();
    void appendSwitchesToUtf8();
    void overlongLine();
    void boxRow_data();
    void boxRow();
    void manualRow();
    void loadFailures_data();
    void loadFailures();
    void failedWriteKeepsLine();
    void failedWriteLeavesFileWhole_data();
    void failedWriteLeavesFileWhole();
    void shippedProfile();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;
};

void TestPresetFile::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    path_ = dir_->filePath(QStringLiteral("profile.txt"));
}

void TestPresetFile::loadAndAppend_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("endsWithBreak");
    QTest::addColumn<zento::TextEncoding>("encoding");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QByteArray>("written");

    const auto sjis = TextEncoding::ShiftJis;
    const auto utf8 = TextEncoding::Utf8;
    const QString dvd = QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps");

    QTest::newRow("empty file") << QByteArray() << QStringList{} << true << sjis << dvd << (dvd.toLatin1() + "\r\n");
    QTest::newRow("crlf lines") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"} << true << sjis << "x"
                                << QByteArray("a\r\nb\r\nx\r\n");
    QTest::newRow("lf only") << QByteArray("a\nb\nc\n") << QStringList{"a", "b", "c"} << true << sjis << "x"
                             << QByteArray("a\r\nb\r\nc\r\nx\r\n");
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{"a", "b"} << true << sjis << "x"
                             << QByteArray("a\r\nb\r\nx\r\n");
    QTest::newRow("no final break") << QByteArray("a\r\nb\r\nc") << QStringList{"a", "b", "c"} << false << sjis
                                    << "x" << QByteArray("a\r\nb\r\nc\r\nx");
    QTest::newRow("one line, no break") << QByteArray("a") << QStringList{"a"} << false << sjis << "x"
                                        << QByteArray("a\r\nx");
    QTest::newRow("empty line inside") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"} << true << sjis
                                       << "x" << QByteArray("a\r\n\r\nb\r\nx\r\n");
    QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList{""} << true << sjis << "x"
                                    << QByteArray("\r\nx\r\n");
    QTest::newRow("empty line at end") << QByteArray("a\n\n") << QStringList{"a", ""} << true << sjis << "x"
                                       << QByteArray("a\r\n\r\nx\r\n");
    QTest::newRow("cr then crlf") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"} << false << sjis << "x"
                                  << QByteArray("a\r\n\r\nb\r\nx");
    QTest::newRow("lf then cr") << QByteArray("a\n\rb") << QStringList{"a", "", "b"} << false << sjis << "x"
                                << QByteArray("a\r\n\r\nb\r\nx");
    QTest::newRow("empty line appended") << QByteArray("a\r\n") << QStringList{"a"} << true << sjis << ""
                                         << QByteArray("a\r\n\r\n");

    // Shift-JIS as made on Windows: every byte of the old lines stays, the
    // NEC/IBM duplicates and stray bytes included; the new line is Shift-JIS too.
    QTest::newRow("shift-jis")
        << QByteArray("\x8e\xe8\x93\xae\x90\xdd\x92\xe8,AVI\r\n\xed\x40\xfa\x5c\x87\x90\x80,MP4\r\n")
        << QStringList{U("手動設定,AVI"), U("纊纊≒\xef\xbf\xbd,MP4")} << true << sjis << U("携帯用〜,3GP")
        << QByteArray("\x8e\xe8\x93\xae\x90\xdd\x92\xe8,AVI\r\n\xed\x40\xfa\x5c\x87\x90\x80,MP4\r\n"
                      "\x8c\x67\x91\xd1\x97\x70\x81\x60,3GP\r\n");
    QTest::newRow("shift-jis 0x5c trail") << QByteArray("\x95\x5c,AVI") << QStringList{U("表,AVI")} << false << sjis
                                          << U("ソ") << QByteArray("\x95\x5c,AVI\r\n\x83\x5c");
    QTest::newRow("utf-8") << QByteArray("\xe6\x89\x8b,AVI\n") << QStringList{U("手,AVI")} << true << utf8
                           << U("한,MP4") << QByteArray("\xe6\x89\x8b,AVI\r\n\xed\x95\x9c,MP4\r\n");
    QTest::newRow("utf-8 with mark") << QByteArray("\xef\xbb\xbf" "a\r\nb") << QStringList{"a", "b"} << false
                                     << utf8 << U("手")
                                     << QByteArray("\xef\xbb\xbf" "a\r\nb\r\n\xe6\x89\x8b");
    QTest::newRow("mark alone") << QByteArray("\xef\xbb\xbf") << QStringList{} << true << utf8 << "x"
                                << QByteArray("\xef\xbb\xbf" "x\r\n");
}

void TestPresetFile::loadAndAppend()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, lines);
    QFETCH(bool, endsWithBreak);
    QFETCH(zento::TextEncoding, encoding);
    QFETCH(QString, added);
    QFETCH(QByteArray, written);

    WriteBytes(path_, file);
    PresetFile presets = PresetFile::Load(path_);
    QCOMPARE(presets.Lines(), lines);
    QCOMPARE(presets.EndsWithLineBreak(), endsWithBreak);
    QCOMPARE(presets.Encoding(), encoding);
    QCOMPARE(presets.FilePath(), path_);

    presets.AppendLine(added);
    QCOMPARE(presets.Lines(), lines + QStringList{added});
    QCOMPARE(ReadBytes(path_), written);

    // Read back, the file gives the same lines (in Shift-JIS with the CP932
    // spellings); a second store keeps the form.
    PresetFile again = PresetFile::Load(path_);
    QStringList expected = presets.Lines();
    if (encoding == TextEncoding::ShiftJis)
        expected.last() = MapForShiftJis(expected.last());
    QCOMPARE(again.Lines(), expected);
    QCOMPARE(again.Encoding(), encoding);
    presets.AppendLine(QStringLiteral("y"));
    const QByteArray twice = ReadBytes(path_);
    QCOMPARE(twice, endsWithBreak ? written + "y\r\n" : written + "\r\ny");
}

void TestPresetFile::appendSwitchesToUtf8()
{
    // A name Shift-JIS cannot hold is not lost: the whole file becomes UTF-8.
    WriteBytes(path_, QByteArray("\x8e\xe8\x93\xae,AVI\r\nDVD,MP4\r\n"));
    PresetFile presets = PresetFile::Load(path_);
    QCOMPARE(presets.Encoding(), TextEncoding::ShiftJis);
    const QString name = U("😀한,MP4");
    presets.AppendLine(name);
    QCOMPARE(presets.Encoding(), TextEncoding::Utf8);
    QCOMPARE(ReadBytes(path_), QByteArray("\xe6\x89\x8b\xe5\x8b\x95,AVI\r\nDVD,MP4\r\n") + name.toUtf8() + "\r\n");

    // The next store goes on in UTF-8; loading finds UTF-8 again.
    presets.AppendLine(U("手"));
    PresetFile again = PresetFile::Load(path_);
    QCOMPARE(again.Encoding(), TextEncoding::Utf8);
    QCOMPARE(again.Lines(), (QStringList{U("手動,AVI"), "DVD,MP4", name, U("手")}));
}

void TestPresetFile::overlongLine()
{
    // 3000 double-byte characters: 6000 bytes, written back whole.
    const QString name = QString(3000, QChar(u'設'));
    const QByteArray bytes = QByteArray("\x90\xdd").repeated(3000) + ",AVI,0x0";
    WriteBytes(path_, bytes + "\r\n");
    PresetFile presets = PresetFile::Load(path_);
    QCOMPARE(presets.Lines().size(), 1);
    QCOMPARE(presets.Lines().at(0), name + QStringLiteral(",AVI,0x0"));
    presets.AppendLine(QStringLiteral("x"));
    QCOMPARE(ReadBytes(path_), bytes + "\r\nx\r\n");
    // The box shows the front 4096 bytes: 2048 characters.
    QCOMPARE(PresetBoxRow(presets.Lines().at(0), presets.Encoding()), QString(2048, QChar(u'設')));
}

void TestPresetFile::boxRow_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<zento::TextEncoding>("encoding");
    QTest::addColumn<QString>("row");

    const auto sjis = TextEncoding::ShiftJis;
    const auto utf8 = TextEncoding::Utf8;
    const QString shortLine = QStringLiteral("DVD,AVI,640x480");
    QTest::newRow("short") << shortLine << sjis << shortLine;
    QTest::newRow("4097 ascii") << QString(4097, u'a') << sjis << QString(4096, u'a');
    // A double-byte character over the edge is left out whole: 4095 bytes.
    QTest::newRow("sjis character on the edge") << QString(4095, u'a') + U("設b") << sjis << QString(4095, u'a');
    QTest::newRow("utf-8 character on the edge") << QString(4094, u'a') + U("設b") << utf8 << QString(4094, u'a');
}

void TestPresetFile::boxRow()
{
    QFETCH(QString, line);
    QFETCH(zento::TextEncoding, encoding);
    QFETCH(QString, row);
    QCOMPARE(PresetBoxRow(line, encoding), row);
}

void TestPresetFile::manualRow()
{
    const QStringList titles = SplitCommaText(QString::fromUtf8(kManualPresetRow));
    QCOMPARE(titles, U("手動|[形式]|[幅x高さ]|[動画圧縮]|[描画数]|[情報量]|[音声圧縮]|[周波数]|[情報量]").split(u'|'));
}

void TestPresetFile::loadFailures_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("missing") << QStringLiteral("profile.txt");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("under a regular file") << QStringLiteral("file/profile.txt");
}

void TestPresetFile::loadFailures()
{
    QFETCH(QString, where);
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("folder")));
    WriteBytes(dir_->filePath(QStringLiteral("file")), "x");
    const QString path = dir_->filePath(where);
    try {
        PresetFile::Load(path);
        QFAIL("loading did not fail");
    } catch (const std::exception &e) {
        QCOMPARE(MessageOf(e), U("ファイル ") + path + U(" は開けません"));
    }
}

void TestPresetFile::failedWriteKeepsLine()
{
    // The folder of the file turns into a regular file after loading: no
    // store can write there, whoever runs the test.
    const QString folder = dir_->filePath(QStringLiteral("program"));
    const QString path = folder + QStringLiteral("/profile.txt");
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("program")));
    WriteBytes(path, "a\r\n");
    PresetFile presets = PresetFile::Load(path);
    QVERIFY(QDir(dir_->path()).rename(QStringLiteral("program"), QStringLiteral("moved")));
    WriteBytes(folder, "not a folder");

    try {
        presets.AppendLine(QStringLiteral("first"));
        QFAIL("the store did not fail");
    } catch (const std::exception &e) {
        QCOMPARE(MessageOf(e), U("ファイル ") + path + U(" を作成できません"));
        QCOMPARE(ExceptionMessage(e), U("ファイル ") + path + U(" を作成できません"));
    }
    QCOMPARE(presets.Lines(), (QStringList{"a", "first"}));

    // Once the folder is back, the next store writes both lines.
    QVERIFY(QFile::remove(folder));
    QVERIFY(QDir(dir_->path()).rename(QStringLiteral("moved"), QStringLiteral("program")));
    presets.AppendLine(QStringLiteral("second"));
    QCOMPARE(ReadBytes(path), QByteArray("a\r\nfirst\r\nsecond\r\n"));
}

void TestPresetFile::failedWriteLeavesFileWhole_data()
{
    QTest::addColumn<int>("lineLength");
    QTest::newRow("fails at the flush") << 200;
    QTest::newRow("fails while writing") << 100000;
}

void TestPresetFile::failedWriteLeavesFileWhole()
{
    QFETCH(int, lineLength);
    // A full disk, made by a limit on the size of any file this process writes.
    const QByteArray old("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps\r\n");
    WriteBytes(path_, old);
    PresetFile presets = PresetFile::Load(path_);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    try {
        presets.AppendLine(QString(lineLength, u'x'));
    } catch (const std::exception &e) {
        message = MessageOf(e);
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(message, U("ファイル ") + path_ + U(" を作成できません"));
    QCOMPARE(ReadBytes(path_), old);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"profile.txt"});
    QCOMPARE(presets.Lines().size(), 2);
}

void TestPresetFile::shippedProfile()
{
    // The shipped file: Shift-JIS (or ASCII) with CR LF, nine columns a line,
    // names without blanks.
    const QString path = QStringLiteral(ZENTO_SOURCE_DIR "/data/profile.txt");
    const QByteArray bytes = ReadBytes(path);
    QVERIFY(!bytes.isEmpty());
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    const PresetFile presets = PresetFile::Load(path);
    QCOMPARE(presets.Encoding(), TextEncoding::ShiftJis);
    QVERIFY(presets.Lines().size() >= 5);
    for (const QString &line : presets.Lines()) {
        const QStringList columns = SplitCommaText(line);
        QVERIFY2(columns.size() == 9, qPrintable(line));
        QVERIFY2(columns.at(2).contains(u'x'), qPrintable(line));
        QVERIFY2(columns.at(4).endsWith(QStringLiteral("fps")), qPrintable(line));
        QVERIFY2(columns.at(5).endsWith(QStringLiteral("kbps")), qPrintable(line));
        QVERIFY2(columns.at(7).endsWith(QStringLiteral("Hz")), qPrintable(line));
        QVERIFY2(columns.at(8).endsWith(QStringLiteral("kbps")), qPrintable(line));
        // Applying the preset finds the very row each ID names.
        const std::pair<int, Catalogue> lookups[] = {
            {1, Catalogue::Containers}, {3, Catalogue::VideoCodecs}, {6, Catalogue::AudioCodecs}};
        for (const auto &[column, catalogue] : lookups) {
            const int row = FindCatalogueRow(catalogue, columns.at(column));
            QVERIFY2(row > 0, qPrintable(line));
            QCOMPARE(CatalogueRowId(CatalogueRows(catalogue).at(row)), columns.at(column));
        }
    }
}

QTEST_GUILESS_MAIN(TestPresetFile)
#include "test_preset_file.moc"
