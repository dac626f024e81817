#include "platform/error.h"
#include "widgets/check_list_box.h"

#include <QScrollBar>
#include <QtTest>

using namespace zento;

class TestCheckListBox : public QObject {
    Q_OBJECT
    std::unique_ptr<TCheckListBox> box_;
    int clickChecks_ = 0;

    QList<bool> Checked() const
    {
        QList<bool> checked;
        for (int i = 0; i < box_->Count(); ++i)
            checked << box_->IsItemChecked(i);
        return checked;
    }

private slots:
    void init()
    {
        box_ = std::make_unique<TCheckListBox>();
        box_->resize(300, 200);
        clickChecks_ = 0;
        box_->OnClickCheck = [this](TCheckListBox &) { ++clickChecks_; };
        for (const char *text : {"01_0", "01_1", "01_2"})
            box_->AddItem(QString::fromLatin1(text));
        box_->show();
        QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
    }

    void indexErrors()
    {
        const QList<std::function<void(int)>> operations{
            [&](int i) { box_->IsItemChecked(i); },
            [&](int i) { box_->SetItemChecked(i, true); },
            [&](int i) { box_->ItemCheckState(i); },
            [&](int i) { box_->SetItemCheckState(i, TCheckBoxState::cbChecked); },
            [&](int i) { box_->ItemText(i); },
            [&](int i) { box_->ItemEnabled(i); },
            [&](int i) { box_->SetItemEnabled(i, false); },
        };
        for (int index : {-1, 3}) {
            for (const auto &operation : operations) {
                QString message;
                try {
                    operation(index);
                } catch (const Error &e) {
                    message = e.message();
                }
                QCOMPARE(message, QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(index));
            }
            box_->ToggleItem(index); // the user's toggle is quietly ignored out of range
        }
        QCOMPARE(box_->Count(), 3);
        QCOMPARE(clickChecks_, 0);
    }

    void changesByCode()
    {
        QCOMPARE(box_->AddItem("02_0"), 3);
        QCOMPARE(box_->Items(), (QStringList{"01_0", "01_1", "01_2", "02_0"}));
        QCOMPARE(Checked(), (QList<bool>{false, false, false, false}));
        box_->SetItemChecked(1, true);
        box_->SetItemCheckState(2, TCheckBoxState::cbGrayed);
        box_->SetItemChecked(2, false); // grayed reads as not checked: nothing to do
        QCOMPARE(box_->ItemCheckState(2), TCheckBoxState::cbGrayed);
        QCOMPARE(Checked(), (QList<bool>{false, true, false, false}));
        QCOMPARE(clickChecks_, 0);

        // Clear drops the states: new rows start unchecked and enabled.
        box_->SetItemEnabled(1, false);
        box_->Clear();
        for (const char *text : {"a", "b", "c"})
            box_->AddItem(QString::fromLatin1(text));
        QCOMPARE(Checked(), (QList<bool>{false, false, false}));
        QVERIFY(box_->ItemEnabled(1));
    }

    void longRowCanBeScrolledTo_data()
    {
        QTest::addColumn<int>("at"); // where the long row goes among the short ones
        QTest::newRow("first") << 0;
        QTest::newRow("between") << 1;
        QTest::newRow("last") << 3;
    }
    void longRowCanBeScrolledTo()
    {
        QFETCH(int, at);
        const QString longRow = "T01 2:01:33 日本語 AC3 6ch アングル×2 フィルム 日本語 字幕 (まとめて再生)";
        QStringList rows{"T02 0:00:12", "T03 0:00:12", "T04 0:00:12"};
        rows.insert(at, longRow);
        box_->Clear();
        for (const QString &row : rows)
            box_->AddItem(row);
        const int needed = box_->fontMetrics().horizontalAdvance(longRow);
        QVERIFY2(needed > box_->viewport()->width(), "the row fits; the case needs one that does not");
        QTRY_VERIFY2(box_->horizontalScrollBar()->maximum() + box_->viewport()->width() >= needed,
                     qPrintable(QString::number(box_->horizontalScrollBar()->maximum())));
        // A row's text grown in place (its subtitles chosen) widens the list too.
        const QString grown = rows.at(at == 0 ? 1 : 0) + " 日本語 字幕" + longRow;
        box_->item(at == 0 ? 1 : 0)->setText(grown);
        QTRY_VERIFY2(box_->horizontalScrollBar()->maximum() + box_->viewport()->width() >=
                         box_->fontMetrics().horizontalAdvance(grown),
                     qPrintable(QString::number(box_->horizontalScrollBar()->maximum())));
    }

    void mouse_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("where"); // on row 1: check area's right, its left edge, the text; below the rows
        QTest::addColumn<bool>("toggles");
        QTest::newRow("check area") << int(Qt::LeftButton) << 0 << true;
        QTest::newRow("left edge of the check area") << int(Qt::LeftButton) << 1 << true;
        QTest::newRow("text: only selects") << int(Qt::LeftButton) << 2 << false;
        QTest::newRow("right button") << int(Qt::RightButton) << 0 << false;
        QTest::newRow("below the rows") << int(Qt::LeftButton) << 3 << false;
    }

    void mouse()
    {
        QFETCH(int, button);
        QFETCH(int, where);
        QFETCH(bool, toggles);
        const QRect row = box_->visualItemRect(box_->item(1));
        const int area = box_->CheckAreaWidth();
        const QPoint points[] = {{area - 1, 0}, {0, 0}, {area, 0}, {area - 1, 3 * row.height()}};
        const QPoint at = QPoint(row.left(), row.center().y()) + points[where];
        QVERIFY(at.y() < box_->viewport()->height());
        QTest::mouseClick(box_->viewport(), Qt::MouseButton(button), {}, at);
        if (button == Qt::LeftButton && where < 3)
            QVERIFY(box_->item(1)->isSelected()); // the ordinary list handling ran too
        QCOMPARE(Checked(), (QList<bool>{false, toggles, false}));
        QCOMPARE(clickChecks_, int(toggles));
        if (!toggles)
            return;
        QTest::qWait(QApplication::doubleClickInterval() + 50); // not a double click
        QTest::mouseClick(box_->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(Checked(), (QList<bool>{false, false, false}));
        QCOMPARE(clickChecks_, 2);
    }

    void keysAndDisabledRows()
    {
        box_->setFocus();
        QTest::keyClick(box_.get(), Qt::Key_Space); // no selected row: nothing to toggle
        box_->setCurrentRow(1);
        QTest::keyClick(box_.get(), Qt::Key_Space);
        QCOMPARE(Checked(), (QList<bool>{false, true, false}));
        QTest::keyClicks(box_.get(), "\rx "); // other keys do not toggle
        QCOMPARE(Checked(), (QList<bool>{false, false, false}));
        QCOMPARE(clickChecks_, 2);

        // A disabled row is not toggled by the user.
        box_->SetItemEnabled(0, false);
        const QRect row = box_->visualItemRect(box_->item(0));
        QTest::mouseClick(box_->viewport(), Qt::LeftButton, {}, QPoint(row.left() + 2, row.center().y()));
        box_->setCurrentRow(0);
        QTest::keyClick(box_.get(), Qt::Key_Space);
        QCOMPARE(Checked(), (QList<bool>{false, false, false}));
        QCOMPARE(clickChecks_, 2);
    }

    void grayedCycle()
    {
        box_->SetAllowGrayed(true);
        QList<TCheckBoxState> seen;
        for (int i = 0; i < 3; ++i) {
            box_->ToggleItem(0);
            seen << box_->ItemCheckState(0);
        }
        // Without grayed toggling, a grayed row set by code becomes checked.
        box_->SetAllowGrayed(false);
        box_->SetItemCheckState(1, TCheckBoxState::cbGrayed);
        box_->ToggleItem(1);
        seen << box_->ItemCheckState(1);
        using S = TCheckBoxState;
        QCOMPARE(seen, (QList<S>{S::cbGrayed, S::cbChecked, S::cbUnchecked, S::cbChecked}));
        QCOMPARE(clickChecks_, 4);
    }
};

QTEST_MAIN(TestCheckListBox)
#include "test_check_list_box.moc"
