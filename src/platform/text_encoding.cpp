#include "platform/text_encoding.h"

#include <QStringDecoder>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace zento {

namespace {

// Windows' own Shift-JIS: the NEC and IBM extensions, and the mappings
// Windows gives the few codes that plain Shift-JIS maps elsewhere.
const char *const kShiftJisName = "CP932";
constexpr char16_t kReplacement = 0xFFFD;

const char *Utf16Name()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

// One direction of the system's converter (iconv), opened once per thread
// and kept: opening it costs more than most conversions.
class Converter {
public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (IsValid())
            iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool IsValid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts until the input ends or a sequence has no form in the other
    // encoding; false then, with `in` at that sequence. Neither encoding
    // keeps a state between sequences.
    bool Convert(const char *&in, size_t &inLeft, char *&out, size_t &outLeft)
    {
        char *from = const_cast<char *>(in);
        const size_t result = iconv(cd_, &from, &inLeft, &out, &outLeft);
        in = from;
        return result != static_cast<size_t>(-1);
    }

    // All `size` bytes from `in` converted into `out`, which has room for
    // `room`: the number of bytes written, or -1 when a sequence has no form,
    // the room runs out or the converter could not be opened.
    qsizetype ConvertAll(const char *in, size_t size, char *out, size_t room)
    {
        char *const start = out;
        if (!IsValid() || !Convert(in, size, out, room) || size != 0)
            return -1;
        return out - start;
    }

private:
    iconv_t cd_;
};

Converter &ShiftJisDecoder()
{
    thread_local Converter decoder(Utf16Name(), kShiftJisName);
    return decoder;
}

Converter &ShiftJisEncoder()
{
    thread_local Converter encoder(kShiftJisName, Utf16Name());
    return encoder;
}

bool IsAllAscii(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// In valid UTF-8 a byte from E0 on starts a sequence of three or four bytes.
bool HasLongUtf8Sequence(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0xE0)
            return true;
    return false;
}

bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool IsHalfWidthKana(unsigned char b)
{
    return b >= 0xA1 && b <= 0xDF;
}

// Double-byte characters, decoded by the system converter in one go into
// `out`, one character a pair; a pair with no character becomes the
// replacement character. Single bytes never reach the converter: the program
// reads those itself. Returns the end of what it wrote.
char16_t *DecodeDoubleBytes(const char *pairs, qsizetype length, char16_t *out)
{
    const qsizetype count = length / 2;
    Converter &decoder = ShiftJisDecoder();
    if (!decoder.IsValid())
        return std::fill_n(out, count, kReplacement);
    const char *in = pairs;
    size_t inLeft = size_t(count) * 2;
    char *const start = reinterpret_cast<char *>(out);
    char *to = start;
    size_t toLeft = size_t(count) * 2;
    while (inLeft >= 2 && !decoder.Convert(in, inLeft, to, toLeft)) {
        if (errno != EILSEQ || toLeft < 2)
            break;
        std::memcpy(to, &kReplacement, 2);
        in += 2;
        inLeft -= 2;
        to += 2;
        toLeft -= 2;
    }
    // Pairs the converter did not reach are replacement characters too.
    const qsizetype written = (to - start) / 2;
    return std::fill_n(out + written, count - written, kReplacement);
}

// Characters in Shift-JIS: empty when one of them has none, or when the
// bytes read back as other characters (the converter gives some characters a
// look-alike's code, the yen sign the backslash's).
QByteArray EncodeCharacters(QStringView characters)
{
    QByteArray bytes(characters.size() * 2, Qt::Uninitialized); // never more than two a character
    const qsizetype written =
        ShiftJisEncoder().ConvertAll(reinterpret_cast<const char *>(characters.utf16()), size_t(characters.size()) * 2,
                                     bytes.data(), size_t(bytes.size()));
    if (written < 0)
        return QByteArray();
    bytes.truncate(written);
    if (FromShiftJis(bytes) != characters)
        return QByteArray();
    return bytes;
}

// Encodes the text through the system converter, in one go when every
// character has a form. Otherwise ASCII is written directly and the other
// characters go through run by run; `fits` turns false for each character
// without a form, and two bytes, as wide as any character, stand in for it.
QByteArray EncodeShiftJis(const QString &mappedText, bool &fits)
{
    fits = true;
    // Nearly always every character has a form: the whole text in one go.
    QByteArray bytes = EncodeCharacters(mappedText);
    if (!bytes.isEmpty() || mappedText.isEmpty())
        return bytes;
    bytes.reserve(mappedText.size() * 2);
    const qsizetype size = mappedText.size();
    qsizetype at = 0;
    while (at < size) {
        if (mappedText.at(at).unicode() < 0x80) {
            bytes.append(static_cast<char>(mappedText.at(at).unicode()));
            ++at;
            continue;
        }
        const qsizetype start = at;
        while (at < size && mappedText.at(at).unicode() >= 0x80)
            ++at;
        const QStringView run = QStringView(mappedText).mid(start, at - start);
        const QByteArray encoded = EncodeCharacters(run);
        if (!encoded.isEmpty()) {
            bytes.append(encoded);
            continue;
        }
        // Character by character, to find the ones without a form.
        for (qsizetype i = 0; i < run.size();) {
            const qsizetype length = run.at(i).isHighSurrogate() && i + 1 < run.size() ? 2 : 1;
            const QByteArray character = EncodeCharacters(run.mid(i, length));
            if (character.isEmpty()) {
                fits = false;
                bytes.append("\xFC\xFC", 2);
            } else {
                bytes.append(character);
            }
            i += length;
        }
    }
    return bytes;
}

} // namespace

bool IsWideText(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

DecodedText DecodeText(const QByteArray &bytes)
{
    DecodedText result;
    if (!IsAllAscii(bytes)) {
        // The mark is kept in the text by the decoder and taken off here, so a
        // second mark (a character of the text) stays.
        QStringDecoder utf8(QStringConverter::Utf8,
                            QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        QString text = utf8.decode(bytes);
        const bool byteOrderMark = bytes.startsWith("\xEF\xBB\xBF");
        // Half-width katakana pairs are often two-byte UTF-8 as well ("ﾃｽ" is
        // C3 BD, "ý"); Japanese in UTF-8 always has three-byte sequences.
        if (!utf8.hasError() && (byteOrderMark || HasLongUtf8Sequence(bytes) || !IsValidShiftJis(bytes))) {
            result.encoding = TextEncoding::Utf8;
            if (byteOrderMark) {
                result.byteOrderMark = true;
                text.remove(0, 1);
            }
            result.text = text;
            return result;
        }
    }
    result.encoding = TextEncoding::ShiftJis;
    result.text = FromShiftJis(bytes);
    return result;
}

bool IsValidShiftJis(const QByteArray &bytes)
{
    return !FromShiftJis(bytes).contains(QChar(kReplacement));
}

bool ReadsWithoutLoss(const QByteArray &bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        utf8.decode(bytes);
        return !utf8.hasError();
    }
    if (IsAllAscii(bytes))
        return true;
    if (ToShiftJis(FromShiftJis(bytes)) != bytes)
        return false;
    // EUC-JP uses the bytes A1 to FE for both bytes of a character; Shift-JIS
    // text nearly always has a byte from 81 to 9F (every hiragana and
    // katakana, most kanji), which EUC-JP uses only before half-width katakana.
    thread_local Converter euc(Utf16Name(), "EUC-JP");
    QString text(bytes.size(), Qt::Uninitialized);
    const qsizetype written = euc.ConvertAll(bytes.constData(), size_t(bytes.size()),
                                             reinterpret_cast<char *>(text.data()), size_t(text.size()) * 2);
    if (written < 0)
        return true;
    text.truncate(written / 2);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == kReplacement || (u >= 0x80 && u <= 0x9F))
            return true;
    }
    return false;
}

QString FirstCharacterNotInShiftJis(const QString &text)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        const qsizetype length = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(at, length);
        if (!FitsShiftJis(character))
            return character;
        at += length - 1;
    }
    return QString();
}

QString DecodeAs(const QByteArray &bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::ShiftJis)
        return FromShiftJis(bytes);
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

QString MapForShiftJis(const QString &text)
{
    QString mapped = text;
    for (QChar &c : mapped) {
        switch (c.unicode()) {
        case 0x301C: c = QChar(0xFF5E); break; // wave dash
        case 0x2212: c = QChar(0xFF0D); break; // minus sign
        case 0x2016: c = QChar(0x2225); break; // double vertical line
        case 0x00A2: c = QChar(0xFFE0); break; // cent
        case 0x00A3: c = QChar(0xFFE1); break; // pound
        case 0x00AC: c = QChar(0xFFE2); break; // not
        default: break;
        }
    }
    return mapped;
}

bool FitsShiftJis(const QString &text)
{
    bool fits = true;
    EncodeShiftJis(MapForShiftJis(text), fits);
    return fits;
}

QByteArray ToShiftJis(const QString &text)
{
    bool fits = true;
    return EncodeShiftJis(MapForShiftJis(text), fits);
}

QString FromShiftJis(const QByteArray &bytes)
{
    // Never more characters than bytes.
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = begin;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    const auto isPair = [&](qsizetype at) {
        return at + 1 < size && IsLeadByte(data[at]) && IsTrailByte(data[at + 1]);
    };
    qsizetype at = 0;
    while (at < size) {
        if (isPair(at)) {
            qsizetype end = at + 2;
            while (isPair(end))
                end += 2;
            out = DecodeDoubleBytes(bytes.constData() + at, end - at, out);
            at = end;
            continue;
        }
        const unsigned char b = data[at];
        if (b < 0x80)
            *out++ = b;
        else if (IsHalfWidthKana(b))
            *out++ = char16_t(0xFF61 + (b - 0xA1));
        else
            *out++ = kReplacement;
        ++at;
    }
    text.truncate(out - begin);
    return text;
}

QByteArray EncodeText(const QString &text, TextEncoding &encoding, bool byteOrderMark)
{
    if (encoding == TextEncoding::ShiftJis) {
        bool fits = true;
        QByteArray bytes = EncodeShiftJis(MapForShiftJis(text), fits);
        if (fits)
            return bytes;
        encoding = TextEncoding::Utf8;
    }
    QByteArray bytes = text.toUtf8();
    if (byteOrderMark)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

qsizetype EncodedLength(const QString &text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return text.toUtf8().size();
    // In Shift-JIS ASCII and half-width katakana take a byte, every other
    // character two, as do the two bytes standing in for one without a form;
    // counted, not encoded, as the truncation below asks many times.
    qsizetype bytes = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t c = text.at(at).unicode();
        if (c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F)) {
            ++bytes;
            continue;
        }
        bytes += 2;
        if (QChar::isHighSurrogate(c) && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
            ++at;
    }
    return bytes;
}

QString TruncateToBytes(const QString &text, qsizetype maxBytes, TextEncoding encoding)
{
    if (maxBytes <= 0)
        return QString();
    if (EncodedLength(text, encoding) <= maxBytes)
        return text;
    // The encoded length of a front part grows with its length: find the
    // longest front part that fits.
    qsizetype fits = 0;              // known to fit
    qsizetype tooLong = text.size(); // known not to fit
    while (tooLong - fits > 1) {
        const qsizetype middle = fits + (tooLong - fits) / 2;
        if (EncodedLength(text.left(middle), encoding) <= maxBytes)
            fits = middle;
        else
            tooLong = middle;
    }
    if (fits > 0 && text.at(fits - 1).isHighSurrogate() && text.at(fits).isLowSurrogate())
        --fits;
    return text.left(fits);
}

} // namespace zento
