#include "platform/error.h"
#include "widgets/check_list_box.h"

#include <QStyle>
#include <QtTest>

#include <functional>

using namespace zento;

class TestCheckListBox : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void indexErrors_data();
    void indexErrors();
    void newRowsStartUnchecked();
    void changesByCodeRaiseNothing();
    void clickInCheckAreaToggles();
    void otherPressesDoNotToggle_data();
    void otherPressesDoNotToggle();
    void spaceTogglesSelectedRow();
    void disabledRowIsNotToggled();
    void grayedCycle();
    void clearDropsStates();
    void rowHeightFollowsFont();
    void painting();

private:
    std::unique_ptr<TCheckListBox> box_;
    int clickChecks_ = 0;

    QPoint CheckPoint(int row) const;
    QPoint TextPoint(int row) const;
};

void TestCheckListBox::init()
{
    box_ = std::make_unique<TCheckListBox>();
    box_->resize(300, 200);
    clickChecks_ = 0;
    box_->OnClickCheck = [this](TCheckListBox &Sender) {
        QCOMPARE(&Sender, box_.get());
        ++clickChecks_;
    };
    for (const char *text : {"01_0", "01_1", "01_2"})
        box_->AddItem(QString::fromLatin1(text));
    box_->show();
    QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
}

void TestCheckListBox::cleanup()
{
    box_.reset();
}

QPoint TestCheckListBox::CheckPoint(int row) const
{
    const QRect rect = box_->visualItemRect(box_->item(row));
    return QPoint(rect.left() + box_->CheckAreaWidth() - 1, rect.center().y());
}

QPoint TestCheckListBox::TextPoint(int row) const
{
    const QRect rect = box_->visualItemRect(box_->item(row));
    return QPoint(rect.left() + box_->CheckAreaWidth(), rect.center().y());
}

void TestCheckListBox::indexErrors_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("operation");
    const char *names[] = {"IsItemChecked", "SetItemChecked", "ItemCheckState", "SetItemCheckState", "ItemText",
                           "ItemEnabled", "SetItemEnabled"};
    for (int op = 0; op < 7; ++op) {
        QTest::addRow("%s(-1)", names[op]) << -1 << op;
        QTest::addRow("%s(count)", names[op]) << 3 << op;
    }
}

void TestCheckListBox::indexErrors()
{
    QFETCH(int, index);
    QFETCH(int, operation);
    const std::function<void()> operations[] = {
        [&] { box_->IsItemChecked(index); },
        [&] { box_->SetItemChecked(index, true); },
        [&] { box_->ItemCheckState(index); },
        [&] { box_->SetItemCheckState(index, TCheckBoxState::cbChecked); },
        [&] { box_->ItemText(index); },
        [&] { box_->ItemEnabled(index); },
        [&] { box_->SetItemEnabled(index, false); },
    };
    try {
        operations[operation]();
        QFAIL("no error raised");
    } catch (const Error &e) {
        QCOMPARE(e.message(), QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(index));
    }
    QCOMPARE(box_->Count(), 3);
    // The toggle of the user is quietly ignored out of range.
    box_->ToggleItem(index);
    QCOMPARE(clickChecks_, 0);
}

void TestCheckListBox::newRowsStartUnchecked()
{
    QCOMPARE(box_->Count(), 3);
    QCOMPARE(box_->Items(), (QStringList{"01_0", "01_1", "01_2"}));
    QCOMPARE(box_->AddItem("02_0"), 3);
    QCOMPARE(box_->ItemText(3), "02_0");
    for (int i = 0; i < box_->Count(); ++i) {
        QVERIFY(!box_->IsItemChecked(i));
        QCOMPARE(box_->ItemCheckState(i), TCheckBoxState::cbUnchecked);
        QVERIFY(box_->ItemEnabled(i));
    }
}

void TestCheckListBox::changesByCodeRaiseNothing()
{
    box_->SetItemChecked(1, true);
    QVERIFY(box_->IsItemChecked(1));
    QVERIFY(!box_->IsItemChecked(0));
    box_->SetItemChecked(1, true); // already so
    QVERIFY(box_->IsItemChecked(1));
    box_->SetItemCheckState(2, TCheckBoxState::cbGrayed);
    QCOMPARE(box_->ItemCheckState(2), TCheckBoxState::cbGrayed);
    QVERIFY(!box_->IsItemChecked(2));
    box_->SetItemChecked(2, false); // grayed reads as not checked: nothing to do
    QCOMPARE(box_->ItemCheckState(2), TCheckBoxState::cbGrayed);
    box_->SetItemChecked(1, false);
    QVERIFY(!box_->IsItemChecked(1));
    QCOMPARE(clickChecks_, 0);
}

void TestCheckListBox::clickInCheckAreaToggles()
{
    QTest::mouseClick(box_->viewport(), Qt::LeftButton, {}, CheckPoint(1));
    QVERIFY(box_->IsItemChecked(1));
    QCOMPARE(clickChecks_, 1);
    QCOMPARE(box_->currentRow(), 1); // the ordinary list handling ran too
    QVERIFY(!box_->IsItemChecked(0));
    QVERIFY(!box_->IsItemChecked(2));

    // Far enough from the first click not to make a double click.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(box_->viewport(), Qt::LeftButton, {}, CheckPoint(1));
    QVERIFY(!box_->IsItemChecked(1));
    QCOMPARE(clickChecks_, 2);

    // The left edge of the check area counts as well.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QRect rect = box_->visualItemRect(box_->item(2));
    QTest::mouseClick(box_->viewport(), Qt::LeftButton, {}, QPoint(rect.left(), rect.center().y()));
    QVERIFY(box_->IsItemChecked(2));
    QCOMPARE(clickChecks_, 3);
}

void TestCheckListBox::otherPressesDoNotToggle_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("where"); // 0 check area, 1 start of the text, 2 below the rows
    QTest::addColumn<int>("selected");
    QTest::newRow("left button on the text") << int(Qt::LeftButton) << 1 << 1;
    QTest::newRow("right button in check area") << int(Qt::RightButton) << 0 << -1;
    QTest::newRow("middle button in check area") << int(Qt::MiddleButton) << 0 << -1;
    QTest::newRow("left button below the rows") << int(Qt::LeftButton) << 2 << -1;
}

void TestCheckListBox::otherPressesDoNotToggle()
{
    QFETCH(int, button);
    QFETCH(int, where);
    QFETCH(int, selected);
    box_->SetItemChecked(2, true);
    QPoint at = where == 1 ? TextPoint(1) : CheckPoint(1);
    if (where == 2) {
        at.setY(box_->visualItemRect(box_->item(2)).bottom() + 10);
        QVERIFY(at.y() < box_->viewport()->height());
    }
    QTest::mouseClick(box_->viewport(), Qt::MouseButton(button), {}, at);
    if (selected >= 0)
        QVERIFY(box_->item(selected)->isSelected());
    QCOMPARE((QList<bool>{box_->IsItemChecked(0), box_->IsItemChecked(1), box_->IsItemChecked(2)}),
             (QList<bool>{false, false, true}));
    QCOMPARE(clickChecks_, 0);
}

void TestCheckListBox::spaceTogglesSelectedRow()
{
    box_->setFocus();
    // No selected row: nothing to toggle.
    box_->clearSelection();
    QTest::keyClick(box_.get(), Qt::Key_Space);
    QCOMPARE(clickChecks_, 0);
    QVERIFY(!box_->IsItemChecked(0) && !box_->IsItemChecked(1) && !box_->IsItemChecked(2));

    box_->setCurrentRow(1);
    QVERIFY(box_->item(1)->isSelected());
    QTest::keyClick(box_.get(), Qt::Key_Space);
    QVERIFY(box_->IsItemChecked(1));
    QCOMPARE(clickChecks_, 1);
    QTest::keyClick(box_.get(), Qt::Key_Space);
    QVERIFY(!box_->IsItemChecked(1));
    QCOMPARE(clickChecks_, 2);
    // Other keys do not toggle.
    QTest::keyClick(box_.get(), Qt::Key_Return);
    QTest::keyClick(box_.get(), Qt::Key_X);
    QVERIFY(!box_->IsItemChecked(1));
    QCOMPARE(clickChecks_, 2);
}

void TestCheckListBox::disabledRowIsNotToggled()
{
    box_->SetItemEnabled(0, false);
    QVERIFY(!box_->ItemEnabled(0));
    QTest::mouseClick(box_->viewport(), Qt::LeftButton, {}, CheckPoint(0));
    box_->setFocus();
    box_->setCurrentRow(0);
    QTest::keyClick(box_.get(), Qt::Key_Space);
    QVERIFY(!box_->IsItemChecked(0));
    QCOMPARE(clickChecks_, 0);
    // Code may still tick it.
    box_->SetItemChecked(0, true);
    QVERIFY(box_->IsItemChecked(0));
}

void TestCheckListBox::grayedCycle()
{
    QVERIFY(!box_->AllowGrayed());
    box_->SetAllowGrayed(true);
    QList<TCheckBoxState> seen;
    for (int i = 0; i < 3; ++i) {
        box_->ToggleItem(0);
        seen << box_->ItemCheckState(0);
    }
    QCOMPARE(seen, (QList<TCheckBoxState>{TCheckBoxState::cbGrayed, TCheckBoxState::cbChecked,
                                          TCheckBoxState::cbUnchecked}));
    QCOMPARE(clickChecks_, 3);

    // Without grayed toggling, a grayed row set by code becomes checked.
    box_->SetAllowGrayed(false);
    box_->SetItemCheckState(1, TCheckBoxState::cbGrayed);
    box_->ToggleItem(1);
    QCOMPARE(box_->ItemCheckState(1), TCheckBoxState::cbChecked);
    box_->ToggleItem(1);
    QCOMPARE(box_->ItemCheckState(1), TCheckBoxState::cbUnchecked);
}

void TestCheckListBox::clearDropsStates()
{
    for (int i = 0; i < 3; ++i)
        box_->SetItemChecked(i, true);
    box_->SetItemEnabled(1, false);
    box_->Clear();
    QCOMPARE(box_->Count(), 0);
    for (const char *text : {"a", "b", "c", "d"})
        box_->AddItem(QString::fromLatin1(text));
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!box_->IsItemChecked(i));
        QVERIFY(box_->ItemEnabled(i));
    }
}

void TestCheckListBox::rowHeightFollowsFont()
{
    for (int pixels : {11, 16, 24}) {
        QFont font = box_->font();
        font.setPixelSize(pixels);
        box_->setFont(font);
        QTest::qWait(1);
        const int expected = QFontMetrics(font).height();
        QCOMPARE(box_->RowHeight(), expected);
        QCOMPARE(box_->visualItemRect(box_->item(1)).height(), expected);
        QCOMPARE(box_->visualItemRect(box_->item(1)).top(), expected);
    }
}

void TestCheckListBox::painting()
{
    QFont font = box_->font();
    font.setPixelSize(24); // rows taller than the check box
    box_->setFont(font);
    QPalette palette = box_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0, 0, 160));
    palette.setColor(QPalette::Dark, QColor(128, 0, 0));
    box_->setPalette(palette);
    box_->setCurrentRow(0);
    box_->SetItemChecked(1, true);
    QTest::qWait(1);

    const QImage image = box_->viewport()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const auto pixel = [&](int x, int y) { return QColor(image.pixel(int(x * ratio), int(y * ratio))); };

    const QRect row0 = box_->visualItemRect(box_->item(0));
    QVERIFY(row0.height() > box_->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, box_.get()));
    // The check area of the selected row keeps the control's background ...
    QCOMPARE(pixel(row0.left(), row0.top() + 1), QColor(Qt::white));
    // ... while its text part shows the selection.
    const QColor selection = pixel(row0.right() - 8, row0.center().y());
    QVERIFY2(selection == box_->palette().color(QPalette::Active, QPalette::Highlight) ||
                 selection == box_->palette().color(QPalette::Inactive, QPalette::Highlight),
             qPrintable(selection.name()));
    QVERIFY(selection != QColor(Qt::white));

    // The flat frame: one pixel inside the box's edges, in the shadow colour.
    const int boxWidth = box_->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box_.get());
    const int boxHeight = box_->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, box_.get());
    for (int row = 0; row < 2; ++row) {
        const QRect rect = box_->visualItemRect(box_->item(row));
        const QRect boxRect(rect.left() + (box_->CheckAreaWidth() - boxWidth) / 2,
                            rect.top() + (rect.height() - boxHeight) / 2, boxWidth, boxHeight);
        QCOMPARE(pixel(boxRect.left() + 1, boxRect.top() + 1), QColor(128, 0, 0));
        QCOMPARE(pixel(boxRect.right() - 1, boxRect.bottom() - 1), QColor(128, 0, 0));
        // Outside the frame, the box's own border is not drawn.
        QCOMPARE(pixel(boxRect.left(), boxRect.top()), QColor(Qt::white));
    }

    // Without the flat look the frame is the style's own.
    box_->SetFlat(false);
    QTest::qWait(1);
    const QImage plain = box_->viewport()->grab().toImage();
    QVERIFY(plain != image);
}

QTEST_MAIN(TestCheckListBox)
#include "test_check_list_box.moc"
