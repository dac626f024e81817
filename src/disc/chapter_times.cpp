#include "disc/chapter_times.h"

#include "disc/continuous_times.h"
#include "disc/nav_pack.h"

#include <array>

namespace zento {

namespace {

// The difference of two unit times, which count 32 bits and wrap.
qint64 TimeBetween(qint64 from, qint64 to)
{
    return qint32(quint32(to) - quint32(from));
}

} // namespace

QList<qint64> ChapterStartsFromUnits(DiscTitleReader &reader, const DiscTitle &title)
{
    const QList<DiscCell> &cells = title.cells;
    if (cells.isEmpty() || title.cellTicks.size() != cells.size() ||
        title.chapterCells.size() != title.chapterStartsMs.size())
        return {};
    // Each cell's first unit's start: the pack a plain cell opens with.
    QList<qint64> starts;
    qint64 offset = 0;
    std::array<unsigned char, DiscTitleReader::kBlockSize> block{};
    for (const DiscCell &cell : cells) {
        if (cell.interleaved || !reader.SeekBlock(offset) || reader.Read(block.data(), 1) != 1)
            return {};
        const std::optional<NavTimes> times = NavPackTimes(block.data(), block.size());
        if (!times)
            return {};
        starts << times->start;
        offset += qint64(cell.lastSector) - cell.firstSector + 1;
    }
    // The cell before ends about where the tables say (its last unit is not
    // read): near enough to tell a join from times that run on.
    QList<qint64> at{0}; // 90 kHz
    for (qsizetype k = 1; k < cells.size(); ++k) {
        const qint64 length = title.cellTicks.at(k - 1) * 3; // 1/30000 s to 90 kHz
        const bool runsOn = ContinuousTimes::RunsOn(TimeBetween(starts.at(k - 1) + length, starts.at(k)));
        at << at.constLast() + (runsOn ? TimeBetween(starts.at(k - 1), starts.at(k)) : length);
    }
    QList<qint64> chapters;
    for (const int cell : title.chapterCells)
        chapters << at.value(cell) / 90;
    return chapters;
}

} // namespace zento
