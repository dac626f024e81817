#pragma once

#include <QString>
#include <QStringList>

namespace zento {

enum class Catalogue { Containers, VideoCodecs, AudioCodecs };

// The rows of a catalogue in table order, row 0 (the automatic row) first.
const QStringList &CatalogueRows(Catalogue catalogue);

// The ID of a row: the text before the first comma, or the whole text.
QString CatalogueRowId(const QString &row);
// The label of a row: the text after the first comma, or the empty text.
QString CatalogueRowLabel(const QString &row);
// The first row, from row 0 up, whose whole text contains searchText (case
// sensitive); -1 when none does, and always for the empty text.
int FindCatalogueRow(Catalogue catalogue, const QString &searchText);

} // namespace zento
