#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zento {

// A colour as red, green and blue (the window turns it into its own colour type).
struct RgbColor {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const RgbColor &, const RgbColor &) = default;
};

// An option that reaches the encoder's command line is light yellow; one left
// to the source or the encoder is silver.
inline constexpr RgbColor kSetColor{255, 255, 128};
inline constexpr RgbColor kUnsetColor{192, 192, 192};

// The ranges of the numeric option fields.
struct ValueRange {
    int minimum;
    int maximum;
    int Clamp(int value) const { return value < minimum ? minimum : (value > maximum ? maximum : value); }
};
inline constexpr ValueRange kSizeRange{0, 9999}; // width, height
inline constexpr ValueRange kAspectRange{0, 99}; // aspect terms
inline constexpr ValueRange kVideoBitRateRange{0, 10000};
inline constexpr ValueRange kFrameRateRange{0, 999};
inline constexpr ValueRange kAudioBitRateRange{0, 999};
inline constexpr ValueRange kSampleRateRange{0, 99999};

// The whole number a preset column holds: decimal digits with an optional
// leading sign, nothing else (no blanks, no hexadecimal, no decimal point).
// Digits beyond what an int holds saturate, so such a number is brought into
// range like any other instead of being dropped.
std::optional<int> PresetWholeNumber(const QString &text);

// What a preset row sets: catalogue rows (0, the automatic row, when the column
// names nothing) and numbers already inside their fields' ranges (0 where the
// column does not convert).
struct PresetValues {
    int container = 0;
    int width = 0;
    int height = 0;
    int videoCodec = 0;
    int frameRate = 0;
    int videoBitRate = 0;
    int audioCodec = 0;
    int sampleRate = 0;
    int audioBitRate = 0;
    friend bool operator==(const PresetValues &, const PresetValues &) = default;
};

// From the row's columns (column 0 the name; missing columns count as empty).
PresetValues PresetValuesFromColumns(const QStringList &columns);
// From the row's whole text, split by the comma-text rule.
PresetValues PresetValuesFromRow(const QString &row);

// The highlight rules.
// A catalogue box: set unless it is on the automatic row (no row counts as set).
RgbColor CatalogueBoxColor(int itemIndex);
// A lone number: set unless 0.
RgbColor NumberColor(int value);
// A pair (size, aspect): set only when both terms are other than 0; both
// members always take the same colour.
RgbColor PairColor(int first, int second);

} // namespace zento
