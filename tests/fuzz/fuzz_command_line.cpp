// The encoder's command line: any source path, output folder, program folder
// and settings. The composed text, parsed back by the Windows argument rules,
// gives the program and the argument vector again; the vector holds the source
// and the output path as single elements at their places, and every other
// element is a plain option or value (no blank, quote or capital letter, and
// only option names begin with "-"). The output file is the source's name
// with the container's extension, in the output folder.

#include "fuzz_support.h"

#include "convert/command_line.h"
#include "options/catalogue.h"

#include <QRegularExpression>

using namespace zento;
using namespace zento::fuzz;

namespace {

// The Windows rules for splitting a command line into arguments: the program
// name runs to the first blank (or, quoted, to the next quote); then blanks
// and tabs separate arguments outside quotes; 2n backslashes before a quote
// give n backslashes and the quote opens or closes a quoted part; 2n+1 give n
// backslashes and a literal quote; "" inside a quoted part is a literal quote;
// backslashes before anything else are literal.
QStringList WindowsArguments(const QString &line)
{
    QStringList argv;
    const qsizetype n = line.size();
    qsizetype i = 0;
    QString program;
    if (i < n && line[i] == u'"') {
        for (++i; i < n && line[i] != u'"'; ++i)
            program += line[i];
        if (i < n)
            ++i;
    } else {
        for (; i < n && line[i] != u' ' && line[i] != u'\t'; ++i)
            program += line[i];
    }
    argv << program;
    for (;;) {
        while (i < n && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        if (i >= n)
            break;
        QString argument;
        bool quoted = false;
        while (i < n) {
            const QChar c = line[i];
            if (!quoted && (c == u' ' || c == u'\t'))
                break;
            if (c == u'\\') {
                qsizetype count = 0;
                while (i < n && line[i] == u'\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == u'"') {
                    argument += QString(count / 2, u'\\');
                    if (count % 2) {
                        argument += u'"';
                        ++i;
                    }
                } else {
                    argument += QString(count, u'\\');
                }
                continue;
            }
            if (c == u'"') {
                if (quoted && i + 1 < n && line[i + 1] == u'"') {
                    argument += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            argument += c;
            ++i;
        }
        argv << argument;
    }
    return argv;
}

CatalogueChoice Choose(Reader &reader, Catalogue catalogue)
{
    const QStringList &rows = CatalogueRows(catalogue);
    const int index = static_cast<int>(reader.Byte() % (rows.size() + 1)) - 1;
    return {index, index < 0 ? QString() : rows.at(index)};
}

void CheckCommand(const EncoderCommand &command, const QString &source, const QString &last, const QString &detail)
{
    const QStringList &a = command.arguments;
    FUZZ_CHECK(a.size() >= 3 && a.at(0) == QStringLiteral("-i") && a.at(1) == source && a.last() == last, detail);
    FUZZ_CHECK(command.quoted == (QList<int>{1, static_cast<int>(a.size() - 1)}), detail);
    static const QRegularExpression plain(QStringLiteral("^-?[0-9a-z_:.]+$"));
    for (qsizetype i = 2; i + 1 < a.size(); ++i) {
        FUZZ_CHECK(plain.match(a.at(i)).hasMatch(), detail + QStringLiteral(" element ") + Visible(a.at(i)));
        // A value follows its option name; only names begin with "-".
        if (!a.at(i).startsWith(u'-'))
            FUZZ_CHECK(a.at(i - 1).startsWith(u'-') && i > 2, detail + QStringLiteral(" value ") + Visible(a.at(i)));
    }
    const QStringList parsed = WindowsArguments(command.commandLine());
    FUZZ_CHECK(parsed == QStringList{command.program} + a,
               detail + QStringLiteral("\ntext ") + Visible(command.commandLine()) + QStringLiteral("\nparsed ") +
                   Visible(parsed) + QStringLiteral("\nvector ") + Visible(a));
    FUZZ_CHECK(command.commandLine() == command.program + QLatin1Char(' ') + command.parameters(), detail);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader reader(data, size);
    const PathStyle style = reader.Byte() & 1 ? PathStyle::Windows : PathStyle::Posix;
    const int pass = 1 + (reader.Byte() & 1);
    ConversionSettings s;
    s.C2_01 = Choose(reader, Catalogue::Containers);
    s.C2_04 = Choose(reader, Catalogue::VideoCodecs);
    s.C3_01 = Choose(reader, Catalogue::AudioCodecs);
    s.C2_02_01 = reader.Number();
    s.C2_02_02 = reader.Number();
    s.C2_03_01 = reader.Number();
    s.C2_03_02 = reader.Number();
    s.C2_05 = reader.Number();
    s.C2_06 = reader.Number();
    s.C3_02 = reader.Number();
    s.C3_03 = reader.Number();
    s.C4_C1 = reader.Byte() & 1;
    s.C1_03 = reader.Text();
    const QString programFolder = reader.Text();
    const QString source = reader.Text();
    const QString detail = Visible(source) + QStringLiteral(" into ") + Visible(s.C1_03);

    const QString output = BuildOutputPath(source, s, style);
    const QString fileName = PathFileName(output, style);
    FUZZ_CHECK(PathInFolder(s.C1_03, fileName, style) == output, detail + QStringLiteral(" gave ") + Visible(output));
    FUZZ_CHECK(PathFileName(fileName, style) == fileName, detail);
    const QString sourceName = PathFileName(source, style);
    if (s.C2_01.index > 0) {
        const QString extension = QLatin1Char('.') + EncoderName(CatalogueRowId(s.C2_01.row));
        FUZZ_CHECK(fileName.endsWith(extension), detail + QStringLiteral(" gave ") + Visible(output));
        // The source's name up to its extension's dot, whatever it holds.
        const qsizetype dot = sourceName.lastIndexOf(u'.');
        FUZZ_CHECK(fileName == (dot < 0 ? sourceName : sourceName.left(dot)) + extension, detail);
    } else {
        FUZZ_CHECK(fileName == sourceName, detail + QStringLiteral(" gave ") + Visible(output));
    }

    const EncoderCommand command = BuildEncoderCommandLine(source, output, s, pass, style);
    CheckCommand(command, source, output, detail);
    const QStringList &a = command.arguments;
    FUZZ_CHECK(a.contains(QStringLiteral("-s")) == (s.C2_02_01 > 0 && s.C2_02_02 > 0), detail);
    FUZZ_CHECK(a.contains(QStringLiteral("-aspect")) == (s.C2_03_01 > 0 && s.C2_03_02 > 0), detail);
    FUZZ_CHECK(a.contains(QStringLiteral("-an")) == (s.C4_C1 && pass == 1), detail);
    FUZZ_CHECK(a.contains(QStringLiteral("-ar")) == (s.C3_03 > 0), detail);

    const EncoderCommand thumbnail = BuildThumbnailParameters(source, programFolder, style);
    CheckCommand(thumbnail, source, PathInFolder(programFolder, QStringLiteral("_thumb.jpg"), style), detail);
    return 0;
}
