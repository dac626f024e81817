#include "convert/title_streams.h"

#include "convert/command_line.h"
#include "convert/encoder_capabilities.h"
#include "convert/title_jobs.h"
#include "disc/pack_packets.h"
#include "options/catalogue.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace zento {

namespace {

QString ChosenId(const CatalogueChoice &choice)
{
    if (choice.index <= 0 || choice.row.isEmpty())
        return QString();
    return CatalogueRowId(choice.row);
}

int Clamp(double value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

// 33 bits of a time stamp in the five bytes of a PES header: the prefix,
// then bits 32..30, 29..15 and 14..0, each part followed by a marker bit.
void PutTimeStamp(QByteArray &out, quint64 value, int prefix)
{
    out.append(char((prefix << 4) | ((value >> 29) & 0x0e) | 1));
    out.append(char((value >> 22) & 0xff));
    out.append(char(((value >> 14) & 0xfe) | 1));
    out.append(char((value >> 7) & 0xff));
    out.append(char(((value << 1) & 0xfe) | 1));
}

} // namespace

bool VideoIsEncoded(const ConversionSettings &settings)
{
    return !ChosenId(settings.C2_04).isEmpty();
}

bool DeinterlaceTitle(const ConversionSettings &settings)
{
    return VideoIsEncoded(settings) && ChosenId(settings.C2_04) != QLatin1String("MPEG2VIDEO");
}

bool ConvertAsFilm(const DiscTitle &title, const ConversionSettings &settings)
{
    return (title.film || title.hardTelecine) && VideoIsEncoded(settings) && settings.C2_06 <= 0;
}

int TitleEncoderThreads(const ConversionSettings &settings, int cores)
{
    return ChosenId(settings.C2_04) == QLatin1String("LIBX264") ? std::clamp(3 * cores, 1, 15) : 0;
}

int TitleAudioChannels(const DiscAudioTrack &track, const ConversionSettings &settings)
{
    const int most = MostSoundChannels(ChosenId(settings.C3_01));
    return most > 0 && track.channels > most ? most : 0;
}

int TitleAudioRate(const DiscAudioTrack &track, const ConversionSettings &settings)
{
    const QString codec = ChosenId(settings.C3_01);
    const QList<int> rates =
        codec.isEmpty() || settings.C3_03 > 0 ? QList<int>() : SoundRatesTaken(codec, ChosenId(settings.C2_01));
    const int own = track.sampleRate > 0 ? track.sampleRate : 48000;
    if (rates.isEmpty() || rates.contains(own))
        return 0;
    int below = 0;
    for (int rate : rates)
        if (rate < own)
            below = std::max(below, rate);
    return below > 0 ? below : *std::min_element(rates.begin(), rates.end());
}

QString CopiedSoundRefused(const DiscAudioTrack &track, const ConversionSettings &settings)
{
    // LPCM goes into AVI, WMV, ASF and MOV as plain PCM.
    static const QHash<QString, QStringList> refusing = {
        {QStringLiteral("AC3"),
         {QStringLiteral("3GP"), QStringLiteral("OGM"), QStringLiteral("FLV"), QStringLiteral("SWF")}},
        {QStringLiteral("MPEG"),
         {QStringLiteral("3GP"), QStringLiteral("RM"), QStringLiteral("OGM"), QStringLiteral("FLV"),
          QStringLiteral("SWF")}},
        {QStringLiteral("DTS"),
         {QStringLiteral("3GP"), QStringLiteral("RM"), QStringLiteral("OGM"), QStringLiteral("FLV"),
          QStringLiteral("SWF")}},
        {QStringLiteral("LPCM"),
         {QStringLiteral("MP4"), QStringLiteral("3GP"), QStringLiteral("RM"), QStringLiteral("OGM"),
          QStringLiteral("FLV"), QStringLiteral("SWF")}},
    };
    const QString container = ChosenId(settings.C2_01);
    if (!ChosenId(settings.C3_01).isEmpty() || !refusing.value(track.codec).contains(container))
        return {};
    return QStringLiteral("ファイル形式 %1 には、この音声 (%2) をそのままでは入れられません。"
                          "音声の圧縮形式を選ぶか、「音声なし」にしてください。")
        .arg(container, track.codec);
}

PipedStreams TitleJobStreams(const TitleJob &job, const ConversionSettings &settings, int cores)
{
    const DiscTitle &title = job.title;
    PipedStreams streams;
    streams.mapStreams = true;
    if (job.audioTrack >= 0 && job.audioTrack < title.audio.size()) {
        const DiscAudioTrack &track = title.audio.at(job.audioTrack);
        streams.audioStreamId = track.streamId;
        streams.audioLanguage = LanguageCode3(track.language);
        streams.audioChannels = TitleAudioChannels(track, settings);
        streams.audioRate = TitleAudioRate(track, settings);
        streams.lpcmBits = track.codec == QLatin1String("LPCM") ? track.bits : 0;
    }
    // Subtitles and filters only where the picture is encoded.
    if (VideoIsEncoded(settings) && job.subtitleTrack >= 0 && job.subtitleTrack < title.subtitles.size()) {
        streams.subtitleStreamId = title.subtitles.at(job.subtitleTrack).streamId;
        streams.palette = SubtitlePalette(title.palette);
        streams.picture = title.picture;
    }
    // Film keeps its own frames, none repeated. The deinterlacer passes its
    // progressive frames as they are and makes a stretch of video in it (a
    // series' credits) progressive too; film telecined into the picture is
    // matched and decimated instead.
    streams.film = ConvertAsFilm(title, settings);
    streams.detelecine = streams.film && title.hardTelecine;
    streams.deinterlace = DeinterlaceTitle(settings) && !streams.detelecine;
    streams.encoderThreads = TitleEncoderThreads(settings, cores);
    return streams;
}

bool LookForHardTelecine(const DiscTitle &title, const ConversionSettings &settings)
{
    return !title.film && DeinterlaceTitle(settings) && settings.C2_06 <= 0;
}

FieldRepeats ReadRepeatedFields(const QByteArray &encoderOutput)
{
    static const QRegularExpression line(
        QStringLiteral("Repeated Fields: Neither: *(\\d+) Top: *(\\d+) Bottom: *(\\d+)"));
    FieldRepeats repeats;
    QRegularExpressionMatchIterator found = line.globalMatch(QString::fromLatin1(encoderOutput));
    while (found.hasNext()) {
        const QRegularExpressionMatch match = found.next();
        const int top = match.captured(2).toInt(), bottom = match.captured(3).toInt();
        repeats.frames = match.captured(1).toInt() + top + bottom;
        repeats.repeated = top + bottom;
    }
    return repeats;
}

bool IsHardTelecine(const FieldRepeats &repeats)
{
    // Film alone repeats 2 in 5 (0.4); over half of the frames film: 0.2 and
    // more. Far more than film can repeat is a still picture, not film.
    constexpr int kFewestFrames = 30;
    return repeats.frames >= kFewestFrames && repeats.repeated * 5 >= repeats.frames &&
           repeats.repeated * 20 <= repeats.frames * 11;
}

bool ContainerHoldsChapters(const ConversionSettings &settings)
{
    static const QStringList holding{QStringLiteral("MP4"), QStringLiteral("MOV"), QStringLiteral("3GP"),
                                     QStringLiteral("ASF"), QStringLiteral("WMV")};
    return holding.contains(ChosenId(settings.C2_01));
}

QString SubtitleTrackText(const DiscSubtitleTrack &track)
{
    QString text = QStringLiteral("字幕 ") + LanguageName(track.language);
    if (track.purpose >= 5 && track.purpose <= 7)
        text += QStringLiteral(" (聴覚障害者用)");
    else if (track.purpose == 9)
        text += QStringLiteral(" (強制)");
    else if (track.purpose >= 13 && track.purpose <= 15)
        text += QStringLiteral(" (解説)");
    return text;
}

int DefaultSubtitleTrack(const DiscTitle &title, int audioTrack)
{
    const auto japanese = [](const QString &language) {
        return language.compare(QLatin1String("ja"), Qt::CaseInsensitive) == 0;
    };
    if (audioTrack >= 0 && audioTrack < title.audio.size() && japanese(title.audio.at(audioTrack).language))
        return -1;
    // A Japanese stream of the whole dialogue before one of only the lines
    // that must show, or of commentary.
    int found = -1;
    for (qsizetype i = 0; i < title.subtitles.size(); ++i) {
        const DiscSubtitleTrack &track = title.subtitles.at(i);
        if (!japanese(track.language))
            continue;
        if (track.purpose != 9 && track.purpose < 13)
            return static_cast<int>(i);
        if (found < 0)
            found = static_cast<int>(i);
    }
    return found;
}

QString SubtitlePalette(const std::array<quint32, 16> &palette)
{
    QStringList colours;
    for (const quint32 entry : palette) {
        // Limited-range BT.601, as discs store their colours.
        const double y = 1.164 * (int((entry >> 16) & 0xff) - 16);
        const int cr = int((entry >> 8) & 0xff) - 128;
        const int cb = int(entry & 0xff) - 128;
        const int r = Clamp(y + 1.596 * cr);
        const int g = Clamp(y - 0.813 * cr - 0.391 * cb);
        const int b = Clamp(y + 2.018 * cb);
        colours << QStringLiteral("%1").arg((r << 16) | (g << 8) | b, 6, 16, QLatin1Char('0'));
    }
    return colours.join(QLatin1Char(','));
}

QByteArray ChapterMetadata(const QList<qint64> &startsMs, qint64 durationMs)
{
    QByteArray text = ";FFMETADATA1\n";
    for (qsizetype i = 0; i < startsMs.size(); ++i) {
        const qint64 start = i == 0 ? 0 : startsMs.at(i);
        const qint64 end = i + 1 < startsMs.size() ? startsMs.at(i + 1) : qMax(durationMs, start);
        if (end <= start && i + 1 < startsMs.size())
            continue; // a program of no length marks nothing
        text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + QByteArray::number(start) + "\nEND=" + QByteArray::number(end) +
                "\ntitle=" + QStringLiteral("チャプター %1").arg(i + 1, 2, 10, QLatin1Char('0')).toUtf8() + "\n";
    }
    return text;
}

namespace {

// A 2048-byte pack of one timed packet of stream `pesId` (0xbd: private
// stream 1, its substream first in `payload`), padded to the block's end.
QByteArray OnePacketPack(int pesId, const QByteArray &payload, quint32 pts)
{
    QByteArray pack;
    pack.reserve(2048);
    // Pack header: SCR 0, 10.08 Mbit/s, no stuffing.
    pack.append("\x00\x00\x01\xba\x44\x00\x04\x00\x04\x01\x01\x89\xc3\xf8", 14);
    const int length = 3 + 5 + int(payload.size());
    pack.append("\x00\x00\x01", 3);
    pack.append(char(pesId));
    pack.append(char(length >> 8));
    pack.append(char(length & 0xff));
    pack.append("\x81\x80\x05", 3);
    PutTimeStamp(pack, pts, 0x2);
    pack.append(payload);
    // The rest of the block is padding.
    const int padding = 2048 - int(pack.size()) - 6;
    pack.append("\x00\x00\x01\xbe", 4);
    pack.append(char(padding >> 8));
    pack.append(char(padding & 0xff));
    pack.append(QByteArray(padding, '\xff'));
    return pack;
}

} // namespace

QByteArray EmptySubtitlePack(int streamId, quint32 pts)
{
    // The substream, then a subpicture unit of ten bytes whose one command
    // stops the display.
    return OnePacketPack(0xbd, QByteArray(1, char(streamId)) + QByteArray("\x00\x0a\x00\x04\x00\x00\x00\x04\x02\xff", 10),
                         pts);
}

QByteArray StandInAudioPack(const DiscAudioTrack &track, quint32 pts, bool silentFrame)
{
    const int id = track.streamId;
    const bool mpeg = id >= 0x1c0, lpcm = id >= 0xa0 && id <= 0xa7, dts = id >= 0x88 && id <= 0x8f;
    if (!silentFrame || dts) {
        if (lpcm)
            return {};
        // MPEG audio has a stream of its own; AC3 and DTS are substreams with
        // a header of three bytes; then one byte that holds no frame.
        if (mpeg)
            return OnePacketPack(id & 0xff, QByteArray(1, '\0'), pts);
        return OnePacketPack(0xbd, QByteArray(1, char(id)) + QByteArray(4, '\0'), pts);
    }
    if (lpcm) {
        // One frame header, then the format: bits, rate, channels; then 16
        // samples of nothing on each channel.
        const int channels = qBound(1, track.channels, 8), bits = qBound(16, track.bits, 24);
        const char format = char(((bits - 16) / 4) << 6 | (track.sampleRate == 96000 ? 1 : 0) << 4 | (channels - 1));
        const QByteArray header{"\x01\x00\x04\x00", 4};
        return OnePacketPack(
            0xbd, QByteArray(1, char(id)) + header + format + '\x80' + QByteArray(16 * channels * bits / 8, '\0'), pts);
    }
    // Frames of silence at 48 kHz, the least bit rate: MPEG audio layer II
    // mono and stereo, AC3 mono, stereo and 5.1.
    static const char *const kMp2[] = {
        "fffd14c45368222aabefbefbef9ef7ad8b63e7cd7bdeb62d8f9f35ef7ad8b63e7cd7bdeb62d8f9f35ef7ad8b63e7cd7b"
        "deb62d8f9f35ef7ad8b63e7cd7bdeb62d8f9f35ef7ad8b63e7cd7bdeb62d8f9f35ef7ad8b63e7cd7bdeb62d8f9f34000",
        "fffd14043311240009000aaaafbefbefbefbe5b16c6b5ad6b56c5b1ad6b5ad5b16c6b5ad6b56c5b1ad6b5ad5b16c6b5a"
        "d6b56c5b1ad6b5ad5b16c6b5ad6b56c5b1ad6b5ad5b16c6b5ad6b56c5b1ad6b5ad5b16c6b5ad6b56c5b1ad6b5ad00000"};
    static const char *const kAc3[] = {
        "0b7796b900402f842903fe757cf9f3e7cf9f3e7cf9f3e7cf9f3e7cf9f3e7cf8cbfba90000036b5ad6b5ad6b5ad6b5a94"
        "000000dad6b5ad6b5ad6b5ad6a500000036b5ad6b5ad6b5ad6b5a94000000dad6b5ad6b5ad6b5ad6a500000036b5ad6b"
        "5ad6b5ad6b5a94000000dad6b5ad6b5ad6b5ad6a40000000000000000000b2b0",
        "0b773f11004043e106f00108080821010104571f3e7cf9f3e7cf9f3e7cfbfe757cf9f3e7cf9f3e7cf8ff9d5f3e7cf9f3"
        "e7cf9f3e32fede4c99200000f1e35ad680035ac3000000078f1ad6b4001ad6180000003c78d6b5a000d6b0c0000001e3"
        "c6b5ad0006b5860000000f1e35ad680035ac3000000078f1ad6b4001ad60e48e",
        "0b77ec020440ebf8403efe004202020840404108080821010104202020555e3e7cf9f3e7cf9f3e7cf9f7fceaf9f3e7cf"
        "9f3e7cf9f1ff3abe7cf9f3e7cf9f3e7c7fceaf9f3e7cf9f3e7cf9f1ff3abe7cf9f3e7cf9f3e7c7fceaf9f3e7cf9f3e7c"
        "f9f1ff3ae5fd94891224489124000df340c0c0df340c0c1f00000001be6818181be6818183e000000037cd0303037cd0"
        "30307c00000006f9a060606f9a06060f80000000df340c0c0df340c0c1f00000001be6818181be6818180000000070c1"};
    if (mpeg)
        return OnePacketPack(id & 0xff, QByteArray::fromHex(kMp2[track.channels == 1 ? 0 : 1]), pts);
    // One frame, which starts at the first byte after the header.
    const QByteArray frame = QByteArray::fromHex(kAc3[track.channels == 1 ? 0 : track.channels == 2 ? 1 : 2]);
    return OnePacketPack(0xbd, QByteArray(1, char(id)) + QByteArray("\x01\x00\x01", 3) + frame, pts);
}

bool IsSubpicturePack(const char *pack)
{
    const auto *p = reinterpret_cast<const unsigned char *>(pack);
    // An MPEG-2 pack header (14 bytes and its stuffing), then the packet.
    if (!IsMpeg2Pack(p))
        return false;
    const int at = 14 + (p[13] & 0x07);
    if (p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1 || p[at + 3] != 0xbd)
        return false;
    const int substream = at + 9 + p[at + 8]; // after the packet's header data
    return substream < 2048 && p[substream] >= 0x20 && p[substream] <= 0x3f;
}

} // namespace zento
