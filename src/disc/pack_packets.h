#pragma once

#include <QtGlobal>

namespace zento {

// Whether a 2048-byte block of a disc's program stream opens with an MPEG-2
// pack header, as every block of a title does.
inline bool IsMpeg2Pack(const unsigned char *pack)
{
    return pack[0] == 0 && pack[1] == 0 && pack[2] == 1 && pack[3] == 0xba && (pack[4] & 0xc0) == 0x40;
}

// Each packet of such a block, in order: `packet(id, at, end)` with its
// stream id, the offset of its start code and that of the byte after it.
// Nothing for a block that is no MPEG-2 pack; the walk ends at the
// program's end code, at bytes that are no packet, and at a packet that runs
// past the block.
template <typename Packet>
void ForEachPacket(const unsigned char *pack, Packet &&packet)
{
    constexpr qsizetype kPack = 2048;
    if (!IsMpeg2Pack(pack))
        return;
    for (qsizetype at = 14 + (pack[13] & 0x07); at + 6 <= kPack;) {
        const unsigned char *p = pack + at;
        if (p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] == 0xb9)
            return;
        const qsizetype end = at + 6 + ((qsizetype(p[4]) << 8) | p[5]);
        if (end > kPack)
            return;
        packet(int(p[3]), at, end);
        at = end;
    }
}

// Where the data of a packet from `at` to `end` starts, after its MPEG-2
// header (flags, then the header's own length); -1 for a packet without such
// a header or whose header runs past its end.
inline qsizetype PesData(const unsigned char *pack, qsizetype at, qsizetype end)
{
    if (end < at + 9 || (pack[at + 6] & 0xc0) != 0x80)
        return -1;
    const qsizetype data = at + 9 + pack[at + 8];
    return data <= end ? data : -1;
}

} // namespace zento
