#pragma once

#include "options/conversion_settings.h"

#include <QString>

namespace zento {

// A preset name that stays one column of its line: commas become "，", blanks
// "　", a double quote that begins the name "＂", and control characters
// (tab, line breaks, ...) "　", since each of them would split or merge the
// line's columns.
QString SafePresetName(const QString &name);

// The preset line for the current options, in the column order of profile.txt:
// name,container,WxH,video codec,Nfps,Nkbps,audio codec,NHz,Nkbps. A box with
// no row selected gives an empty ID column.
QString ComposePresetLine(const QString &name, const ConversionSettings &settings);

} // namespace zento
