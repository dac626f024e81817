#pragma once

#include "convert/command_line.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zento {

// One entry of the source list as the run sees it.
struct SourceEntry {
    QString path;
    bool ticked = false;
};

// What one encoder run per pass converts: one entry of the source list, or
// the parts of one title joined into one file.
struct TitleJob {
    int index = 0;     // list index of the first entry: the bar's position
    QStringList parts; // full paths, in list order; never empty
    bool IsJoined() const { return parts.size() > 1; }
};

// The title set ("01") and part number of a title file named VTS_tt_n.VOB
// (letters in any case); false for a name of any other form.
bool ParseTitlePart(const QString &path, QString &titleSet, int &part, PathStyle style = NativePathStyle());

// The jobs of a run, in list order, from the ticked entries. Without joining
// every ticked entry is a job of its own. With it, a part n >= 1 joins the
// job before it when that job ends with part n - 1 of the same title set in
// the same folder, at the list entry right before it; everything else (a
// menu part 0, another name, a part after an unticked entry, a path with a
// line break, which no concat list can hold) starts a job of its own.
QList<TitleJob> FormTitleJobs(const QList<SourceEntry> &entries, bool join, PathStyle style = NativePathStyle());

// "<first part> -> <output>", with " + <further parts>" after the first part
// of a joined job: "VTS_01_1.VOB + 4 -> VTS_01_1.mp4".
QString JobLabelText(const TitleJob &job, const QString &outputPath, PathStyle style = NativePathStyle());

// Whether the encoder's concat protocol can carry these parts: it separates
// them with "|", so no part may hold one.
bool FitsConcatProtocol(const QStringList &parts);

// The list file of the encoder's concat demuxer for these parts: a header and
// one quoted "file" line each, a single quote written as '\''. The bytes of
// the paths are the file system's.
QByteArray ConcatListText(const QStringList &parts);

// The command of a joined job: the command composed for its first part with
// the input replaced by all parts, "concat:<part 1>|<part 2>|..." as one
// argument, or, when a part holds "|", "-f concat -safe 0 -i <listPath>"
// (the caller writes ConcatListText there). One part: the command unchanged.
EncoderCommand JoinedEncoderCommand(const EncoderCommand &command, const QStringList &parts, const QString &listPath);

} // namespace zento
