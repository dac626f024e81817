#include "app/start_source_gui.h"

#include "app/main_form.h"
#include "app/start_arguments.h"
#include "platform/dialogs.h"
#include "platform/end_requests.h"
#include "widgets/check_list_box.h"
#include "widgets/drive_combo_box.h"
#include "widgets/handler_guard.h"

#include <QCoreApplication>

namespace zento {

void OpenStartSource(TMainForm1 &form, const QString &source)
{
    if (source.isEmpty())
        return;
    RunGuarded([&] {
        // The stored settings first (once only): their source never undoes this one.
        form.FormActivate(&form);
        const QString problem = StartSourceProblem(source);
        if (!problem.isEmpty()) {
            ShowFailure(problem);
            return;
        }
        TDriveComboBox &drives = *form.DriveComboBox1;
        const TDriveComboBox::SourceState before = drives.Sources();
        // The drive list's own pick: the same handler lists it.
        if (!drives.TakeSource(source))
            return;
        // An image that listed nothing could not be read, or holds nothing
        // to convert; the listing said which.
        if (drives.IsImage(drives.Drive()) && form.CheckListBox1->Count() == 0)
            drives.PutBack(before);
    });
}

int RunWindow(TMainForm1 &form, const QString &source)
{
    const EndRequests ends([&form] { form.EndBySystem(); });
    form.show();
    OpenStartSource(form, source);
    // An end served while the start's message or listing kept the window
    // alive has closed the window already, and the loop would never end.
    return form.EndRequested() ? 0 : QCoreApplication::exec();
}

} // namespace zento
