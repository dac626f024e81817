#include "platform/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace zento {

namespace {

DialogHooks &Hooks()
{
    static DialogHooks hooks;
    return hooks;
}

FolderChooserHook &FolderHook()
{
    static FolderChooserHook hook;
    return hook;
}

ImageChooserHook &ImageHook()
{
    static ImageChooserHook hook;
    return hook;
}

QPointer<QWidget> &Parent()
{
    static QPointer<QWidget> parent;
    return parent;
}

QString Caption()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("DVD変換Zento") : name;
}

// A text too long for a message box: read-only, scrolled, with the box's
// OK button, never taller than the room the screen gives.
void ShowLongText(const QString &text, const QRect &room)
{
    QDialog dialog(Parent());
    dialog.setWindowTitle(Caption());
    auto *view = new QPlainTextEdit(text, &dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    const QFontMetrics metrics(view->font());
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    dialog.resize(std::clamp(widest + 60, 300, room.width() * 4 / 5), room.height() * 3 / 4);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    dialog.exec();
}

} // namespace

void SetDialogHooks(DialogHooks hooks)
{
    Hooks() = std::move(hooks);
}

void SetDialogParent(QWidget *parent)
{
    Parent() = parent;
}

void ShowMessage(const QString &text)
{
    if (Hooks().message) {
        Hooks().message(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, Caption(), text, QMessageBox::Ok, Parent());
    // A report of many files can be taller than the screen, and a message box
    // does not scroll: its end and its OK button would be out of reach.
    const QScreen *screen = Parent() ? Parent()->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    if (room.isValid() && box.sizeHint().height() > room.height() * 4 / 5) {
        ShowLongText(text, room);
        return;
    }
    box.exec();
}

void Beep()
{
    if (Hooks().beep) {
        Hooks().beep();
        return;
    }
    QApplication::beep();
}

void ShowFailure(const QString &text)
{
    Beep();
    ShowMessage(text);
}

QString ErrorBoxText(const QString &message)
{
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        text += QLatin1Char('.');
    return text;
}

void ShowErrorBox(const QString &message)
{
    const QString text = ErrorBoxText(message);
    if (Hooks().message) {
        Hooks().message(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, Caption(), text, QMessageBox::Ok, Parent());
    box.exec();
}

QString InputLine(const QString &title, const QString &prompt, int maxLength)
{
    if (Hooks().input)
        return Hooks().input(title, prompt).left(maxLength);
    QInputDialog dialog(Parent());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto *edit = dialog.findChild<QLineEdit *>())
        edit->setMaxLength(maxLength);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.textValue().left(maxLength);
}

void SetFolderChooserHook(FolderChooserHook hook)
{
    FolderHook() = std::move(hook);
}

QString ChooseFolder(const QString &title, const QString &start)
{
    if (FolderHook())
        return FolderHook()(title, start);
    return QFileDialog::getExistingDirectory(Parent(), title, start, QFileDialog::ShowDirsOnly);
}

void SetImageChooserHook(ImageChooserHook hook)
{
    ImageHook() = std::move(hook);
}

QString ImageFileFilter()
{
    // The pattern spells out every letter case: the desktop's own file
    // dialogs may match patterns case-sensitively.
    return QStringLiteral("ISOイメージ (*.[iI][sS][oO])");
}

QString ChooseImageFile(const QString &title, const QString &start)
{
    if (ImageHook())
        return ImageHook()(title, start);
    return QFileDialog::getOpenFileName(Parent(), title, start, ImageFileFilter(), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

} // namespace zento
