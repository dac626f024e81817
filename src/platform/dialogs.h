#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zento {

// Every message box, error box, beep and one-line input of the program goes
// through here, so tests can record them instead of blocking.
struct DialogHooks {
    std::function<void(const QString &text)> message;
    std::function<void()> beep;
    std::function<QString(const QString &title, const QString &prompt)> input;
};

// An empty member means the real dialog.
void SetDialogHooks(DialogHooks hooks);

// The program's own message: a modal box with an OK button only.
void ShowMessage(const QString &text);

// The system's default beep.
void Beep();

// A failure message: the beep, then the message.
void ShowFailure(const QString &text);

// The error box of an exception: caption the application title, stop icon, OK
// button; "." appended when the last character sorts after ".".
void ShowErrorBox(const QString &message);
QString ErrorBoxText(const QString &message);

// A one-line input dialog with OK and Cancel and an empty initial text;
// a cancel gives the empty text.
QString InputLine(const QString &title, const QString &prompt, int maxLength = 255);

// The folder chooser: starts at `start` when it is not empty; the chosen
// folder, or the empty text when the user cancels.
QString ChooseFolder(const QString &title, const QString &start);
// Answers the folder chooser instead of the real dialog; an empty function
// brings the real dialog back.
using FolderChooserHook = std::function<QString(const QString &title, const QString &start)>;
void SetFolderChooserHook(FolderChooserHook hook);

// The disc image chooser: shows folders and ISO image files (".iso" in any
// letter case); starts at `start` when it is not empty (a folder, or a file,
// which is then selected). The chosen file, or the empty text when the user
// cancels.
QString ChooseImageFile(const QString &title, const QString &start);
// Answers the image chooser instead of the real dialog; an empty function
// brings the real dialog back.
using ImageChooserHook = std::function<QString(const QString &title, const QString &start)>;
void SetImageChooserHook(ImageChooserHook hook);
// The name filter of the image chooser.
QString ImageFileFilter();

// The owner window of the dialogs (the main window); may be null.
void SetDialogParent(QWidget *parent);

} // namespace zento
