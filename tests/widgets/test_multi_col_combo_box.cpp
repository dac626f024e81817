#include "options/catalogue.h"
#include "options/preset_file.h"
#include "widgets/multi_col_combo_box.h"

#include <QAbstractItemView>
#include <QImage>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include <numeric>

using namespace zento;

namespace {

const QColor kLightGrey(240, 240, 240);
const QColor kLightYellow(255, 255, 128);
const QColor kHighlight(10, 36, 106);
const QColor kHighlightText(255, 255, 255);
const QString kPreset = QStringLiteral("DVD,AVI,640x480,LIBXVID,30fps,1000kbps,LIBMP3LAME,44100Hz,128kbps");

// The left edge of the pixels in the area (not) of the colour; -1 for none.
int Find(const QImage &image, const QRect &area, const QColor &colour, bool equal = false)
{
    const QRect inside = area.intersected(image.rect());
    for (int x = inside.left(); x <= inside.right(); ++x)
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            if ((QColor(image.pixel(x, y)) == colour) == equal)
                return x;
    return -1;
}

// The darkest grey level in the area (0 black, 255 white).
int Darkest(const QImage &image, const QRect &area)
{
    int darkest = 255;
    const QRect inside = area.intersected(image.rect());
    for (int x = inside.left(); x <= inside.right(); ++x)
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

// A box in a window, set up as the main window sets it up, with fixed colours.
struct Box {
    QWidget window;
    TMultiColComboBox *box = new TMultiColComboBox(&window);
    QImage list; // the open list's rows

    static QImage Grab(QWidget *widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    Box(const QList<int> &widths, const QList<QColor> &colours, int width, const QStringList &rows)
    {
        window.resize(800, 700);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Highlight, kHighlight);
        palette.setColor(QPalette::HighlightedText, kHighlightText);
        palette.setColor(QPalette::Text, Qt::black);
        box->setPalette(palette);
        box->SetCanEdit(false);
        box->SetIndent(1);
        box->SetItemHeight(13);
        box->Columns().Clear();
        for (int i = 0; i < widths.size(); ++i) {
            TCBColumn &column = box->Columns().Add();
            column.SetWidth(widths.at(i));
            column.SetColor(colours.at(i));
        }
        box->setGeometry(10, 10, width, 19);
        for (const QString &row : rows)
            box->AddItem(row);
    }
    bool Show() { return window.show(), QTest::qWaitForWindowExposed(&window); }
    bool Open()
    {
        box->showPopup();
        return QTest::qWaitForWindowExposed(box->view()->window()) && !(list = Grab(box->view()->viewport())).isNull();
    }
    QImage Closed() const { return Grab(box); }
    QColor Pixel(int x, int y) const { return QColor(list.pixel(x, y)); }
    QRect Row(int row) const { return box->view()->visualRect(box->model()->index(row, 0)); }
    QRect Field() const
    {
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.subControls = QStyle::SC_All;
        return box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    }
};

} // namespace

class TestMultiColComboBox : public QObject {
    Q_OBJECT
private slots:
    void keyAndWholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("targetColumn");
        QTest::addColumn<QString>("key");
        QTest::newRow("catalogue row") << "AVI,XviD/MS-MPEG4/etc..." << 0 << "AVI";
        QTest::newRow("id alone") << "MPEG4" << 1 << "";
        QTest::newRow("unquoted blank splits") << "a b,c" << 1 << "b";
        QTest::newRow("quoted blank") << "\"a b\",c" << 0 << "a b";
        QTest::newRow("japanese") << QString::fromUtf8("自動,元の形式を維持") << 0 << QString::fromUtf8("自動");
    }

    void keyAndWholeText()
    {
        QFETCH(QString, text);
        QFETCH(int, targetColumn);
        QFETCH(QString, key);
        TMultiColComboBox box;
        box.SetTargetColumn(targetColumn);
        box.AddItem(text);
        QCOMPARE(box.ItemIndex(), -1); // adding selects nothing
        QCOMPARE(box.itemText(0), key);
        QCOMPARE(box.Items(), QStringList{text});
        box.SetItemIndex(0);
        QCOMPARE(box.GetSelectedText(), key);
        box.SetItemIndex(1); // out of range selects none
        QCOMPARE(box.ItemIndex(), -1);
        QCOMPARE(box.GetSelectedText(), QString());
    }

    void rowsAndTargetColumn()
    {
        TMultiColComboBox box;
        for (const char *row : {"A,1", "C,3"})
            box.AddItem(row);
        box.InsertItem(1, "B,2");
        box.InsertItem(99, kPreset); // beyond the end: appended
        box.SetItemIndex(3);
        box.DeleteItem(0);
        box.DeleteItem(7); // no such row: nothing happens
        QCOMPARE(box.Items(), (QStringList{"B,2", "C,3", kPreset}));
        QCOMPARE((QStringList{box.itemText(0), box.itemText(1), box.itemText(2)}), (QStringList{"B", "C", "DVD"}));
        // The same row stays selected, its text read in the current column.
        for (int column : {4, 9, -1, 8}) {
            box.SetTargetColumn(column);
            QCOMPARE(box.GetSelectedText(), kPreset.split(u',').value(column));
        }
        box.SetTargetColumn(2); // the keys of rows already added stay
        box.AddItem(kPreset);
        QCOMPARE((QStringList{box.itemText(2), box.itemText(3)}), (QStringList{"DVD", "640x480"}));
        box.ClearItems();
        QCOMPARE(box.Items(), QStringList());
    }

    void onChangeOnlyOnUserPick()
    {
        Box b({200, 130}, {Qt::white, kLightYellow}, 200, CatalogueRows(Catalogue::Containers));
        QList<int> picks;
        b.box->OnChange = [&](TMultiColComboBox &sender) { picks.append(sender.ItemIndex()); };
        for (int index : {3, 0, -1, 0})
            b.box->SetItemIndex(index);
        QVERIFY(b.Show());
        // The wheel turns only a box that has the focus (and does not give it).
        const auto wheel = [&] {
            const QPointF at(b.box->rect().center());
            QWheelEvent event(at, b.box->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(b.box, &event);
        };
        wheel();
        QVERIFY(b.box->ItemIndex() == 0 && picks.isEmpty() && !b.box->hasFocus());
        b.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&b.window));
        b.box->setFocus();
        QTRY_VERIFY(b.box->hasFocus());
        QTest::keyClick(b.box, Qt::Key_Down);
        wheel();
        QCOMPARE(b.box->ItemIndex(), 2);
        QVERIFY(b.Open());
        QTest::mouseClick(b.box->view()->viewport(), Qt::LeftButton, {}, b.Row(4).center());
        QTRY_COMPARE(b.box->ItemIndex(), 4);
        QCOMPARE(picks, (QList<int>{1, 2, 4}));
        QCOMPARE(b.box->GetSelectedText(), "MP4");
    }

    void columnParentRules()
    {
        TMultiColComboBox box;
        TCBColumn &first = box.Columns()[0];
        // Colour: follows the box while the flag is set; a different colour clears it.
        box.SetColor(Qt::red);
        QCOMPARE(first.Color(), QColor(Qt::red));
        first.SetColor(Qt::red);
        QVERIFY(first.ParentColor());
        first.SetColor(Qt::blue);
        box.SetColor(Qt::green);
        QCOMPARE(first.Color(), QColor(Qt::blue));
        first.SetParentColor(true);
        QCOMPARE(first.Color(), QColor(Qt::green));
        // Font: a copy of the box's font, renewed while the flag is set.
        QFont font = box.font();
        font.setPixelSize(20);
        box.setFont(font);
        QCOMPARE(first.Font().pixelSize(), 20);
        font.setBold(true);
        first.SetFont(font);
        font.setPixelSize(9);
        font.setBold(false);
        box.setFont(font);
        QCOMPARE(first.Font().pixelSize(), 20);
        first.SetParentFont(true);
        QCOMPARE(first.Font().pixelSize(), 9);
        QVERIFY(!first.Font().bold());
        // A column added later starts from the box's colour and font.
        TCBColumn &second = box.Columns().Add();
        QCOMPARE(second.Color(), QColor(Qt::green));
        QCOMPARE(second.Font().pixelSize(), 9);
    }

    void mainWindowBoxes_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<QList<QColor>>("colours");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("rows");
        const QColor w = Qt::white, g = kLightGrey, l = kLightYellow, y = Qt::yellow;
        QTest::newRow("presets") << QList<int>{190, 60, 60, 70, 60, 60, 60, 60, 60}
                                 << QList<QColor>{w, g, l, l, l, l, y, y, y} << 250
                                 << QStringList{QString::fromUtf8(kManualPresetRow), kPreset};
        QTest::newRow("containers") << QList<int>{200, 130} << QList<QColor>{w, l} << 200
                                    << CatalogueRows(Catalogue::Containers);
        QTest::newRow("video") << QList<int>{175, 160} << QList<QColor>{w, l} << 175
                               << CatalogueRows(Catalogue::VideoCodecs);
        QTest::newRow("audio") << QList<int>{150, 220} << QList<QColor>{w, l} << 150
                               << CatalogueRows(Catalogue::AudioCodecs);
        QTest::newRow("narrow columns") << QList<int>{40, 30} << QList<QColor>{w, w} << 200 << QStringList{"A,B"};
    }

    void mainWindowBoxes()
    {
        QFETCH(QList<int>, widths);
        QFETCH(QList<QColor>, colours);
        QFETCH(int, width);
        QFETCH(QStringList, rows);
        Box b(widths, colours, width, rows);
        QCOMPARE(b.box->Items(), rows);
        // The list is as wide as the columns (at least as the box), taken after
        // the drop-down handler, which may still change them.
        int dropDowns = 0;
        b.box->OnDropDown = [&](TMultiColComboBox &) { b.box->Columns()[0].SetWidth(widths[0] + 10 * ++dropDowns); };
        QVERIFY(b.Show());
        QVERIFY(b.Open());
        QCOMPARE(dropDowns, 1);
        QCOMPARE(b.box->view()->window()->width(), std::max(std::accumulate(widths.begin(), widths.end(), 10), width));
        QCOMPARE(b.Row(0).height(), 13);
        // The last column fills the rest of the row, or is cut at its edge.
        const QRect edge(b.box->view()->viewport()->width() - 1, b.Row(0).top(), 1, 13);
        QVERIFY(Find(b.list, edge, colours.last(), true) >= 0);
        // Row 0 shows its ID in the first column and its label in the second.
        for (int c = 0, x = 0; c < 2; x += b.box->Columns()[c++].Width()) {
            const QRect cell = QRect(x, b.Row(0).top(), b.box->Columns()[c].Width(), 13).intersected(b.list.rect());
            QCOMPARE(b.Pixel(cell.right() - 1, cell.center().y()), colours.at(c));
            QVERIFY(Find(b.list, cell, colours.at(c)) >= 0);
        }
    }

    void listCells()
    {
        const QColor first(255, 255, 255);
        Box b({60, 50}, {first, kLightYellow}, 200, {"A,B", "C,D", QString(40, u'W') + ",", "ONE"});
        b.box->SetItemIndex(1);
        QVERIFY(b.Show());
        QVERIFY(b.Open());
        const int right = b.box->view()->viewport()->width() - 1;
        QVERIFY(right > 110);
        // Row 0: the columns' colours, the rest of the row in the last one.
        const int y0 = b.Row(0).center().y();
        QCOMPARE(b.Pixel(58, y0), first);
        QCOMPARE(b.Pixel(108, y0), kLightYellow);
        QCOMPARE(b.Pixel(right, y0), kLightYellow);
        QVERIFY(Find(b.list, QRect(0, b.Row(0).top(), 60, 13), first) >= 1);
        QVERIFY(Find(b.list, QRect(60, b.Row(0).top(), 50, 13), kLightYellow) >= 0);
        QCOMPARE(Find(b.list, QRect(110, b.Row(0).top(), right - 110, 13), kLightYellow), -1);
        // Row 1 is selected: the highlight over the whole row, text in the highlight text colour.
        const QRect selected = b.Row(1).adjusted(1, 1, -1, -1); // inside the focus frame
        for (int x : {58, 108, right - 2})
            QCOMPARE(b.Pixel(x, selected.center().y()), kHighlight);
        QVERIFY(Find(b.list, QRect(1, selected.top(), 58, selected.height()), kHighlightText, true) >= 0);
        // Row 2: the long text stays inside its cell; row 3, with no second text, shows nothing there.
        for (int row : {2, 3})
            QCOMPARE(Find(b.list, QRect(60, b.Row(row).top(), right - 59, 13), kLightYellow), -1);
        QVERIFY(Find(b.list, QRect(0, b.Row(2).top(), 60, 13), first) >= 0);
    }

    void closedField()
    {
        const QColor silver(192, 192, 192);
        Box b({190, 60}, {Qt::white, kLightGrey}, 250, {QString::fromUtf8(kManualPresetRow), kPreset});
        b.box->SetColor(silver);
        QVERIFY(b.Show());
        const QRect field = b.Field();
        const auto background = [&](const QImage &image) { return image.pixel(field.right() - 2, field.center().y()); };
        QCOMPARE(Find(b.Closed(), field, silver), -1); // no row: only the background
        // A row: its key, drawn from 2 pixels in, on the box's colour.
        b.box->SetItemIndex(1);
        const QImage dvd = b.Closed();
        QVERIFY(Find(dvd, field, silver) >= field.left() + 2 && Find(dvd, field, silver) <= field.left() + 4);
        QCOMPARE(background(dvd), silver.rgb());
        // TargetColumn: the next painting shows that part.
        b.box->SetTargetColumn(4);
        QVERIFY(b.Closed() != dvd);
        b.box->SetTargetColumn(0);
        QCOMPARE(b.Closed(), dvd);
        b.box->SetColor(kLightYellow);
        QCOMPARE(background(b.Closed()), kLightYellow.rgb());

        // Focused: the highlight colour with the text in the highlight text colour.
        b.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&b.window));
        b.box->setFocus();
        QTRY_VERIFY(b.box->hasFocus());
        const QImage focused = b.Closed();
        QCOMPARE(background(focused), kHighlight.rgb());
        QVERIFY(Find(focused, field, kHighlightText, true) >= 0);
    }

    void unavailableMarkFollowsItsRow_data()
    {
        // Rows A to E, B and D marked, then one change through the row API.
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("rows");   // the keys afterwards
        QTest::addColumn<QString>("marked"); // the marked keys afterwards
        QTest::newRow("nothing") << ""
                                 << "ABCDE"
                                 << "BD";
        QTest::newRow("insert before") << "insert 0 X"
                                       << "XABCDE"
                                       << "BD";
        QTest::newRow("insert between") << "insert 2 X"
                                        << "ABXCDE"
                                        << "BD";
        QTest::newRow("delete a marked row") << "delete 1"
                                             << "ACDE"
                                             << "D";
        QTest::newRow("delete before") << "delete 0"
                                       << "BCDE"
                                       << "BD";
        QTest::newRow("unmark") << "unmark 3"
                                << "ABCDE"
                                << "B";
        QTest::newRow("mark beyond the rows") << "mark 9"
                                              << "ABCDE"
                                              << "BD";
        QTest::newRow("clear and refill") << "clear"
                                          << "AB"
                                          << "";
    }
    void unavailableMarkFollowsItsRow()
    {
        QFETCH(QString, change);
        QFETCH(QString, rows);
        QFETCH(QString, marked);
        TMultiColComboBox box;
        for (QChar key : QStringLiteral("ABCDE"))
            box.AddItem(QString(key) + ",label");
        box.SetItemUnavailable(1, true);
        box.SetItemUnavailable(3, true);
        const QStringList words = change.split(u' ');
        if (words[0] == "insert")
            box.InsertItem(words[1].toInt(), words[2] + ",label");
        else if (words[0] == "delete")
            box.DeleteItem(words[1].toInt());
        else if (words[0] == "unmark")
            box.SetItemUnavailable(words[1].toInt(), false);
        else if (words[0] == "mark")
            box.SetItemUnavailable(words[1].toInt(), true);
        else if (words[0] == "clear") {
            box.ClearItems();
            box.AddItem("A");
            box.AddItem("B");
        }
        QString keys, marks;
        for (int i = 0; i < box.ItemCount(); ++i) {
            keys += box.itemText(i);
            if (box.ItemUnavailable(i))
                marks += box.itemText(i);
            // the hint sits exactly on the marked rows
            const QString tip = box.model()->index(i, 0).data(Qt::ToolTipRole).toString();
            QCOMPARE(tip, box.ItemUnavailable(i) ? QString(" この ffmpeg では使えません") : QString());
        }
        QCOMPARE(keys, rows);
        QCOMPARE(marks, marked);
        QVERIFY(!box.ItemUnavailable(-1) && !box.ItemUnavailable(box.ItemCount()));
    }

    void unavailableRowsInTheOpenList()
    {
        Box b({60, 80}, {Qt::white, kLightYellow}, 200, {"AVI,XviD", "AMR,AMR-NB", "MP4,H.264"});
        b.box->SetItemUnavailable(1, true);
        QList<int> picks;
        b.box->OnChange = [&](TMultiColComboBox &sender) { picks.append(sender.ItemIndex()); };
        QVERIFY(b.Show());
        QVERIFY(b.Open());
        // Grey text on the cells' own colours; the other rows keep black text.
        for (int c = 0, x = 0; c < 2; x += b.box->Columns()[c++].Width()) {
            const auto cell = [&](int row) { return QRect(x, b.Row(row).top() + 1, 60, 11); };
            QVERIFY2(Darkest(b.list, cell(0)) < 60, "row 0");
            QVERIFY2(Darkest(b.list, cell(2)) < 60, "row 2");
            const int grey = Darkest(b.list, cell(1));
            QVERIFY2(grey >= 120 && grey <= qGray(TMultiColComboBox::UnavailableTextColor().rgb()) + 10,
                     qPrintable(QString::number(grey)));
            QCOMPARE(b.Pixel(x + 58, b.Row(1).center().y()), (c == 0 ? QColor(Qt::white) : kLightYellow));
        }
        // The hint over the row in the open list.
        QWidget *viewport = b.box->view()->viewport();
        const QPoint at = b.Row(1).center();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        QTRY_COMPARE(QToolTip::text(), QString(" この ffmpeg では使えません"));
        QToolTip::hideText();
        // It can still be picked.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTRY_COMPARE(b.box->ItemIndex(), 1);
        QCOMPARE(picks, QList<int>{1});
        QCOMPARE(b.box->GetSelectedText(), QString("AMR"));
    }
};

QTEST_MAIN(TestMultiColComboBox)
#include "test_multi_col_combo_box.moc"
