// The application object: the standard dialogs speak Japanese whatever the
// locale (the tests run under C.UTF-8).
#include "app/application_gui.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>

using namespace zento;

class TestApplication : public QObject {
    Q_OBJECT
private slots:
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
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
