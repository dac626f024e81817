#include "support/test_support.h"
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using namespace zento;

class TestSpinEdit : public QObject {
    Q_OBJECT
private slots:
    void typing_data();
    void typing();
    void stepsAndChanges();
    void insertedText_data();
    void insertedText();
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

void TestSpinEdit::insertedText_data()
{
    QTest::addColumn<QString>("before"); // the field's text, the cursor at its end
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("after"); // at most 3 characters
    QTest::addColumn<bool>("beep");
    QTest::newRow("fits") << "5"
                          << "12"
                          << "512" << false;
    QTest::newRow("cut to the limit") << "1"
                                      << "5000"
                                      << "150" << false;
    QTest::newRow("cut to the room left") << "75"
                                          << "5000"
                                          << "755" << false;
    QTest::newRow("no room left") << "123"
                                  << "4"
                                  << "123" << false;
    QTest::newRow("letter refused") << "1"
                                    << "4k"
                                    << "1" << true;
    QTest::newRow("blank refused") << "1"
                                   << " 2"
                                   << "1" << true;
    QTest::newRow("line end refused") << "2"
                                      << "12\n"
                                      << "2" << true;
    QTest::newRow("full-width digits refused") << "3"
                                               << "１２"
                                               << "3" << true;
}

// Text that arrives by any way but single keys follows the typing rules:
// anything but digits and signs is refused with a beep, and what is taken is
// cut to the field's limit.
void TestSpinEdit::insertedText()
{
    QFETCH(QString, before);
    QFETCH(QString, inserted);
    QFETCH(QString, after);
    QFETCH(bool, beep);
    QWidget window;
    auto *spin = new TSpinEdit(&window);
    spin->setGeometry(0, 0, 80, 22);
    spin->SetRange(0, 9999);
    spin->SetMaxLength(3);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    spin->setFocus();
    QLineEdit *edit = spin->Edit();
    const QPoint end(edit->width() - 2, edit->height() / 2);

    const QList<std::pair<const char *, std::function<void()>>> ways{
        {"paste key",
         [&] {
             QApplication::clipboard()->setText(inserted);
             QTest::keySequence(spin, QKeySequence::Paste);
         }},
        {"menu paste",
         [&] {
             QApplication::clipboard()->setText(inserted);
             bool triggered = false;
             QTimer::singleShot(0, [&] {
                 auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                 QVERIFY(menu);

                 for (QAction *action : menu->actions())
                     if (action->text().startsWith("&Paste")) {
                         QVERIFY(action->isEnabled());
                         action->trigger();
                         triggered = true;
                     }
                 menu->close();
             });
             QContextMenuEvent event(QContextMenuEvent::Mouse, end, edit->mapToGlobal(end));
             QApplication::sendEvent(edit, &event);
             QVERIFY(triggered);
         }},
        {"input method",
         [&] {
             QInputMethodEvent commit;
             commit.setCommitString(inserted);
             QApplication::sendEvent(QGuiApplication::focusObject(), &commit);
         }},
        {"middle click",
         [&] {
             QApplication::clipboard()->setText(inserted, QClipboard::Selection);
             QTest::mouseClick(edit, Qt::MiddleButton, {}, end);
         }},
    };
    for (const auto &[way, insert] : ways) {
        if (QByteArray(way) == "middle click" && !QApplication::clipboard()->supportsSelection())
            continue;            // the platform has no selection to paste
        window.activateWindow(); // back from the menu
        QVERIFY(QTest::qWaitForWindowActive(&window));
        spin->setFocus();
        QCOMPARE(QGuiApplication::focusObject(), spin);
        test::DialogRecorder dialogs;
        edit->setText(before);
        edit->setCursorPosition(before.size());
        insert();
        QVERIFY2(edit->text() == after, qPrintable(QString("%1: %2").arg(way, edit->text())));
        QVERIFY2(dialogs.beeps == (beep ? 1 : 0), way);
    }
    // The field takes no drops at all.
    edit->setText(before);
    QMimeData data;
    data.setText(inserted);
    QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QVERIFY(!enter.isAccepted());
    QCOMPARE(edit->text(), before);
}

QTEST_MAIN(TestSpinEdit)
#include "test_spin_edit.moc"
