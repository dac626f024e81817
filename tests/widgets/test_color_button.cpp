#include "widgets/color_button.h"

#include <QtTest>

using namespace zento;

class TestColorButton : public QObject {
    Q_OBJECT

private slots:
    // A focused button is pressed from the keyboard as a user of forms expects.
    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << true << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << 1;
        QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier) << true << 1;
        QTest::newRow("Ctrl+Enter is not a press") << int(Qt::Key_Return) << int(Qt::ControlModifier) << true << 0;
        QTest::newRow("another key") << int(Qt::Key_A) << int(Qt::NoModifier) << true << 0;
        QTest::newRow("a disabled button") << int(Qt::Key_Return) << int(Qt::NoModifier) << false << 0;
    }
    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, enabled);
        QFETCH(int, clicks);
        QWidget window;
        auto *button = new TdxfColorButton(QStringLiteral("変換！"), &window);
        int pressed = 0;
        button->OnClick = [&pressed](TdxfColorButton &) { ++pressed; };
        button->setEnabled(enabled);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        button->setFocus();
        QTest::keyClick(button, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(pressed, clicks);
    }
};

QTEST_MAIN(TestColorButton)
#include "test_color_button.moc"
