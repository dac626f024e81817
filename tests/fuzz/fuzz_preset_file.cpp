// profile.txt: any bytes, in either encoding, loaded; a line appended and the
// file rewritten. The loaded lines are the file's lines; the rewritten file is
// the loaded one with CR LF breaks and the new line (nothing else changes);
// reading it again gives the old lines and the new one in the same encoding;
// a Shift-JIS file stays Shift-JIS while the new line fits it and its bytes
// do not read as UTF-8; and a file the program wrote keeps every byte when it
// is rewritten again. A file that did not read without loss cannot go over to
// UTF-8 from its text: a line that does not fit its encoding is refused with
// zento::Error, the file keeping every byte. The encoding a file is read in is
// checked against a second, plainly written rule.

#include "fuzz_support.h"

#include "options/preset_file.h"
#include "platform/error.h"
#include "platform/text_encoding.h"

#include <QFile>

using namespace zento;
using namespace zento::fuzz;

namespace {

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

QByteArray Read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

// The file's lines as bytes: breaks are CR LF, CR or LF; a break at the end
// starts no further line.
QList<QByteArray> RawLines(QByteArray bytes, bool &endsWithBreak)
{
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    QList<QByteArray> lines = bytes.split('\n');
    endsWithBreak = bytes.isEmpty() || bytes.endsWith('\n');
    if (endsWithBreak)
        lines.removeLast();
    return lines;
}

QByteArray Joined(const QList<QByteArray> &lines, bool endsWithBreak)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < lines.size(); ++i)
        bytes += (i ? "\r\n" : "") + lines.at(i);
    if (endsWithBreak && !lines.isEmpty())
        bytes += "\r\n";
    return bytes;
}

// Appends the line; false when the store refused it. A refusal is only for a
// file that did not read without loss, and leaves the file's bytes and the
// list as they were.
bool Appended(PresetFile &preset, const QString &line, const QString &path, const QString &detail)
{
    const bool withoutLoss = preset.ReadWithoutLoss();
    const QStringList before = preset.Lines();
    const QByteArray bytes = Read(path);
    try {
        preset.AppendLine(line);
        return true;
    } catch (const Error &) {
        FUZZ_CHECK(!withoutLoss, detail);
        FUZZ_CHECK(Read(path) == bytes, detail);
        FUZZ_CHECK(preset.Lines() == before, detail);
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader reader(data, size);
    QString line = reader.Utf8Text();
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    if (line.isEmpty())
        line = QStringLiteral(","); // a stored preset line always holds its commas
    const QByteArray original = reader.Rest();
    const QString path = ScratchFolder() + QStringLiteral("/profile.txt");
    Write(path, original);

    // Text of two bytes a character is refused whole, the file left as it is.
    if (original.startsWith("\xFF\xFE") || original.startsWith("\xFE\xFF")) {
        bool refused = false;
        try {
            PresetFile::Load(path);
        } catch (const Error &) {
            refused = true;
        }
        FUZZ_CHECK(refused && Read(path) == original, QString::fromLatin1(original.toHex()));
        return 0;
    }
    PresetFile preset = PresetFile::Load(path);
    const DecodedText decoded = DecodeText(original);
    FUZZ_CHECK(preset.Encoding() == decoded.encoding, QString::fromLatin1(original.toHex()));
    FUZZ_CHECK(decoded.encoding == ReferenceEncoding(original), QString::fromLatin1(original.toHex()));
    bool endsWithBreak = true;
    const QList<QByteArray> raw = RawLines(decoded.byteOrderMark ? original.mid(3) : original, endsWithBreak);
    FUZZ_CHECK(preset.Lines().size() == raw.size(), QString::fromLatin1(original.toHex()));
    FUZZ_CHECK(preset.EndsWithLineBreak() == endsWithBreak, QString::fromLatin1(original.toHex()));
    for (qsizetype i = 0; decoded.encoding == TextEncoding::Utf8 && i < raw.size(); ++i)
        FUZZ_CHECK(preset.Lines().at(i).toUtf8() == raw.at(i), QString::fromLatin1(original.toHex()));
    const QStringList before = preset.Lines();

    const QString input = QString::fromLatin1(original.toHex()) + QStringLiteral(" + ") + Visible(line);
    if (!Appended(preset, line, path, input)) {
        // Refused only when the line does not fit the Shift-JIS file or would
        // make its bytes read as UTF-8.
        const QByteArray asShiftJis = Joined(raw + QList<QByteArray>{ToShiftJis(line)}, endsWithBreak);
        FUZZ_CHECK(decoded.encoding == TextEncoding::ShiftJis, input);
        FUZZ_CHECK(!FitsShiftJis(line) || ReferenceEncoding(asShiftJis) == TextEncoding::Utf8, input);
        return 0;
    }
    const QByteArray written = Read(path);
    const QString hex = QString::fromLatin1(original.toHex()) + QStringLiteral(" + ") + Visible(line) +
                        QStringLiteral(" wrote ") + QString::fromLatin1(written.toHex());
    FUZZ_CHECK(preset.Lines() == before + QStringList{line}, hex);

    // Shift-JIS stays unless the line does not fit or the bytes would read as UTF-8.
    if (decoded.encoding == TextEncoding::ShiftJis && preset.Encoding() != TextEncoding::ShiftJis) {
        const QByteArray asShiftJis = Joined(raw + QList<QByteArray>{ToShiftJis(line)}, endsWithBreak);
        FUZZ_CHECK(!FitsShiftJis(line) || ReferenceEncoding(asShiftJis) == TextEncoding::Utf8, hex);
    }

    // Read back as the next start would.
    const PresetFile reloaded = PresetFile::Load(path);
    FUZZ_CHECK(reloaded.Encoding() == preset.Encoding(), hex);
    FUZZ_CHECK(ReferenceEncoding(written) == preset.Encoding(), hex);
    const QString expectedLine = preset.Encoding() == TextEncoding::ShiftJis ? MapForShiftJis(line) : line;
    FUZZ_CHECK(reloaded.Lines() == before + QStringList{expectedLine},
               hex + QStringLiteral(" read back as ") + Visible(reloaded.Lines()));
    FUZZ_CHECK(reloaded.EndsWithLineBreak() == endsWithBreak, hex);

    // Staying in its encoding, the file keeps the bytes of every line.
    if (preset.Encoding() == decoded.encoding) {
        TextEncoding encoding = preset.Encoding();
        const QByteArray lineBytes = EncodeText(line, encoding);
        const QByteArray mark = decoded.byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        FUZZ_CHECK(written == mark + Joined(raw + QList<QByteArray>{lineBytes}, endsWithBreak), hex);
    }

    // A file the program wrote is rewritten byte for byte, plus the new line.
    PresetFile again = PresetFile::Load(path);
    // The line was stored once in this encoding, so it is never refused here.
    FUZZ_CHECK(Appended(again, expectedLine, path, hex), hex + QStringLiteral(" refused again"));
    const QByteArray rewritten = Read(path);
    TextEncoding encoding = again.Encoding();
    const QByteArray lineBytes = EncodeText(expectedLine, encoding);
    FUZZ_CHECK(encoding == reloaded.Encoding(), hex);
    const QByteArray expected = endsWithBreak ? written + lineBytes + "\r\n" : written + "\r\n" + lineBytes;
    FUZZ_CHECK(rewritten == expected, hex + QStringLiteral(" then ") + QString::fromLatin1(rewritten.toHex()));
    return 0;
}
