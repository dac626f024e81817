#include "options/option_rules.h"

#include "options/catalogue.h"
#include "options/comma_text.h"

#include <climits>

namespace zento {

namespace {

QString Column(const QStringList &columns, int index)
{
    return index < columns.size() ? columns.at(index) : QString();
}

// The number before the first occurrence of the unit ("30fps" gives 30); none
// when the unit is missing or the text before it does not convert.
std::optional<int> NumberBeforeUnit(const QString &text, const QString &unit)
{
    const qsizetype at = text.indexOf(unit);
    if (at < 0)
        return std::nullopt;
    return PresetWholeNumber(text.left(at));
}

int FindRowOrAutomatic(Catalogue catalogue, const QString &text)
{
    const int row = FindCatalogueRow(catalogue, text);
    return row < 0 ? 0 : row;
}

} // namespace

std::optional<int> PresetWholeNumber(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        if (magnitude <= qint64(INT_MAX))
            magnitude = magnitude * 10 + (u - '0');
    }
    if (magnitude > qint64(INT_MAX))
        magnitude = INT_MAX;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

PresetValues PresetValuesFromColumns(const QStringList &columns)
{
    PresetValues v;
    v.container = FindRowOrAutomatic(Catalogue::Containers, Column(columns, 1));

    // Width "x" height: a width that does not convert ends the step with both
    // at 0; a height that does not convert leaves the width set.
    const QString size = Column(columns, 2);
    const qsizetype x = size.indexOf(QLatin1Char('x'));
    if (x >= 0) {
        if (const auto width = PresetWholeNumber(size.left(x))) {
            v.width = kSizeRange.Clamp(*width);
            if (const auto height = PresetWholeNumber(size.mid(x + 1)))
                v.height = kSizeRange.Clamp(*height);
        }
    }

    v.videoCodec = FindRowOrAutomatic(Catalogue::VideoCodecs, Column(columns, 3));
    if (const auto n = NumberBeforeUnit(Column(columns, 4), QStringLiteral("fps")))
        v.frameRate = kFrameRateRange.Clamp(*n);
    if (const auto n = NumberBeforeUnit(Column(columns, 5), QStringLiteral("kbps")))
        v.videoBitRate = kVideoBitRateRange.Clamp(*n);
    v.audioCodec = FindRowOrAutomatic(Catalogue::AudioCodecs, Column(columns, 6));
    if (const auto n = NumberBeforeUnit(Column(columns, 7), QStringLiteral("Hz")))
        v.sampleRate = kSampleRateRange.Clamp(*n);
    if (const auto n = NumberBeforeUnit(Column(columns, 8), QStringLiteral("kbps")))
        v.audioBitRate = kAudioBitRateRange.Clamp(*n);
    return v;
}

PresetValues PresetValuesFromRow(const QString &row)
{
    return PresetValuesFromColumns(SplitCommaText(row));
}

RgbColor CatalogueBoxColor(int itemIndex)
{
    return itemIndex == 0 ? kUnsetColor : kSetColor;
}

RgbColor NumberColor(int value)
{
    return value != 0 ? kSetColor : kUnsetColor;
}

RgbColor PairColor(int first, int second)
{
    return first != 0 && second != 0 ? kSetColor : kUnsetColor;
}

} // namespace zento
