#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zento {

// The arguments of an encoder run that copies the picture and sound of a
// finished output into `copy`, with the chapters of an ffmetadata file in
// place of the output's own.
QStringList ChapterCopyArguments(const QString &output, const QString &chapters, const QString &copy);

// An output whose source ended before its title did: the chapters that
// start past where it ends go and the last one ends there, so the file does
// not claim the title's whole length nor offer a chapter of nothing. The
// chapters file is written anew, the output copied with it beside itself,
// and the copy takes the output's place; false leaves the output as it was.
// The encoder is waited for with the program's events handled.
bool CutOutputChapters(const QString &encoder, const QString &output, const QList<qint64> &startsMs, qint64 reachedMs,
                       const QString &chaptersFile);

} // namespace zento
