#pragma once

#include "disc/dvd_disc.h"
#include "options/conversion_settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

namespace zento {

// What a disc title's picture gets beside the file mode's options: the
// chosen subtitles burned in, progressive frames, the chapter marks.

// Whether the video is encoded at all: a copied video ("自動") can take no
// subtitles and no filter.
bool VideoIsEncoded(const ConversionSettings &settings);

// Field-coded frames are made progressive, unless the video is copied or
// encoded as MPEG-2, which keeps the fields.
bool DeinterlaceTitle(const ConversionSettings &settings);

// Whether a title is converted as the film it holds, one output frame per
// film frame at 24000/1001: a soft- or hard-telecined title whose video is
// encoded, unless the user typed a frame rate.
bool ConvertAsFilm(const DiscTitle &title, const ConversionSettings &settings);

// The threads a title's video encoder is given on a machine of this many
// cores (0: its own choice). x264 gets three frame threads a core, twice
// its own choice, so that the decoding, filtering and audio the encoder
// does between frames leave no core idle; at most 15, two rows of
// macroblocks a thread in a 480-line picture. Other encoders keep theirs.
int TitleEncoderThreads(const ConversionSettings &settings, int cores);

// The channels a title's audio track is encoded with (0: its own). The
// encoders that take few channels and do not mix a larger track down by
// themselves (WMA, ADX and Sonic two, G.726 one) are given a mix of as many
// as they take.
int TitleAudioChannels(const DiscAudioTrack &track, const ConversionSettings &settings);

// The sample rate a title's encoded audio track is made at (0: its own).
// Where the encoder or the container takes only some rates and no rate is
// typed, a track at another rate is made at the nearest below it that is
// taken (a 48 kHz track into SWF at 44.1 kHz).
int TitleAudioRate(const DiscAudioTrack &track, const ConversionSettings &settings);

// Why the chosen container cannot hold a title's track copied as it is
// (the audio codec "自動"), in the user's words; empty where it can. The
// encoder would refuse to write the file's header.
QString CopiedSoundRefused(const DiscAudioTrack &track, const ConversionSettings &settings);

struct PipedStreams;
struct TitleJob;

// What a disc title's run feeds the encoder with beside the file mode's
// options, on a machine of this many cores: the chosen track, the
// subtitles, the picture's filters. The chapters file is the run's own.
PipedStreams TitleJobStreams(const TitleJob &job, const ConversionSettings &settings, int cores);

// Whether a title's picture is worth a decoded look for hard telecine: its
// video encoded and made progressive, no frame rate typed, no film found
// in its flags already.
bool LookForHardTelecine(const DiscTitle &title, const ConversionSettings &settings);

// What the encoder's field detector (idet) found in a sample: frames, and
// of them those with a field repeated from the frame before.
struct FieldRepeats {
    int frames = 0;
    int repeated = 0;
};

// The counts of the last "Repeated Fields: Neither: N Top: T Bottom: B"
// line of the encoder's output; none when there is no such line.
FieldRepeats ReadRepeatedFields(const QByteArray &encoderOutput);

// The 3:2 cadence: two fields repeated in five frames on film, none on
// video. A mixed title follows the larger share.
bool IsHardTelecine(const FieldRepeats &repeats);

// The containers that hold chapter marks: MP4, MOV, 3GP, ASF and WMV.
bool ContainerHoldsChapters(const ConversionSettings &settings);

// "字幕 日本語", and what the stream is for where the tables say: "字幕 日本語 (強制)".
QString SubtitleTrackText(const DiscSubtitleTrack &track);

// The subtitles a Japanese viewer gets by default: none with Japanese audio,
// else the first Japanese subtitle stream of the whole dialogue (the first
// Japanese one when every one is forced-only or commentary), else none (-1).
int DefaultSubtitleTrack(const DiscTitle &title, int audioTrack);

// The title's 16 colours (0x00YYCrCb, limited range) as the subtitle decoder
// takes them: "rrggbb" each, joined with commas.
QString SubtitlePalette(const std::array<quint32, 16> &palette);

// An ffmetadata file with one chapter from each start to the next (the last
// to the title's end): "チャプター 01", "チャプター 02", ….
QByteArray ChapterMetadata(const QList<qint64> &startsMs, qint64 durationMs);

// A 2048-byte pack holding an empty subpicture for a subtitle stream, at the
// given time (90 kHz): put at the head of a title, it makes the stream known
// to the encoder at once, however late its first subtitle comes.
QByteArray EmptySubtitlePack(int streamId, quint32 pts);

// A 2048-byte pack with one packet of an audio track, at the given time: put
// at the head of a title whose track starts late, it makes the track known
// to the encoder at once. Without `silentFrame` the packet holds no sound
// (AC3, DTS and MPEG audio; empty for LPCM, which the encoder would not
// take so): a copied track is left as the disc has it. With it, the packet
// holds a frame of silence in the track's format (but DTS), from which the
// encoder can set up a track it encodes even if the title never carries
// any of its sound, as some titles do with a track their tables declare.
QByteArray StandInAudioPack(const DiscAudioTrack &track, quint32 pts, bool silentFrame);

// Whether a 2048-byte pack holds (a piece of) a subpicture: private stream 1
// with a substream of 0x20 to 0x3f.
bool IsSubpicturePack(const char *pack);

} // namespace zento
