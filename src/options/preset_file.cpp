#include "options/preset_file.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/regular_file.h"

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

QString OpenError(const QString &filePath)
{
    return FormatMessage(QStringLiteral("ファイル %s は開けません"), FullPath(filePath));
}

// A file an editor saved as UTF-16 is there and readable, but not as text of
// this program: what to do is told with the failure.
QString OpenOrWideError(const QString &filePath, bool wide)
{
    return wide ? OpenError(filePath) +
                      QStringLiteral("\n(UTF-16 で保存されています。Shift-JIS か UTF-8 で保存し直してください)")
                : OpenError(filePath);
}

QString CreateError(const QString &filePath)
{
    return FormatMessage(QStringLiteral("ファイル %s を作成できません"), FullPath(filePath));
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

PresetFile::FileText ParseFile(const QByteArray &bytes)
{
    PresetFile::FileText text;
    const DecodedText decoded = DecodeText(bytes);
    text.encoding = decoded.encoding;
    text.byteOrderMark = decoded.byteOrderMark;
    const QByteArray body = decoded.byteOrderMark ? bytes.mid(3) : bytes;
    text.withoutLoss = ReadsWithoutLoss(body, text.encoding);
    text.rawLines = SplitLines(body, text.endsWithBreak);
    text.lines.reserve(text.rawLines.size());
    for (const QByteArray &raw : text.rawLines)
        text.lines.append(DecodeAs(raw, text.encoding));
    return text;
}

// The file's bytes: the lines with CR LF between them, and after the last one
// when the file ended with a break. A first line that begins with U+FEFF
// would be taken for the mark at the next load and lose that character: a
// mark goes before it.
QByteArray JoinLines(const QList<QByteArray> &rawLines, TextEncoding encoding, bool byteOrderMark, bool endsWithBreak)
{
    QByteArray bytes;
    const bool firstLooksLikeMark = !rawLines.isEmpty() && rawLines.first().startsWith(kByteOrderMark);
    if ((byteOrderMark || firstLooksLikeMark) && encoding == TextEncoding::Utf8)
        bytes.append(kByteOrderMark);
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        if (i > 0)
            bytes.append("\r\n");
        bytes.append(rawLines.at(i));
    }
    if (endsWithBreak && !rawLines.isEmpty())
        bytes.append("\r\n");
    return bytes;
}

// The first character beyond ASCII in the lines (a surrogate pair whole).
QString FirstCharacterNotAscii(const QStringList &lines)
{
    for (const QString &line : lines)
        for (qsizetype at = 0; at < line.size(); ++at)
            if (line.at(at).unicode() >= 0x80)
                return line.mid(at, line.at(at).isHighSurrogate() ? 2 : 1);
    return QString();
}

} // namespace

PresetFile PresetFile::Load(const QString &filePath)
{
    QByteArray bytes;
    if (ReadRegularFile(filePath, bytes) != FileRead::Read || IsWideText(bytes))
        throw Error(OpenOrWideError(filePath, IsWideText(bytes)));
    PresetFile preset;
    preset.filePath_ = filePath;
    preset.TakeFile(ParseFile(bytes));
    return preset;
}

void PresetFile::TakeFile(FileText file)
{
    lines_ = file.lines;
    fileLines_ = lines_.size();
    encoding_ = file.encoding;
    endsWithBreak_ = file.endsWithBreak;
    withoutLoss_ = file.withoutLoss;
    known_ = std::make_shared<const FileText>(std::move(file));
}

qsizetype PresetFile::AppendLine(const QString &line)
{
    // The lines to add: those that waited, then this one. Until the file is
    // written they wait in the list.
    const QStringList adding = lines_.mid(fileLines_) + QStringList{line};
    lines_.append(line);

    const std::unique_ptr<QLockFile> held = HoldForChange(filePath_);
    if (!held)
        throw Error(CreateError(filePath_));
    // The file as it is now. A file that is not there (a user's own copy not
    // made yet, a file taken away) is made from the lines as last read or
    // written.
    QByteArray bytes;
    const FileRead read = ReadRegularFile(filePath_, bytes);
    if (read == FileRead::Unreadable || (read == FileRead::Read && IsWideText(bytes)))
        throw Error(OpenOrWideError(filePath_, read == FileRead::Read));
    FileText disk;
    if (read == FileRead::Read)
        disk = ParseFile(bytes);
    else if (known_)
        disk = *known_;

    // The new lines in the file's encoding. One that does not fit turns a
    // file that read without loss into UTF-8; any other file keeps its bytes,
    // and so its encoding.
    TextEncoding encoding = disk.encoding;
    bool byteOrderMark = disk.byteOrderMark;
    QList<QByteArray> rawLines = disk.rawLines;
    QString misfit;
    for (const QString &added : adding) {
        TextEncoding lineEncoding = encoding;
        const QByteArray lineBytes = EncodeText(added, lineEncoding);
        if (lineEncoding != encoding) {
            misfit = FirstCharacterNotInShiftJis(added);
            break;
        }
        rawLines.append(lineBytes);
    }
    const auto allUtf8 = [&] {
        encoding = TextEncoding::Utf8;
        rawLines.clear();
        for (const QString &text : disk.lines + adding)
            rawLines.append(text.toUtf8());
    };
    const auto refuse = [&](const QString &character) {
        // Nothing is written; the lines that can never go into this file are
        // dropped, this one with them.
        QStringList waiting;
        for (qsizetype i = 0; i + 1 < adding.size(); ++i)
            if (disk.encoding != TextEncoding::ShiftJis || FitsShiftJis(adding.at(i)))
                waiting.append(adding.at(i));
        lines_ = lines_.first(fileLines_) + waiting;
        throw Error(
            QStringLiteral("文字「%1」は ファイル %2 の文字コードでは書けません").arg(character, FullPath(filePath_)));
    };
    if (!misfit.isEmpty()) {
        if (!disk.withoutLoss)
            refuse(misfit);
        allUtf8();
    }

    bytes = JoinLines(rawLines, encoding, byteOrderMark, disk.endsWithBreak);
    if (encoding == TextEncoding::ShiftJis && DecodeText(bytes).encoding != TextEncoding::ShiftJis) {
        // The new bytes would make the whole file read as UTF-8.
        if (!disk.withoutLoss)
            refuse(FirstCharacterNotAscii(adding));
        allUtf8();
        bytes = JoinLines(rawLines, encoding, byteOrderMark, disk.endsWithBreak);
    }
    if (encoding == TextEncoding::Utf8 && DecodeText(bytes).encoding != TextEncoding::Utf8) {
        byteOrderMark = true;
        bytes = JoinLines(rawLines, encoding, byteOrderMark, disk.endsWithBreak);
    }

    if (!WriteFileAtomically(filePath_, bytes))
        throw Error(CreateError(filePath_));

    qsizetype kept = 0;
    while (kept < fileLines_ && kept < disk.lines.size() && lines_.at(kept) == disk.lines.at(kept))
        ++kept;
    FileText written;
    written.rawLines = rawLines;
    written.lines = disk.lines + adding;
    written.encoding = encoding;
    written.byteOrderMark = byteOrderMark;
    written.endsWithBreak = disk.endsWithBreak;
    written.withoutLoss = disk.withoutLoss || encoding != disk.encoding;
    TakeFile(std::move(written));
    return kept;
}

QString PresetBoxRow(const QString &line, TextEncoding encoding)
{
    return TruncateToBytes(line, kBoxRowBytes, encoding);
}

} // namespace zento
