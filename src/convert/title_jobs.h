#pragma once

#include "convert/command_line.h"
#include "disc/dvd_disc.h"

#include <QByteArray>
#include <QList>
#include <QSize>
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
    QStringList parts; // full paths, in list order; empty for a disc title
    bool IsJoined() const { return parts.size() > 1; }

    // A title of the disc's structure, read from the disc in play order.
    QString discSource;     // the folder, image or drive
    QString discName;       // what its output files are named after
    DiscTitle title;        // number 0: no disc title
    int audioTrack = -1;    // index into title.audio; -1: none
    int subtitleTrack = -1; // index into title.subtitles, burned in; -1: none
    int angle = 1;          // 1..title.angles
    bool IsDiscTitle() const { return title.number > 0; }
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

// How the encoder reads a title fed into its standard input.
struct PipedStreams {
    // Picks the streams itself: the title's video and the chosen audio track
    // (none: no audio), instead of the encoder's own choice.
    bool mapStreams = false;
    int audioStreamId = -1;
    // A subtitle stream burned into the picture (-1: none), in the colours
    // the subtitle decoder is given ("rrggbb,…"; empty: its own guess).
    int subtitleStreamId = -1;
    QString palette = {};
    // Field-coded frames made progressive, one frame per frame.
    bool deinterlace = false;
    // An ffmetadata file whose chapters go into the output (empty: none).
    QString chaptersFile = {};
    // The audio track's language as the output tags it ("jpn"; empty: untagged).
    QString audioLanguage = {};
    // Film: one output frame per film frame, at 24000/1001; telecined into
    // the picture, its fields matched again and the repeated frame dropped.
    bool film = false;
    bool detelecine = false;
    // Only key frames decoded: a thumbnail's still, found for a fraction of
    // the work while the encoder runs beside it.
    bool keyFramesOnly = false;
    // The video encoder's threads (0: its own choice).
    int encoderThreads = 0;
    // The audio track mixed to this many channels (0: as it is).
    int audioChannels = 0;
    // The audio track made at this sample rate (0: its own).
    int audioRate = 0;
    // The chosen track's bits a sample when it is LPCM (0: it is not).
    int lpcmBits = 0;
    // The title's coded picture (invalid: not known). Subtitles are drawn on
    // the whole screen, 720 wide and of 480 or 576 lines, whatever the
    // picture's size; on a smaller picture they are scaled to it, as a
    // player shows them.
    QSize picture = {};
};

// The command composed for a file, reading a program stream from its
// standard input instead ("-f mpeg -i pipe:0"). With mapped streams, the
// video (through the filter graph when there is one: deinterlacing first,
// then the subtitles overlaid, both before any scaling) and the audio track
// by its id; the chapters from a second input; the encoder's threads.
// Everything else stays as composed.
EncoderCommand PipedEncoderCommand(const EncoderCommand &command, const PipedStreams &streams = {});

// Whether a command encodes its audio, rather than copying it or having none.
bool SoundEncoded(const QStringList &arguments);

// The output a later job of a run gets when an earlier job already wrote its
// name: " (n)" before the extension ("/o/VTS_01_1 (2).mp4").
QString NumberedOutputPath(const QString &path, int n, PathStyle style = NativePathStyle());

// "1:52:03": hours, minutes and seconds of a length, in whole seconds reached.
QString TitleLengthText(qint64 ms);

// The language of a two-letter code, in Japanese ("ja" 日本語, "en" 英語);
// an unknown code as it is, none as "言語不明".
QString LanguageName(const QString &code);

// The three-letter code (ISO 639-2) of a two-letter one: "ja" gives "jpn";
// empty for a code it does not know.
QString LanguageCode3(const QString &code);

// "日本語 AC3 2ch", "英語 AC3 5.1ch".
QString AudioTrackText(const DiscAudioTrack &track);

// The track a player plays for a Japanese viewer: the first Japanese one,
// else the first, taken from those the title was seen to carry where any
// was seen; -1 when the title has none.
int DefaultAudioTrack(const DiscTitle &title);

// A row of the title list: "T01 1:52:03 日本語 AC3 2ch" (the chosen track;
// "音声なし" when there is none), then " アングル×2" for a title of angles
// and " (T02 と同じ)" or " (まとめて再生)" for one that repeats others.
QString TitleRowText(const DiscTitle &title, int audioTrack);

// Whether a title is ticked when listed: not a short one (a logo, a menu
// loop) and not one that repeats others.
bool TitleTickedWhenListed(const DiscTitle &title);

// Titles shorter than this (logos, menu loops) are listed unticked.
constexpr qint64 kShortTitleMs = 10000;

// The output of a title: "<disc name>_<NN>" with the container's extension
// (".VOB" on the automatic row) in the output folder. A disc name too long
// for a file name of 255 bytes, with room for a " (2)" after it, is cut; the
// number stays.
QString TitleOutputPath(const QString &discName, int titleNumber, const ConversionSettings &settings,
                        PathStyle style = NativePathStyle());

// "T01 (1:52:03) -> MOVIE_01.mp4".
QString TitleLabelText(const DiscTitle &title, const QString &outputPath, PathStyle style = NativePathStyle());

} // namespace zento
