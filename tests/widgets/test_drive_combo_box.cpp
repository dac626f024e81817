#include "widgets/drive_combo_box.h"

#include <QAbstractItemView>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace zento;

namespace {

// The example machine (removable a, fixed c "System", empty optical d) and other kinds.
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
    QString discMount; // where the disc in d is mounted, empty without a disc

    QList<DriveInfo> Drives() const override { return drives; }
    QString CurrentRoot(const QString &drive) const override { return drive == "d" ? discMount : drive; }
    QString DriveOf(const QString &folder) const override { return folder == QDir::currentPath() ? "c" : ""; }
};

} // namespace

class TestDriveComboBox : public QObject {
    Q_OBJECT
    std::shared_ptr<FakeDrives> fake_;
    std::unique_ptr<TDriveComboBox> box_;
    QStringList events_; // each event with the drive as its handler sees it

private slots:
    void init()
    {
        fake_ = std::make_shared<FakeDrives>();
        box_ = std::make_unique<TDriveComboBox>(nullptr, fake_);
        box_->resize(300, 20);
        events_.clear();
        box_->OnClick = [this](TDriveComboBox &s) { events_ << "click " + s.Drive(); };
        box_->OnChange = [this](TDriveComboBox &s) { events_ << "change " + s.Drive(); };
        box_->OnSelect = [this](TDriveComboBox &s) { events_ << "select " + s.Drive(); };
    }

    void rowsAndStart()
    {
        QStringList texts;
        for (int i = 0; i < box_->count(); ++i) {
            texts << box_->itemText(i);
            QVERIFY(!box_->itemIcon(i).isNull());
        }
        QCOMPARE(texts, (QStringList{"a", "c [system]", "d []", "/mnt/Net //server/share", "/tmp []"}));
        QCOMPARE(box_->currentText(), "c [system]"); // the drive of the current folder
        // Changes by code raise nothing; the list built again reads the labels
        // again and selects the drive's row.
        fake_->drives[1].label = "Renamed";
        box_->setCurrentIndex(2);
        box_->BuildList();
        QCOMPARE(box_->itemText(1), "c [renamed]");
        QCOMPARE(box_->currentIndex(), 1);
        QCOMPARE(events_, QStringList{});
    }

    void setDrive_data()
    {
        QTest::addColumn<QString>("drive");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("changes"); // after two calls: a drive without a row is taken over again
        QTest::newRow("already current") << "c" << 1 << 0;
        QTest::newRow("optical") << "d" << 2 << 1;
        QTest::newRow("folder without a row") << "/home/user/dvd" << -1 << 2;
        QTest::newRow("case is kept and counts") << "C" << -1 << 2;
        QTest::newRow("unknown kind has no row") << "u" << -1 << 2;
    }

    void setDrive()
    {
        QFETCH(QString, drive);
        QFETCH(int, row);
        QFETCH(int, changes);
        box_->SetDrive(drive);
        box_->SetDrive(drive);
        QCOMPARE(box_->Drive(), drive);
        QCOMPARE(box_->currentIndex(), row);
        QCOMPARE(events_, QStringList(changes, "change " + drive));
    }

    void userPick_data()
    {
        QTest::addColumn<int>("row"); // -1: the Down key
        QTest::addColumn<QString>("drive");
        QTest::newRow("key") << -1 << "d";
        QTest::newRow("mouse, another drive") << 0 << "a";
        QTest::newRow("mouse, the same drive again") << 1 << "c";
    }

    void userPick()
    {
        QFETCH(int, row);
        QFETCH(QString, drive);
        box_->show();
        QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
        box_->setFocus();
        if (row < 0) {
            QTest::keyClick(box_.get(), Qt::Key_Down);
        } else {
            box_->showPopup();
            QAbstractItemView *view = box_->view();
            QVERIFY(QTest::qWaitForWindowExposed(view->window()));
            QTest::qWait(QApplication::doubleClickInterval() + 50); // not taken for the opening click
            const QRect rect = view->visualRect(view->model()->index(row, 0));
            QTest::mouseMove(view->viewport(), rect.center());
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
            QTRY_VERIFY(!view->window()->isVisible());
        }
        QCOMPARE(events_, (QStringList{"click c", "change " + drive, "select " + drive}));
        QCOMPARE(box_->currentText(), box_->itemText(row < 0 ? 2 : row));
    }

    void driveRoot()
    {
        QCOMPARE(box_->DriveRoot(), "c");
        box_->SetDrive("d");
        QCOMPARE(box_->DriveRoot(), QString()); // no disc
        QTemporaryDir disc;
        fake_->discMount = disc.path(); // a disc inserted later
        QCOMPARE(box_->DriveRoot(), disc.path());
    }
};

QTEST_MAIN(TestDriveComboBox)
#include "test_drive_combo_box.moc"
