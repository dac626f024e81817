// Placeholder bodies so the window links while the option handlers are being written.
#include "app/main_form.h"

namespace zento {

void TMainForm1::C2_00Change(QObject *) {}
void TMainForm1::C2_01Change(QObject *) {}
void TMainForm1::C2_04Change(QObject *) {}
void TMainForm1::C3_01Change(QObject *) {}
void TMainForm1::C2_02_01Change(QObject *) {}
void TMainForm1::C2_02_02Change(QObject *) {}
void TMainForm1::C2_03_01Change(QObject *) {}
void TMainForm1::C2_03_02Change(QObject *) {}
void TMainForm1::C2_05Change(QObject *) {}
void TMainForm1::C2_06Change(QObject *) {}
void TMainForm1::C3_02Change(QObject *) {}
void TMainForm1::C3_03Change(QObject *) {}
void TMainForm1::CButton11Click(QObject *) {}
void TMainForm1::FormActivate(QObject *) {}
void TMainForm1::FormClose(QObject *) {}

} // namespace zento
