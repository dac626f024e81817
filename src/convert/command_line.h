#pragma once

#include "options/conversion_settings.h"
#include "platform/paths.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zento {

struct EncoderCommand {
    QString program;       // "ffmpeg" (Posix) or "ffmpeg.exe" (Windows)
    QStringList arguments; // the argument vector after the program, no quoting
    QList<int> quoted;     // positions in arguments that the text shows in double quotes
    PathStyle style = PathStyle::Posix;

    QString commandLine() const; // the whole composed text
    QString parameters() const;  // the text after the program name and its blank
};

// The extension of the command's output file, its last argument, as written
// and without its dot; empty when the file's name has none.
QString OutputExtension(const EncoderCommand &command);

// The output file: the output folder, a separator and the source's file name
// with the container's extension.
QString BuildOutputPath(const QString &sourcePath, const ConversionSettings &settings,
                        PathStyle style = NativePathStyle());

// The encoder run of one pass (1 or 2).
EncoderCommand BuildEncoderCommandLine(const QString &sourcePath, const QString &outputPath,
                                       const ConversionSettings &settings, int pass,
                                       PathStyle style = NativePathStyle());

// The short run that writes the thumbnail "_thumb.jpg" into the program folder.
EncoderCommand BuildThumbnailParameters(const QString &sourcePath, const QString &programFolder,
                                        PathStyle style = NativePathStyle());

// An ID as the encoder takes it: A to Z in lower case, everything else as is.
QString EncoderName(const QString &id);

} // namespace zento
