#include "options/comma_text.h"

namespace zento {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kComma = u',';

bool IsSeparator(QChar c)
{
    return c.unicode() >= 0x0001 && c.unicode() <= 0x0020;
}

// The quoted part starting at `at` (which holds the opening quote); `at` ends
// behind the closing quote, or at the end of the text when there is none.
QString TakeQuotedPart(const QString &text, qsizetype &at)
{
    QString part;
    const qsizetype size = text.size();
    ++at; // the opening quote
    while (at < size) {
        const QChar c = text.at(at);
        if (c == kQuote) {
            if (at + 1 < size && text.at(at + 1) == kQuote) {
                part += c;
                at += 2;
                continue;
            }
            ++at; // the closing quote
            return part;
        }
        part += c;
        ++at;
    }
    return part; // never closed: the rest of the text
}

} // namespace

QStringList SplitCommaText(const QString &text)
{
    QStringList parts;
    const qsizetype size = text.size();
    qsizetype at = 0;
    while (at < size && IsSeparator(text.at(at)))
        ++at;
    while (at < size) {
        if (text.at(at) == kQuote) {
            parts.append(TakeQuotedPart(text, at));
        } else {
            const qsizetype start = at;
            while (at < size && text.at(at) != kComma && !IsSeparator(text.at(at)))
                ++at;
            parts.append(text.mid(start, at - start));
        }
        while (at < size && IsSeparator(text.at(at)))
            ++at;
        if (at < size && text.at(at) == kComma) {
            if (at + 1 == size)
                parts.append(QString()); // a trailing comma: one more, empty part
            ++at;
            while (at < size && IsSeparator(text.at(at)))
                ++at;
        }
    }
    return parts;
}

} // namespace zento
