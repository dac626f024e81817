#include "widgets/ui_font.h"

#include <QStringList>

namespace zento {

QString UiFontFamily()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

QFont UiFont(int pixelSize)
{
    InstallFontSubstitutes();
    QFont font(UiFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

void InstallFontSubstitutes()
{
    const QString family = UiFontFamily();
    if (QFont::substitutes(family).isEmpty())
        QFont::insertSubstitutions(family, {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
}

} // namespace zento
