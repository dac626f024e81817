#pragma once

#include <QFont>
#include <QString>

namespace zento {

// The face every window uses, "ＭＳ Ｐゴシック", with its substitutes made known.
QString UiFontFamily();
// That face at a pixel size.
QFont UiFont(int pixelSize);

// The substitutes of "ＭＳ Ｐゴシック"; idempotent.
void InstallFontSubstitutes();

} // namespace zento
