#include "options/preset_file.h"

#include "platform/atomic_file.h"
#include "platform/error.h"

#include <QFile>
#include <QFileInfo>

namespace zento {

const char *const kManualPresetRow = "手動,[形式],[幅x高さ],[動画圧縮],[描画数],[情報量],[音声圧縮],[周波数],[情報量]";

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype kBoxRowBytes = 4096;

QString FullPath(const QString &filePath)
{
    return filePath.isEmpty() ? filePath : QFileInfo(filePath).absoluteFilePath();
}

// Cuts the bytes into lines at CR LF, lone CR and lone LF. Neither byte occurs
// inside a character of Shift-JIS or UTF-8, so the bytes can be cut before
// they are decoded. A break at the very end starts no further line.
QList<QByteArray> SplitLines(const QByteArray &bytes, bool &endsWithBreak)
{
    QList<QByteArray> lines;
    endsWithBreak = true; // an empty file counts as ending with a break
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    qsizetype at = 0;
    while (at < size) {
        const char c = bytes.at(at);
        if (c != '\r' && c != '\n') {
            ++at;
            continue;
        }
        lines.append(bytes.mid(start, at - start));
        at += (c == '\r' && at + 1 < size && bytes.at(at + 1) == '\n') ? 2 : 1;
        start = at;
    }
    if (start < size) {
        lines.append(bytes.mid(start));
        endsWithBreak = false;
    }
    return lines;
}

} // namespace

PresetFile PresetFile::Load(const QString &filePath)
{
    const QString openError = FormatMessage(QStringLiteral("ファイル %s は開けません"), FullPath(filePath));
    if (QFileInfo(filePath).isDir())
        throw Error(openError);
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(openError);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(openError);

    PresetFile preset;
    preset.filePath_ = filePath;
    const DecodedText decoded = DecodeText(bytes);
    preset.encoding_ = decoded.encoding;
    preset.byteOrderMark_ = decoded.byteOrderMark;
    const QByteArray body = decoded.byteOrderMark ? bytes.mid(3) : bytes;
    preset.rawLines_ = SplitLines(body, preset.endsWithBreak_);
    for (const QByteArray &raw : preset.rawLines_)
        preset.lines_.append(DecodeAs(raw, preset.encoding_));
    return preset;
}

// The whole file as it is to be written: the lines already written keep their
// bytes; later lines are encoded now. When one of them does not fit the
// file's encoding, every line is written again in UTF-8. The file is read in
// the encoding it is written in at the next start: a UTF-8 file that would be
// taken for Shift-JIS (a name with "é", C3 A9, is also "ﾃｩ") gets the mark,
// and the rare Shift-JIS bytes that are valid UTF-8 with a three-byte
// sequence (a double-byte character led by E0 or above, then a half-width
// katakana: "痺ｱ" is E1 83 B1) go UTF-8.
QByteArray PresetFile::EncodedFile(TextEncoding &encoding, bool &byteOrderMark, QList<QByteArray> &rawLines) const
{
    encoding = encoding_;
    byteOrderMark = byteOrderMark_;
    rawLines = rawLines_;
    const auto allUtf8 = [&] {
        encoding = TextEncoding::Utf8;
        rawLines.clear();
        for (const QString &line : lines_)
            rawLines.append(line.toUtf8());
    };
    for (qsizetype i = rawLines.size(); i < lines_.size(); ++i) {
        TextEncoding lineEncoding = encoding;
        const QByteArray bytes = EncodeText(lines_.at(i), lineEncoding);
        if (lineEncoding != encoding) {
            allUtf8();
            break;
        }
        rawLines.append(bytes);
    }

    const auto joined = [&] {
        QByteArray bytes;
        // A first line that begins with U+FEFF would be taken for the mark at
        // the next load and lose that character: a mark goes before it.
        const bool firstLooksLikeMark = !rawLines.isEmpty() && rawLines.first().startsWith(kByteOrderMark);
        if ((byteOrderMark || firstLooksLikeMark) && encoding == TextEncoding::Utf8)
            bytes.append(kByteOrderMark);
        for (qsizetype i = 0; i < rawLines.size(); ++i) {
            if (i > 0)
                bytes.append("\r\n");
            bytes.append(rawLines.at(i));
        }
        if (endsWithBreak_ && !rawLines.isEmpty())
            bytes.append("\r\n");
        return bytes;
    };
    QByteArray bytes = joined();
    if (encoding == TextEncoding::ShiftJis && DecodeText(bytes).encoding != TextEncoding::ShiftJis) {
        allUtf8();
        bytes = joined();
    }
    if (encoding == TextEncoding::Utf8 && DecodeText(bytes).encoding != TextEncoding::Utf8) {
        byteOrderMark = true;
        bytes = joined();
    }
    return bytes;
}

void PresetFile::AppendLine(const QString &line)
{
    lines_.append(line);

    TextEncoding encoding = encoding_;
    bool byteOrderMark = byteOrderMark_;
    QList<QByteArray> rawLines;
    const QByteArray bytes = EncodedFile(encoding, byteOrderMark, rawLines);

    const QString createError = FormatMessage(QStringLiteral("ファイル %s を作成できません"), FullPath(filePath_));
    if (!WriteFileAtomically(filePath_, bytes))
        throw Error(createError);

    encoding_ = encoding;
    byteOrderMark_ = byteOrderMark;
    rawLines_ = rawLines;
}

QString PresetBoxRow(const QString &line, TextEncoding encoding)
{
    return TruncateToBytes(line, kBoxRowBytes, encoding);
}

} // namespace zento
