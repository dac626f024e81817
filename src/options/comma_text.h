#pragma once

#include <QString>
#include <QStringList>

namespace zento {

// Splits a row text into its parts, the way every multi-column box and the
// preset lines read them:
// - characters U+0001 to U+0020 (blank, tab, other control characters) are
//   skipped before and after a part and separate parts just as a comma does;
// - a part that begins with '"' runs to the next '"' that is not doubled; a
//   doubled '"' inside stands for one, the enclosing quotes are dropped; a
//   quote that is never closed takes the rest of the text as its part;
// - any other part runs up to the next comma or character U+0001 to U+0020;
// - two commas in a row give an empty part between them, a comma that is the
//   last character of the text gives a final empty part, and an empty text (or
//   one of separators only) has no parts.
// Full-width "，" and "　" and U+0000 are ordinary characters.
QStringList SplitCommaText(const QString &text);

} // namespace zento
