#include "convert/encoder_process.h"
#include "convert/file_size.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;

namespace
{

void WriteFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
    file.close();
    if (permissions)
        file.setPermissions(permissions);
}

const QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// Sets an environment variable for one scope.
class ScopedEnv
{
  public:
    ScopedEnv(const char *name, const QByteArray &value) : name_(name), old_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv() { qputenv(name_, old_); }

  private:
    const char *name_;
    QByteArray old_;
};

} // namespace

class TestEncoderProcess : public QObject
{
    Q_OBJECT
  private slots:
    void tailKeepsLastLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain lines") << QList<QByteArray>{"a\nb\nc\nd\n"} << 3 << QStringList{"b", "c", "d"};
        QTest::newRow("progress lines end with CR")
            << QList<QByteArray>{"frame=1\rframe=2\r", "Error opening output\n"} << 2
            << QStringList{"frame=2", "Error opening output"};
        QTest::newRow("line split across reads")
            << QList<QByteArray>{"Unknown enc", "oder 'x'\n"} << 3 << QStringList{"Unknown encoder 'x'"};
        QTest::newRow("unfinished last line counts")
            << QList<QByteArray>{"one\ntwo\nthree"} << 2 << QStringList{"two", "three"};
        QTest::newRow("blank lines dropped") << QList<QByteArray>{"x\n\n  \r\n\n"} << 3 << QStringList{"x"};
        QTest::newRow("nothing") << QList<QByteArray>{} << 3 << QStringList{};
        QTest::newRow("CRLF") << QList<QByteArray>{"a\r\nb\r\n"} << 5 << QStringList{"a", "b"};
    }
    void tailKeepsLastLines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, maxLines);
        QFETCH(QStringList, expected);
        OutputTail tail(maxLines);
        for (const QByteArray &chunk : chunks)
            tail.Append(chunk);
        QCOMPARE(tail.Lines(), expected);
    }

    void sameFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString source = dir.filePath(QStringLiteral("VTS_01_1.VOB"));
        WriteFile(source, "vob");
        WriteFile(dir.filePath(QStringLiteral("other.VOB")), "vob");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        QVERIFY(QFile::link(source, dir.filePath(QStringLiteral("link.VOB"))));

        QVERIFY(IsSameFile(source, source));
        QVERIFY(IsSameFile(source, dir.path() + QStringLiteral("/sub/../VTS_01_1.VOB")));
        QVERIFY(IsSameFile(source, dir.path() + QStringLiteral("//./VTS_01_1.VOB")));
        QVERIFY(IsSameFile(source, dir.filePath(QStringLiteral("link.VOB"))));
        QVERIFY(!IsSameFile(source, dir.filePath(QStringLiteral("other.VOB"))));
        QVERIFY(!IsSameFile(source, dir.filePath(QStringLiteral("VTS_01_1.avi")))); // not there yet
        QVERIFY(!IsSameFile(source, QString()));
        {
            const QString old = QDir::currentPath();
            QDir::setCurrent(dir.path());
            const bool relative = IsSameFile(source, QStringLiteral("VTS_01_1.VOB"));
            QDir::setCurrent(old);
            QVERIFY(relative);
        }
        // a second hard link is the same file too
        const QString hard = dir.filePath(QStringLiteral("hard.VOB"));
        if (QProcess::execute(QStringLiteral("ln"), {source, hard}) == 0)
            QVERIFY(IsSameFile(source, hard));
    }

    void findEncoder()
    {
        QTemporaryDir program;
        QTemporaryDir onPath;
        QTemporaryDir empty;
        QVERIFY(program.isValid() && onPath.isValid() && empty.isValid());
        WriteFile(onPath.filePath(QStringLiteral("ffmpeg")), "#!/bin/sh\n", kExecutable);
        ScopedEnv path("PATH", QFile::encodeName(onPath.path()));

        // none in the program folder: the one on PATH
        QCOMPARE(FindEncoder(program.path()), onPath.filePath(QStringLiteral("ffmpeg")));
        // a file that cannot be run does not count
        WriteFile(program.filePath(QStringLiteral("ffmpeg")), "#!/bin/sh\n",
                  QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(FindEncoder(program.path()), onPath.filePath(QStringLiteral("ffmpeg")));
        // a runnable one in the program folder comes first
        QFile::setPermissions(program.filePath(QStringLiteral("ffmpeg")), kExecutable);
        QCOMPARE(FindEncoder(program.path()), program.filePath(QStringLiteral("ffmpeg")));
        // a folder named ffmpeg is no encoder
        QVERIFY(QDir(empty.path()).mkdir(QStringLiteral("ffmpeg")));
        QCOMPARE(FindEncoder(empty.path()), onPath.filePath(QStringLiteral("ffmpeg")));
        {
            ScopedEnv none("PATH", QFile::encodeName(empty.filePath(QStringLiteral("nothing"))));
            QCOMPARE(FindEncoder(empty.path()), QString());
        }
        QCOMPARE(LocalEncoderPath(QStringLiteral("/")), QStringLiteral("/ffmpeg"));
        QCOMPARE(LocalEncoderPath(QStringLiteral("/opt/zento")), QStringLiteral("/opt/zento/ffmpeg"));
    }

    void fileSizes()
    {
        QTemporaryDir dir;
        QCOMPARE(FileSize(dir.filePath(QStringLiteral("missing"))), qint64(-1));
        QCOMPARE(FileSize(dir.path()), qint64(-1)); // a folder
        // 2 GB and more: the true size (a sparse file takes no room)
        const QString big = dir.filePath(QStringLiteral("big.bin"));
        QFile bigFile(big);
        QVERIFY(bigFile.open(QIODevice::WriteOnly));
        if (!bigFile.resize(qint64(5) * 1024 * 1024 * 1024 + 7))
            QSKIP("the file system cannot hold a sparse 5 GB file");
        bigFile.close();
        QCOMPARE(FileSize(big), qint64(5) * 1024 * 1024 * 1024 + 7);
        QCOMPARE(SizeLabelText(FileSize(big), 0), QStringLiteral("5368709KB -> 0KB"));
    }
};

QTEST_GUILESS_MAIN(TestEncoderProcess)
#include "test_encoder_process.moc"
