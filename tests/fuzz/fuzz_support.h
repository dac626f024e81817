#pragma once

// Helpers shared by the fuzz targets: a reader that turns the fuzzer's bytes
// into texts and numbers, and a check that stops the run with a message.

#include "platform/text_encoding.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zento::fuzz {

[[noreturn]] inline void Fail(const char *file, int line, const char *what, const QString &detail)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n%s\n", file, line, what, detail.toUtf8().constData());
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::zento::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));                                             \
    } while (false)

// Shows a text with every character outside printable ASCII as \uXXXX.
inline QString Visible(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out + QLatin1Char('"');
}

inline QString Visible(const QStringList &list)
{
    QStringList shown;
    for (const QString &s : list)
        shown << Visible(s);
    return QLatin1Char('[') + shown.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// Takes values off the front of the input; an exhausted input gives zeros and
// empty texts, so every input is a valid case.
class Reader {
public:
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return at_ >= size_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    int Int()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | Byte();
        return static_cast<int>(v);
    }

    // An integer that is most often small or at an edge of a range.
    int Number()
    {
        switch (Byte() % 4) {
        case 0: return Byte();
        case 1: return Byte() * 256 + Byte();
        case 2: return -static_cast<int>(Byte());
        default: return Int();
        }
    }

    QByteArray Bytes(size_t count)
    {
        const size_t n = count < size_ - at_ ? count : size_ - at_;
        QByteArray bytes(reinterpret_cast<const char *>(data_ + at_), static_cast<qsizetype>(n));
        at_ += n;
        return bytes;
    }

    QByteArray Rest() { return Bytes(size_ - at_); }

    // A text of a length given by the input, as UTF-8 (invalid bytes become
    // U+FFFD) or as raw UTF-16 units (lone surrogates included).
    QString Text()
    {
        const uint8_t head = Byte();
        const size_t length = head & 0x7F;
        if (head & 0x80) {
            const QByteArray units = Bytes(length * 2);
            return QString(reinterpret_cast<const QChar *>(units.constData()), units.size() / 2);
        }
        return QString::fromUtf8(Bytes(length));
    }

    // A text of a length given by the input, from UTF-8 only (so it holds
    // whole characters, as a text typed into the program does).
    QString Utf8Text() { return QString::fromUtf8(Bytes(Byte())); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// The encoding a stored file is read in, written out plainly: UTF-8 when the
// bytes are valid UTF-8 and begin with the mark, hold a character from U+0800
// on (three bytes or more), or are not Shift-JIS.
inline zento::TextEncoding ReferenceEncoding(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return zento::TextEncoding::ShiftJis;
    bool wide = false;
    for (QChar c : text)
        wide = wide || c.unicode() >= 0x800 || c.isSurrogate();
    if (bytes.startsWith("\xEF\xBB\xBF") || wide)
        return zento::TextEncoding::Utf8;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF))
            continue;
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        const auto t = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes.at(i + 1)) : 0;
        if (!lead || !((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)))
            return zento::TextEncoding::Utf8;
        QStringDecoder pair("Shift_JIS", QStringConverter::Flag::Stateless);
        const QString one = pair.decode(bytes.mid(i, 2));
        if (pair.hasError() || one.size() != 1 || one.at(0) == QChar(0xFFFD) || one.at(0) == QChar(0x1A))
            return zento::TextEncoding::Utf8;
        ++i;
    }
    return zento::TextEncoding::ShiftJis;
}

// A folder for the files a target writes, removed when the process ends. In
// memory where the machine has /dev/shm: every atomic write syncs the file,
// which on a disk costs more than the whole check.
inline QString ScratchFolder()
{
    static QTemporaryDir dir(
        (QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
        QStringLiteral("/zento-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    return dir.path();
}

} // namespace zento::fuzz
