#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QTimer>
#include <QtTest>

using namespace zento;

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    // However long a report is, all of it can be read and its OK button is
    // on the screen.
    void messageFitsTheScreen_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("plainBox"); // short enough for the message box itself
        QTest::newRow("one line") << 1 << true;
        QTest::newRow("a report of 60 titles") << 60 << false;
    }
    void messageFitsTheScreen()
    {
        QFETCH(int, entries);
        QFETCH(bool, plainBox);
        QString text = QStringLiteral("変換できなかったファイルがあります。");
        for (int i = 1; i <= entries; ++i)
            text += QStringLiteral("\n\nMYDISC_%1.mp4\n  エンコーダの終了コード: 1\n  Conversion failed!").arg(i);
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();

        // What the dialog shows, taken while it is open; it is then closed
        // with its OK button, so a failing check never leaves it waiting.
        bool seen = false, isBox = false, okOnScreen = false, scrolls = false;
        QString shown;
        QRect frame;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            look.stop();
            seen = true;
            auto *box = qobject_cast<QMessageBox *>(dialog);
            const auto *view = dialog->findChild<QPlainTextEdit *>();
            const auto *buttons = dialog->findChild<QDialogButtonBox *>();
            isBox = box != nullptr;
            shown = box ? box->text() : view ? view->toPlainText() : QString();
            frame = dialog->frameGeometry();
            scrolls = view && view->verticalScrollBar()->maximum() > 0;
            QAbstractButton *ok = box       ? box->button(QMessageBox::Ok)
                                  : buttons ? buttons->button(QDialogButtonBox::Ok)
                                            : nullptr;
            okOnScreen = ok && ok->isVisible() && room.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size()));
            if (ok)
                ok->click();
            else
                dialog->close();
        });
        look.start(10);
        ShowMessage(text);
        look.stop();
        QVERIFY(seen);
        QCOMPARE(isBox, plainBox);
        QCOMPARE(shown, text);
        QVERIFY(room.contains(frame));
        QVERIFY(okOnScreen);
        QCOMPARE(scrolls, !plainBox); // the end of a long one is scrolled to
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
