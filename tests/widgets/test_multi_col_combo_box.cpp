#include "options/catalogue.h"
#include "options/preset_file.h"
#include "widgets/multi_col_combo_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTest>

using namespace zento;

namespace {

const QColor kLightGrey(240, 240, 240);
const QColor kLightYellow(255, 255, 128);
const QColor kHighlight(10, 36, 106);
const QColor kHighlightText(255, 255, 255);
const QColor kText(0, 0, 0);

QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The box as the main window sets it up, with fixed colours for the checks.
void SetUpLikeMainWindow(TMultiColComboBox &box, const QList<int> &widths, const QList<QColor> &colours)
{
    QPalette palette = box.palette();
    palette.setColor(QPalette::Highlight, kHighlight);
    palette.setColor(QPalette::HighlightedText, kHighlightText);
    palette.setColor(QPalette::Text, kText);
    box.setPalette(palette);
    box.SetCanEdit(false);
    box.SetIndent(1);
    box.SetDropDownCount(30);
    box.SetItemHeight(13);
    box.Columns().Clear();
    for (int i = 0; i < widths.size(); ++i) {
        TCBColumn &column = box.Columns().Add();
        column.SetWidth(widths.at(i));
        column.SetColor(colours.at(i));
        column.SetFont(box.font());
        column.SetParentColor(false);
        column.SetParentFont(false);
        column.SetAlignment(TAlignment::taLeftJustify);
    }
}

QImage Grab(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor Pixel(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

// Pixels of the rectangle that differ from the background: the text's ink.
QList<QPoint> Ink(const QImage &image, const QRect &area, const QColor &background)
{
    QList<QPoint> ink;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (QColor(image.pixel(x, y)) != background)
                ink.append(QPoint(x, y));
    return ink;
}

int LeftmostInk(const QList<QPoint> &ink)
{
    int left = INT_MAX;
    for (const QPoint &p : ink)
        left = std::min(left, p.x());
    return left;
}

int RightmostInk(const QList<QPoint> &ink)
{
    int right = INT_MIN;
    for (const QPoint &p : ink)
        right = std::max(right, p.x());
    return right;
}

QRect FieldRect(TMultiColComboBox &box)
{
    QStyleOptionComboBox option;
    option.initFrom(&box);
    option.editable = false;
    option.subControls = QStyle::SC_All;
    return box.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &box);
}

} // namespace

class TestMultiColComboBox : public QObject {
    Q_OBJECT
private slots:
    void keyAndWholeText_data();
    void keyAndWholeText();
    void addingSelectsNothing();
    void insertDeleteClearStayInStep();
    void targetColumn();
    void onChangeOnlyOnUserPick();
    void editableField();
    void columnParentRules();
    void dropDownWidth();
    void rowHeightAndVisibleRows();
    void openListCells();
    void openListCellsCutAtRowEdge();
    void cellTextPlacement();
    void mnemonic();
    void noColumns();
    void closedField();
    void closedFieldFocused();
    void showsCataloguesAndPresets();
};

void TestMultiColComboBox::keyAndWholeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("targetColumn");
    QTest::addColumn<QString>("key");

    QTest::newRow("catalogue row") << "AVI,XviD/MS-MPEG4/etc..." << 0 << "AVI";
    QTest::newRow("catalogue label") << "AVI,XviD/MS-MPEG4/etc..." << 1 << "XviD/MS-MPEG4/etc...";
    QTest::newRow("id alone, no second part") << "MPEG4" << 1 << "";
    QTest::newRow("unquoted blank splits") << "a b,c" << 1 << "b";
    QTest::newRow("quoted blank") << "\"a b\",c" << 0 << "a b";
    QTest::newRow("trailing comma") << "a," << 1 << "";
    QTest::newRow("japanese") << U("自動,元の形式を維持") << 0 << U("自動");
}

void TestMultiColComboBox::keyAndWholeText()
{
    QFETCH(QString, text);
    QFETCH(int, targetColumn);
    QFETCH(QString, key);

    TMultiColComboBox box;
    box.SetTargetColumn(targetColumn);
    box.AddItem(text);
    QCOMPARE(box.itemText(0), key); // the toolkit's own list holds the key
    QCOMPARE(box.Item(0), text);
    QCOMPARE(box.Items(), QStringList{text});
    box.SetItemIndex(0);
    QCOMPARE(box.GetSelectedText(), key);
    QCOMPARE(box.currentText(), key);
}

void TestMultiColComboBox::addingSelectsNothing()
{
    for (bool canEdit : {true, false}) {
        TMultiColComboBox box;
        box.SetCanEdit(canEdit);
        box.AddItem(QStringLiteral("AVI,XviD"));
        box.AddItem(QStringLiteral("MPG,MPEG1"));
        QCOMPARE(box.ItemIndex(), -1);
        QCOMPARE(box.GetSelectedText(), QString());
        QCOMPARE(box.currentText(), QString());
        box.SetItemIndex(1);
        QCOMPARE(box.GetSelectedText(), QStringLiteral("MPG"));
        for (int outside : {2, 99, -1, -5}) {
            box.SetItemIndex(1);
            box.SetItemIndex(outside);
            QCOMPARE(box.ItemIndex(), -1);
            QCOMPARE(box.GetSelectedText(), QString());
        }
    }
}

void TestMultiColComboBox::insertDeleteClearStayInStep()
{
    TMultiColComboBox box;
    box.AddItem(QStringLiteral("A,1"));
    box.AddItem(QStringLiteral("C,3"));
    box.InsertItem(1, QStringLiteral("B,2"));
    box.InsertItem(0, QStringLiteral("Z,0"));
    box.InsertItem(99, QStringLiteral("D,4")); // beyond the end: appended
    QCOMPARE(box.Items(), (QStringList{"Z,0", "A,1", "B,2", "C,3", "D,4"}));
    QCOMPARE(box.ItemCount(), 5);
    box.SetItemIndex(2);
    box.DeleteItem(0);
    QCOMPARE(box.Items(), (QStringList{"A,1", "B,2", "C,3", "D,4"}));
    for (int i = 0; i < box.ItemCount(); ++i)
        QCOMPARE(box.itemText(i), box.Item(i).left(1));
    QCOMPARE(box.GetSelectedText(), QStringLiteral("B")); // the same row stays selected
    box.DeleteItem(7);                                    // no such row: nothing happens
    QCOMPARE(box.ItemCount(), 4);
    QCOMPARE(box.Item(7), QString());
    QCOMPARE(box.Item(-1), QString());
    box.ClearItems();
    QCOMPARE(box.ItemCount(), 0);
    QCOMPARE(box.Items(), QStringList{});
    QCOMPARE(box.ItemIndex(), -1);
}

void TestMultiColComboBox::targetColumn()
{
    TMultiColComboBox box;
    const QString preset = QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps");
    box.AddItem(QString::fromUtf8(kManualPresetRow));
    box.AddItem(preset);
    box.SetItemIndex(1);
    const QStringList parts = preset.split(u',');
    for (int column = 0; column < 9; ++column) {
        box.SetTargetColumn(column);
        QCOMPARE(box.TargetColumn(), column);
        QCOMPARE(box.GetSelectedText(), parts.at(column));
    }
    box.SetTargetColumn(9);
    QCOMPARE(box.GetSelectedText(), QString());
    box.SetTargetColumn(-1);
    QCOMPARE(box.GetSelectedText(), QString());

    // The keys of rows already added stay; rows added now take the new column.
    box.SetTargetColumn(2);
    box.AddItem(preset);
    QCOMPARE(box.itemText(0), U("手動"));
    QCOMPARE(box.itemText(1), QStringLiteral("DVD"));
    QCOMPARE(box.itemText(2), QStringLiteral("640x480"));
    box.SetTargetColumn(0);
    QCOMPARE(box.GetSelectedText(), QStringLiteral("DVD"));
}

void TestMultiColComboBox::onChangeOnlyOnUserPick()
{
    QWidget window;
    auto *box = new TMultiColComboBox(&window);
    box->SetCanEdit(false);
    box->setGeometry(10, 10, 200, 19);
    for (const QString &row : CatalogueRows(Catalogue::Containers))
        box->AddItem(row);
    QList<int> picks;
    box->OnChange = [&](TMultiColComboBox &sender) {
        QCOMPARE(&sender, box);
        picks.append(sender.ItemIndex());
    };
    box->SetItemIndex(3);
    box->SetItemIndex(0);
    box->SetItemIndex(-1);
    QCOMPARE(picks, QList<int>{});

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->SetItemIndex(0);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down); // the user steps to the next row
    QCOMPARE(box->ItemIndex(), 1);
    QCOMPARE(picks, QList<int>{1});

    // A click on a row of the open list.
    box->showPopup();
    QAbstractItemView *view = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QRect row4 = view->visualRect(box->model()->index(4, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row4.center());
    QTRY_COMPARE(box->ItemIndex(), 4);
    QCOMPARE(picks, (QList<int>{1, 4}));
    QCOMPARE(box->GetSelectedText(), QStringLiteral("MP4"));
}

void TestMultiColComboBox::editableField()
{
    TMultiColComboBox box;
    QVERIFY(box.CanEdit()); // the default
    QVERIFY(box.isEditable());
    box.AddItem(QStringLiteral("AVI,XviD"));
    box.AddItem(QStringLiteral("MPG,MPEG1"));
    box.SetItemIndex(1);
    int changes = 0;
    box.OnChange = [&](TMultiColComboBox &) { ++changes; };

    // Text the user typed is the selected text until a row is picked again.
    QTest::keyClicks(box.lineEdit(), QStringLiteral("X"));
    QCOMPARE(changes, 1);
    QCOMPARE(box.GetSelectedText(), box.lineEdit()->text());
    QVERIFY(box.GetSelectedText().contains(u'X'));
    QCOMPARE(box.ItemCount(), 2); // typing adds no row
    box.SetItemIndex(0);
    QCOMPARE(box.GetSelectedText(), QStringLiteral("AVI"));

    box.SetCanEdit(false);
    QVERIFY(!box.isEditable());
    QVERIFY(!box.lineEdit());
    QCOMPARE(box.ItemIndex(), 0);
    QCOMPARE(box.GetSelectedText(), QStringLiteral("AVI"));
}

void TestMultiColComboBox::columnParentRules()
{
    TMultiColComboBox box;
    QCOMPARE(box.Columns().Count(), 1);
    TCBColumn &first = box.Columns()[0];
    QCOMPARE(first.Width(), 60);
    QCOMPARE(first.Alignment(), TAlignment::taLeftJustify);
    QVERIFY(first.ParentColor());
    QVERIFY(first.ParentFont());
    QCOMPARE(first.Color(), box.Color());
    QCOMPARE(box.Indent(), 2);
    QCOMPARE(box.ItemHeight(), 15);
    QCOMPARE(box.TargetColumn(), 0);

    // Colour: follows the box while the flag is set; a different colour clears it.
    box.SetColor(Qt::red);
    QCOMPARE(first.Color(), QColor(Qt::red));
    first.SetColor(Qt::red); // the same colour: still following
    QVERIFY(first.ParentColor());
    first.SetColor(Qt::blue);
    QVERIFY(!first.ParentColor());
    box.SetColor(Qt::green);
    QCOMPARE(first.Color(), QColor(Qt::blue));
    first.SetParentColor(true);
    QCOMPARE(first.Color(), QColor(Qt::green));
    box.SetColor(Qt::yellow);
    QCOMPARE(first.Color(), QColor(Qt::yellow));

    // Font: a copy of the box's font, renewed while the flag is set.
    QFont big = box.font();
    big.setPixelSize(20);
    box.setFont(big);
    QCOMPARE(first.Font().pixelSize(), 20);
    QFont bold = first.Font();
    bold.setBold(true);
    first.SetFont(bold);
    QVERIFY(!first.ParentFont());
    QFont small = box.font();
    small.setPixelSize(9);
    box.setFont(small);
    QCOMPARE(first.Font().pixelSize(), 20);
    QVERIFY(first.Font().bold());
    first.SetParentFont(true);
    QVERIFY(first.ParentFont());
    QCOMPARE(first.Font().pixelSize(), 9);
    QVERIFY(!first.Font().bold());

    // A column added later starts from the box's colour and font.
    TCBColumn &second = box.Columns().Add();
    QCOMPARE(second.Color(), QColor(Qt::yellow));
    QCOMPARE(second.Font().pixelSize(), 9);
    QCOMPARE(box.Columns().Count(), 2);
    QCOMPARE(box.Columns().TotalWidth(), 120);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, box.Columns()[2]);
}

void TestMultiColComboBox::dropDownWidth()
{
    // Columns narrower in sum than the box: the list is as wide as the box.
    // (The widths of the main window's boxes: showsCataloguesAndPresets.)
    QWidget window;
    window.resize(800, 600);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {40, 30}, {Qt::white, Qt::white});
    box->setGeometry(10, 10, 200, 19);
    box->AddItem(QStringLiteral("AVI,XviD"));
    int dropDowns = 0;
    box->OnDropDown = [&](TMultiColComboBox &) {
        ++dropDowns;
        // A handler may still change the columns: the width is taken after it.
        box->Columns()[0].SetWidth(300);
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->showPopup();
    QWidget *popup = box->view()->window();
    QVERIFY(popup != &window);
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    QCOMPARE(dropDowns, 1);
    QCOMPARE(popup->width(), 330);
    box->hidePopup();
    box->OnDropDown = nullptr;
    box->Columns()[0].SetWidth(40);
    box->showPopup();
    QCOMPARE(popup->width(), 200);
    box->hidePopup();
}

void TestMultiColComboBox::rowHeightAndVisibleRows()
{
    QWidget window;
    window.resize(600, 800);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {150, 220}, {Qt::white, kLightYellow});
    box->setGeometry(10, 10, 150, 19);
    for (const QString &row : CatalogueRows(Catalogue::AudioCodecs))
        box->AddItem(row);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QRect first = view->visualRect(box->model()->index(0, 0));
    const QRect second = view->visualRect(box->model()->index(1, 0));
    QCOMPARE(first.height(), 13);
    QCOMPARE(second.top(), first.bottom() + 1);
    // 30 rows at a time out of 52.
    QCOMPARE(view->viewport()->height() / 13, 30);
    QVERIFY(view->verticalScrollBar()->isVisible()); // the other 22 rows are a scroll away
    box->hidePopup();
}

void TestMultiColComboBox::openListCells()
{
    QWidget window;
    window.resize(600, 600);
    auto *box = new TMultiColComboBox(&window);
    const QColor first(255, 255, 255);
    SetUpLikeMainWindow(*box, {60, 50}, {first, kLightYellow});
    box->setGeometry(10, 10, 200, 19); // the list is 200 wide: 90 more than the columns
    box->AddItem(QStringLiteral("A,B"));
    box->AddItem(QStringLiteral("C,D"));
    box->AddItem(QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW,")); // far wider than its cell
    box->AddItem(QStringLiteral("ONE"));
    box->SetItemIndex(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QImage image = Grab(view->viewport());
    auto row = [&](int r) { return view->visualRect(box->model()->index(r, 0)); };
    const int rowRight = view->viewport()->width() - 1;
    QVERIFY(rowRight > 110);

    // Row 0: the columns' colours, the rest of the row in the last one.
    const int y0 = row(0).center().y();
    QCOMPARE(Pixel(image, 58, y0), first);
    QCOMPARE(Pixel(image, 108, y0), kLightYellow);
    QCOMPARE(Pixel(image, 150, y0), kLightYellow);
    QCOMPARE(Pixel(image, rowRight, y0), kLightYellow);
    QVERIFY(!Ink(image, QRect(0, row(0).top(), 60, 13), first).isEmpty());             // "A"
    QVERIFY(!Ink(image, QRect(60, row(0).top(), 50, 13), kLightYellow).isEmpty());     // "B"
    QVERIFY(Ink(image, QRect(110, row(0).top(), rowRight - 110, 13), kLightYellow).isEmpty());

    // Row 1 is selected: the highlight colour over the whole row, text in the highlight text colour.
    const QRect selected = row(1).adjusted(1, 1, -1, -1); // inside the focus frame
    QCOMPARE(Pixel(image, 58, selected.center().y()), kHighlight);
    QCOMPARE(Pixel(image, 108, selected.center().y()), kHighlight);
    QCOMPARE(Pixel(image, rowRight - 2, selected.center().y()), kHighlight);
    bool highlightText = false;
    for (const QPoint &p : Ink(image, QRect(1, selected.top(), 58, selected.height()), kHighlight))
        highlightText = highlightText || Pixel(image, p.x(), p.y()) == kHighlightText;
    QVERIFY(highlightText);

    // Row 2: the long text stays inside its cell; its empty second part shows nothing.
    QVERIFY(!Ink(image, QRect(0, row(2).top(), 60, 13), first).isEmpty());
    QVERIFY(Ink(image, QRect(60, row(2).top(), rowRight - 60 + 1, 13), kLightYellow).isEmpty());

    // Row 3 has fewer parts than columns: the second cell is empty.
    QVERIFY(Ink(image, QRect(60, row(3).top(), rowRight - 60 + 1, 13), kLightYellow).isEmpty());
    box->hidePopup();
}

void TestMultiColComboBox::openListCellsCutAtRowEdge()
{
    QWidget window;
    window.resize(600, 600);
    auto *box = new TMultiColComboBox(&window);
    const QColor third(200, 220, 255);
    SetUpLikeMainWindow(*box, {100, 100, 300}, {Qt::white, kLightGrey, third});
    box->setGeometry(10, 10, 150, 19);
    box->AddItem(QStringLiteral("a,b,c"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    QCOMPARE(view->window()->width(), 500);
    const QImage image = Grab(view->viewport());
    const int right = view->viewport()->width() - 1;
    QVERIFY(right < 499); // the frame takes some of the 500: the last column is cut
    const int y = view->visualRect(box->model()->index(0, 0)).center().y();
    QCOMPARE(Pixel(image, 150, y), kLightGrey);
    QCOMPARE(Pixel(image, right, y), third);
    box->hidePopup();
}

void TestMultiColComboBox::cellTextPlacement()
{
    // Indent moves the text in from the left, or from the right for a
    // right-justified column; centred text sits in the middle.
    QWidget window;
    window.resize(600, 600);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {100, 100, 100}, {Qt::white, Qt::white, Qt::white});
    box->Columns()[1].SetAlignment(TAlignment::taRightJustify);
    box->Columns()[2].SetAlignment(TAlignment::taCenter);
    box->setGeometry(10, 10, 300, 19);
    box->AddItem(QStringLiteral("IIII,IIII,IIII"));
    box->AddItem(QStringLiteral("x,y,z"));
    box->SetItemIndex(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto inkOf = [&](int indent, int column) {
        box->SetIndent(indent);
        box->showPopup();
        QAbstractItemView *view = box->view();
        if (!QTest::qWaitForWindowExposed(view->window()))
            return QList<QPoint>{};
        const QRect row = view->visualRect(box->model()->index(0, 0));
        const QImage image = Grab(view->viewport());
        box->hidePopup();
        return Ink(image, QRect(column * 100, row.top(), 100, row.height()), Qt::white);
    };
    const QList<QPoint> leftNear = inkOf(1, 0);
    const QList<QPoint> leftFar = inkOf(11, 0);
    QVERIFY(!leftNear.isEmpty() && !leftFar.isEmpty());
    QCOMPARE(LeftmostInk(leftFar) - LeftmostInk(leftNear), 10);
    QVERIFY(LeftmostInk(leftNear) >= 1);

    const QList<QPoint> rightNear = inkOf(1, 1);
    const QList<QPoint> rightFar = inkOf(11, 1);
    QCOMPARE(RightmostInk(rightNear) - RightmostInk(rightFar), 10);
    QVERIFY(RightmostInk(rightNear) <= 199 - 1);
    QVERIFY(RightmostInk(rightNear) >= 199 - 4);

    const QList<QPoint> centred = inkOf(0, 2);
    const int middle = (LeftmostInk(centred) + RightmostInk(centred)) / 2;
    QVERIFY2(std::abs(middle - 250) <= 2, qPrintable(QString::number(middle)));
}

void TestMultiColComboBox::mnemonic()
{
    // "&" underlines the next character and is not shown; "&&" shows one "&".
    QWidget window;
    window.resize(600, 600);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {200}, {Qt::white});
    box->setGeometry(10, 10, 200, 19);
    box->AddItem(QStringLiteral("HH"));
    box->AddItem(QStringLiteral("H&H"));
    box->AddItem(QStringLiteral("H&&H"));
    box->AddItem(QStringLiteral("x"));
    box->SetItemIndex(3);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QImage image = Grab(view->viewport());
    auto width = [&](int r) {
        const QRect row = view->visualRect(box->model()->index(r, 0));
        const QList<QPoint> ink = Ink(image, QRect(0, row.top(), 200, row.height()), Qt::white);
        return RightmostInk(ink) - LeftmostInk(ink);
    };
    QVERIFY2(std::abs(width(1) - width(0)) <= 1, qPrintable(QString("%1 %2").arg(width(1)).arg(width(0))));
    QVERIFY(width(2) > width(0) + 3);
    box->hidePopup();
}

void TestMultiColComboBox::noColumns()
{
    QWidget window;
    window.resize(400, 400);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {}, {});
    const QColor colour(100, 200, 100);
    box->SetColor(colour);
    box->setGeometry(10, 10, 120, 19);
    box->AddItem(QStringLiteral("A,B"));
    box->AddItem(QStringLiteral("C"));
    box->SetItemIndex(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    QCOMPARE(view->window()->width(), 120);
    const QImage image = Grab(view->viewport());
    const QRect row = view->visualRect(box->model()->index(0, 0));
    QVERIFY(Ink(image, QRect(0, row.top(), view->viewport()->width(), row.height()), colour).isEmpty());
    box->hidePopup();
}

void TestMultiColComboBox::closedField()
{
    QWidget window;
    window.resize(300, 100);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {190, 60}, {Qt::white, kLightGrey});
    const QColor silver(192, 192, 192);
    box->SetColor(silver);
    box->setGeometry(10, 10, 250, 19);
    box->AddItem(QString::fromUtf8(kManualPresetRow));
    box->AddItem(QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect field = FieldRect(*box);
    QVERIFY(field.width() > 100);

    // No row: only the background.
    QVERIFY(Ink(Grab(box), field, silver).isEmpty());

    // A row: its key, drawn from 2 pixels in, on the box's colour.
    box->SetItemIndex(1);
    const QImage dvd = Grab(box);
    const QList<QPoint> ink = Ink(dvd, field, silver);
    QVERIFY(!ink.isEmpty());
    QVERIFY(LeftmostInk(ink) >= field.left() + 2);
    QVERIFY(LeftmostInk(ink) <= field.left() + 4);
    QCOMPARE(Pixel(dvd, field.right() - 2, field.center().y()), silver);

    // TargetColumn: the next painting shows that part; back at 0, the key again.
    box->SetTargetColumn(4);
    QCOMPARE(box->GetSelectedText(), QStringLiteral("30fps"));
    const QImage fps = Grab(box);
    QVERIFY(fps != dvd);
    box->SetTargetColumn(0);
    QCOMPARE(Grab(box), dvd);

    // The option rules repaint the field in another colour.
    box->SetColor(kLightYellow);
    QCOMPARE(Pixel(Grab(box), field.right() - 2, field.center().y()), kLightYellow);
    box->SetItemIndex(-1);
    QVERIFY(Ink(Grab(box), field, kLightYellow).isEmpty());
}

void TestMultiColComboBox::closedFieldFocused()
{
    QWidget window;
    window.resize(300, 100);
    auto *box = new TMultiColComboBox(&window);
    SetUpLikeMainWindow(*box, {200, 130}, {Qt::white, kLightYellow});
    box->SetColor(Qt::white);
    box->setGeometry(10, 10, 200, 19);
    for (const QString &row : CatalogueRows(Catalogue::Containers))
        box->AddItem(row);
    box->SetItemIndex(1);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    const QRect field = FieldRect(*box);
    const QImage image = Grab(box);
    QCOMPARE(Pixel(image, field.right() - 2, field.center().y()), kHighlight);
    bool highlightText = false;
    for (const QPoint &p : Ink(image, field, kHighlight))
        highlightText = highlightText || Pixel(image, p.x(), p.y()) == kHighlightText;
    QVERIFY(highlightText);
}

void TestMultiColComboBox::showsCataloguesAndPresets()
{
    // The four boxes of the main window, filled as at start-up.
    struct Box {
        QList<int> widths;
        QList<QColor> colours;
        int width;
        QStringList rows;
        int listWidth;
    };
    QStringList presetRows{QString::fromUtf8(kManualPresetRow),
                           QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps")};
    const QList<Box> boxes = {
        {{190, 60, 60, 70, 60, 60, 60, 60, 60},
         {Qt::white, kLightGrey, kLightYellow, kLightYellow, kLightYellow, kLightYellow, Qt::yellow, Qt::yellow,
          Qt::yellow},
         250,
         presetRows,
         680},
        {{200, 130}, {Qt::white, kLightYellow}, 200, CatalogueRows(Catalogue::Containers), 330},
        {{175, 160}, {Qt::white, kLightYellow}, 175, CatalogueRows(Catalogue::VideoCodecs), 335},
        {{150, 220}, {Qt::white, kLightYellow}, 150, CatalogueRows(Catalogue::AudioCodecs), 370},
    };
    QWidget window;
    window.resize(800, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const Box &spec : boxes) {
        auto *box = new TMultiColComboBox(&window);
        SetUpLikeMainWindow(*box, spec.widths, spec.colours);
        box->setGeometry(10, 10, spec.width, 19);
        box->show();
        for (const QString &row : spec.rows)
            box->AddItem(row);
        QCOMPARE(box->Items(), spec.rows);
        QCOMPARE(box->ItemIndex(), -1);
        for (int i = 0; i < spec.rows.size(); ++i)
            QCOMPARE(box->itemText(i), CatalogueRowId(spec.rows.at(i)));

        box->SetItemIndex(1);
        box->showPopup();
        QAbstractItemView *view = box->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        QCOMPARE(view->window()->width(), spec.listWidth);
        const QImage image = Grab(view->viewport());
        const QRect row0 = view->visualRect(box->model()->index(0, 0));
        // Row 0 shows its ID in the first column and its label in the second.
        int x = 0;
        for (int c = 0; c < 2; ++c) {
            const QRect cell = QRect(x, row0.top(), spec.widths.at(c), row0.height()).intersected(image.rect());
            QCOMPARE(Pixel(image, cell.right() - 1, cell.center().y()), spec.colours.at(c));
            QVERIFY(!Ink(image, cell, spec.colours.at(c)).isEmpty());
            x += spec.widths.at(c);
        }
        box->hidePopup();
        delete box;
    }
}

QTEST_MAIN(TestMultiColComboBox)
#include "test_multi_col_combo_box.moc"
