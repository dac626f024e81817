#pragma once

#include <QByteArray>
#include <QString>

namespace zento {

// The stored files are Shift-JIS (CP932) as made on Windows, or UTF-8 when a
// Linux user made them so. Each file is written back in the encoding it was
// read in, and written so that it is read in that encoding again.
enum class TextEncoding { ShiftJis, Utf8 };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::ShiftJis;
    bool byteOrderMark = false; // a UTF-8 byte-order mark stood in front (not part of text)
};

// UTF-8 when the bytes are valid UTF-8 and begin with the UTF-8 byte-order
// mark, hold a sequence of three or more bytes, or are not valid Shift-JIS;
// otherwise Shift-JIS (an empty or all-ASCII file included). Shift-JIS whose
// only non-ASCII bytes are half-width katakana pairs can look like two-byte
// UTF-8 ("ﾃｽ" is C3 BD, "ý"), while Japanese in UTF-8 takes three bytes a
// character.
DecodedText DecodeText(const QByteArray &bytes);

// Text of two bytes a character, as an editor saves "Unicode" (UTF-16 with
// its mark): cut into lines a byte at a time and written back with
// single-byte text, such a file would be ruined, so the stored files neither
// read nor write it.
bool IsWideText(const QByteArray &bytes);

// Whether every byte is a character of Shift-JIS: ASCII, a half-width
// katakana, or a lead and trail byte pair that stands for a character.
bool IsValidShiftJis(const QByteArray &bytes);

// Whether the bytes, read in `encoding`, are known for what they say: the
// text they give is written as the very same bytes again, and Shift-JIS bytes
// do not read as EUC-JP just as well (a file in that encoding often passes
// for Shift-JIS with other characters). A file read with loss or doubt must
// never be written again from its text. (No byte-order mark handling.)
bool ReadsWithoutLoss(const QByteArray &bytes, TextEncoding encoding);

// The first character of the text that Shift-JIS cannot hold (a surrogate
// pair whole); empty when it holds every one.
QString FirstCharacterNotInShiftJis(const QString &text);

// Decodes bytes known to be in `encoding` (no byte-order mark handling).
// Bytes that are not a character of the encoding become U+FFFD.
QString DecodeAs(const QByteArray &bytes, TextEncoding encoding);

// Replaces the characters that Linux input gives where CP932 has its own
// spelling (〜 − ‖ ¢ £ ¬ to ～ － ∥ ￠ ￡ ￢).
QString MapForShiftJis(const QString &text);

// Whether Shift-JIS can hold the text once it is mapped.
bool FitsShiftJis(const QString &text);

// The text in Shift-JIS bytes, mapped first; characters it cannot hold come out
// as the decoder's substitute. Use FitsShiftJis first when that matters.
// Bytes 0x00 to 0x7F are ASCII both ways (control characters included).
QByteArray ToShiftJis(const QString &text);
QString FromShiftJis(const QByteArray &bytes);

// Encodes the text in `encoding`. When that is Shift-JIS and Shift-JIS cannot
// hold the text, `encoding` becomes UTF-8 and the text is written as UTF-8, so
// nothing is lost. The byte-order mark is written only for UTF-8.
QByteArray EncodeText(const QString &text, TextEncoding &encoding, bool byteOrderMark = false);

// The length of the text in bytes of the encoding (the substitute counted for
// characters Shift-JIS lacks).
qsizetype EncodedLength(const QString &text, TextEncoding encoding);

// The longest front part of the text whose encoded form has at most maxBytes
// bytes; never cuts inside a character (nor a surrogate pair).
QString TruncateToBytes(const QString &text, qsizetype maxBytes, TextEncoding encoding);

} // namespace zento
