// The application object: the standard dialogs speak Japanese whatever the
// locale (the tests run under C.UTF-8).
#include "app/application_gui.h"
#include "widgets/multi_col_combo_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTest>

using namespace zento;

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    // The folder chooser keeps its history in the user's settings: a test's own.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void standardButtonsInJapanese_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << "キャンセル";
        QTest::newRow("Yes") << int(QDialogButtonBox::Yes) << "はい(Y)";
        QTest::newRow("No") << int(QDialogButtonBox::No) << "いいえ(N)";
        QTest::newRow("Close") << int(QDialogButtonBox::Close) << "閉じる";
    }
    void standardButtonsInJapanese()
    {
        QFETCH(int, button);
        QFETCH(QString, text);
        QVERIFY(QLocale().language() != QLocale::Japanese);
        // The application object loaded the translation; asking again changes nothing.
        QVERIFY(InstallStandardDialogTranslation());
        const auto which = QDialogButtonBox::StandardButton(button);
        QDialogButtonBox box(which);
        QCOMPARE(box.button(which)->text().remove('&'), text);
    }

    // The name input and the folder chooser, as the program shows them.
    void dialogsInJapanese()
    {
        QInputDialog input;
        input.setInputMode(QInputDialog::TextInput);
        input.setOkButtonText(input.okButtonText()); // makes its buttons
        QCOMPARE(input.cancelButtonText().remove('&'), "キャンセル");

        QFileDialog chooser(nullptr, QString(), QDir::tempPath());
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        chooser.setFileMode(QFileDialog::Directory);
        chooser.setOption(QFileDialog::ShowDirsOnly);
        QStringList texts;
        for (const QPushButton *b : chooser.findChildren<QPushButton *>())
            texts << b->text().remove('&');
        QVERIFY2(texts.contains("キャンセル"), qPrintable(texts.join('|')));
        QStringList labels;
        for (const QLabel *l : chooser.findChildren<QLabel *>())
            labels << l->text();
        QVERIFY2(!labels.filter("Look in").size() && !labels.filter("Directory:").size(), qPrintable(labels.join('|')));
    }

    // A multi-column box drops its list below itself with the rows it is
    // given, under the program's style and under a style that would open it
    // like a menu over the box; its frame keeps the application's colours
    // in a dark window.
    void multiColumnBoxList_data()
    {
        QTest::addColumn<bool>("programStyle");
        QTest::newRow("the program's style") << true;
        QTest::newRow("a style with menu-like lists") << false;
    }
    void multiColumnBoxList()
    {
        QFETCH(bool, programStyle);
        if (!programStyle)
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        const auto restore = qScopeGuard([programStyle] {
            if (!programStyle)
                InstallHintStyle();
        });
        QWidget window;
        window.resize(400, 500);
        QPalette dark = window.palette();
        dark.setColor(QPalette::Window, Qt::black);
        window.setPalette(dark);
        auto *box = new TMultiColComboBox(&window, false);
        box->setGeometry(10, 10, 200, 19);
        for (int i = 0; i < 40; ++i)
            box->AddItem(QString::number(i));
        box->SetDropDownCount(8);
        box->SetItemIndex(20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage closed = box->grab().toImage();
        QVERIFY2(qGray(closed.pixel(0, closed.height() / 2)) > 100, "the frame took the window's dark colour");
        // ... and follows them when they change, as a box with a sheet does.
        const QPalette before = QApplication::palette(box);
        const auto restorePalette = qScopeGuard([&before] { QApplication::setPalette(before, "QComboBox"); });
        QPalette reddish = before;
        reddish.setColor(QPalette::Window, QColor(255, 160, 160));
        QApplication::setPalette(reddish, "QComboBox");
        const QColor frame = box->grab().toImage().pixelColor(0, closed.height() / 2);
        QVERIFY2(frame.red() > frame.green() + 30, qPrintable(frame.name()));

        box->showPopup();
        QAbstractItemView *list = box->view();
        QVERIFY(QTest::qWaitForWindowExposed(list->window()));
        QVERIFY(list->window()->geometry().top() > box->mapToGlobal(QPoint(0, box->height() / 2)).y());
        const int first = list->indexAt(QPoint(1, 1)).row();
        const int last = list->indexAt(QPoint(1, list->viewport()->height() - 2)).row();
        QCOMPARE(last - first + 1, 8);
        box->hidePopup();
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
