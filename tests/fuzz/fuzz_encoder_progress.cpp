// The reader of the encoder's output: any bytes, cut into pieces anywhere.
// Read piece by piece it must reach exactly the state it reaches reading them
// at once; the unfinished line stays within its limit; a percentage is never
// outside 0 to 100, a time left never negative, and the label shows them.

#include "fuzz_support.h"

#include "convert/encoder_progress.h"

#include <QList>

using namespace zento;
using namespace zento::fuzz;

namespace {

QString Shown(const EncoderProgress &p)
{
    return QStringLiteral("duration %1 position %2 partial %3 skipping %4")
        .arg(p.durationMs)
        .arg(p.positionMs)
        .arg(p.partial.size())
        .arg(p.skipping);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader reader(data, size);
    // Where to cut, then the elapsed time to judge the pace by, then the output.
    QList<int> cuts;
    for (int count = reader.Byte() % 8; count > 0; --count)
        cuts << reader.Byte() * 256 + reader.Byte();
    const qint64 elapsedMs = qint64(reader.Int()) * (reader.Byte() % 4 == 0 ? 1000000 : 1);
    const QByteArray output = reader.Rest();

    const EncoderProgress whole = ReadEncoderProgress({}, output);
    EncoderProgress pieces;
    qsizetype at = 0;
    for (int cut : cuts) {
        const qsizetype length = qMin<qsizetype>(cut, output.size() - at);
        pieces = ReadEncoderProgress(std::move(pieces), QByteArrayView(output).sliced(at, length));
        at += length;
    }
    pieces = ReadEncoderProgress(std::move(pieces), QByteArrayView(output).sliced(at));

    const QString detail = Shown(whole) + QStringLiteral(" / ") + Shown(pieces);
    FUZZ_CHECK(whole.durationMs == pieces.durationMs && whole.positionMs == pieces.positionMs &&
                   whole.partial == pieces.partial && whole.skipping == pieces.skipping,
               detail);
    FUZZ_CHECK(whole.partial.size() <= EncoderProgress::kMaxLine, detail);
    FUZZ_CHECK(whole.durationMs == -1 || whole.durationMs > 0, detail);
    FUZZ_CHECK(whole.positionMs >= -1, detail);

    const std::optional<int> percent = ProgressPercent(whole);
    FUZZ_CHECK(!percent || (*percent >= 0 && *percent <= 100), detail);
    FUZZ_CHECK(percent.has_value() == (whole.durationMs > 0), detail);
    const std::optional<qint64> left = RemainingSeconds(whole, elapsedMs);
    FUZZ_CHECK(!left || *left >= 0, detail + QStringLiteral(" elapsed %1").arg(elapsedMs));
    const QString label = ProgressLabelText(whole, elapsedMs, 2, 2);
    FUZZ_CHECK(label.isEmpty() == !percent, Visible(label));
    FUZZ_CHECK(!label.contains(QLatin1Char('-')), Visible(label));
    if (percent)
        FUZZ_CHECK(label.startsWith(QStringLiteral("2/2パス %1 %").arg(*percent)), Visible(label));
    return 0;
}
