#pragma once

// A main window set up for a title-mode run of a test disc: small MPEG4
// pictures with MP3 audio in the given container, the source chosen as a
// folder and listed by title.
#include "app/main_form.h"
#include "options/catalogue.h"
#include "support/test_support.h"
#include "widgets/browse_edit.h"
#include "widgets/check_list_box.h"
#include "widgets/drive_combo_box.h"
#include "widgets/multi_col_combo_box.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>

#include <memory>

namespace zento::test {

inline std::unique_ptr<TMainForm1> TitleModeWindow(const ProgramFolder &program, const QString &source,
                                                   const QString &out, const QString &container = "AVI")
{
    auto w = std::make_unique<TMainForm1>(program.Executable());
    w->C1_03->SetText(out);
    w->C2_01->SetItemIndex(RowWithId(Catalogue::Containers, container));
    w->C2_04->SetItemIndex(RowWithId(Catalogue::VideoCodecs, "MPEG4"));
    w->C3_01->SetItemIndex(RowWithId(Catalogue::AudioCodecs, "LIBMP3LAME"));
    w->C2_02_01->SetValue(176);
    w->C2_02_02->SetValue(120);
    w->C3_03->SetValue(48000);
    w->CheckBox2->setChecked(true);
    w->DriveComboBox1->AddFolder(source);
    w->DriveComboBox1->SetDrive(source);
    w->CButton12Click();
    return w;
}

} // namespace zento::test
