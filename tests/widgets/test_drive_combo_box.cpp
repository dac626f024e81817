#include "widgets/drive_combo_box.h"

#include "platform/dialogs.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
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
    QStringList events_;         // each event with the drive as its handler sees it
    QStringList chooserAnswers_; // one per opening of either chooser; none left is a cancel
    QStringList chooserStarts_;  // where each opening started, "image " before the image chooser's
    const QStringList choosers_{"フォルダを選択…", "ISOイメージを選択…"};

    QStringList RowTexts() const
    {
        QStringList texts;
        for (int i = 0; i < box_->count(); ++i)
            texts << box_->itemText(i);
        return texts;
    }

private slots:
    void init()
    {
        chooserAnswers_.clear();
        chooserStarts_.clear();
        SetFolderChooserHook([this](const QString &, const QString &start) {
            chooserStarts_ << start;
            return chooserAnswers_.isEmpty() ? QString() : chooserAnswers_.takeFirst();
        });
        SetImageChooserHook([this](const QString &, const QString &start) {
            chooserStarts_ << "image " + start;
            return chooserAnswers_.isEmpty() ? QString() : chooserAnswers_.takeFirst();
        });
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
            // Looked up when first drawn: every row still has a picture.
            QVERIFY(!box_->itemIcon(i).pixmap(16).isNull());
        }
        QCOMPARE(texts, (QStringList{"a", "c [system]", "d []", "/mnt/Net //server/share", "/tmp []"} + choosers_));
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

    void cleanup()
    {
        SetFolderChooserHook(nullptr);
        SetImageChooserHook(nullptr);
    }

    void pickFolder_data()
    {
        QTest::addColumn<QStringList>("answers"); // one pick each; "" cancels
        QTest::addColumn<QStringList>("folders"); // rows between the drives and the chooser
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("current"); // the selected row's text
        QTest::addColumn<QStringList>("events");
        const QStringList picked{"click c", "change /home/u/DVD", "select /home/u/DVD"};
        QTest::newRow("chosen folder") << QStringList{"/home/u/DVD"} << QStringList{"/home/u/DVD"} << "/home/u/DVD"
                                       << "/home/u/DVD" << picked;
        QTest::newRow("cancel") << QStringList{""} << QStringList{} << "c"
                                << "c [system]" << QStringList{};
        QTest::newRow("same folder twice, one row")
            << QStringList{"/home/u/DVD", "/home/u/DVD"} << QStringList{"/home/u/DVD"} << "/home/u/DVD"
            << "/home/u/DVD"
            << QStringList{picked + QStringList{"click /home/u/DVD", "change /home/u/DVD", "select /home/u/DVD"}};
        QTest::newRow("rows kept in order of choice")
            << QStringList{"/srv/b", "/srv/a"} << QStringList{"/srv/b", "/srv/a"} << "/srv/a"
            << "/srv/a" << QStringList{"click c",      "change /srv/b", "select /srv/b",
                                       "click /srv/b", "change /srv/a", "select /srv/a"};
        QTest::newRow("a drive's own folder is that drive")
            << QStringList{"/tmp"} << QStringList{} << "/tmp"
            << "/tmp []" << QStringList{"click c", "change /tmp", "select /tmp"};
    }

    void pickFolder()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, folders);
        QFETCH(QString, drive);
        QFETCH(QString, current);
        QFETCH(QStringList, events);
        chooserAnswers_ = answers;
        for (qsizetype i = 0; i < answers.size(); ++i)
            box_->PickFolder();
        QVERIFY(chooserAnswers_.isEmpty());
        const QStringList drives{"a", "c [system]", "d []", "/mnt/Net //server/share", "/tmp []"};
        QCOMPARE(RowTexts(), drives + folders + choosers_);
        QCOMPARE(box_->Folders(), folders);
        QCOMPARE(box_->Drive(), drive);
        QCOMPARE(box_->currentText(), current);
        QCOMPARE(events_, events);
        QCOMPARE(box_->IsFolder(drive), folders.contains(drive));
        QCOMPARE(box_->KeptFolder(), folders.isEmpty() ? QString() : folders.last());
        // The rows stay when the list is built again.
        box_->BuildList();
        QCOMPARE(RowTexts(), drives + folders + choosers_);
        QCOMPARE(box_->currentText(), current);
    }

    // Images are chosen as folders are; paths in the table are below a
    // temporary folder, "~" is the home folder.
    void pickImage_data()
    {
        QTest::addColumn<QStringList>("steps");   // "image" or "folder", then the answer; none cancels
        QTest::addColumn<QStringList>("sources"); // rows between the drives and the choosers
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QStringList>("starts");
        QTest::addColumn<QStringList>("events");
        const QStringList picked{"click c", "change disc.iso", "select disc.iso"};
        QTest::newRow("chosen image") << QStringList{"image disc.iso"} << QStringList{"disc.iso"} << "disc.iso"
                                      << QStringList{"image ~"} << picked;
        QTest::newRow("cancelled, the drive stays")
            << QStringList{"image"} << QStringList{} << "c" << QStringList{"image ~"} << QStringList{};
        QTest::newRow("the folder chooser starts at the image's folder")
            << QStringList{"image sub/disc.iso", "folder"} << QStringList{"sub/disc.iso"} << "sub/disc.iso"
            << QStringList{"image ~", "sub"} << QStringList{"click c", "change sub/disc.iso", "select sub/disc.iso"};
        QTest::newRow("upper case, after a folder")
            << QStringList{"folder sub", "image DISC.ISO"} << QStringList{"sub", "DISC.ISO"} << "DISC.ISO"
            << QStringList{"~", "image sub"}
            << QStringList{"click c", "change sub", "select sub", "click sub", "change DISC.ISO", "select DISC.ISO"};
    }

    void pickImage()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, sources);
        QFETCH(QString, drive);
        QFETCH(QStringList, starts);
        QFETCH(QStringList, events);
        QTemporaryDir temp;
        QVERIFY(QDir(temp.path()).mkdir("sub"));
        const auto path = [&](const QString &name) {
            if (name == "~")
                return QDir::homePath();
            return name.size() <= 1 ? name : temp.filePath(name);
        };
        // Each text's last word as a path.
        const auto paths = [&](const QStringList &texts) {
            QStringList out;
            for (const QString &text : texts)
                out << text.section(' ', 0, -2) + (text.contains(' ') ? " " : "") + path(text.section(' ', -1));
            return out;
        };
        for (const QString &step : steps) {
            const QString answer = step.section(' ', 1);
            if (answer.endsWith(".iso", Qt::CaseInsensitive)) {
                QFile file(path(answer));
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
            chooserAnswers_ = answer.isEmpty() ? QStringList{} : QStringList{path(answer)};
            if (step.startsWith("image"))
                box_->PickImage();
            else
                box_->PickFolder();
        }
        QCOMPARE(chooserStarts_, paths(starts));
        QCOMPARE(events_, paths(events));
        QCOMPARE(box_->Drive(), path(drive));
        QCOMPARE(box_->DriveRoot(), box_->Drive() == "c" ? "c" : path(drive)); // a chosen source is its own root
        QCOMPARE(box_->IsImage(box_->Drive()), drive.endsWith(".iso", Qt::CaseInsensitive));
        QCOMPARE(box_->IsFolder(box_->Drive()), drive != "c");
        QCOMPARE(box_->currentText(), drive == "c" ? "c [system]" : path(drive));
        QCOMPARE(box_->Folders(), paths(sources));
        QCOMPARE(RowTexts().mid(5), paths(sources) + choosers_);
        QCOMPARE(box_->KeptFolder(), drive == "c" ? QString() : path(drive));
    }

    void chooserRowPickedByTheUser_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("click"); // else Enter
        QTest::addColumn<bool>("image"); // the image chooser's row, else the folder chooser's
        QTest::newRow("chosen") << "/home/u/DVD" << false << false;
        QTest::newRow("cancelled") << "" << false << false;
        QTest::newRow("chosen by a click") << "/home/u/DVD" << true << false;
        QTest::newRow("image chosen") << "/home/u/DVD.iso" << false << true;
        QTest::newRow("image cancelled by a click") << "" << true << true;
    }

    void chooserRowPickedByTheUser()
    {
        QFETCH(QString, answer);
        QFETCH(bool, click);
        QFETCH(bool, image);
        box_->AddFolder("/srv/old"); // a row of its own, nothing selected or raised
        QCOMPARE(box_->currentText(), "c [system]");
        QCOMPARE(events_, QStringList{});
        chooserAnswers_ << answer;
        box_->show();
        QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
        box_->setFocus();
        // Enter on, or a click on, a chooser row of the open list: its chooser.
        box_->showPopup();
        QAbstractItemView *view = box_->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        const QModelIndex last = view->model()->index(box_->count() - (image ? 1 : 2), 0);
        if (click) {
            QTest::qWait(QApplication::doubleClickInterval() + 50); // not taken for the opening click
            const QPoint at = view->visualRect(last).center();
            QTest::mouseMove(view->viewport(), at);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        } else {
            view->setCurrentIndex(last);
            QTest::keyClick(view, Qt::Key_Return);
        }
        QTRY_VERIFY(!view->window()->isVisible());
        // The chooser starts at the folder chosen last.
        QCOMPARE(chooserStarts_, QStringList{(image ? "image " : "") + QString("/srv/old")});
        if (answer.isEmpty()) {
            QCOMPARE(box_->currentText(), "c [system]");
            QCOMPARE(box_->Drive(), "c");
            QCOMPARE(events_, QStringList{});
            QCOMPARE(box_->KeptFolder(), "/srv/old");
        } else {
            QCOMPARE(box_->currentText(), answer);
            QCOMPARE(box_->currentIndex(), box_->count() - 3);
            QCOMPARE(events_, (QStringList{"click c", "change " + answer, "select " + answer}));
            QCOMPARE(box_->DriveRoot(), answer); // the folder is its own root
            QCOMPARE(box_->IsImage(answer), image);
        }
        QCOMPARE(RowTexts().mid(box_->count() - 2), choosers_);
    }

    // Keys in the closed box move between the drives (and chosen sources)
    // only; none of them lands on a chooser row or opens a chooser.
    void keysInTheClosedBox_data()
    {
        QTest::addColumn<QString>("drive"); // current at the start
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text"); // what the key types
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("events");
        const auto picked = [](const QString &from, const QString &to) {
            return QStringList{"click " + from, "change " + to, "select " + to};
        };
        QTest::newRow("Down from the last drive to a chosen folder") << "/tmp" << int(Qt::Key_Down) << ""
                                                                     << "/srv/old" << picked("/tmp", "/srv/old");
        QTest::newRow("Down on the last row above the chooser") << "/srv/old" << int(Qt::Key_Down) << ""
                                                                << "/srv/old" << QStringList{};
        QTest::newRow("End") << "c" << int(Qt::Key_End) << ""
                             << "/srv/old" << picked("c", "/srv/old");
        QTest::newRow("End on the last row above the chooser") << "/srv/old" << int(Qt::Key_End) << ""
                                                               << "/srv/old" << QStringList{};
        QTest::newRow("Page Down") << "/tmp" << int(Qt::Key_PageDown) << ""
                                   << "/srv/old" << picked("/tmp", "/srv/old");
        QTest::newRow("Up still moves") << "c" << int(Qt::Key_Up) << ""
                                        << "a" << picked("c", "a");
        QTest::newRow("letter of a drive") << "c" << int(Qt::Key_D) << "d"
                                           << "d []" << picked("c", "d");
        QTest::newRow("letter of the chooser row") << "c" << int(Qt::Key_unknown) << "フ"
                                                   << "c [system]" << QStringList{};
        QTest::newRow("letter of the image chooser row") << "/srv/old" << int(Qt::Key_I) << "i"
                                                         << "/srv/old" << QStringList{};
    }
    void keysInTheClosedBox()
    {
        QFETCH(QString, drive);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(QString, current);
        QFETCH(QStringList, events);
        box_->AddFolder("/srv/old");
        box_->SetDrive(drive);
        chooserAnswers_ << "/home/u/DVD"; // taken if the chooser opened
        box_->show();
        QVERIFY(QTest::qWaitForWindowExposed(box_.get()));
        box_->setFocus();
        events_.clear();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(box_.get(), &press);
        QApplication::sendEvent(box_.get(), &release);
        QCOMPARE(box_->currentText(), current);
        QCOMPARE(box_->Drive(), current.section(' ', 0, 0));
        QCOMPARE(events_, events);
        QCOMPARE(chooserStarts_, QStringList{});
        QVERIFY(!box_->view()->isVisible());

        // A letter that an input method commits follows the same rule.
        QInputMethodEvent commit;
        commit.setCommitString("フ");
        QApplication::sendEvent(box_.get(), &commit);
        QCOMPARE(box_->currentText(), current);
        QCOMPARE(events_, events);
        QCOMPARE(chooserStarts_, QStringList{});
    }

    void wheel_data()
    {
        QTest::addColumn<QString>("drive"); // current at the start
        QTest::addColumn<int>("delta");     // > 0 up, < 0 down
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<bool>("focused");
        QTest::newRow("down to the next drive")
            << "c" << -120 << "d []" << QStringList{"click c", "change d", "select d"} << true;
        QTest::newRow("down stops before the chooser") << "/tmp" << -120 << "/tmp []" << QStringList{} << true;
        QTest::newRow("a box without the focus stays") << "c" << -120 << "c [system]" << QStringList{} << false;
    }

    void wheel()
    {
        QFETCH(QString, drive);
        QFETCH(int, delta);
        QFETCH(QString, current);
        QFETCH(QStringList, events);
        QFETCH(bool, focused);
        box_->SetDrive(drive);
        if (focused) {
            box_->show();
            box_->activateWindow();
            box_->setFocus();
            QTRY_VERIFY(box_->hasFocus());
        }
        events_.clear();
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(box_.get(), &event);
        QCOMPARE(box_->currentText(), current);
        QCOMPARE(events_, events);
        QCOMPARE(chooserStarts_, QStringList{}); // the chooser never opened
    }

    void keptFolder()
    {
        QCOMPARE(box_->KeptFolder(), QString());
        QCOMPARE(box_->AddFolder(""), -1);
        // A relative folder is kept as the absolute one.
        const int row = box_->AddFolder("rel/../dvd");
        QCOMPARE(box_->itemText(row), QDir::currentPath() + "/dvd");
        QCOMPARE(box_->KeptFolder(), QDir::currentPath() + "/dvd");
        chooserAnswers_ << "/srv/a"
                        << "/srv/b";
        box_->PickFolder();
        box_->PickFolder();
        box_->SetDrive("/srv/a");
        QCOMPARE(box_->KeptFolder(), "/srv/a"); // the current one
        box_->SetDrive("d");
        QCOMPARE(box_->KeptFolder(), "/srv/b"); // else the one chosen last
        QCOMPARE(box_->DriveRoot(), QString()); // a drive still asks the machine
    }

    // A source kept in the settings file comes back through AddFolder at the
    // next start, as an image when it is one.
    void sourceKind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("made"); // "file", "folder" or "" (nothing there)
        QTest::addColumn<bool>("image");
        QTest::newRow("image file") << "disc.iso"
                                    << "file" << true;
        QTest::newRow("any file is an image") << "disc.img"
                                              << "file" << true;
        QTest::newRow("folder named like an image") << "disc.iso"
                                                    << "folder" << false;
        QTest::newRow("missing image, any case") << "disc.Iso"
                                                 << "" << true;
        QTest::newRow("missing folder") << "disc"
                                        << "" << false;
    }

    void sourceKind()
    {
        QFETCH(QString, name);
        QFETCH(QString, made);
        QFETCH(bool, image);
        QTemporaryDir temp;
        const QString source = temp.filePath(name);
        if (made == "file") {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (made == "folder") {
            QVERIFY(QDir(temp.path()).mkdir(name));
        }
        QCOMPARE(box_->AddFolder(source), 5);
        box_->SetDrive(source);
        QCOMPARE(box_->IsFolder(source), true);
        QCOMPARE(box_->IsImage(source), image);
        QCOMPARE(box_->DriveRoot(), source);
        QCOMPARE(RowTexts().mid(5), QStringList{source} + choosers_);
    }

    // The desktop's file dialogs may match name patterns case-sensitively:
    // the image chooser's patterns alone must find every spelling.
    void imageFileFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("shown");
        QTest::newRow("lower case") << "disc.iso" << true;
        QTest::newRow("upper case") << "DISC.ISO" << true;
        QTest::newRow("mixed case") << "Disc.Iso" << true;
        QTest::newRow("longer extension") << "disc.isox" << false;
        QTest::newRow("other extension after it") << "disc.iso.txt" << false;
    }

    void imageFileFilter()
    {
        QFETCH(QString, name);
        QFETCH(bool, shown);
        const QString filter = ImageFileFilter();
        const QStringList patterns =
            filter.section('(', -1).section(')', 0, 0).split(' ', Qt::SkipEmptyParts); // "Name (*.a *.b)"
        QVERIFY(!patterns.isEmpty());
        bool matched = false;
        for (const QString &pattern : patterns)
            matched =
                matched ||
                QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)).match(name).hasMatch();
        QCOMPARE(matched, shown);
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
