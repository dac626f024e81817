#include "options/preset_store.h"

#include "options/catalogue.h"

namespace zento {

namespace {

QString SelectedId(const CatalogueChoice &choice)
{
    return choice.index < 0 ? QString() : CatalogueRowId(choice.row);
}

} // namespace

QString SafePresetName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u == u',')
            safe += QChar(0xFF0C); // ，
        else if (u == u'"' && safe.isEmpty())
            safe += QChar(0xFF02); // ＂: a column that begins with one would run to the next
        else if (u <= 0x20)
            safe += QChar(0x3000); // 　 (blank, tab, line break, other controls)
        else
            safe += c;
    }
    return safe;
}

QString ComposePresetLine(const QString &name, const ConversionSettings &s)
{
    const QString comma = QStringLiteral(",");
    return name + comma + SelectedId(s.C2_01) + comma + QString::number(s.C2_02_01) + QLatin1Char('x') +
           QString::number(s.C2_02_02) + comma + SelectedId(s.C2_04) + comma + QString::number(s.C2_06) +
           QStringLiteral("fps,") + QString::number(s.C2_05) + QStringLiteral("kbps,") + SelectedId(s.C3_01) + comma +
           QString::number(s.C3_03) + QStringLiteral("Hz,") + QString::number(s.C3_02) + QStringLiteral("kbps");
}

} // namespace zento
