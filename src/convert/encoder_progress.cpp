#include "convert/encoder_progress.h"

#include <cmath>

namespace zento {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A run of at most maxDigits digits at `at`; false when there is none.
bool ReadNumber(QByteArrayView text, qsizetype &at, int maxDigits, qint64 &value)
{
    value = 0;
    int digits = 0;
    while (at < text.size() && IsDigit(text.at(at)) && digits < maxDigits) {
        value = value * 10 + (text.at(at) - '0');
        ++at;
        ++digits;
    }
    return digits > 0 && (at >= text.size() || !IsDigit(text.at(at)));
}

// "HH:MM:SS" with an optional fraction, at `at`, in milliseconds; a leading
// "-" (the encoder's start before zero) counts as zero. -1 when it is not a
// time. `at` ends after the time.
qint64 ParseClock(QByteArrayView text, qsizetype &at)
{
    bool negative = false;
    if (at < text.size() && text.at(at) == '-') {
        negative = true;
        ++at;
    }
    qint64 hours = 0, minutes = 0, seconds = 0;
    if (!ReadNumber(text, at, 6, hours) || at >= text.size() || text.at(at++) != ':' ||
        !ReadNumber(text, at, 2, minutes) || at >= text.size() || text.at(at++) != ':' ||
        !ReadNumber(text, at, 2, seconds) || minutes > 59 || seconds > 59)
        return -1;
    qint64 ms = ((hours * 60 + minutes) * 60 + seconds) * 1000;
    if (at < text.size() && text.at(at) == '.') {
        ++at;
        qint64 scale = 100;
        int digits = 0;
        while (at < text.size() && IsDigit(text.at(at))) {
            if (digits++ < 3) {
                ms += (text.at(at) - '0') * scale;
                scale /= 10;
            }
            ++at;
        }
    }
    return negative ? 0 : ms;
}

// Where `key` stands at the start of the line or after a blank; -1 when not.
qsizetype FindKey(QByteArrayView line, QByteArrayView key)
{
    for (qsizetype at = line.indexOf(key); at >= 0; at = line.indexOf(key, at + 1))
        if (at == 0 || line.at(at - 1) == ' ' || line.at(at - 1) == '\t')
            return at + key.size();
    return -1;
}

// The length of the input from the encoder's own line below "Input #n, ...":
// "  Duration: 00:00:09.02, start: 0.280633, bitrate: 6000 kb/s" (two blanks
// in front, the time followed by a comma or the line's end); -1 for any
// other line and for "N/A".
qint64 InputDuration(QByteArrayView line)
{
    const QByteArrayView key("  Duration: ");
    if (!line.startsWith(key))
        return -1;
    qsizetype at = key.size();
    while (at < line.size() && line.at(at) == ' ')
        ++at;
    const qint64 duration = ParseClock(line, at);
    if (at < line.size() && line.at(at) != ',')
        return -1;
    return duration;
}

void ReadLine(EncoderProgress &state, QByteArrayView line)
{
    // The encoder describes each input in a block: the line "Input #0, mpeg,
    // from '...':" and indented lines below it (metadata, duration, streams).
    // The path in the first line is the user's text and says nothing.
    if (line.startsWith("Input #")) {
        state.inputBlock = true;
        return;
    }
    if (!line.isEmpty() && line.at(0) != ' ' && line.at(0) != '\t')
        state.inputBlock = false;
    if (state.durationMs < 0 && state.inputBlock) {
        const qint64 duration = InputDuration(line);
        if (duration > 0)
            state.durationMs = duration;
        if (duration >= 0 || line.startsWith("  Duration:"))
            return;
    }
    qsizetype at = FindKey(line, "time=");
    if (at < 0)
        return;
    const qint64 position = ParseClock(line, at);
    if (position >= 0)
        state.positionMs = position;
}

} // namespace

EncoderProgress ReadEncoderProgress(EncoderProgress state, QByteArrayView bytes)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\n' && c != '\r')
            continue;
        if (!state.skipping) {
            if (state.partial.isEmpty()) {
                if (i - start <= EncoderProgress::kMaxLine)
                    ReadLine(state, bytes.sliced(start, i - start));
            } else {
                state.partial.append(bytes.sliced(start, i - start));
                if (state.partial.size() <= EncoderProgress::kMaxLine)
                    ReadLine(state, state.partial);
            }
        }
        state.partial.clear();
        state.skipping = false;
        start = i + 1;
    }
    if (!state.skipping && start < bytes.size()) {
        state.partial.append(bytes.sliced(start));
        if (state.partial.size() > EncoderProgress::kMaxLine) {
            state.partial.clear();
            state.skipping = true;
        }
    }
    return state;
}

std::optional<int> ProgressPercent(const EncoderProgress &progress)
{
    if (progress.durationMs <= 0)
        return std::nullopt;
    const qint64 position = qBound<qint64>(0, progress.positionMs, progress.durationMs);
    return static_cast<int>(position * 100 / progress.durationMs);
}

std::optional<qint64> RemainingSeconds(const EncoderProgress &progress, qint64 elapsedMs)
{
    // Before the first per cent the pace says little: the encoder's first
    // progress lines often stand at the start while it fills its buffers.
    if (progress.durationMs <= 0 || progress.positionMs <= 0 || elapsedMs <= 0 ||
        progress.positionMs * 100 < progress.durationMs)
        return std::nullopt;
    const qint64 position = qMin(progress.positionMs, progress.durationMs);
    const double remainingMs = double(elapsedMs) * double(progress.durationMs - position) / double(position);
    // A day and more is no estimate worth showing to the second.
    return static_cast<qint64>(std::llround(qMin(remainingMs, 1e12) / 1000.0));
}

QString ProgressLabelText(const EncoderProgress &progress, qint64 elapsedMs, int pass, int passCount)
{
    const std::optional<int> percent = ProgressPercent(progress);
    if (!percent)
        return QString();
    QString text;
    if (passCount > 1)
        text = QStringLiteral("%1/%2パス ").arg(pass).arg(passCount);
    text += QStringLiteral("%1 %").arg(*percent);
    if (const std::optional<qint64> seconds = RemainingSeconds(progress, elapsedMs)) {
        if (*seconds < 60)
            text += QStringLiteral("  残り 約%1秒").arg(*seconds);
        else
            text += QStringLiteral("  残り 約%1分").arg((*seconds + 30) / 60);
    }
    return text;
}

} // namespace zento
