// The program on a virtual display with a window manager that frames its
// windows, as a desktop has one: the window opens where it was closed.
#include "support/test_support.h"

#include <QtTest>

using namespace zento;

class TestWindowManagerE2e : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    QProcess display_, manager_;

    QString Folder() const { return root_.filePath("program"); }

    // The program's visible window, once it shows ("" if it never does).
    static QString WindowOf(qint64 pid)
    {
        QString id;
        const auto shown = [&] {
            id = test::Run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)}).section('\n', 0, 0);
            return !id.isEmpty() && !id.startsWith("failed");
        };
        return QTest::qWaitFor(shown, 20000) ? id : QString();
    }
    // Where the window stands on the screen, from the display itself.
    static QPoint Position(const QString &id)
    {
        const QStringList shell = test::Run("xdotool", {"getwindowgeometry", "--shell", id}).split('\n');
        return QPoint(shell.value(1).section('=', 1).toInt(), shell.value(2).section('=', 1).toInt()); // X=, Y=
    }

private slots:
    void initTestCase()
    {
        for (const char *tool : {"Xvfb", "openbox", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QString("%1 is not installed").arg(tool)));
        QVERIFY(root_.isValid());
        // A portable copy of the program, which keeps its settings beside it.
        QVERIFY(QDir().mkpath(Folder()));
        QVERIFY(QFile::copy(ZENTO_PROGRAM_DIR "/DVD_zento", Folder() + "/DVD_zento"));
        QVERIFY(QFile::copy(ZENTO_PROGRAM_DIR "/profile.txt", Folder() + "/profile.txt"));
        QFile(Folder() + "/profile.txt").setPermissions(QFile::ReadOwner | QFile::WriteOwner);

        // The display names itself once it takes connections.
        QTemporaryFile number(root_.filePath("display-XXXXXX"));
        QVERIFY(number.open());
        display_.setStandardInputFile(QProcess::nullDevice());
        // (-noreset: else each client that leaves, as every xdotool call does,
        // resets the display under the next one to connect)
        display_.start("sh", {"-c", "exec Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>\"$0\"",
                              number.fileName()});
        QByteArray name;
        QVERIFY(QTest::qWaitFor([&] { return (name = test::ReadFile(number.fileName())).endsWith('\n'); }, 20000));
        qputenv("DISPLAY", ":" + name.trimmed());
        QVERIFY(QTest::qWaitFor([] { return test::Run("xdotool", {"getdisplaygeometry"}) == "1280 1024"; }, 20000));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", root_.path());
        manager_.setProcessEnvironment(environment);
        manager_.setStandardInputFile(QProcess::nullDevice());
        manager_.setProcessChannelMode(QProcess::MergedChannels);
        manager_.start("openbox", {});
        QVERIFY(manager_.waitForStarted());
        // The manager has taken the screen once it keeps desktops.
        QVERIFY2(QTest::qWaitFor([] { return test::Run("xdotool", {"get_desktop"}) == "0"; }, 20000),
                 manager_.readAll().constData());
    }
    void cleanupTestCase()
    {
        for (QProcess *process : {&manager_, &display_}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }

    // Started, left alone and closed with the window manager's key, several
    // times over, as the fault came and went with the manager's timing.
    void opensWhereItWasClosed()
    {
        const QList<QPoint> places = {{500, 20}, {300, 240}, {640, 480}, {120, 60}, {500, 20}};
        for (const QPoint &place : places) {
            QVERIFY(test::WriteFile(Folder() + "/DVD_zento.ini", QString("[SET]\r\nM_LEFT=%1\r\nM_TOP=%2\r\n")
                                                                     .arg(place.x())
                                                                     .arg(place.y())
                                                                     .toLatin1()));
            QProcess program;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_QPA_PLATFORM", "xcb");
            environment.insert("HOME", root_.path());
            program.setProcessEnvironment(environment);
            program.setStandardInputFile(QProcess::nullDevice());
            program.start(Folder() + "/DVD_zento", {});
            QVERIFY(program.waitForStarted());
            const QString id = WindowOf(program.processId());
            QVERIFY2(!id.isEmpty(), "no window");
            QVERIFY(QTest::qWaitFor([&] { return Position(id) == place; }, 10000));
            test::Run("xdotool", {"windowactivate", "--sync", id, "key", "--clearmodifiers", "alt+F4"});
            QVERIFY(program.waitForFinished(20000));
            const QByteArray ini = test::ReadFile(Folder() + "/DVD_zento.ini");
            QVERIFY2(ini.contains(QString("M_LEFT=%1\r\n").arg(place.x()).toLatin1()) &&
                         ini.contains(QString("M_TOP=%1\r\n").arg(place.y()).toLatin1()),
                     qPrintable(QString("shown at %1,%2; stored: %3")
                                    .arg(place.x())
                                    .arg(place.y())
                                    .arg(QString::fromLatin1(ini.left(40)))));
        }
    }
};

QTEST_MAIN(TestWindowManagerE2e)
#include "test_window_manager_e2e.moc"
