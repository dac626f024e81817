#include "convert/file_size.h"
#include "convert/jpeg_image.h"
#include "convert/progress_form.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace zento;

namespace
{

struct Recorded {
    QStringList messages;
    int beeps = 0;
};

void WriteBytes(const QString &path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(QByteArray(count, 'x'));
}

void SendMouse(QWidget *target, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPointF global = target->mapToGlobal(QPointF(local));
    QMouseEvent event(type, QPointF(local), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestProgressForm : public QObject
{
    Q_OBJECT
  private:
    Recorded recorded_;

  private slots:
    void init()
    {
        recorded_ = Recorded();
        SetDialogHooks({[this](const QString &text) { recorded_.messages << text; },
                        [this] { ++recorded_.beeps; }, nullptr});
    }
    void cleanup() { SetDialogHooks({}); }

    void design()
    {
        TProgressForm1 form;
        QCOMPARE(form.size(), QSize(401, 72));
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form.isWindow());
        QCOMPARE(form.Image1->geometry(), QRect(6, 6, 80, 60));
        QCOMPARE(form.Label1->pos(), QPoint(96, 18));
        QCOMPARE(form.Label2->pos(), QPoint(96, 32));
        QCOMPARE(form.Label1->text(), QStringLiteral("***.*** -> ***.***"));
        QCOMPARE(form.Label2->text(), QStringLiteral("0KB -> 0KB"));
        QCOMPARE(form.ProgressBar1->geometry(), QRect(92, 48, 300, 15));
        QCOMPARE(form.ProgressBar1->minimum(), 0);
        QCOMPARE(form.ProgressBar1->maximum(), 10);
        QCOMPARE(form.ProgressBar1->value(), 0);
        QCOMPARE(form.ProgressBar1->text(), QStringLiteral("0 %"));
        QCOMPARE(form.CButton1->geometry(), QRect(332, 4, 66, 16));
        QCOMPARE(form.CButton1->text(), QStringLiteral("中止"));
        QCOMPARE(form.CButton1->toolTip(), QStringLiteral(" 変換中止"));
        QCOMPARE(form.Timer1->interval(), 1000);
        QVERIFY(!form.Timer1->isActive());
        QVERIFY(form.KeepOutput);
        QVERIFY(!form.HasPicture());
    }

    void percentText_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("expected");
        QTest::newRow("third of eight") << 2 << 8 << "25 %";
        QTest::newRow("one entry") << 0 << 1 << "0 %";
        QTest::newRow("12.5 to even 12") << 1 << 8 << "12 %";
        QTest::newRow("37.5 to even 38") << 3 << 8 << "38 %";
        QTest::newRow("2.5 to even 2") << 1 << 40 << "2 %";
        QTest::newRow("7.5 to even 8") << 3 << 40 << "8 %";
        QTest::newRow("0.5 to even 0") << 1 << 200 << "0 %";
        QTest::newRow("1.5 to even 2") << 3 << 200 << "2 %";
        QTest::newRow("33.3 down") << 1 << 3 << "33 %";
        QTest::newRow("66.7 up") << 2 << 3 << "67 %";
        QTest::newRow("full") << 10 << 10 << "100 %";
        QTest::newRow("empty range") << 0 << 0 << "0 %";
    }
    void percentText()
    {
        QFETCH(int, position);
        QFETCH(int, maximum);
        QFETCH(QString, expected);
        QCOMPARE(PercentText(position, 0, maximum), expected);
        TProgressForm1 form;
        form.ProgressBar1->setMaximum(maximum);
        form.ProgressBar1->setValue(position);
        QCOMPARE(form.ProgressBar1->text(), expected);
    }

    void sizeRefresh_data()
    {
        QTest::addColumn<qint64>("sourceBytes");
        QTest::addColumn<qint64>("outputBytes"); // -1: no output file yet
        QTest::addColumn<QString>("expected");
        QTest::newRow("999 bytes is 0 KB") << qint64(999) << qint64(-1) << "0KB -> 0KB";
        QTest::newRow("1000 bytes is 1 KB") << qint64(1000) << qint64(-1) << "1KB -> 0KB";
        QTest::newRow("before the encoder wrote") << qint64(123456) << qint64(-1) << "123KB -> 0KB";
        QTest::newRow("empty output") << qint64(5000) << qint64(0) << "5KB -> 0KB";
        QTest::newRow("both") << qint64(2500000) << qint64(52428800) << "2500KB -> 52428KB";
    }
    void sizeRefresh()
    {
        QFETCH(qint64, sourceBytes);
        QFETCH(qint64, outputBytes);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("VTS_01_1.VOB"));
        const QString output = dir.filePath(QStringLiteral("VTS_01_1.avi"));
        WriteBytes(source, sourceBytes);
        if (outputBytes >= 0)
            WriteBytes(output, outputBytes);
        QPointer<QProcess> encoder;
        TProgressForm1 form;
        form.BindRunState(&source, &output, &encoder);
        form.Timer1Timer(form.Timer1);
        QCOMPARE(form.Label2->text(), expected);
        QCOMPARE(form.SourceSize, sourceBytes);
        QCOMPARE(form.OutputSize, outputBytes);
    }

    void sizeRefreshWithoutPaths()
    {
        TProgressForm1 unbound;
        unbound.Timer1Timer();
        QCOMPARE(unbound.Label2->text(), QStringLiteral("0KB -> 0KB"));
        const QString empty;
        QPointer<QProcess> encoder;
        TProgressForm1 form;
        form.BindRunState(&empty, &empty, &encoder);
        form.Label2->setText(QStringLiteral("x"));
        form.Timer1Timer();
        QCOMPARE(form.Label2->text(), QStringLiteral("0KB -> 0KB"));
    }

    void picture()
    {
        TProgressForm1 form;
        RgbImage image;
        image.width = 160;
        image.height = 120;
        image.rgb = QByteArray(160 * 120 * 3, char(0x80));
        form.SetPicture(image);
        QVERIFY(form.HasPicture());
        QCOMPARE(form.Image1->pixmap().size(), QSize(80, 60));
        form.ClearPicture();
        QVERIFY(!form.HasPicture());
        RgbImage broken = image;
        broken.rgb.truncate(10);
        form.SetPicture(broken);
        QVERIFY(!form.HasPicture());
    }

    void centredOverOwner()
    {
        QWidget owner;
        owner.setGeometry(120, 80, 434, 574);
        owner.show();
        TProgressForm1 form(&owner);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint delta = form.frameGeometry().center() - owner.frameGeometry().center();
        QVERIFY2(delta.manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(delta.x()).arg(delta.y())));
        QVERIFY(form.parentWidget() == nullptr); // stays usable while the owner is disabled
        owner.setEnabled(false);
        QVERIFY(form.isEnabled());
    }

    void draggedByLabelNotByBar()
    {
        TProgressForm1 form;
        form.move(200, 200);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint start = form.pos();
        const QPoint grip(10, 5);
        SendMouse(form.Label1, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
        SendMouse(form.Label1, QEvent::MouseMove, grip + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
        SendMouse(form.Label1, QEvent::MouseButtonRelease, grip + QPoint(30, 20), Qt::LeftButton,
                  Qt::NoButton);
        if (form.pos() == start)
            QSKIP("the platform moved the window itself");
        QCOMPARE(form.pos(), start + QPoint(30, 20));

        const QPoint afterDrag = form.pos();
        SendMouse(form.ProgressBar1, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
        SendMouse(&form, QEvent::MouseMove, QPoint(150, 60), Qt::NoButton, Qt::LeftButton);
        SendMouse(&form, QEvent::MouseButtonRelease, QPoint(150, 60), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(form.pos(), afterDrag);
    }

    void cancelStopsRunningEncoder()
    {
        QProcess process;
        process.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(process.waitForStarted());
        QPointer<QProcess> encoder(&process);
        const QString none;
        TProgressForm1 form;
        form.BindRunState(&none, &none, &encoder);
        QElapsedTimer clock;
        clock.start();
        form.CButton1Click(form.CButton1);
        QCOMPARE(process.state(), QProcess::NotRunning);
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(form.Cancelled);
        QVERIFY(!form.KeepOutput); // the cut-off output goes
        QVERIFY(recorded_.messages.isEmpty());
        QCOMPARE(recorded_.beeps, 0);

        // a second click in the same round finds nothing to stop
        form.CButton1Click(form.CButton1);
        QCOMPARE(recorded_.messages, QStringList{QStringLiteral("変換を中止できませんでした。")});
        QCOMPARE(recorded_.beeps, 1);
        QVERIFY(!form.KeepOutput); // still the cut-off output of the first
    }

    void cancelAfterEncoderEndedUnnoticed()
    {
        QProcess process;
        process.start(QStringLiteral("true"));
        QVERIFY(process.waitForStarted());
        QThread::msleep(300); // ended meanwhile; no events handled, so not noticed yet
        QCOMPARE(process.state(), QProcess::Running);
        QPointer<QProcess> encoder(&process);
        const QString none;
        TProgressForm1 form;
        form.BindRunState(&none, &none, &encoder);
        form.CButton1Click();
        QCOMPARE(recorded_.messages, QStringList{QStringLiteral("変換を中止できませんでした。")});
        QCOMPARE(recorded_.beeps, 1);
        QVERIFY(form.KeepOutput); // it may be complete
        QVERIFY(!form.Cancelled);
    }

    void cancelWithoutEncoder()
    {
        TProgressForm1 unbound;
        unbound.CButton1Click();
        QPointer<QProcess> encoder;
        const QString none;
        TProgressForm1 form;
        form.BindRunState(&none, &none, &encoder);
        form.KeepOutput = true;
        form.CButton1->click(); // through the button
        QCOMPARE(recorded_.messages.size(), 2);
        QCOMPARE(recorded_.beeps, 2);
        QVERIFY(form.KeepOutput);
    }
};

QTEST_MAIN(TestProgressForm)
#include "test_progress_form.moc"
