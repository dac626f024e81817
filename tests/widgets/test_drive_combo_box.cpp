#include "widgets/drive_combo_box.h"

#include <QAbstractItemView>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;

namespace {

// The machine of the example: removable a, fixed c labelled System, optical d
// without a disc; and a few more kinds.
class FakeDrives : public DriveProvider {
public:
    QList<DriveInfo> drives{
        {"a", TDriveType::dtRemovable, "Stick", ""},
        {"c", TDriveType::dtFixed, "System", ""},
        {"d", TDriveType::dtCDROM, "", ""},
        {"u", TDriveType::dtUnknown, "", ""},
        {"/mnt/Net", TDriveType::dtNetwork, "", "//Server/Share"},
        {"/tmp", TDriveType::dtRAM, "", ""},
        {"x", TDriveType::dtNoRoot, "", ""},
    };
    QString driveOfCurrent = "c";
    QString discMount; // where the disc in d is mounted, empty without a disc
    mutable QStringList driveOfAsked;

    QList<DriveInfo> Drives() const override { return drives; }
    QString CurrentRoot(const QString &drive) const override { return drive == "d" ? discMount : drive; }
    QString DriveOf(const QString &folder) const override
    {
        driveOfAsked << folder;
        return driveOfCurrent;
    }
};

} // namespace

class TestDriveComboBox : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rows();
    void createdOnTheCurrentDrive();
    void noDriveAtCreation();
    void setDrive_data();
    void setDrive();
    void setDriveTwice();
    void pickByKeyboard();
    void pickByMouse_data();
    void pickByMouse();
    void changesByCodeRaiseNothing();
    void driveRootFollowsTheDisc();
    void rowsFollowTheFont();
    void otherProvider();

private:
    std::shared_ptr<FakeDrives> fake_;
    std::unique_ptr<TDriveComboBox> box_;
    QStringList events_;
    void Watch();
    void PickRowWithMouse(int row);
};

void TestDriveComboBox::init()
{
    fake_ = std::make_shared<FakeDrives>();
    box_ = std::make_unique<TDriveComboBox>(nullptr, fake_);
    box_->resize(300, 20);
    events_.clear();
}

void TestDriveComboBox::cleanup()
{
    box_.reset();
    fake_.reset();
}

void TestDriveComboBox::Watch()
{
    // Each event with the drive as the handler sees it.
    box_->OnClick = [this](TDriveComboBox &s) { events_ << "click " + s.Drive(); };
    box_->OnChange = [this](TDriveComboBox &s) { events_ << "change " + s.Drive(); };
    box_->OnSelect = [this](TDriveComboBox &s) { events_ << "select " + s.Drive(); };
}

void TestDriveComboBox::PickRowWithMouse(int row)
{
    box_->show();
    QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
    box_->showPopup();
    QAbstractItemView *view = box_->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    // A release right after the popup opened may be taken for the opening click.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QVERIFY(!rect.isEmpty());
    QTest::mouseMove(view->viewport(), rect.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(!view->window()->isVisible());
}

void TestDriveComboBox::rows()
{
    QStringList texts;
    for (int i = 0; i < box_->count(); ++i) {
        texts << box_->itemText(i);
        QVERIFY2(!box_->itemIcon(i).isNull(), qPrintable(box_->itemText(i)));
    }
    QCOMPARE(texts, (QStringList{"a", "c [system]", "d []", "/mnt/Net //server/share", "/tmp []"}));
    QVERIFY(!box_->isEditable());
}

void TestDriveComboBox::createdOnTheCurrentDrive()
{
    QCOMPARE(fake_->driveOfAsked, QStringList{QDir::currentPath()});
    QCOMPARE(box_->Drive(), "c");
    QCOMPARE(box_->currentIndex(), 1);
    QCOMPARE(box_->currentText(), "c [system]");
    QCOMPARE(box_->DriveRoot(), "c");
}

void TestDriveComboBox::noDriveAtCreation()
{
    fake_->driveOfCurrent.clear(); // the current folder lies on no volume we know
    box_ = std::make_unique<TDriveComboBox>(nullptr, fake_);
    QCOMPARE(box_->Drive(), QString());
    QCOMPARE(box_->currentIndex(), -1);
    QCOMPARE(box_->DriveRoot(), QString());
    QCOMPARE(box_->count(), 5);
}

void TestDriveComboBox::setDrive_data()
{
    QTest::addColumn<QString>("drive");
    QTest::addColumn<int>("row");
    QTest::newRow("optical") << "d" << 2;
    QTest::newRow("removable") << "a" << 0;
    QTest::newRow("network") << "/mnt/Net" << 3;
    QTest::newRow("folder without a row") << "/home/user/dvd" << -1;
    QTest::newRow("case is kept and counts") << "C" << -1;
    QTest::newRow("unknown kind has no row") << "u" << -1;
    QTest::newRow("no drive") << "" << -1;
}

void TestDriveComboBox::setDrive()
{
    QFETCH(QString, drive);
    QFETCH(int, row);
    Watch();
    box_->SetDrive(drive);
    QCOMPARE(box_->Drive(), drive);
    QCOMPARE(box_->currentIndex(), row);
    QCOMPARE(events_, QStringList{"change " + drive});
}

void TestDriveComboBox::setDriveTwice()
{
    Watch();
    box_->SetDrive("c"); // already current with its row selected
    QCOMPARE(events_, QStringList{});
    box_->SetDrive("d");
    box_->SetDrive("d");
    QCOMPARE(events_, QStringList{"change d"});
    // Without a selected row the same drive is taken over again.
    box_->SetDrive("/srv/x");
    box_->SetDrive("/srv/x");
    QCOMPARE(events_, (QStringList{"change d", "change /srv/x", "change /srv/x"}));
    QCOMPARE(box_->currentIndex(), -1);
}

void TestDriveComboBox::pickByKeyboard()
{
    Watch();
    box_->show();
    QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
    box_->setFocus();
    QTest::keyClick(box_.get(), Qt::Key_Down);
    QCOMPARE(events_, (QStringList{"click c", "change d", "select d"}));
    QCOMPARE(box_->Drive(), "d");
    QCOMPARE(box_->currentIndex(), 2);
}

void TestDriveComboBox::pickByMouse_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("drive");
    QTest::newRow("another drive") << 0 << "a";
    QTest::newRow("the same drive again") << 1 << "c";
}

void TestDriveComboBox::pickByMouse()
{
    QFETCH(int, row);
    QFETCH(QString, drive);
    Watch();
    PickRowWithMouse(row);
    QCOMPARE(events_, (QStringList{"click c", "change " + drive, "select " + drive}));
    QCOMPARE(box_->Drive(), drive);
    QCOMPARE(box_->currentIndex(), row);
}

void TestDriveComboBox::changesByCodeRaiseNothing()
{
    Watch();
    box_->setCurrentIndex(2);
    box_->BuildList();
    QCOMPARE(events_, QStringList{});
    QCOMPARE(box_->Drive(), "c");
    QCOMPARE(box_->currentIndex(), 1); // the list built again selects the drive's row
}

void TestDriveComboBox::driveRootFollowsTheDisc()
{
    box_->SetDrive("d");
    QCOMPARE(box_->DriveRoot(), QString()); // no disc
    QTemporaryDir disc;
    fake_->discMount = disc.path(); // a disc inserted later
    QCOMPARE(box_->DriveRoot(), disc.path());
    QCOMPARE(box_->itemText(2), "d []"); // the row keeps the text it was built with

    box_->SetDrive(disc.path()); // any folder will do as a drive
    QCOMPARE(box_->DriveRoot(), disc.path());
}

void TestDriveComboBox::rowsFollowTheFont()
{
    fake_->drives[1].label = "Renamed"; // read again when the font changes
    for (int pixels : {11, 20}) {
        QFont font = box_->font();
        font.setPixelSize(pixels);
        box_->setFont(font);
        QCOMPARE(box_->RowHeight(), QFontMetrics(font).height());
        QCOMPARE(box_->itemText(1), "c [renamed]");
        QCOMPARE(box_->currentIndex(), 1);
        box_->show();
        box_->showPopup();
        QAbstractItemView *view = box_->view();
        QTRY_COMPARE(view->visualRect(view->model()->index(1, 0)).height(), QFontMetrics(font).height());
        box_->hidePopup();
    }
}

void TestDriveComboBox::otherProvider()
{
    auto other = std::make_shared<FakeDrives>();
    other->drives = {{"/media/DVD", TDriveType::dtCDROM, "MOVIE_1", ""}, {"c", TDriveType::dtFixed, "", ""}};
    box_->SetProvider(other);
    QCOMPARE(&box_->Provider(), other.get());
    QCOMPARE(box_->count(), 2);
    QCOMPARE(box_->itemText(0), "/media/DVD [movie_1]");
    QCOMPARE(box_->itemText(1), "c []");
    QCOMPARE(box_->Drive(), "c"); // kept, and its row found in the new list
    QCOMPARE(box_->currentIndex(), 1);
}

QTEST_MAIN(TestDriveComboBox)
#include "test_drive_combo_box.moc"
