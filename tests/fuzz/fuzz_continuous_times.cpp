// A title's times moved across its joins: any blocks in. Moving them in two
// pieces at a block's boundary gives the bytes that moving them whole
// gives, and blocks among which there is no navigation pack are left as
// they are.

#include "fuzz_support.h"

#include "disc/continuous_times.h"
#include "disc/nav_pack.h"

using namespace zento;
using namespace zento::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray read(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray whole = read, pieces = read;
    ContinuousTimes().Apply(reinterpret_cast<unsigned char *>(whole.data()), whole.size());
    const qsizetype half = (read.size() / 2048 / 2) * 2048;
    ContinuousTimes times;
    times.Apply(reinterpret_cast<unsigned char *>(pieces.data()), half);
    times.Apply(reinterpret_cast<unsigned char *>(pieces.data()) + half, pieces.size() - half);
    FUZZ_CHECK(whole == pieces, QStringLiteral("%1 blocks").arg(read.size() / 2048));
    bool navigation = false;
    for (qsizetype at = 0; at + 2048 <= read.size(); at += 2048)
        navigation = navigation || NavPackTimes(reinterpret_cast<const unsigned char *>(read.constData()) + at, 2048);
    FUZZ_CHECK(navigation || whole == read, QStringLiteral("%1 blocks").arg(read.size() / 2048));
    return 0;
}
