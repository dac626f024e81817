#include "convert/progress_form.h"
#include "support/test_support.h"
#include "widgets/shadow_label.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <sys/wait.h>

using namespace zento;

class TestProgressForm : public QObject {
    Q_OBJECT
private slots:
    void design()
    {
        TProgressForm1 form;
        QCOMPARE(form.size(), QSize(401, 72));
        QVERIFY(form.windowFlags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint));
        QCOMPARE(form.Image1->size(), QSize(80, 60));
        QCOMPARE(form.Label1->text(), "***.*** -> ***.***");
        QCOMPARE(form.ProgressBar1->maximum(), 10);
        QCOMPARE(form.CButton1->text(), "中止");
        QCOMPARE(form.CButton1->toolTip(), " 変換中止");
        QCOMPARE(form.Timer1->interval(), 1000);
        QVERIFY(!form.Timer1->isActive());
    }

    // Closed any other way than by the run's release, it would hide the cancel.
    void closedOnlyByRelease()
    {
        QPointer<TProgressForm1> form = new TProgressForm1;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        form->Release();
        QVERIFY(!form->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
    }

    // Without the mouse: the cancel has the keyboard while the run goes on,
    // and the control the user was on has it back afterwards.
    void keyboardGoesToTheCancelAndBack()
    {
        QWidget owner;
        auto *other = new QPushButton("a", &owner);
        auto *start = new QPushButton("b", &owner);
        start->move(0, 40);
        owner.show();
        owner.activateWindow();
        start->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), start);
        auto *form = new TProgressForm1(&owner);
        form->show();
        owner.setEnabled(false);
        QTRY_COMPARE(QApplication::focusWidget(), form->CButton1);
        form->Release();
        owner.setEnabled(true);
        QTRY_COMPARE(QApplication::focusWidget(), start);
        QVERIFY(other->isEnabled());
    }

    // A disc's long name is cut in its middle: the output's number and
    // extension stay in sight, and the whole name shows over it.
    void longNameCutInItsMiddle_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("title")
            << "T01 (0:02:30) -> とても長い日本語のディスクの名前映画全集第二巻特別版ディレクターズカット_01.mp4";
        QTest::newRow("file") << "VTS_01_1.VOB -> VTS_01_1.avi";
    }
    void longNameCutInItsMiddle()
    {
        QFETCH(QString, text);
        TProgressForm1 form;
        form.Label1->setText(text);
        const QString shown = static_cast<TShadowLabel *>(form.Label1)->ShownText();
        QVERIFY(QFontMetrics(form.Label1->font()).horizontalAdvance(shown) < form.Label1->width());
        QVERIFY(shown.startsWith(text.left(15)));
        QVERIFY(shown.endsWith(text.right(7)));
        QCOMPARE(shown == text, text.size() < 40);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHelpEvent help(QEvent::ToolTip, form.Label1->geometry().center(),
                        form.mapToGlobal(form.Label1->geometry().center()));
        QApplication::sendEvent(&form, &help);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), shown == text ? QString() : text);
        QToolTip::hideText();
    }

    void percentText_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("expected");
        QTest::newRow("12.5 to even 12") << 1 << 8 << "12 %";
        QTest::newRow("37.5 to even 38") << 3 << 8 << "38 %";
        QTest::newRow("0.5 to even 0") << 1 << 200 << "0 %";
        QTest::newRow("1.5 to even 2") << 3 << 200 << "2 %";
        QTest::newRow("66.7 up") << 2 << 3 << "67 %";
        QTest::newRow("empty range") << 0 << 0 << "0 %";
    }
    void percentText()
    {
        QFETCH(int, position);
        QFETCH(int, maximum);
        QFETCH(QString, expected);
        TProgressForm1 form;
        form.ProgressBar1->setMaximum(maximum);
        form.ProgressBar1->setValue(position);
        QCOMPARE(form.ProgressBar1->text(), expected);
    }

    void sizeLabel()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath("VTS_01_1.VOB"), output = dir.filePath("VTS_01_1.avi");
        QPointer<QProcess> encoder;
        TProgressForm1 form;
        form.BindRunState(&source, &output, &encoder);
        const auto shown = [&](qint64 sourceBytes, qint64 outputBytes) { // -1: no output file yet
            test::WriteFile(source, QByteArray(sourceBytes, 'x'));
            QFile::remove(output);
            if (outputBytes >= 0)
                test::WriteFile(output, QByteArray(outputBytes, 'x'));
            form.Timer1Timer(form.Timer1);
            return form.Label2->text();
        };
        QCOMPARE(shown(999, -1), "0KB -> 0KB");
        QCOMPARE(shown(1000, -1), "1KB -> 0KB");
        QCOMPARE(shown(2500000, 52428800), "2500KB -> 52428KB");
    }

    void draggedByLabelNotByBar()
    {
        TProgressForm1 form;
        form.move(200, 200);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto drag = [&form](QWidget *grip) { // by (30, 20); how far the window went
            const QPoint start = form.pos();
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease}) {
                const QPointF at = type == QEvent::MouseButtonPress ? QPointF(10, 5) : QPointF(40, 25);
                const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
                const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
                QMouseEvent event(type, at, grip->mapToGlobal(at), button, held, Qt::NoModifier);
                QApplication::sendEvent(grip, &event);
            }
            return form.pos() - start;
        };
        QCOMPARE(drag(form.Label1), QPoint(30, 20));
        QCOMPARE(drag(form.ProgressBar1), QPoint());
    }

    // The encoder running ("sleep"), ended but not yet noticed ("true"), or none.
    void cancel_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("running: stopped") << "sleep" << 1 << true;
        QTest::newRow("running, clicked twice") << "sleep" << 2 << true;
        QTest::newRow("ended unnoticed") << "true" << 1 << false;
        QTest::newRow("no encoder") << QString() << 1 << false;
    }
    void cancel()
    {
        QFETCH(QString, program);
        QFETCH(int, clicks);
        QFETCH(bool, cancelled);
        test::DialogRecorder dialogs;
        QProcess process;
        QPointer<QProcess> encoder;
        if (!program.isEmpty()) {
            process.start(program, {"30"});
            QVERIFY(process.waitForStarted());
            encoder = &process;
            // An encoder that is not cancelled ends meanwhile, unnoticed: no
            // events are handled. Its exit is waited for without reaping it,
            // so that QProcess still has it to find.
            if (!cancelled) {
                siginfo_t exited{};
                QCOMPARE(::waitid(P_PID, static_cast<id_t>(process.processId()), &exited, WEXITED | WNOWAIT | __WALL),
                         0);
                QCOMPARE(exited.si_code, CLD_EXITED);
            }
            QCOMPARE(process.state(), QProcess::Running);
        }
        const QString none;
        TProgressForm1 form;
        form.BindRunState(&none, &none, &encoder);
        for (int i = 0; i < clicks; ++i)
            form.CButton1->click();
        QCOMPARE(process.state(), QProcess::NotRunning);
        QCOMPARE(form.Cancelled, cancelled);
        QCOMPARE(form.KeepOutput, !cancelled); // a cut-off output goes; one that may be complete stays
        // every click that stopped nothing says so, with a beep
        const int failures = clicks - (cancelled ? 1 : 0);
        QCOMPARE(dialogs.messages, QStringList(failures, "変換を中止できませんでした。"));
        QCOMPARE(dialogs.beeps, failures);
    }
};

QTEST_MAIN(TestProgressForm)
#include "test_progress_form.moc"
