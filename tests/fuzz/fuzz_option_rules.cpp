// Applying a preset row: a whole profile.txt line in, option values and their
// colours out. Every value must be what the documented column rules give
// (checked with a second, plainly written number reader), lie inside its
// field's range and name a catalogue row; the colours must follow the values.
// Storing the applied values as a preset line and applying that line again
// gives the same numbers, and the stored line splits into exactly nine columns.

#include "fuzz_support.h"

#include "options/catalogue.h"
#include "options/comma_text.h"
#include "options/option_rules.h"
#include "options/preset_store.h"

#include <QRegularExpression>

#include <climits>
#include <optional>

using namespace zento;
using namespace zento::fuzz;

namespace {

// Sign and decimal digits only; too many digits saturate.
std::optional<int> ReferenceNumber(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([+-]?)0*([0-9]+)\\z"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QString digits = m.captured(2);
    qint64 magnitude = digits.size() > 10 ? qint64(INT_MAX) : digits.toLongLong();
    if (magnitude > INT_MAX)
        magnitude = INT_MAX;
    return static_cast<int>(m.captured(1) == QLatin1String("-") ? -magnitude : magnitude);
}

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

// A column "<number><unit>...": the number before the unit's first occurrence.
int ReferenceUnitValue(const QString &column, const char *unit, int maximum)
{
    const qsizetype at = column.indexOf(QLatin1String(unit));
    if (at < 0)
        return 0;
    const auto n = ReferenceNumber(column.left(at));
    return n ? Clamp(*n, 0, maximum) : 0;
}

int ReferenceRow(Catalogue catalogue, const QString &column)
{
    if (column.isEmpty())
        return 0;
    const QStringList &rows = CatalogueRows(catalogue);
    for (int i = 0; i < rows.size(); ++i)
        if (rows.at(i).contains(column))
            return i;
    return 0;
}

PresetValues Reference(const QString &line)
{
    QStringList c = SplitCommaText(line);
    while (c.size() < 9)
        c << QString();
    PresetValues v;
    v.container = ReferenceRow(Catalogue::Containers, c[1]);
    const qsizetype x = c[2].indexOf(QLatin1Char('x'));
    if (x >= 0) {
        if (const auto w = ReferenceNumber(c[2].left(x))) {
            v.width = Clamp(*w, 0, 9999);
            if (const auto h = ReferenceNumber(c[2].mid(x + 1)))
                v.height = Clamp(*h, 0, 9999);
        }
    }
    v.videoCodec = ReferenceRow(Catalogue::VideoCodecs, c[3]);
    v.frameRate = ReferenceUnitValue(c[4], "fps", 999);
    v.videoBitRate = ReferenceUnitValue(c[5], "kbps", 10000);
    v.audioCodec = ReferenceRow(Catalogue::AudioCodecs, c[6]);
    v.sampleRate = ReferenceUnitValue(c[7], "Hz", 99999);
    v.audioBitRate = ReferenceUnitValue(c[8], "kbps", 999);
    return v;
}

QString Show(const PresetValues &v)
{
    return QStringLiteral("%1 %2x%3 %4 %5fps %6kbps %7 %8Hz %9kbps")
        .arg(v.container)
        .arg(v.width)
        .arg(v.height)
        .arg(v.videoCodec)
        .arg(v.frameRate)
        .arg(v.videoBitRate)
        .arg(v.audioCodec)
        .arg(v.sampleRate)
        .arg(v.audioBitRate);
}

CatalogueChoice Choice(Catalogue catalogue, int row)
{
    return {row, CatalogueRows(catalogue).at(row)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const PresetValues v = PresetValuesFromRow(line);
    const QString detail = Visible(line) + QStringLiteral(" gave ") + Show(v);

    FUZZ_CHECK(v == Reference(line), detail + QStringLiteral(", expected ") + Show(Reference(line)));
    FUZZ_CHECK(v.container >= 0 && v.container < CatalogueRows(Catalogue::Containers).size(), detail);
    FUZZ_CHECK(v.videoCodec >= 0 && v.videoCodec < CatalogueRows(Catalogue::VideoCodecs).size(), detail);
    FUZZ_CHECK(v.audioCodec >= 0 && v.audioCodec < CatalogueRows(Catalogue::AudioCodecs).size(), detail);

    // Colours: set exactly when the option reaches the command line.
    FUZZ_CHECK((CatalogueBoxColor(v.container) == kSetColor) == (v.container != 0), detail);
    FUZZ_CHECK((CatalogueBoxColor(-1) == kSetColor), QStringLiteral("no row counts as set"));
    FUZZ_CHECK((PairColor(v.width, v.height) == kSetColor) == (v.width > 0 && v.height > 0), detail);
    FUZZ_CHECK(PairColor(v.width, v.height) == PairColor(v.height, v.width), detail);
    FUZZ_CHECK((NumberColor(v.frameRate) == kSetColor) == (v.frameRate > 0), detail);
    FUZZ_CHECK((NumberColor(v.sampleRate) == kSetColor) == (v.sampleRate > 0), detail);

    // Store what was applied, under the row's own name, and apply it again.
    ConversionSettings s;
    s.C2_01 = Choice(Catalogue::Containers, v.container);
    s.C2_04 = Choice(Catalogue::VideoCodecs, v.videoCodec);
    s.C3_01 = Choice(Catalogue::AudioCodecs, v.audioCodec);
    s.C2_02_01 = v.width;
    s.C2_02_02 = v.height;
    s.C2_06 = v.frameRate;
    s.C2_05 = v.videoBitRate;
    s.C3_03 = v.sampleRate;
    s.C3_02 = v.audioBitRate;
    const QStringList columns = SplitCommaText(line);
    const QString name = SafePresetName(columns.isEmpty() ? QString() : columns.first());
    const QString stored = ComposePresetLine(name, s);
    const QStringList storedColumns = SplitCommaText(stored);
    FUZZ_CHECK(storedColumns.size() == 9, Visible(stored) + QStringLiteral(" splits into ") + Visible(storedColumns));
    FUZZ_CHECK(storedColumns.first() == name, Visible(stored));

    const PresetValues again = PresetValuesFromRow(stored);
    FUZZ_CHECK(again.width == v.width && again.height == v.height && again.frameRate == v.frameRate &&
                   again.videoBitRate == v.videoBitRate && again.sampleRate == v.sampleRate &&
                   again.audioBitRate == v.audioBitRate,
               Visible(stored) + QStringLiteral(" gave ") + Show(again) + QStringLiteral(" after ") + Show(v));
    // The first row holding a row's ID is that row, so a stored ID finds its
    // own row again.
    FUZZ_CHECK(again.container == v.container && again.videoCodec == v.videoCodec && again.audioCodec == v.audioCodec,
               Visible(stored) + QStringLiteral(" gave ") + Show(again) + QStringLiteral(" after ") + Show(v));
    return 0;
}
