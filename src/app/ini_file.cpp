#include "app/ini_file.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/regular_file.h"
#include "platform/text_encoding.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <climits>

namespace zento {

namespace {

const char *const kCannotWrite = "%s に書き込めません";

struct Line {
    QString text;
    QString lineBreak; // "\r\n", "\r", "\n" or empty for a last line without one
    // The line's bytes as read. A line nobody changed goes back as these
    // bytes, so that bytes the encoding has no character for are not lost.
    QByteArray raw;
    bool changed = true;
};

struct Document {
    QList<Line> lines;
    TextEncoding encoding = TextEncoding::ShiftJis;
    bool byteOrderMark = false;
};

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Blanks and tabs only: a full-width space belongs to the value.
QString TrimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text.at(begin)))
        ++begin;
    while (end > begin && IsBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// Cuts the bytes into lines. CR and LF are never part of a character of
// Shift-JIS or UTF-8, so the bytes can be cut before they are decoded.
QList<Line> SplitLines(const QByteArray &bytes, TextEncoding encoding)
{
    QList<Line> lines;
    const auto add = [&](qsizetype start, qsizetype end, const char *lineBreak) {
        const QByteArray raw = bytes.mid(start, end - start);
        lines.append({DecodeAs(raw, encoding), QString::fromLatin1(lineBreak), raw, false});
    };
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const char c = bytes.at(i);
        if (c == '\r' || c == '\n') {
            const bool crlf = c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n';
            add(start, i, crlf ? "\r\n" : (c == '\r' ? "\r" : "\n"));
            i += crlf ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        add(start, bytes.size(), "");
    return lines;
}

// The name of a "[section]" line, or a null string for any other line.
QString SectionName(const QString &line)
{
    const QString trimmed = TrimBlanks(line);
    if (!trimmed.startsWith(QLatin1Char('[')))
        return QString();
    qsizetype close = trimmed.indexOf(QLatin1Char(']'), 1);
    if (close < 0)
        close = trimmed.size();
    QString name = TrimBlanks(trimmed.mid(1, close - 1));
    if (name.isNull())
        name = QLatin1String(""); // "[]" is a section line too
    return name;
}

// Splits a "key=value" line; false for a line without "=".
bool SplitKeyLine(const QString &line, QString &key, QString &value)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    key = TrimBlanks(line.left(equals));
    value = TrimBlanks(line.mid(equals + 1));
    return true;
}

// A value between double or single quotes, which reading takes off.
bool Enclosed(const QString &value)
{
    return value.size() >= 2 && value.front() == value.back() &&
           (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''));
}

// A value as it is written: as it is, but between double quotes where it
// begins or ends with a blank, which reading would take off (a folder whose
// name ends in a blank would come back as another), or is enclosed in
// quotes itself, which reading would take off instead of its own.
QString StoredValue(const QString &value)
{
    if (!value.isEmpty() && (IsBlank(value.front()) || IsBlank(value.back()) || Enclosed(value)))
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a section and a key stand in the document; -1 for what is missing.
struct Place {
    qsizetype section = -1;  // the "[section]" line
    qsizetype key = -1;      // the key's line
    qsizetype lastLine = -1; // the section's last line that is not empty
};

Place Find(const Document &doc, const QString &section, const QString &key)
{
    Place place;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const QString name = SectionName(doc.lines.at(i).text);
        if (name.isNull())
            continue;
        if (!SameName(name, section))
            continue;
        place.section = i;
        place.lastLine = i;
        for (qsizetype j = i + 1; j < doc.lines.size(); ++j) {
            const QString &text = doc.lines.at(j).text;
            if (!SectionName(text).isNull())
                break;
            if (!TrimBlanks(text).isEmpty())
                place.lastLine = j;
            QString k;
            QString v;
            if (place.key < 0 && SplitKeyLine(text, k, v) && SameName(k, key))
                place.key = j;
        }
        break; // the first section of that name is the one
    }
    return place;
}

// The file on disk, replaced atomically (the new bytes synced before they take
// the old ones' place).
class DiskStorage final : public IniFile::Storage {
public:
    bool Read(const QString &path, QByteArray &bytes) const override
    {
        // Only a regular file is read: a FIFO would hold the program before
        // its window shows. A missing file reads as empty.
        return ReadRegularFile(path, bytes) != FileRead::Unreadable;
    }

    bool Write(const QString &path, const QByteArray &bytes) override
    {
        // A file marked read-only stays as it is, as it would on Windows.
        const QFileInfo info(path);
        if (info.exists() && !info.isWritable())
            return false;
        return WriteFileAtomically(path, bytes);
    }

    // The same hold as the preset file's. One that cannot be had leaves the
    // write to succeed or fail as it would have.
    std::shared_ptr<void> HoldForChange(const QString &path) override { return zento::HoldForChange(path); }
};

IniFile::Storage &Disk()
{
    static DiskStorage disk;
    return disk;
}

} // namespace

struct IniFile::Cache {
    QByteArray bytes;
    Document doc;
};

namespace {

// Reads the file; false when it exists but cannot be read. A missing file is
// an empty document (as an empty file is). The same bytes as last time give
// the document made of them then.
bool Load(const IniFile::Storage &storage, const QString &path, Document &doc, std::shared_ptr<IniFile::Cache> &cache)
{
    QByteArray bytes;
    if (!storage.Read(path, bytes) || IsWideText(bytes))
        return false;
    if (cache && cache->bytes == bytes) {
        doc = cache->doc;
        return true;
    }
    const DecodedText decoded = DecodeText(bytes);
    doc.lines = SplitLines(decoded.byteOrderMark ? bytes.mid(3) : bytes, decoded.encoding);
    doc.encoding = decoded.encoding;
    doc.byteOrderMark = decoded.byteOrderMark;
    cache = std::make_shared<IniFile::Cache>(IniFile::Cache{bytes, doc});
    return true;
}

QString RemoveLineBreaks(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

QString FullPath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

[[noreturn]] void ThrowCannotWrite(const QString &path)
{
    throw Error(FormatMessage(QString::fromUtf8(kCannotWrite), FullPath(path)));
}

QString WholeText(const Document &doc)
{
    QString text;
    for (const Line &line : doc.lines)
        text += line.text + line.lineBreak;
    return text;
}

// A text as it is. A folder named with 〜 is not the one named with ～, so a
// character that Shift-JIS holds only in CP932's own spelling counts as one
// it does not hold.
QByteArray EncodeExactly(const QString &text, TextEncoding &encoding)
{
    if (encoding == TextEncoding::ShiftJis && MapForShiftJis(text) != text)
        encoding = TextEncoding::Utf8;
    return EncodeText(text, encoding);
}

// The file's bytes: lines nobody changed as they were read, changed ones
// encoded now. When a changed line needs more than Shift-JIS holds, the
// whole file becomes UTF-8.
QByteArray Encode(const Document &doc, TextEncoding &encoding)
{
    encoding = doc.encoding;
    QByteArray bytes;
    if (doc.byteOrderMark && doc.encoding == TextEncoding::Utf8)
        bytes.append("\xEF\xBB\xBF");
    for (const Line &line : doc.lines) {
        if (line.changed) {
            const QByteArray encoded = EncodeExactly(line.text, encoding);
            if (encoding != doc.encoding)
                return EncodeText(WholeText(doc), encoding, doc.byteOrderMark);
            bytes.append(encoded);
        } else {
            bytes.append(line.raw);
        }
        bytes.append(line.lineBreak.toLatin1());
    }
    return bytes;
}

void Save(IniFile::Storage &storage, const QString &path, const Document &doc)
{
    TextEncoding encoding = doc.encoding;
    QByteArray bytes = Encode(doc, encoding);
    // The file is read back in the encoding it is written in: the rare
    // Shift-JIS bytes that are valid UTF-8 with a three-byte sequence (a
    // double-byte character led by E0 or above, then a half-width katakana:
    // "痺ｱ" is E1 83 B1) go UTF-8, and UTF-8 that would be taken for Shift-JIS
    // (a folder with "é", C3 A9, is also "ﾃｩ") gets the mark.
    if (encoding == TextEncoding::ShiftJis && DecodeText(bytes).encoding != TextEncoding::ShiftJis) {
        encoding = TextEncoding::Utf8;
        bytes = WholeText(doc).toUtf8();
    }
    if (encoding == TextEncoding::Utf8 && DecodeText(bytes).encoding != TextEncoding::Utf8)
        bytes.prepend("\xEF\xBB\xBF");
    if (!storage.Write(path, bytes))
        ThrowCannotWrite(path);
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

IniFile::IniFile(const QString &path) : IniFile(path, Disk()) {}

IniFile::IniFile(const QString &path, Storage &storage) : path_(path), storage_(&storage) {}

bool IniFile::ParseInteger(const QString &text, int &value)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text.at(i)))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    const qint64 limit = negative ? qint64(INT_MAX) + 1 : qint64(INT_MAX);
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text.at(i));
        if (digit < 0 || digit >= base)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const QString text = ReadString(section, key, QString());
    int value = 0;
    if (text.isNull() || !ParseInteger(text, value))
        return defaultValue;
    return value;
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    Document doc;
    if (!Load(*storage_, path_, doc, cache_))
        return defaultValue;
    const Place place = Find(doc, section, key);
    if (place.key < 0)
        return defaultValue;
    QString name;
    QString value;
    SplitKeyLine(doc.lines.at(place.key).text, name, value);
    if (Enclosed(value))
        value = value.mid(1, value.size() - 2);
    if (value.isNull())
        value = QLatin1String("");
    return TruncateToBytes(value, kMaxValueBytes, doc.encoding);
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    WriteValues({{section, key, value}});
}

void IniFile::WriteValues(const QList<Value> &values)
{
    const QString crlf = QStringLiteral("\r\n");
    const std::shared_ptr<void> held = storage_->HoldForChange(path_);
    Document doc;
    if (!Load(*storage_, path_, doc, cache_))
        ThrowCannotWrite(path_); // never replace a file that could not be read

    for (const Value &value : values) {
        // A line break inside a value would start a line of its own (and could
        // smuggle in keys), so it is left out.
        const QString cleanSection = RemoveLineBreaks(value.section);
        const QString cleanKey = RemoveLineBreaks(value.key);
        const QString cleanValue = StoredValue(RemoveLineBreaks(value.text));
        const Place place = Find(doc, cleanSection, cleanKey);
        if (place.key >= 0) {
            Line &line = doc.lines[place.key];
            QString oldKey;
            QString oldValue;
            SplitKeyLine(line.text, oldKey, oldValue);
            line.text = oldKey + QLatin1Char('=') + cleanValue;
            line.changed = true;
        } else if (place.section >= 0) {
            Line &before = doc.lines[place.lastLine];
            if (before.lineBreak.isEmpty())
                before.lineBreak = crlf;
            doc.lines.insert(place.lastLine + 1, {cleanKey + QLatin1Char('=') + cleanValue, crlf, {}, true});
        } else {
            if (!doc.lines.isEmpty() && doc.lines.last().lineBreak.isEmpty())
                doc.lines.last().lineBreak = crlf;
            doc.lines.append({QLatin1Char('[') + cleanSection + QLatin1Char(']'), crlf, {}, true});
            doc.lines.append({cleanKey + QLatin1Char('=') + cleanValue, crlf, {}, true});
        }
    }
    Save(*storage_, path_, doc);
}

} // namespace zento
