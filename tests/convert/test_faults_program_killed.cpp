// The program ends without its closing steps (a crash, a kill, a logout) in
// the middle of a run: no encoder, thumbnail run or question to the encoder
// goes on without it.
//
// The program is this test binary started again with --convert: a main window
// over a fake encoder that never ends, converting; with "question" the
// question for the encoder's lists never ends either, so the run waits for it
// with its thumbnail run going. It prints its program folder, then runs.
#include "support/fake_encoder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>

using namespace zento;
using test::FaultBench;
using test::ProcessLeft;
using test::ReadFile;

namespace {

int ConvertForever(bool question)
{
    FaultBench b(2);
    b.root.setAutoRemove(false); // the test that kills this process removes it
    b.Fake(QByteArray("END=hang\nTHUMB_HANG=1\n") + (question ? "QUERY_SLEEP=600\n" : ""));
    b.w->CheckBox1->setChecked(true);
    b.w->StartEncoderQuery();
    std::printf("%s\n", QFile::encodeName(b.program).constData());
    std::fflush(stdout);
    QTimer::singleShot(0, [&b] { b.Run(); });
    return QCoreApplication::exec();
}

// The processes the fake encoder recorded.
QStringList Pids(const QString &program)
{
    return QString::fromUtf8(ReadFile(program + "/pids")).split('\n', Qt::SkipEmptyParts);
}

// Ended: gone, or a zombie waiting for the system to collect it.
bool StillRunning(const QString &pid)
{
    if (!ProcessLeft(pid))
        return false;
    const QByteArray stat = ReadFile(QString("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || close + 2 >= stat.size() || stat.at(close + 2) != 'Z';
}

} // namespace

class TestFaultsProgramKilled : public QObject {
    Q_OBJECT
private slots:
    void childrenEndWithTheProgram_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<QString>("call");    // in the fake's log when the phase is reached
        QTest::addColumn<int>("running");     // children running then
        QTest::newRow("killed while encoding") << "encoder" << "encode" << 2; // thumbnail, encoder
        QTest::newRow("killed while asking the encoder") << "question" << "thumb" << 3; // two questions
    }
    void childrenEndWithTheProgram()
    {
        QFETCH(QString, phase);
        QFETCH(QString, call);
        QFETCH(int, running);
        // Whatever the killed program leaves in its temporary folder (the
        // encoder's working folder too) goes with this one.
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", scratch.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProgram(QCoreApplication::applicationFilePath());
        program.setArguments({"--convert", phase});
        program.setStandardInputFile(QProcess::nullDevice());
        program.setStandardErrorFile(QProcess::nullDevice());
        program.start();
        QVERIFY(program.waitForStarted());
        QVERIFY(program.waitForReadyRead(10000));
        const QString folder = QString::fromUtf8(program.readLine()).trimmed();
        QVERIFY2(folder.startsWith(scratch.path() + "/") && folder.endsWith("/program"), qPrintable(folder));

        QElapsedTimer clock;
        clock.start();
        QStringList alive;
        while (clock.elapsed() < 10000) {
            alive = Pids(folder);
            alive.removeIf([](const QString &pid) { return !StillRunning(pid); });
            if (alive.size() >= running && ReadFile(folder + "/calls").contains(call.toUtf8()))
                break;
            QTest::qWait(50);
        }
        QCOMPARE(alive.size(), running);

        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        clock.restart();
        while (!alive.isEmpty() && clock.elapsed() < 1000) {
            alive.removeIf([](const QString &pid) { return !StillRunning(pid); });
            QTest::qWait(20);
        }
        QVERIFY2(alive.isEmpty(), qPrintable("still running after a second: " + alive.join(' ')));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--convert") == 0)
        return ConvertForever(qstrcmp(argv[2], "question") == 0);
    TestFaultsProgramKilled test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_faults_program_killed.moc"
