// DVD_zento.ini: any bytes as the file the program finds. Every key is read
// (nothing may fail), the integer rule is checked against a second, plainly
// written reader, then all sixteen keys are written as a close writes them and
// read back: each gives its value again (line breaks removed, blanks around it
// trimmed, at most 2047 bytes of the file's encoding), in any case of the
// names, and every line of the old file that holds none of these keys is
// still there, in its order. A Shift-JIS file stays Shift-JIS when the
// folder fits it, unless its bytes would then read as UTF-8. The file is kept
// in memory: on disk, every one of the writes would be a synced rewrite.

#include "fuzz_support.h"

#include "app/ini_file.h"
#include "platform/error.h"
#include "platform/text_encoding.h"

#include <QRegularExpression>

#include <climits>

using namespace zento;
using namespace zento::fuzz;

namespace {

struct Key {
    const char *section;
    const char *name;
    bool text;
};

const Key kKeys[] = {
    {"SET", "M_LEFT", false},    {"SET", "M_TOP", false},     {"SET1", "C1_03", true},     {"SET2", "C2_00", false},
    {"SET2", "C2_01", false},    {"SET2", "C2_02_01", false}, {"SET2", "C2_02_02", false}, {"SET2", "C2_03_01", false},
    {"SET2", "C2_03_02", false}, {"SET2", "C2_04", false},    {"SET2", "C2_05", false},    {"SET2", "C2_06", false},
    {"SET3", "C3_01", false},    {"SET3", "C3_02", false},    {"SET3", "C3_03", false},    {"SET4", "C4_C1", false},
};

// Optional blanks, optional sign, then decimal digits, or hexadecimal digits
// after "0x", "0X" or "$"; the value must fit an int.
bool ReferenceInteger(const QString &text, int &value)
{
    static const QRegularExpression form(
        QStringLiteral("^[ \\t]*([+-]?)(?:(?:0[xX]|\\$)0*([0-9a-fA-F]+)|0*([0-9]+))\\z"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const bool hex = m.capturedLength(2) > 0;
    const QString digits = hex ? m.captured(2) : m.captured(3);
    if (digits.size() > 12)
        return false;
    const qint64 magnitude = digits.toLongLong(nullptr, hex ? 16 : 10);
    const bool negative = m.captured(1) == QLatin1String("-");
    if (magnitude > (negative ? qint64(INT_MAX) + 1 : qint64(INT_MAX)))
        return false;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

QString Trimmed(const QString &text)
{
    static const QRegularExpression ends(QStringLiteral("^[ \\t]+|[ \\t]+$"));
    return QString(text).remove(ends);
}

QStringList FileLines(const QString &text)
{
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = unified.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool IsOneOfTheKeys(const QString &line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    const QString name = Trimmed(line.left(equals));
    for (const Key &key : kKeys)
        if (name.compare(QLatin1String(key.name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The settings file's bytes, with no file behind them.
class MemoryStorage final : public IniFile::Storage {
public:
    explicit MemoryStorage(const QByteArray &bytes) : bytes_(bytes) {}

    bool Read(const QString &, QByteArray &bytes) const override
    {
        bytes = bytes_;
        return true;
    }

    bool Write(const QString &, const QByteArray &bytes) override
    {
        bytes_ = bytes;
        return true;
    }

    const QByteArray &Bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader reader(data, size);
    const QString folder = reader.Utf8Text();
    QList<int> numbers;
    for (int i = 0; i < 16; ++i)
        numbers << reader.Number();
    const bool otherCase = reader.Byte() & 1;
    const QByteArray original = reader.Rest();

    MemoryStorage storage(original);
    IniFile ini(QStringLiteral("DVD_zento.ini"), storage);
    const QString hex = QString::fromLatin1(original.toHex());

    // Text of two bytes a character reads as no file, and is not written.
    if (original.startsWith("\xFF\xFE") || original.startsWith("\xFE\xFF")) {
        bool refused = false;
        try {
            ini.WriteInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), numbers[0]);
        } catch (const Error &) {
            refused = true;
        }
        FUZZ_CHECK(refused && storage.Bytes() == original &&
                       ini.ReadInteger(QStringLiteral("SET"), QStringLiteral("M_LEFT"), -7) == -7,
                   hex);
        return 0;
    }

    // Reading what is there.
    for (const Key &key : kKeys) {
        const QString section = QLatin1String(key.section);
        const QString name = QLatin1String(key.name);
        const QString text = ini.ReadString(section, name, QStringLiteral("\x01missing"));
        FUZZ_CHECK(text == QStringLiteral("\x01missing") || EncodedLength(text, DecodeText(original).encoding) <= 2047,
                   hex);
        int expected = 0;
        const bool isInteger = text != QStringLiteral("\x01missing") && ReferenceInteger(text, expected);
        FUZZ_CHECK(ini.ReadInteger(section, name, -7) == (isInteger ? expected : -7), hex + QLatin1Char(' ') + name);
    }
    {
        int a = 0, b = 0;
        const bool parsed = IniFile::ParseInteger(folder, a);
        FUZZ_CHECK(parsed == ReferenceInteger(folder, b) && (!parsed || a == b), Visible(folder));
    }

    // Writing every key, then reading each back.
    for (int i = 0; i < 16; ++i) {
        const Key &key = kKeys[i];
        if (key.text)
            ini.WriteString(QLatin1String(key.section), QLatin1String(key.name), folder);
        else
            ini.WriteInteger(QLatin1String(key.section), QLatin1String(key.name), numbers[i]);
    }
    const QByteArray written = storage.Bytes();
    const DecodedText now = DecodeText(written);
    const QString detail = hex + QStringLiteral(" + ") + Visible(folder) + QStringLiteral(" wrote ") +
                           QString::fromLatin1(written.toHex());
    FUZZ_CHECK(DecodeText(original).encoding == ReferenceEncoding(original), hex);
    FUZZ_CHECK(now.encoding == ReferenceEncoding(written), detail);
    // A readable Shift-JIS file stays so while the folder fits as it is (〜
    // stored as CP932's ～ would name another folder). (Bytes that are not
    // Shift-JIS at all may leave, once their line goes, a file that reads as
    // UTF-8; such a file is written as UTF-8 so it reads back the same.)
    if (DecodeText(original).encoding == TextEncoding::ShiftJis && IsValidShiftJis(original) && FitsShiftJis(folder) &&
        MapForShiftJis(folder) == folder)
        FUZZ_CHECK(now.encoding == TextEncoding::ShiftJis ||
                       DecodeText(ToShiftJis(now.text)).encoding == TextEncoding::Utf8,
                   detail);
    for (int i = 0; i < 16; ++i) {
        const Key &key = kKeys[i];
        QString section = QLatin1String(key.section);
        QString name = QLatin1String(key.name);
        if (otherCase) {
            section = section.toLower();
            name = name.toLower();
        }
        if (key.text) {
            QString clean = folder;
            clean.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
            if (now.encoding == TextEncoding::ShiftJis)
                clean = MapForShiftJis(clean);
            // as written, blanks at its ends too (kept between quotes)
            const QString expected = TruncateToBytes(clean, 2047, now.encoding);
            const QString back = ini.ReadString(section, name, QString());
            FUZZ_CHECK(back == expected, detail + QStringLiteral(" read back ") + Visible(back));
        } else {
            FUZZ_CHECK(ini.ReadInteger(section, name, numbers[i] ^ 1) == numbers[i], detail + QLatin1Char(' ') + name);
        }
    }

    // The lines the program does not know are left alone.
    const QStringList before = FileLines(DecodeText(original).text);
    const QStringList after = FileLines(now.text);
    qsizetype at = 0;
    for (const QString &line : before) {
        if (IsOneOfTheKeys(line))
            continue;
        while (at < after.size() && after.at(at) != line)
            ++at;
        FUZZ_CHECK(at < after.size(), detail + QStringLiteral(" lost ") + Visible(line));
        ++at;
    }
    return 0;
}
