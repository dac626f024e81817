#include "support/test_support.h"
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

using namespace zento;

class TestSpinEdit : public QObject {
    Q_OBJECT
private slots:
    void typing_data();
    void typing();
    void stepsAndChanges();
};

void TestSpinEdit::typing_data()
{
    QTest::addColumn<QString>("keys"); // at most 3 typed characters
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("left"); // the text once the field is left
    QTest::newRow("typed length") << "1280" << 9999 << "128" << 0 << "128";
    QTest::newRow("letters refused") << "3a0x" << 999 << "30" << 2 << "30";
    QTest::newRow("blank and dot refused") << "2 9.9" << 999 << "299" << 2 << "299";
    QTest::newRow("full-width digit refused") << "１" << 999 << "" << 1 << "0";
    QTest::newRow("above the range") << "150" << 99 << "150" << 0 << "99";
    QTest::newRow("negative") << "-5" << 999 << "-5" << 0 << "0";
    QTest::newRow("plus sign") << "+7" << 999 << "+7" << 0 << "7";
    QTest::newRow("sign alone") << "-" << 999 << "-" << 0 << "0";
}

void TestSpinEdit::typing()
{
    QFETCH(QString, keys);
    QFETCH(int, maximum);
    QFETCH(QString, typed);
    QFETCH(int, beeps);
    QFETCH(QString, left);
    test::DialogRecorder dialogs;
    QWidget window;
    auto *spin = new TSpinEdit(&window);
    spin->SetRange(0, maximum);
    spin->SetMaxLength(3);
    auto *other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    spin->setFocus();
    spin->Edit()->clear();
    for (QChar c : keys) { // characters beyond ASCII arrive as an input method sends them
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        if (c.unicode() < 128)
            QTest::keyClicks(spin, QString(c));
        else
            QApplication::sendEvent(spin, &press);
    }
    QCOMPARE(spin->Edit()->text(), typed);
    QCOMPARE(dialogs.beeps, beeps);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(spin->Edit()->text(), left);
    QCOMPARE(spin->Value(), left.toInt());

    // A pasted text obeys the same rules.
    spin->setFocus();
    spin->Edit()->clear();
    QApplication::clipboard()->setText("4k");
    QTest::keySequence(spin, QKeySequence::Paste);
    QCOMPARE(spin->Edit()->text(), QString());
    QCOMPARE(dialogs.beeps, beeps + 1);
}

void TestSpinEdit::stepsAndChanges()
{
    test::DialogRecorder dialogs;
    TSpinEdit spin;
    spin.SetRange(0, 9999);
    spin.SetMaxLength(3);
    QStringList seen;
    spin.OnChange = [&seen](TSpinEdit &sender) { seen << sender.Edit()->text(); };
    // Only a changed text counts; values are brought into range, whatever the typed length.
    for (int value : {0, 640, 640, 20000, -640})
        spin.SetValue(value);
    QCOMPARE(seen, (QStringList{"640", "9999", "0"}));
    seen.clear();
    spin.show();
    spin.setFocus();
    spin.Edit()->selectAll();
    QTest::keyClicks(&spin, "48");
    QTest::keyClick(&spin, Qt::Key_Up);
    QTest::keyClick(&spin, Qt::Key_End); // stepping selects the text
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QCOMPARE(seen, (QStringList{"4", "48", "49", "4"}));
    // Steps of 1 and 10 stop at the ends of the range.
    const QList<std::pair<Qt::Key, int>> keys{
        {Qt::Key_PageUp, 14}, {Qt::Key_PageDown, 4}, {Qt::Key_PageDown, 0}, {Qt::Key_Down, 0}, {Qt::Key_Up, 1}};
    for (const auto &[key, value] : keys) {
        QTest::keyClick(&spin, key);
        QCOMPARE(spin.Value(), value);
    }
    spin.SetValue(9995);
    QTest::keyClick(&spin, Qt::Key_PageUp);
    QCOMPARE(spin.Value(), 9999);
    QCOMPARE(dialogs.beeps, 0);
    // A wheel turns the value only while the field has the focus.
    const auto wheel = [&spin] {
        const QPointF at(5, 5);
        QWheelEvent event(at, spin.mapToGlobal(at), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&spin, &event);
    };
    spin.clearFocus();
    wheel();
    QCOMPARE(spin.Value(), 9999);
    QVERIFY(!spin.hasFocus());
    spin.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&spin));
    spin.setFocus();
    QVERIFY(spin.hasFocus());
    wheel();
    QCOMPARE(spin.Value(), 9998);
}

QTEST_MAIN(TestSpinEdit)
#include "test_spin_edit.moc"
