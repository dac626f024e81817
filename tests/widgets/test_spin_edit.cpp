#include "platform/dialogs.h"
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

using namespace zento;

namespace {

// Types a text key by key; characters beyond ASCII arrive as an input method
// would send them.
void Type(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClicks(widget, QString(c));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

} // namespace

class TestSpinEdit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typing_data();
    void typing();
    void leavingBringsIntoRange_data();
    void leavingBringsIntoRange();
    void setValueClamps_data();
    void setValueClamps();
    void steps();
    void changeEvents();
    void pasteRefused();
    void colour();

private:
    int beeps_ = 0;
};

void TestSpinEdit::init()
{
    beeps_ = 0;
    SetDialogHooks({{}, [this] { ++beeps_; }, {}});
}

void TestSpinEdit::cleanup()
{
    SetDialogHooks({});
}

void TestSpinEdit::typing_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("beeps");
    QTest::newRow("digits") << 9999 << 3 << "64"
                            << "64" << 0;
    QTest::newRow("typed length") << 9999 << 3 << "1280"
                                  << "128" << 0;
    QTest::newRow("five typed characters") << 10000 << 5 << "123456"
                                           << "12345" << 0;
    QTest::newRow("letters refused") << 999 << 3 << "3a0x"
                                     << "30" << 2;
    QTest::newRow("blank and dot refused") << 999 << 3 << "2 9.9"
                                           << "299" << 2;
    QTest::newRow("signs allowed") << 999 << 3 << "-5"
                                   << "-5" << 0;
    QTest::newRow("plus allowed") << 999 << 3 << "+7"
                                  << "+7" << 0;
    QTest::newRow("above the range while typing") << 99 << 3 << "150"
                                                  << "150" << 0;
    QTest::newRow("full-width digit refused") << 999 << 3 << "１"
                                              << "" << 1;
}

void TestSpinEdit::typing()
{
    QFETCH(int, maximum);
    QFETCH(int, maxLength);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, beeps);
    TSpinEdit spin;
    spin.SetRange(0, maximum);
    spin.SetMaxLength(maxLength);
    spin.show();
    spin.setFocus();
    spin.Edit()->clear();
    Type(&spin, keys);
    QCOMPARE(spin.Edit()->text(), text);
    QCOMPARE(beeps_, beeps);
}

void TestSpinEdit::leavingBringsIntoRange_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("in range") << 999 << "30"
                              << "30" << 30;
    QTest::newRow("above") << 99 << "150"
                           << "99" << 99;
    QTest::newRow("negative") << 999 << "-5"
                              << "0" << 0;
    QTest::newRow("sign alone") << 999 << "-"
                                << "0" << 0;
    QTest::newRow("plus sign") << 999 << "+7"
                               << "7" << 7;
    QTest::newRow("empty") << 999 << ""
                           << "0" << 0;
}

void TestSpinEdit::leavingBringsIntoRange()
{
    QFETCH(int, maximum);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, value);
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
    QTest::keyClicks(spin, keys);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(spin->Edit()->text(), text);
    QCOMPARE(spin->Value(), value);
}

void TestSpinEdit::setValueClamps_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("put");
    QTest::addColumn<int>("value");
    QTest::newRow("inside") << 10000 << 1000 << 1000;
    QTest::newRow("above") << 10000 << 20000 << 10000;
    QTest::newRow("negative") << 9999 << -640 << 0;
    QTest::newRow("beyond the typed length") << 9999 << 1920 << 1920;
    QTest::newRow("upper end") << 99999 << 99999 << 99999;
}

void TestSpinEdit::setValueClamps()
{
    QFETCH(int, maximum);
    QFETCH(int, put);
    QFETCH(int, value);
    TSpinEdit spin;
    spin.SetRange(0, maximum);
    spin.SetMaxLength(3);
    spin.SetValue(put);
    QCOMPARE(spin.Value(), value);
    QCOMPARE(spin.Edit()->text(), QString::number(value));
}

void TestSpinEdit::steps()
{
    TSpinEdit spin;
    spin.SetRange(0, 999);
    spin.SetValue(5);
    spin.show();
    spin.setFocus();
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(spin.Value(), 6);
    QTest::keyClick(&spin, Qt::Key_PageUp);
    QCOMPARE(spin.Value(), 16);
    QTest::keyClick(&spin, Qt::Key_PageDown);
    QTest::keyClick(&spin, Qt::Key_PageDown);
    QCOMPARE(spin.Value(), 0); // stops at the lower end
    QTest::keyClick(&spin, Qt::Key_Down);
    QCOMPARE(spin.Value(), 0);
    spin.SetValue(995);
    QTest::keyClick(&spin, Qt::Key_PageUp);
    QCOMPARE(spin.Value(), 999);
    QCOMPARE(beeps_, 0);
}

void TestSpinEdit::changeEvents()
{
    TSpinEdit spin;
    spin.SetRange(0, 9999);
    spin.SetMaxLength(3);
    QStringList seen;
    spin.OnChange = [&seen](TSpinEdit &sender) { seen << sender.Edit()->text(); };
    spin.SetValue(0); // the text stays "0": no change
    QCOMPARE(seen, QStringList());
    spin.SetValue(640);
    QCOMPARE(seen, QStringList{"640"});
    spin.SetValue(640);
    QCOMPARE(seen.size(), 1);
    spin.SetValue(20000); // brought into range first
    QCOMPARE(seen.last(), QString("9999"));
    seen.clear();
    spin.show();
    spin.setFocus();
    spin.Edit()->selectAll();
    QTest::keyClicks(&spin, "48");
    QCOMPARE(seen, (QStringList{"4", "48"}));
    seen.clear();
    QTest::keyClick(&spin, Qt::Key_Up);
    QCOMPARE(seen, QStringList{"49"});
    seen.clear();
    QTest::keyClick(&spin, Qt::Key_End); // stepping selects the text
    QTest::keyClick(&spin, Qt::Key_Backspace);
    QCOMPARE(seen, QStringList{"4"});
}

void TestSpinEdit::pasteRefused()
{
    TSpinEdit spin;
    spin.SetRange(0, 99999);
    spin.SetMaxLength(5);
    spin.show();
    spin.setFocus();
    spin.Edit()->clear();
    QApplication::clipboard()->setText("44k");
    QTest::keySequence(&spin, QKeySequence::Paste);
    QCOMPARE(spin.Edit()->text(), QString());
    QCOMPARE(beeps_, 1);
    QApplication::clipboard()->setText("48000");
    QTest::keySequence(&spin, QKeySequence::Paste);
    QCOMPARE(spin.Edit()->text(), QString("48000"));
    QCOMPARE(spin.Value(), 48000);
}

void TestSpinEdit::colour()
{
    TSpinEdit spin;
    QCOMPARE(spin.Color(), QColor(192, 192, 192));
    spin.SetColor(QColor(255, 255, 128));
    QCOMPARE(spin.Color(), QColor(255, 255, 128));
    QCOMPARE(spin.Edit()->palette().color(QPalette::Base), QColor(255, 255, 128));
}

QTEST_MAIN(TestSpinEdit)
#include "test_spin_edit.moc"
