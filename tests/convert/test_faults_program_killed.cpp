// The program ends without its closing steps (a crash, a kill) in the middle
// of a run: no encoder, thumbnail run or question to the encoder goes on
// without it. Asked to end by the system (a logout, Ctrl+C), it ends the run
// as 中止 does and closes in good order.
//
// The program is this test binary started again with --convert: a main window
// over a fake encoder that never ends, converting; with "question" the
// question for the encoder's lists never ends either, so the run waits for it
// with its thumbnail run going. It prints its program folder, then runs.
#include "app/start_source_gui.h"
#include "platform/dialogs.h"
#include "platform/end_requests.h"
#include "platform/run_folder.h"
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
    const EndRequests ends([&b] { b.w->EndBySystem(); });
    std::printf("%s\n", QFile::encodeName(b.program).constData());
    std::fflush(stdout);
    QTimer::singleShot(0, [&b] { b.Run(); });
    return QCoreApplication::exec();
}

// The window started with a source that is not there: its message stays open
// until the program ends.
int StartWithMessage()
{
    FaultBench b(1);
    DialogHooks hooks;
    hooks.message = [](const QString &) {
        std::printf("shown\n");
        std::fflush(stdout);
        QEventLoop().exec();
    };
    SetDialogHooks(hooks);
    return RunWindow(*b.w, b.root.filePath("missing.iso"));
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

// This binary started again with the given arguments.
void StartAgain(QProcess &program, const QStringList &arguments)
{
    program.setProgram(QCoreApplication::applicationFilePath());
    program.setArguments(arguments);
    program.setStandardInputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start();
}

// This binary started again to convert, with whatever it leaves in its
// temporary folder (the encoder's working folder too) in scratch, and waited
// for until the phase is reached with the given count of children running.
struct Converting {
    QProcess program;
    QString folder; // its program folder
    QStringList alive;
    bool ready = false;
    QString why;

    Converting(const QTemporaryDir &scratch, const QString &phase, const QString &call, int running)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", scratch.path());
        program.setProcessEnvironment(environment);
        StartAgain(program, {"--convert", phase});
        if (!program.waitForStarted() || !program.waitForReadyRead(10000)) {
            why = "the program did not start";
            return;
        }
        folder = QString::fromUtf8(program.readLine()).trimmed();
        if (!folder.startsWith(scratch.path() + "/") || !folder.endsWith("/program")) {
            why = "program folder " + folder;
            return;
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            alive = Pids(folder);
            alive.removeIf([](const QString &pid) { return !StillRunning(pid); });
            if (alive.size() >= running && ReadFile(folder + "/calls").contains(call.toUtf8()))
                break;
            QTest::qWait(50);
        }
        ready = alive.size() == running;
        why = QString("%1 children running, not %2").arg(alive.size()).arg(running);
    }
    ~Converting()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }
    // Whether every child of the phase has ended within a second.
    bool ChildrenGone()
    {
        QElapsedTimer clock;
        clock.start();
        while (!alive.isEmpty() && clock.elapsed() < 1000) {
            alive.removeIf([](const QString &pid) { return !StillRunning(pid); });
            QTest::qWait(20);
        }
        return alive.isEmpty();
    }
};

} // namespace

class TestFaultsProgramKilled : public QObject {
    Q_OBJECT
private slots:
    // Killed (a crash, SIGKILL): no child goes on without the program. A
    // logout, a shutdown, the terminal closed or Ctrl+C in it: besides, the
    // encoder stops, its cut-off file goes with the two-pass log's folder,
    // the next entry is not started, no message waits for an answer, and the
    // settings are stored as the close box stores them.
    void endedBySystem_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<QString>("call"); // in the fake's log when the phase is reached
        QTest::addColumn<int>("running");  // children running then
        QTest::addColumn<int>("signal");
        QTest::newRow("killed while encoding") << "encoder" << "encode" << 2 << int(SIGKILL); // thumbnail, encoder
        QTest::newRow("killed while asking the encoder") << "question" << "thumb" << 3 << int(SIGKILL); // two questions
        QTest::newRow("logout while encoding") << "encoder" << "encode" << 2 << int(SIGTERM);
        QTest::newRow("terminal closed while encoding") << "encoder" << "encode" << 2 << int(SIGHUP);
        QTest::newRow("Ctrl+C while the encoder is asked") << "question" << "thumb" << 3 << int(SIGINT);
    }
    void endedBySystem()
    {
        QFETCH(QString, phase);
        QFETCH(QString, call);
        QFETCH(int, running);
        QFETCH(int, signal);
        QTemporaryDir scratch;
        Converting run(scratch, phase, call, running);
        QVERIFY2(run.ready, qPrintable(run.why));
        const QString root = QFileInfo(run.folder).path();

        ::kill(static_cast<pid_t>(run.program.processId()), signal);
        QVERIFY(run.program.waitForFinished(10000));
        QVERIFY2(run.ChildrenGone(), qPrintable("still running after a second: " + run.alive.join(' ')));
        if (signal == SIGKILL) {
            QCOMPARE(run.program.exitStatus(), QProcess::CrashExit);
            // The next run clears up: the killed run's folder goes, and the
            // output it had not finished, which would take its name.
            QCOMPARE(ClearKilledRuns(scratch.path()), QStringList{root + "/out/VTS_01_1.avi"});
            QCOMPARE(QDir(root + "/out").entryList(QDir::Files | QDir::Hidden), QStringList());
            QCOMPARE(QDir(scratch.path()).entryList({QCoreApplication::applicationName() + "-*"}, QDir::Dirs),
                     QStringList{QFileInfo(root).fileName()}); // the test's own program folder stays
            return;
        }
        QCOMPARE(run.program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.program.exitCode(), 0);
        QCOMPARE(QDir(root + "/out").entryList(QDir::Files | QDir::Hidden), QStringList());
        // Qt's own runtime folder (XDG_RUNTIME_DIR unset) stays.
        QStringList left = QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeIf([](const QString &name) { return name.startsWith("runtime-"); });
        QCOMPARE(left, QStringList{QFileInfo(root).fileName()});
        QVERIFY(ReadFile(run.folder + "/DVD_zento.ini").contains(QFile::encodeName(root + "/out")));
        QCOMPARE(ReadFile(run.folder + "/calls").count("encode"), phase == "encoder" ? 1 : 0);
    }

    // Before the program's own loop runs: the start's message is open.
    void endedBySystemAtTheStart()
    {
        QProcess program;
        StartAgain(program, {"--start"});
        QVERIFY(program.waitForReadyRead(10000));
        QCOMPARE(program.readLine().trimmed(), QByteArray("shown"));
        ::kill(static_cast<pid_t>(program.processId()), SIGINT);
        const bool ended = program.waitForFinished(10000);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY2(ended, "the window closed, the program went on");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--start") == 0)
        return StartWithMessage();
    if (argc == 3 && qstrcmp(argv[1], "--convert") == 0)
        return ConvertForever(qstrcmp(argv[2], "question") == 0);
    TestFaultsProgramKilled test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_faults_program_killed.moc"
