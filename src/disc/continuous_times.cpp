#include "disc/continuous_times.h"

#include "disc/nav_pack.h"
#include "disc/pack_packets.h"

#include <QtEndian>

namespace zento {

namespace {

constexpr qsizetype kBlock = 2048;
constexpr qsizetype kPciData = 0x2d; // a navigation pack's presentation control data
constexpr qint64 kWrap = qint64(1) << 33; // times count 33 bits and wrap
constexpr qint64 kStaleTicks = 9000;      // a tenth of a second
constexpr qint64 kRunOnTicks = 108000;    // 1.2 s: more than a unit

qint64 Moved(qint64 time, qint64 shift)
{
    return ((time + shift) % kWrap + kWrap) % kWrap;
}

// A presentation or decoding stamp: five bytes, a 4-bit prefix, then the
// time in runs of 3, 15 and 15 bits, each closed by a marker bit.
qint64 ReadStamp(const unsigned char *at)
{
    return (qint64(at[0] & 0x0e) << 29) | (qint64(at[1]) << 22) | (qint64(at[2] & 0xfe) << 14) | (qint64(at[3]) << 7) |
           (at[4] >> 1);
}

void MoveStamp(unsigned char *at, qint64 shift)
{
    const qint64 moved = Moved(ReadStamp(at), shift);
    at[0] = static_cast<unsigned char>((at[0] & 0xf1) | ((moved >> 29) & 0x0e));
    at[1] = static_cast<unsigned char>(moved >> 22);
    at[2] = static_cast<unsigned char>((at[2] & 0x01) | ((moved >> 14) & 0xfe));
    at[3] = static_cast<unsigned char>(moved >> 7);
    at[4] = static_cast<unsigned char>((at[4] & 0x01) | ((moved << 1) & 0xfe));
}

// The pack clock's base in an MPEG-2 pack header (bytes 4 to 8): runs of
// 3, 2, 8, 5, 2, 8 and 5 bits between markers; its extension is kept.
void MovePackClock(unsigned char *b, qint64 shift)
{
    const qint64 time = (qint64(b[4] & 0x38) << 27) | (qint64(b[4] & 0x03) << 28) | (qint64(b[5]) << 20) |
                        (qint64(b[6] & 0xf8) << 12) | (qint64(b[6] & 0x03) << 13) | (qint64(b[7]) << 5) |
                        (b[8] >> 3);
    const qint64 moved = Moved(time, shift);
    b[4] = static_cast<unsigned char>((b[4] & 0xc4) | ((moved >> 27) & 0x38) | ((moved >> 28) & 0x03));
    b[5] = static_cast<unsigned char>(moved >> 20);
    b[6] = static_cast<unsigned char>((b[6] & 0x04) | ((moved >> 12) & 0xf8) | ((moved >> 13) & 0x03));
    b[7] = static_cast<unsigned char>(moved >> 5);
    b[8] = static_cast<unsigned char>((b[8] & 0x07) | ((moved << 3) & 0xf8));
}

// A navigation pack's own times of its unit (32 bits): its first picture's
// start, its last one's end and, where the unit ends a sequence, that end.
void MoveUnitTimes(unsigned char *pci, qint64 shift)
{
    for (const int at : {12, 16, 20}) {
        const quint32 time = qFromBigEndian<quint32>(pci + at);
        if (time != 0 || at != 20)
            qToBigEndian(static_cast<quint32>(Moved(time, shift)), pci + at);
    }
}

} // namespace

void ContinuousTimes::Apply(unsigned char *blocks, qsizetype size)
{
    for (qsizetype at = 0; at + kBlock <= size; at += kBlock) {
        unsigned char *block = blocks + at;
        const auto times = NavPackTimes(block, kBlock);
        const bool unitTimes = times.has_value();
        if (times && times->end > times->start) {
            const auto unit = NavPackUnit(block, kBlock);
            const int vob = unit ? unit->vobId : 0, cell = unit ? unit->cellId : 0;
            // A new cell whose times do not run on starts where the last
            // unit of the one before ended. One that runs on, its first unit
            // perhaps lost, keeps its times.
            const qint64 gap = Moved(times->start + shift_ - lastEnd_ + kWrap / 2, 0) - kWrap / 2;
            if (started_ && (vob != lastVob_ || cell != lastCell_) && !RunsOn(gap)) {
                shift_ = lastEnd_ - times->start;
                joined_ = true;
                cellStart_ = times->start;
                stale_.fill(false);
            }
            started_ = true;
            lastVob_ = vob;
            lastCell_ = cell;
            lastEnd_ = times->end + shift_;
        }
        if (joined_)
            DropStaleSound(block);
        if (shift_ != 0)
            Block(block, unitTimes);
    }
}

bool ContinuousTimes::RunsOn(qint64 gap)
{
    return gap >= -kStaleTicks && gap <= kRunOnTicks;
}

void ContinuousTimes::DropStaleSound(unsigned char *b)
{
    ForEachPacket(b, [b, this](int id, qsizetype at, qsizetype end) {
        const bool sound = id == 0xbd || (id >= 0xc0 && id <= 0xdf);
        const qsizetype data = sound ? PesData(b, at, end) : -1;
        if (data < 0 || data >= end)
            return;
        const int stream = id == 0xbd ? b[data] : id;
        if ((b[at + 7] >> 6) >= 2 && b[at + 8] >= 5) {
            // Before the cell's first unit read by more than a tenth of a
            // second (times wrap at 33 bits).
            const qint64 ahead = Moved(ReadStamp(b + at + 9), -cellStart_);
            stale_[stream] = ahead >= kWrap / 2 && ahead < kWrap - kStaleTicks;
        }
        // What follows such a packet in its stream goes with it.
        if (stale_[stream])
            b[at + 3] = 0xbe;
    });
}

void ContinuousTimes::Block(unsigned char *b, bool navigation) const
{
    // MPEG-2 packs only, as a disc has them.
    if (!IsMpeg2Pack(b))
        return;
    MovePackClock(b, shift_);
    if (navigation)
        MoveUnitTimes(b + kPciData, shift_);
    ForEachPacket(b, [b, this](int id, qsizetype at, qsizetype end) {
        // Private stream 1 (AC-3, DTS, LPCM, subpictures), MPEG audio and
        // video; the navigation and padding packets carry no stamps.
        const bool stamped = id == 0xbd || (id >= 0xc0 && id <= 0xef);
        if (!stamped || PesData(b, at, end) < 0)
            return;
        const int flags = b[at + 7] >> 6;
        const qsizetype header = b[at + 8];
        if (flags >= 2 && header >= 5)
            MoveStamp(b + at + 9, shift_);
        if (flags == 3 && header >= 10)
            MoveStamp(b + at + 14, shift_);
    });
}

} // namespace zento
