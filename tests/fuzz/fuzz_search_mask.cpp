// The search mask matcher: any mask and any name. Checked against a second
// matcher (a table over every prefix of mask and name) built from the
// documented rules: "*" any run, "?" one character, letters without regard to
// case, and a mask ending in ".*" also takes a name without a dot ("*.*" takes
// every name). Also: "*" and "*.*" take every name, a name without wildcards
// matches itself, and changing the case of ASCII letters changes nothing.

#include "fuzz_support.h"

#include "source/search_file.h"

#include <vector>

using namespace zento;
using namespace zento::fuzz;

namespace {

QList<uint> Folded(const QString &text)
{
    QList<uint> points = text.toUcs4();
    for (uint &p : points)
        p = QChar::toCaseFolded(static_cast<char32_t>(p));
    return points;
}

bool TableMatch(const QList<uint> &name, const QList<uint> &mask)
{
    // can[i][j]: the first i mask characters take the first j name characters.
    const qsizetype m = mask.size(), n = name.size();
    std::vector<std::vector<bool>> can(m + 1, std::vector<bool>(n + 1, false));
    can[0][0] = true;
    for (qsizetype i = 1; i <= m; ++i) {
        const uint c = mask[i - 1];
        for (qsizetype j = 0; j <= n; ++j) {
            if (c == '*')
                can[i][j] = can[i - 1][j] || (j > 0 && can[i][j - 1]);
            else
                can[i][j] = j > 0 && can[i - 1][j - 1] && (c == '?' || c == name[j - 1]);
        }
    }
    return can[m][n];
}

bool ReferenceMatch(const QString &name, const QString &mask)
{
    const QList<uint> n = Folded(name), m = Folded(mask);
    if (TableMatch(n, m))
        return true;
    return mask.endsWith(QLatin1String(".*")) && !name.contains(QLatin1Char('.')) &&
           TableMatch(n, m.mid(0, m.size() - 2));
}

QString SwapAsciiCase(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        else if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader reader(data, size);
    const QString mask = reader.Text();
    const QString name = reader.Text();
    const QString detail = Visible(mask) + QStringLiteral(" on ") + Visible(name);

    const bool matches = MatchesMask(name, mask);
    FUZZ_CHECK(matches == ReferenceMatch(name, mask), detail);
    FUZZ_CHECK(MatchesMask(name, QStringLiteral("*.*")), detail);
    FUZZ_CHECK(MatchesMask(name, QStringLiteral("*")), detail);
    FUZZ_CHECK(MatchesMask(SwapAsciiCase(name), mask) == matches, detail);
    FUZZ_CHECK(MatchesMask(name, SwapAsciiCase(mask)) == matches, detail);
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        FUZZ_CHECK(MatchesMask(name, name), detail);
    // A mask without wildcards matches only a name of its own length.
    if (matches && !mask.contains(QLatin1Char('*')) && !mask.contains(QLatin1Char('?')))
        FUZZ_CHECK(name.toUcs4().size() == mask.toUcs4().size(), detail);
    return 0;
}
