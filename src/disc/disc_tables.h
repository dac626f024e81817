#pragma once

// The title set tables of an open disc, as the title list reads them: which
// program chain plays a title and what it holds. Private to src/disc.

#include "disc/dvd_disc.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_types.h>

#include <map>

namespace zento {

// A dvd_time_t (BCD hours, minutes, seconds, frames with the rate in the two
// high bits) in 1/30000 s, in which a frame at 25 and at 29.97 fps is whole;
// at 29.97 fps its seconds are of 30 frames each.
qint64 DiscTimeTicks(const dvd_time_t &time);
inline qint64 TicksToMs(qint64 ticks)
{
    return ticks / 30;
}

// The disc's main tables with its title table, or null. Only the tables
// the title list needs are read, and each only when it lies inside its file:
// libdvdread 6.1.3 frees a title table it could not read and frees it again
// on close, and reads every other table of an IFO with ifoOpen, some of them
// with allocations as large as a damaged length says.
ifo_handle_t *OpenMainTables(dvd_reader_t *dvd);

// Each title set's tables, opened when first asked for and closed together.
class TitleSets {
public:
    explicit TitleSets(dvd_reader_t *dvd) : dvd_(dvd) {}
    ~TitleSets();
    TitleSets(const TitleSets &) = delete;
    TitleSets &operator=(const TitleSets &) = delete;

    // Null when the set's IFO (and its backup) cannot be read; else with its
    // parts of titles and program chains.
    const ifo_handle_t *Get(int titleSet);

private:
    dvd_reader_t *dvd_;
    std::map<int, ifo_handle_t *> sets_;
};

// Fills in everything but the number, set and title in set (which the
// caller gives) from the title set's tables; false when they do not hold
// the title, or hold it as no player could play it: a part naming a chain,
// program or cell that is not there, a chain without cells or programs, a
// cell that ends where it starts or beyond the title set's `titleBlocks`
// (-1: not known). Such titles are the decoys of copy protections.
bool DescribeTitle(const ifo_handle_t *vts, DiscTitle &title, qint64 titleBlocks = -1);

} // namespace zento
