#include "convert/command_line.h"

#include "options/catalogue.h"

namespace zento {

namespace {

// Position of the extension's dot (a dot after the last separator), -1 when none.
qsizetype ExtensionDot(const QString &path, PathStyle style)
{
    const QString name = PathFileName(path, style);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? -1 : path.size() - name.size() + dot;
}

// The ID of a chosen row, empty for the automatic row (row 0, no row, or a row
// without an ID).
QString ChosenId(const CatalogueChoice &choice)
{
    if (choice.index <= 0 || choice.row.isEmpty())
        return QString();
    return CatalogueRowId(choice.row);
}

// One argument as the command text shows it in double quotes: the quoting that
// parses back to the same argument (backslashes before a quote doubled, the
// quote escaped); a path without quotes or a trailing backslash is unchanged.
QString QuoteArgument(const QString &argument)
{
    QString text = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"')) {
            text += QString(backslashes * 2 + 1, QLatin1Char('\\'));
            text += c;
        } else {
            text += QString(backslashes, QLatin1Char('\\'));
            text += c;
        }
        backslashes = 0;
    }
    text += QString(backslashes * 2, QLatin1Char('\\'));
    text += QLatin1Char('"');
    return text;
}

QString ProgramName(PathStyle style)
{
    return style == PathStyle::Windows ? QStringLiteral("ffmpeg.exe") : QStringLiteral("ffmpeg");
}

} // namespace

QString EncoderCommand::parameters() const
{
    QStringList parts;
    parts.reserve(arguments.size());
    for (qsizetype i = 0; i < arguments.size(); ++i)
        parts << (quoted.contains(static_cast<int>(i)) ? QuoteArgument(arguments.at(i)) : arguments.at(i));
    return parts.join(QLatin1Char(' '));
}

QString EncoderCommand::commandLine() const
{
    return program + QLatin1Char(' ') + parameters();
}

QString EncoderName(const QString &id)
{
    QString name = id;
    for (QChar &c : name)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return name;
}

QString BuildOutputPath(const QString &sourcePath, const ConversionSettings &settings, PathStyle style)
{
    const qsizetype dot = ExtensionDot(sourcePath, style);
    const QString containerId = ChosenId(settings.C2_01);
    const QString extension = containerId.isEmpty() ? (dot < 0 ? QString() : sourcePath.mid(dot))
                                                    : QLatin1Char('.') + EncoderName(containerId);
    const QString renamed = (dot < 0 ? sourcePath : sourcePath.left(dot)) + extension;
    return PathInFolder(settings.C1_03, PathFileName(renamed, style), style);
}

QString OutputExtension(const EncoderCommand &command)
{
    const QString output = command.arguments.value(command.arguments.size() - 1);
    const qsizetype dot = ExtensionDot(output, command.style);
    return dot < 0 ? QString() : output.mid(dot + 1);
}

EncoderCommand BuildEncoderCommandLine(const QString &sourcePath, const QString &outputPath,
                                       const ConversionSettings &settings, int pass, PathStyle style)
{
    EncoderCommand command;
    command.style = style;
    command.program = ProgramName(style);
    QStringList &a = command.arguments;
    a << QStringLiteral("-i") << sourcePath << QStringLiteral("-y");
    if (settings.C4_C1) {
        a << QStringLiteral("-pass") << QString::number(pass);
        if (pass == 1)
            a << QStringLiteral("-an");
    }
    a << QStringLiteral("-flags") << QStringLiteral("bitexact");
    if (settings.C2_02_01 > 0 && settings.C2_02_02 > 0)
        a << QStringLiteral("-s") << QStringLiteral("%1x%2").arg(settings.C2_02_01).arg(settings.C2_02_02);
    if (settings.C2_03_01 > 0 && settings.C2_03_02 > 0)
        a << QStringLiteral("-aspect") << QStringLiteral("%1:%2").arg(settings.C2_03_01).arg(settings.C2_03_02);
    const QString video = ChosenId(settings.C2_04);
    a << QStringLiteral("-vcodec") << (video.isEmpty() ? QStringLiteral("copy") : EncoderName(video));
    if (settings.C2_05 > 0)
        a << QStringLiteral("-b") << QStringLiteral("%1k").arg(settings.C2_05);
    if (settings.C2_06 > 0)
        a << QStringLiteral("-r") << QString::number(settings.C2_06);
    const QString audio = ChosenId(settings.C3_01);
    a << QStringLiteral("-acodec") << (audio.isEmpty() ? QStringLiteral("copy") : EncoderName(audio));
    if (settings.C3_02 > 0)
        a << QStringLiteral("-ab") << QStringLiteral("%1k").arg(settings.C3_02);
    if (settings.C3_03 > 0)
        a << QStringLiteral("-ar") << QString::number(settings.C3_03);
    a << outputPath;
    command.quoted = {1, static_cast<int>(a.size() - 1)};
    return command;
}

EncoderCommand BuildThumbnailParameters(const QString &sourcePath, const QString &programFolder, PathStyle style)
{
    EncoderCommand command;
    command.style = style;
    command.program = ProgramName(style);
    const QString thumbnail = ThumbnailPath(programFolder, style);
    command.arguments = {QStringLiteral("-i"),       sourcePath,
                         QStringLiteral("-f"),       QStringLiteral("image2"),
                         QStringLiteral("-ss"),      QStringLiteral("5"),
                         QStringLiteral("-vframes"), QStringLiteral("1"),
                         QStringLiteral("-s"),       QStringLiteral("80x60"),
                         QStringLiteral("-an"),      thumbnail};
    command.quoted = {1, static_cast<int>(command.arguments.size() - 1)};
    return command;
}

} // namespace zento
