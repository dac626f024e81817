#pragma once

#include <QString>

namespace zento {

// The selected position of a catalogue box and that row's whole text.
struct CatalogueChoice {
    int index = -1;
    QString row;
};

// The values of the option controls, named after the controls that show them.
struct ConversionSettings {
    QString C1_03;                       // output folder
    CatalogueChoice C2_01, C2_04, C3_01; // container, video codec, audio codec
    int C2_02_01 = 0, C2_02_02 = 0;      // width, height
    int C2_03_01 = 0, C2_03_02 = 0;      // aspect terms
    int C2_05 = 0;                       // video bit rate, kbps
    int C2_06 = 0;                       // frame rate, fps
    int C3_02 = 0;                       // audio bit rate, kbps
    int C3_03 = 0;                       // sample rate, Hz
    bool C4_C1 = false;                  // two passes
};

} // namespace zento
