#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace zento {

// How far one encoder run has come, read from its own merged output: the
// input's length from the encoder's description of its input (the first
// "  Duration: HH:MM:SS.ss," line below an "Input #n, ..." line that gives a
// time), the position from the "time=" of the progress lines, which end with
// a carriage return. Paths and metadata that the encoder repeats (a folder
// named "Note Duration: 10:00:00") give no length. Only whole lines count; a
// line is at most kMaxLine bytes, and the rest of a longer one is skipped.
struct EncoderProgress {
    static constexpr int kMaxLine = 1024;
    qint64 durationMs = -1;  // -1: not known
    qint64 positionMs = -1;  // -1: no progress line yet
    QByteArray partial;      // the unfinished last line
    bool skipping = false;   // the unfinished line ran past kMaxLine
    bool inputBlock = false; // within the indented lines below "Input #n, ..."
};

// The state after more of the output: bytes may be cut anywhere, and reading
// them in pieces gives what reading them at once gives.
EncoderProgress ReadEncoderProgress(EncoderProgress state, QByteArrayView bytes);

// The share done, 0 to 100 (cut off, not rounded up); none while the length
// of the input is not known.
std::optional<int> ProgressPercent(const EncoderProgress &progress);

// The seconds still to go, from the pace so far (elapsedMs since the encoder
// started); none until the first per cent is done. Never negative.
std::optional<qint64> RemainingSeconds(const EncoderProgress &progress, qint64 elapsedMs);

// What the progress window shows of the encoder run: "1/2パス " in two passes,
// "<percent> %" and, once there is an estimate, "  残り 約<n>分" (under a
// minute "  残り 約<n>秒"). Empty while the length of the input is not known.
QString ProgressLabelText(const EncoderProgress &progress, qint64 elapsedMs, int pass, int passCount);

} // namespace zento
