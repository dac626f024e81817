#pragma once

#include <QString>

namespace zento {

class TMainForm1;

// Makes the source from the command line the current one of the window, as if
// the user had chosen it in the drive list: its row, the title mode box, its
// titles (or files) listed at once, and the settings keep it on close. The
// stored settings are read first, so they never undo it. A source that is not
// there, a folder without VIDEO_TS and an image from which nothing could be
// listed are refused with the reason; the stored source then stays current.
// Nothing happens for the empty text. An error is shown in the error box and
// the window goes on.
void OpenStartSource(TMainForm1 &form, const QString &source);

// Shows the window, opens the source from the command line and runs the
// program until the window closes; the exit code. A logout, a shutdown or
// Ctrl+C ends a run in good order first, then the program, even while the
// start's message is open.
int RunWindow(TMainForm1 &form, const QString &source);

} // namespace zento
