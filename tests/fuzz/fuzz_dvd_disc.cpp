// A disc image: any bytes as the image a user picks, read through a stream
// in memory. Opening, the title list and the first blocks of every title
// must neither crash nor hang; what comes back keeps the unit's promises: a
// reason whenever opening or the title list fails, titles numbered in order
// with a chapter list that starts at 0, languages of two small letters,
// stream ids in their codec's range, and readers that give at most the
// blocks asked for and no more than the title holds.

#include "fuzz_support.h"

#include "disc/dvd_disc.h"
#include "disc/picture_flags.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace zento;
using namespace zento::fuzz;

namespace {

class MemoryStream : public DiscImageStream {
public:
    MemoryStream(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool Seek(quint64 position) override
    {
        at_ = position;
        return true;
    }
    int Read(void *buffer, int size) override
    {
        if (at_ >= size_ || size <= 0)
            return 0;
        const size_t n = std::min<size_t>(size_t(size), size_ - size_t(at_));
        std::memcpy(buffer, data_ + at_, n);
        at_ += n;
        return int(n);
    }

private:
    const uint8_t *data_;
    size_t size_;
    quint64 at_ = 0;
};

bool IsLanguage(const QString &code)
{
    return code.isEmpty() || (code.size() == 2 && std::all_of(code.begin(), code.end(), [](QChar c) {
                                  return c.unicode() >= 'a' && c.unicode() <= 'z';
                              }));
}

bool StreamIdFits(const DiscAudioTrack &track)
{
    const int base = track.codec == "AC3"    ? 0x80
                     : track.codec == "DTS"  ? 0x88
                     : track.codec == "LPCM" ? 0xa0
                     : track.codec == "MPEG" ? 0x1c0
                                             : -1;
    return base >= 0 && track.streamId >= base && track.streamId < base + 8;
}

} // namespace

// libdvdread asks for whatever size a damaged table gives (calloc of nearly
// 2^64 bytes); the C library answers that with null, which libdvdread
// handles, so the sanitizer's allocator must answer the same.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

// libdvdread 6.1.3 loses what it allocated for a damaged table when it gives
// up on it (ifoRead_PGCIT: a program chain's cells). Its frames cannot be
// walked past, so its leaks are named by the library; the disc unit's own
// handles are checked by the unit tests under the sanitizers.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdvdread.so\n";
}

extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString hex =
        QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(data), int(std::min<size_t>(size, 64))).toHex());
    QString error;
    auto disc = DvdDisc::OpenStream(std::make_unique<MemoryStream>(data, size), &error);
    if (!disc) {
        FUZZ_CHECK(!error.isEmpty(), hex);
        return 0;
    }
    DiscInfo info;
    if (!disc->ReadInfo(info, &error)) {
        FUZZ_CHECK(!error.isEmpty(), hex);
        return 0;
    }
    std::vector<unsigned char> buffer(8 * DiscTitleReader::kBlockSize);
    for (qsizetype i = 0; i < info.titles.size(); ++i) {
        const DiscTitle &title = info.titles.at(i);
        FUZZ_CHECK(i == 0 || title.number > info.titles.at(i - 1).number, hex);
        FUZZ_CHECK(title.titleSet >= 1 && title.titleSet <= 99, hex);
        FUZZ_CHECK(title.durationMs >= 0, hex);
        FUZZ_CHECK(!title.chapterStartsMs.isEmpty() && title.chapterStartsMs.first() == 0, hex);
        FUZZ_CHECK(title.audio.size() <= 8 && title.subtitles.size() <= 32, hex);
        for (const DiscAudioTrack &track : title.audio)
            FUZZ_CHECK(StreamIdFits(track) && IsLanguage(track.language) && track.channels >= 1 && track.channels <= 8,
                       hex);
        for (const DiscSubtitleTrack &track : title.subtitles)
            FUZZ_CHECK(track.streamId >= 0x20 && track.streamId <= 0x3f && IsLanguage(track.language), hex);
        FUZZ_CHECK(title.angles >= 1 && title.angles <= 9 &&
                       (title.angles == 1 ? title.angleCells.isEmpty() : title.angleCells.size() == title.angles),
                   hex);
        for (int angle = 1; angle <= title.angles; ++angle)
            for (const DiscCell &cell : title.Cells(angle))
                FUZZ_CHECK(cell.lastSector > cell.firstSector, hex);
        FUZZ_CHECK(title.repeat != TitleRepeat::SameAs ||
                       (title.sameAsTitle >= 1 && title.sameAsTitle < title.number),
                   hex);

        // the last angle: an interleaved cell is walked unit by unit
        auto reader = disc->OpenTitle(title, title.angles);
        if (!reader)
            continue;
        FUZZ_CHECK(reader->TotalBlocks() == title.BlockCount(title.angles), hex);
        qint64 read = 0;
        for (int call = 0; call < 3; ++call) {
            const int want = 1 + call * 3;
            const int got = reader->Read(buffer.data(), want);
            FUZZ_CHECK(got >= -1 && got <= want, hex);
            if (got <= 0)
                break;
            read += got;
        }
        // nothing outside the angle's cells (an interleaved cell's units
        // are fewer than its range; the estimate may be short of them)
        qint64 range = 0;
        for (const DiscCell &cell : title.Cells(title.angles))
            range += qint64(cell.lastSector) - cell.firstSector + 1;
        FUZZ_CHECK(read + reader->SkippedBlocks() <= range, hex);
        // a look at its pictures from a few places: seeking stays inside it
        const PictureFlags pictures = SampleTitlePictures(*reader);
        FUZZ_CHECK(pictures.repeatFirstField <= pictures.pictures && pictures.progressive <= pictures.pictures, hex);
    }
    return 0;
}
