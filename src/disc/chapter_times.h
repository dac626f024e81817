#pragma once

#include "disc/dvd_disc.h"

#include <QList>

namespace zento {

// Where a title's chapters start as its units' own times place them, its
// joins taken as the feed takes them: a cell whose times run on from the one
// before keeps them, one whose times do not goes on where that one ended.
// The tables count each cell in whole frames; film shown by pulldown flags
// also lasts half frames, and their rounding adds up from cell to cell.
// Empty when a cell is interleaved or its first unit cannot be read.
QList<qint64> ChapterStartsFromUnits(DiscTitleReader &reader, const DiscTitle &title);

} // namespace zento
