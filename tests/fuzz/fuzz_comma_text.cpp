// The comma-text split: any text in. Checked against a second, plainly written
// splitter; re-quoting its parts splits back to the same parts; and columns
// made safe the way a stored preset name is made safe, joined with commas,
// split back into exactly those columns.

#include "fuzz_support.h"

#include "options/comma_text.h"
#include "options/preset_store.h"

using namespace zento;
using namespace zento::fuzz;

namespace {

bool Blank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

// The documented rule, one column at a time.
QStringList ReferenceSplit(const QString &s)
{
    QStringList columns;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && Blank(s[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString column;
        if (s[i] == u'"') {
            for (++i; i < n; ++i) {
                if (s[i] != u'"') {
                    column += s[i];
                } else if (i + 1 < n && s[i + 1] == u'"') {
                    column += u'"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            while (i < n && s[i] != u',' && !Blank(s[i]))
                column += s[i++];
        }
        columns << column;
        skipBlanks();
        if (i < n && s[i] == u',') {
            if (i == n - 1)
                columns << QString();
            ++i;
            skipBlanks();
        }
    }
    return columns;
}

QString Quoted(QString column)
{
    column.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + column + QLatin1Char('"');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader whole(data, size);
    const bool asUtf16 = whole.Byte() & 1;
    const QByteArray rest = whole.Rest();
    const QString text =
        asUtf16 ? QString(reinterpret_cast<const QChar *>(rest.constData()), rest.size() / 2) : QString::fromUtf8(rest);

    const QStringList parts = SplitCommaText(text);
    FUZZ_CHECK(parts == ReferenceSplit(text), Visible(text) + QStringLiteral(" gave ") + Visible(parts));
    FUZZ_CHECK(parts.size() <= text.size() + 1, Visible(text));

    QStringList quoted;
    for (const QString &part : parts)
        quoted << Quoted(part);
    const QString requoted = quoted.join(QLatin1Char(','));
    FUZZ_CHECK(SplitCommaText(requoted) == parts, Visible(requoted) + QStringLiteral(" vs ") + Visible(parts));

    // Columns as a box stores them: each made safe, joined with commas.
    Reader reader(data, size);
    QStringList columns;
    const int count = 1 + reader.Byte() % 12;
    for (int i = 0; i < count; ++i)
        columns << SafePresetName(reader.Text());
    const QString stored = columns.join(QLatin1Char(','));
    const QStringList back = SplitCommaText(stored);
    if (columns == QStringList{QString()})
        FUZZ_CHECK(back.isEmpty(), Visible(back)); // an empty text has no columns
    else
        FUZZ_CHECK(back == columns, Visible(stored) + QStringLiteral(" gave ") + Visible(back));
    return 0;
}
