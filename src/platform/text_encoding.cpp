#include "platform/text_encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zento {

namespace {

const char *const kShiftJisName = "Shift_JIS";

bool IsAllAscii(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

DecodedText DecodeText(const QByteArray &bytes)
{
    DecodedText result;
    if (!IsAllAscii(bytes)) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString text = utf8.decode(bytes);
        if (!utf8.hasError()) {
            result.encoding = TextEncoding::Utf8;
            if (bytes.startsWith("\xEF\xBB\xBF")) {
                result.byteOrderMark = true;
                if (text.startsWith(QChar(0xFEFF)))
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
    QStringEncoder encoder(kShiftJisName, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return false;
    QByteArray bytes = encoder.encode(MapForShiftJis(text));
    Q_UNUSED(bytes);
    return !encoder.hasError();
}

QByteArray ToShiftJis(const QString &text)
{
    QStringEncoder encoder(kShiftJisName, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(MapForShiftJis(text));
}

QString FromShiftJis(const QByteArray &bytes)
{
    QStringDecoder decoder(kShiftJisName, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray EncodeText(const QString &text, TextEncoding &encoding, bool byteOrderMark)
{
    if (encoding == TextEncoding::ShiftJis) {
        if (FitsShiftJis(text))
            return ToShiftJis(text);
        encoding = TextEncoding::Utf8;
    }
    QByteArray bytes = text.toUtf8();
    if (byteOrderMark)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

qsizetype EncodedLength(const QString &text, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? text.toUtf8().size() : ToShiftJis(text).size();
}

QString TruncateToBytes(const QString &text, qsizetype maxBytes, TextEncoding encoding)
{
    if (EncodedLength(text, encoding) <= maxBytes)
        return text;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype step = (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        qsizetype n = EncodedLength(text.mid(i, step), encoding);
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        i += step;
    }
    return text.left(i);
}

} // namespace zento
