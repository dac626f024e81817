// The look at a title's pictures: any blocks in. Every count is one of the
// pictures found, and reading the blocks in two pieces at a pack's boundary
// finds no more pictures than reading them whole.

#include "fuzz_support.h"

#include "disc/picture_flags.h"

using namespace zento;
using namespace zento::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *blocks = reinterpret_cast<const unsigned char *>(data);
    const qsizetype length = qsizetype(size);
    PictureFlags whole;
    ReadPictureFlags(blocks, length, whole);
    const QString detail = QStringLiteral("%1 pictures, %2 repeating, %3 progressive")
                               .arg(whole.pictures)
                               .arg(whole.repeatFirstField)
                               .arg(whole.progressive);
    FUZZ_CHECK(whole.pictures >= 0 && whole.repeatFirstField <= whole.pictures && whole.progressive <= whole.pictures,
               detail);
    FUZZ_CHECK(!IsSoftTelecine(whole) || whole.repeatFirstField > 0, detail);
    const qsizetype half = (length / 2048 / 2) * 2048;
    PictureFlags pieces;
    ReadPictureFlags(blocks, half, pieces);
    ReadPictureFlags(blocks + half, length - half, pieces);
    FUZZ_CHECK(pieces.pictures <= whole.pictures + 1, detail);
    return 0;
}
