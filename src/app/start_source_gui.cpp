#include "app/start_source_gui.h"

#include "app/main_form.h"
#include "app/start_arguments.h"
#include "platform/dialogs.h"
#include "widgets/check_list_box.h"
#include "widgets/drive_combo_box.h"
#include "widgets/handler_guard.h"

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

} // namespace zento
