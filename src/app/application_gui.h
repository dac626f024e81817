#pragma once

#include "widgets/ui_font.h"

#include <QApplication>

namespace zento {

// The program's title: the caption of its error boxes and its taskbar entry.
QString ApplicationTitle();

// The application object: the title, the fonts and the look of the hints, and
// the one place where an exception raised by an event handler ends up: it is
// shown in the error box and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    bool notify(QObject *receiver, QEvent *event) override;

    // Hint timing: shown after this pause, hidden after this time.
    static constexpr int kHintPause = 300;
    static constexpr int kHintHidePause = 2000;
};

// Qt's own Japanese texts (qtbase_ja from Qt's translations folder) for the
// standard dialogs: the folder chooser and the buttons of the message boxes
// and of the name input. Loaded whatever the locale, since the whole program
// speaks Japanese; false when the translation is not installed. Idempotent.
bool InstallStandardDialogTranslation();

// The hint look and timing on any application object (TApplication does it
// itself); tests that use a plain QApplication may call it.
void InstallHintStyle();

} // namespace zento
