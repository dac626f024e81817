#pragma once

#include <QList>
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

// The audio streams with packets in whole 2048-byte packs, in the order
// first met, named as the encoder names them: private stream 1's sub-stream
// (0x80 AC3, 0x88 DTS, 0xa0 LPCM and up), MPEG audio 0x1c0 and up.
inline QList<int> AudioStreamsIn(const char *blocks, qsizetype size)
{
    QList<int> found;
    for (qsizetype b = 0; b + 2048 <= size; b += 2048) {
        const auto *pack = reinterpret_cast<const unsigned char *>(blocks + b);
        ForEachPacket(pack, [pack, &found](int id, qsizetype at, qsizetype end) {
            int stream = 0;
            if (id >= 0xc0 && id <= 0xc7) {
                stream = 0x100 | id;
            } else if (id == 0xbd && at + 9 <= end) {
                const qsizetype sub = at + 9 + pack[at + 8];
                if (sub < end && pack[sub] >= 0x80)
                    stream = pack[sub];
            }
            if (stream && !found.contains(stream))
                found.append(stream);
        });
    }
    return found;
}

} // namespace zento
