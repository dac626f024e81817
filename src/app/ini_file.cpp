#include "app/ini_file.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
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

QList<Line> SplitLines(const QString &text)
{
    QList<Line> lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            qsizetype breakLength = 1;
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                breakLength = 2;
            lines.append({text.mid(start, i - start), text.mid(i, breakLength)});
            i += breakLength;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.append({text.mid(start), QString()});
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

// Reads the file; false when it exists but cannot be read. A missing file is
// an empty document.
bool Load(const QString &path, Document &doc)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const DecodedText decoded = DecodeText(file.readAll());
    doc.lines = SplitLines(decoded.text);
    doc.encoding = decoded.encoding;
    doc.byteOrderMark = decoded.byteOrderMark;
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

void Save(const QString &path, const Document &doc)
{
    QString text;
    for (const Line &line : doc.lines)
        text += line.text + line.lineBreak;
    TextEncoding encoding = doc.encoding;
    const QByteArray bytes = EncodeText(text, encoding, doc.byteOrderMark);

    // A file marked read-only stays as it is, as it would on Windows.
    const QFileInfo info(path);
    if (info.exists() && !info.isWritable())
        ThrowCannotWrite(path);
    if (!WriteFileAtomically(path, bytes))
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

IniFile::IniFile(const QString &path) : path_(path) {}

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
    if (!Load(path_, doc))
        return defaultValue;
    const Place place = Find(doc, section, key);
    if (place.key < 0)
        return defaultValue;
    QString name;
    QString value;
    SplitKeyLine(doc.lines.at(place.key).text, name, value);
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
    // A line break inside a value would start a line of its own (and could
    // smuggle in keys), so it is left out.
    const QString cleanSection = RemoveLineBreaks(section);
    const QString cleanKey = RemoveLineBreaks(key);
    const QString cleanValue = RemoveLineBreaks(value);
    const QString crlf = QStringLiteral("\r\n");

    Document doc;
    if (!Load(path_, doc))
        ThrowCannotWrite(path_); // never replace a file that could not be read

    const Place place = Find(doc, cleanSection, cleanKey);
    if (place.key >= 0) {
        Line &line = doc.lines[place.key];
        QString oldKey;
        QString oldValue;
        SplitKeyLine(line.text, oldKey, oldValue);
        line.text = oldKey + QLatin1Char('=') + cleanValue;
    } else if (place.section >= 0) {
        Line &before = doc.lines[place.lastLine];
        if (before.lineBreak.isEmpty())
            before.lineBreak = crlf;
        doc.lines.insert(place.lastLine + 1, {cleanKey + QLatin1Char('=') + cleanValue, crlf});
    } else {
        if (!doc.lines.isEmpty() && doc.lines.last().lineBreak.isEmpty())
            doc.lines.last().lineBreak = crlf;
        doc.lines.append({QLatin1Char('[') + cleanSection + QLatin1Char(']'), crlf});
        doc.lines.append({cleanKey + QLatin1Char('=') + cleanValue, crlf});
    }
    Save(path_, doc);
}

} // namespace zento
