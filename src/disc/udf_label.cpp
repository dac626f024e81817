// The volume label of a UDF file system, read from its descriptors.
#include "disc/dvd_disc.h"

#include <QString>

#include <algorithm>

namespace zento {

namespace {

quint32 Le16(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8;
}

quint32 Le32(const unsigned char *p)
{
    return Le16(p) | Le16(p + 2) << 16;
}

// A UDF dstring: the compression id, the characters, their length in bytes
// (the id included) in its last byte.
QString DString(const unsigned char *field, int size)
{
    const int used = std::min<int>(field[size - 1], size - 1);
    QString text;
    if (used < 1)
        return text;
    if (field[0] == 8) {
        for (int i = 1; i < used; ++i)
            text += QChar(field[i]);
    } else if (field[0] == 16) {
        for (int i = 1; i + 1 < used; i += 2)
            text += QChar(char16_t(field[i] << 8 | field[i + 1]));
    }
    while (!text.isEmpty() && (text.back().isSpace() || text.back() == QChar(0)))
        text.chop(1);
    return text;
}

} // namespace

QString UdfVolumeLabel(const std::function<bool(quint32, unsigned char *)> &read)
{
    constexpr int kBlock = DiscTitleReader::kBlockSize;
    unsigned char block[kBlock];
    // The anchor at block 256 points to the volume descriptors.
    if (!read(256, block) || Le16(block) != 2)
        return QString();
    const quint32 length = Le32(block + 16) / kBlock, start = Le32(block + 20);
    for (quint32 i = 0; i < std::min<quint32>(length, 64); ++i) {
        if (!read(start + i, block))
            return QString();
        const quint32 tag = Le16(block);
        if (tag == 1) // the primary volume descriptor
            return DString(block + 24, 32);
        if (tag == 8) // the end of the descriptors
            break;
    }
    return QString();
}

} // namespace zento
