#include "disc/picture_flags.h"

#include "disc/pack_packets.h"

#include <QByteArray>

namespace zento {

namespace {

constexpr int kPack = 2048;
constexpr int kFewestPictures = 12; // fewer tell nothing of a cadence

// The video payload of one pack, appended to `video`.
void TakeVideo(const unsigned char *pack, QByteArray &video)
{
    ForEachPacket(pack, [pack, &video](int id, qsizetype at, qsizetype end) {
        const qsizetype payload = id == 0xe0 ? PesData(pack, at, end) : -1;
        if (payload >= 0 && payload < end)
            video.append(reinterpret_cast<const char *>(pack + payload), end - payload);
    });
}

} // namespace

void ReadPictureFlags(const unsigned char *blocks, qsizetype size, PictureFlags &flags)
{
    if (!blocks)
        return;
    QByteArray video;
    for (qsizetype at = 0; at + kPack <= size; at += kPack)
        TakeVideo(blocks + at, video);
    const auto *v = reinterpret_cast<const unsigned char *>(video.constData());
    // A picture coding extension: 00 00 01 B5, then 8 in the high half; a
    // sequence header: 00 00 01 B3, then the width and height, 12 bits each.
    for (qsizetype i = 0; i + 9 <= video.size(); ++i) {
        if (v[i] != 0 || v[i + 1] != 0 || v[i + 2] != 1)
            continue;
        if (v[i + 3] == 0xb3) {
            flags.width = v[i + 4] << 4 | v[i + 5] >> 4;
            flags.height = (v[i + 5] & 0x0f) << 8 | v[i + 6];
            continue;
        }
        if (v[i + 3] != 0xb5 || (v[i + 4] >> 4) != 8)
            continue;
        ++flags.pictures;
        if (v[i + 7] & 0x02)
            ++flags.repeatFirstField;
        if (v[i + 8] & 0x80)
            ++flags.progressive;
        i += 8;
    }
}

PictureFlags SampleTitlePictures(DiscTitleReader &reader)
{
    constexpr int kStretch = 64; // blocks: a few pictures at a disc's rates
    PictureFlags flags;
    QByteArray buffer(kStretch * DiscTitleReader::kBlockSize, Qt::Uninitialized);
    auto *data = reinterpret_cast<unsigned char *>(buffer.data());
    const qint64 total = reader.TotalBlocks();
    for (const int tenth : {1, 3, 5, 7, 9}) {
        if (!reader.SeekBlock(total * tenth / 10))
            break;
        const int read = reader.Read(data, kStretch);
        if (read <= 0)
            break;
        ReadPictureFlags(data, qsizetype(read) * DiscTitleReader::kBlockSize, flags);
        for (int stream : AudioStreamsIn(buffer.constData(), qsizetype(read) * DiscTitleReader::kBlockSize))
            if (!flags.audioStreams.contains(stream))
                flags.audioStreams.append(stream);
    }
    // A sequence header opens each unit, and a unit may be longer than a
    // stretch: where none fell in them, the size is read from the title's
    // first units (their pictures are not counted again).
    constexpr int kHeadStretches = 8;
    if (flags.width == 0 && reader.SeekBlock(0)) {
        for (int n = 0; flags.width == 0 && n < kHeadStretches; ++n) {
            const int read = reader.Read(data, kStretch);
            if (read <= 0)
                break;
            PictureFlags head;
            ReadPictureFlags(data, qsizetype(read) * DiscTitleReader::kBlockSize, head);
            flags.width = head.width;
            flags.height = head.height;
        }
    }
    return flags;
}

bool IsSoftTelecine(const PictureFlags &flags)
{
    return flags.pictures >= kFewestPictures && flags.repeatFirstField * 4 >= flags.pictures &&
           flags.progressive * 2 >= flags.pictures;
}

} // namespace zento
