#pragma once

#include <QtGlobal>

#include <optional>

namespace zento {

// The start time (90 kHz) of the video object unit that a navigation pack
// (the first block of every unit) opens; none when the block is no
// navigation pack.
std::optional<quint32> NavPackStartTime(const unsigned char *block, qsizetype size);

// The presentation times (90 kHz) of the unit a navigation pack opens: the
// first picture's start and the last picture's end.
struct NavTimes {
    quint32 start = 0;
    quint32 end = 0;
};

// None when the block is no navigation pack.
std::optional<NavTimes> NavPackTimes(const unsigned char *block, qsizetype size);

// What a navigation pack's search information says of its unit: the unit's
// last block, as an offset from the pack, and the next unit of the same
// angle or cut.
struct NavUnit {
    quint32 lastBlock = 0; // the unit is the pack and the blocks after it up to this offset
    quint32 next = 0;      // offset of the next unit to play; 0 when not known
    bool endOfCell = false; // the last unit of its cell
    int vobId = 0;          // the cell the unit belongs to; 0 when not said
    int cellId = 0;
};

// None when the block is no navigation pack.
std::optional<NavUnit> NavPackUnit(const unsigned char *block, qsizetype size);

} // namespace zento
