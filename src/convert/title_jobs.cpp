#include "convert/title_jobs.h"

#include <QHash>

#include <QRegularExpression>
#include <algorithm>

namespace zento {

namespace {

// What Linux file systems hold, less room for the " (99)" an output gets
// beside a file of its name.
constexpr qsizetype kMaxFileNameBytes = 255 - 5;

QString FolderOf(const QString &path, PathStyle style)
{
    return path.left(path.size() - PathFileName(path, style).size());
}

} // namespace

bool ParseTitlePart(const QString &path, QString &titleSet, int &part, PathStyle style)
{
    static const QRegularExpression name(QStringLiteral("^VTS_([0-9]{1,2})_([0-9]{1,2})\\.VOB$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = name.match(PathFileName(path, style));
    if (!match.hasMatch())
        return false;
    titleSet = match.captured(1);
    part = match.captured(2).toInt();
    return true;
}

QList<TitleJob> FormTitleJobs(const QList<SourceEntry> &entries, bool join, PathStyle style)
{
    QList<TitleJob> jobs;
    // What the last job ends with, when the next entry may join it.
    QString lastSet;
    QString lastFolder;
    int lastPart = -1;
    int lastIndex = -2;
    for (int i = 0; i < entries.size(); ++i) {
        const SourceEntry &entry = entries.at(i);
        if (!entry.ticked)
            continue;
        QString set;
        int part = -1;
        const bool titlePart = join && ParseTitlePart(entry.path, set, part, style) && part >= 1;
        const QString folder = FolderOf(entry.path, style);
        if (titlePart && lastIndex == i - 1 && part == lastPart + 1 && set == lastSet && folder == lastFolder)
            jobs.last().parts << entry.path;
        else {
            TitleJob job;
            job.index = i;
            job.parts = QStringList{entry.path};
            jobs.append(job);
        }
        lastIndex = i;
        lastPart = titlePart ? part : -1;
        lastSet = titlePart ? set : QString();
        lastFolder = folder;
    }
    return jobs;
}

QString JobLabelText(const TitleJob &job, const QString &outputPath, PathStyle style)
{
    QString text = PathFileName(job.parts.value(0), style);
    if (job.parts.size() > 1)
        text += QStringLiteral(" + %1").arg(job.parts.size() - 1);
    return text + QStringLiteral(" -> ") + PathFileName(outputPath, style);
}

EncoderCommand PipedEncoderCommand(const EncoderCommand &command, const PipedStreams &streams)
{
    EncoderCommand result = command;
    QStringList &a = result.arguments;
    const qsizetype input = a.indexOf(QStringLiteral("-i"));
    if (input < 0 || input + 1 >= a.size())
        return result;
    // In place of "-i <file>": the decoder's colours, the pipe, the chapters.
    QStringList in;
    if (streams.subtitleStreamId >= 0 && !streams.palette.isEmpty())
        in << QStringLiteral("-palette") << streams.palette;
    if (streams.keyFramesOnly)
        in << QStringLiteral("-skip_frame") << QStringLiteral("nokey");
    // A disc's LPCM fits no container but a program stream; copied into one
    // that holds plain PCM it is written as that: the same samples.
    const QString extension = OutputExtension(command).toLower();
    if (const qsizetype codec = a.indexOf(QStringLiteral("-acodec"));
        streams.mapStreams && streams.lpcmBits > 0 && codec >= 0 && a.value(codec + 1) == QLatin1String("copy") &&
        QStringList{QStringLiteral("avi"), QStringLiteral("wmv"), QStringLiteral("asf"), QStringLiteral("mov")}
            .contains(extension))
        a[codec + 1] = streams.lpcmBits > 16 ? QStringLiteral("pcm_s24le") : QStringLiteral("pcm_s16le");
    const bool soundEncoded = SoundEncoded(a);
    const bool audioCopied = a.contains(QStringLiteral("-acodec")) && !soundEncoded;
    // The feed's times run on without a break, so a jump in a track's times
    // is a stretch without its sound (a late start, a cell without the
    // track): kept, however long. The encoder would take a jump of more than
    // ten seconds for a break in the times and close it up, bringing the
    // track's sound early from there on.
    if (streams.mapStreams && streams.audioStreamId >= 0)
        in << QStringLiteral("-dts_delta_threshold") << QStringLiteral("86400");
    // A copied track's header is the track's own, which the encoder learns
    // from its first frame: a track whose sound starts late is looked for up
    // to half a minute into the title rather than the first five seconds.
    // The encoder holds what it reads meanwhile (a program stream may always
    // bring new streams, so it reads that far every time): at most 40 MB.
    if (streams.mapStreams && streams.audioStreamId >= 0 && audioCopied)
        in << QStringLiteral("-analyzeduration") << QStringLiteral("30000000") << QStringLiteral("-probesize")
           << QStringLiteral("40000000");
    const int lines = streams.picture.height() <= 288 ? 2 * streams.picture.height() : streams.picture.height();
    const QSize screen(720, lines);
    const bool scaledSubtitles = streams.mapStreams && streams.subtitleStreamId >= 0 && streams.picture.isValid() &&
                                 screen != streams.picture;
    if (scaledSubtitles)
        in << QStringLiteral("-canvas_size") << QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height());
    in << QStringLiteral("-f") << QStringLiteral("mpeg") << QStringLiteral("-i") << QStringLiteral("pipe:0");
    const bool chapters = streams.mapStreams && !streams.chaptersFile.isEmpty();
    if (chapters)
        in << QStringLiteral("-f") << QStringLiteral("ffmetadata") << QStringLiteral("-i") << streams.chaptersFile;
    // The streams, right after the inputs.
    if (streams.mapStreams) {
        QStringList filters;
        if (streams.detelecine)
            filters << QStringLiteral("fieldmatch=combmatch=full")
                    << QStringLiteral("bwdif=mode=send_frame:deint=interlaced") << QStringLiteral("decimate");
        else if (streams.deinterlace)
            filters << QStringLiteral("bwdif=mode=send_frame:deint=interlaced");
        // Film's frames go on the film's own grid: a stretch of 29.97 video
        // in it loses one frame in five at its own times, so its picture
        // keeps to its sound (the output rate alone drops a frame only once
        // the picture is a frame behind).
        if (streams.film && !streams.detelecine)
            filters << QStringLiteral("fps=24000/1001");
        // FLV, SWF and RM hold no pixel shape, and a disc's pixels are not
        // square: a picture of the disc's own size would play squeezed or
        // stretched. It is made square-pixelled, keeping its height.
        const qsizetype videoCodec = a.indexOf(QStringLiteral("-vcodec"));
        const bool squared =
            videoCodec >= 0 && a.value(videoCodec + 1) != QStringLiteral("copy") && !a.contains(QStringLiteral("-s")) &&
            !a.contains(QStringLiteral("-aspect")) &&
            QStringList{QStringLiteral("flv"), QStringLiteral("swf"), QStringLiteral("rm")}.contains(extension);
        const QString square = QStringLiteral("scale=trunc(iw*sar/2)*2:ih,setsar=1");
        QString graph;
        if (streams.subtitleStreamId >= 0) {
            // The subtitles come as a picture of the frame's size, handed on
            // again whenever the overlay has none ahead of the frame it
            // draws on; made ready for the overlay here, pixel for pixel,
            // rather than by the encoder's own converter, which filters each
            // one and costs several times as much.
            // Drawn on the whole screen, they are brought to a smaller
            // picture's size.
            const QString size =
                scaledSubtitles ? QStringLiteral("%1:%2:").arg(streams.picture.width()).arg(streams.picture.height())
                                : QString();
            graph = QStringLiteral("[0:i:0x%1]scale=%2flags=neighbor,format=yuva420p[subtitles];")
                        .arg(streams.subtitleStreamId, 2, 16, QLatin1Char('0'))
                        .arg(size);
            // The picture is held back about a second before they are drawn
            // on it, so the subtitle stream has been read that far ahead: a
            // subtitle picture is made about once a second rather than every
            // few frames, and a subtitle's packet has been read by the time
            // the frame it starts on is drawn. What holds the picture back is
            // a 2x2 corner of every eighth frame stamped a second early and
            // laid outside the picture; the held frames are the decoder's
            // own, not copies.
            filters << QStringLiteral("split[plain][ahead];[ahead]framestep=8,setpts=PTS-1/TB,crop=2:2:0:0,"
                                      "format=yuva420p[mark];[plain][mark]overlay=x=W:y=H:eof_action=pass");
            graph += QStringLiteral("[0:v:0]") + filters.join(QLatin1Char(',')) +
                     QStringLiteral("[held];[held][subtitles]overlay=eof_action=pass") +
                     (squared ? QLatin1Char(',') + square : QString()) + QStringLiteral("[video]");
        } else if (!filters.isEmpty() || squared) {
            if (squared)
                filters << square;
            graph = QStringLiteral("[0:v:0]") + filters.join(QLatin1Char(',')) + QStringLiteral("[video]");
        }
        if (graph.isEmpty())
            in << QStringLiteral("-map") << QStringLiteral("0:v:0");
        else
            in << QStringLiteral("-filter_complex") << graph << QStringLiteral("-map") << QStringLiteral("[video]");
        if (streams.audioStreamId >= 0) {
            in << QStringLiteral("-map")
               << QStringLiteral("0:i:0x%1").arg(streams.audioStreamId, 2, 16, QLatin1Char('0'));
            if (!streams.audioLanguage.isEmpty())
                in << QStringLiteral("-metadata:s:a:0") << QStringLiteral("language=") + streams.audioLanguage;
            if (streams.audioChannels > 0)
                in << QStringLiteral("-ac") << QString::number(streams.audioChannels);
            if (streams.audioRate > 0)
                in << QStringLiteral("-ar") << QString::number(streams.audioRate);
            // Where a cell's sound ends before its picture the disc has a
            // silence, which the encoder would close up, bringing the sound
            // of every later cell early: a gap (or an overlap) of more than
            // 50 ms is filled (or trimmed) so the sound keeps to the picture.
            // Less is left alone: the encoder's reading of a disc's sound
            // puts a frame here and there one frame (32 ms) off its time.
            // A track whose sound starts late is silent up to it. A copied
            // track is left as it is.
            if (soundEncoded)
                in << QStringLiteral("-af") << QStringLiteral("aresample=async=1:min_hard_comp=0.05:first_pts=0");
        }
        if (chapters)
            in << QStringLiteral("-map_chapters") << QStringLiteral("1");
        if (streams.film)
            in << QStringLiteral("-r") << QStringLiteral("24000/1001");
    }
    if (streams.encoderThreads > 0)
        in << QStringLiteral("-threads") << QString::number(streams.encoderThreads);
    a.remove(input, 2);
    for (qsizetype k = 0; k < in.size(); ++k)
        a.insert(input + k, in.at(k));
    // The quoted arguments after the input move with it; a chapters file is
    // a path, shown quoted as the others are.
    QList<int> quoted;
    for (const int position : std::as_const(result.quoted)) {
        if (position < input)
            quoted << position;
        else if (position > input + 1)
            quoted << position + static_cast<int>(in.size()) - 2;
    }
    if (chapters)
        quoted << static_cast<int>(input + in.indexOf(streams.chaptersFile));
    std::sort(quoted.begin(), quoted.end());
    result.quoted = quoted;
    return result;
}

bool SoundEncoded(const QStringList &arguments)
{
    const qsizetype codec = arguments.indexOf(QStringLiteral("-acodec"));
    return codec >= 0 && arguments.value(codec + 1) != QStringLiteral("copy");
}

QString NumberedOutputPath(const QString &path, int n, PathStyle style)
{
    const QString name = PathFileName(path, style);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype at = path.size() - name.size() + (dot < 0 ? name.size() : dot);
    return path.left(at) + QStringLiteral(" (%1)").arg(n) + path.mid(at);
}

QString TitleLengthText(qint64 ms)
{
    // The whole seconds reached, as a player counts them: a title under ten
    // seconds, listed unticked, never reads as ten.
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

namespace {

// A language as the program names it: its Japanese name (empty: none known)
// and its three-letter bibliographic code (ISO 639-2/B), which every
// container takes.
struct Language {
    const char16_t *name;
    const char *code3;
};

const Language *FindLanguage(const QString &code)
{
    static const QHash<QString, Language> languages{
        {QStringLiteral("ja"), {u"日本語", "jpn"}},     {QStringLiteral("en"), {u"英語", "eng"}},
        {QStringLiteral("fr"), {u"フランス語", "fre"}}, {QStringLiteral("de"), {u"ドイツ語", "ger"}},
        {QStringLiteral("es"), {u"スペイン語", "spa"}}, {QStringLiteral("it"), {u"イタリア語", "ita"}},
        {QStringLiteral("zh"), {u"中国語", "chi"}},     {QStringLiteral("ko"), {u"韓国語", "kor"}},
        {QStringLiteral("pt"), {u"ポルトガル語", "por"}}, {QStringLiteral("ru"), {u"ロシア語", "rus"}},
        {QStringLiteral("nl"), {u"オランダ語", "dut"}}, {QStringLiteral("sv"), {u"スウェーデン語", "swe"}},
        {QStringLiteral("th"), {u"タイ語", "tha"}},     {QStringLiteral("pl"), {u"ポーランド語", "pol"}},
        {QStringLiteral("da"), {u"", "dan"}},           {QStringLiteral("fi"), {u"", "fin"}},
        {QStringLiteral("no"), {u"", "nor"}},           {QStringLiteral("el"), {u"", "gre"}},
        {QStringLiteral("hu"), {u"", "hun"}},           {QStringLiteral("cs"), {u"", "cze"}},
        {QStringLiteral("tr"), {u"", "tur"}},           {QStringLiteral("he"), {u"", "heb"}},
        {QStringLiteral("ar"), {u"", "ara"}},           {QStringLiteral("hi"), {u"", "hin"}},
    };
    const auto found = languages.constFind(code.toLower());
    return found == languages.constEnd() ? nullptr : &found.value();
}

} // namespace

QString LanguageName(const QString &code)
{
    const QString key = code.toLower();
    if (key.isEmpty())
        return QStringLiteral("言語不明");
    const Language *language = FindLanguage(key);
    return language && *language->name ? QString::fromUtf16(language->name) : key;
}

QString LanguageCode3(const QString &code)
{
    const Language *language = FindLanguage(code);
    return language ? QString::fromLatin1(language->code3) : QString();
}

QString AudioTrackText(const DiscAudioTrack &track)
{
    const QString channels = track.channels == 6   ? QStringLiteral("5.1ch")
                             : track.channels == 8 ? QStringLiteral("7.1ch")
                                                   : QStringLiteral("%1ch").arg(track.channels);
    return LanguageName(track.language) + QLatin1Char(' ') + track.codec + QLatin1Char(' ') + channels;
}

int DefaultAudioTrack(const DiscTitle &title)
{
    // The first Japanese track, else the first: among the tracks the title
    // was seen to carry where any was seen, for its tables may declare one
    // it never carries.
    const auto first = [&title](bool heardOnly) {
        int any = -1;
        for (int i = 0; i < int(title.audio.size()); ++i) {
            if (heardOnly && !title.soundStreams.contains(title.audio.at(i).streamId))
                continue;
            if (title.audio.at(i).language.compare(QLatin1String("ja"), Qt::CaseInsensitive) == 0)
                return i;
            if (any < 0)
                any = i;
        }
        return any;
    };
    const int heard = title.soundStreams.isEmpty() ? -1 : first(true);
    return heard >= 0 ? heard : first(false);
}

QString TitleRowText(const DiscTitle &title, int audioTrack)
{
    const QString audio = audioTrack >= 0 && audioTrack < title.audio.size()
                              ? AudioTrackText(title.audio.at(audioTrack))
                              : QStringLiteral("音声なし");
    QString text = QStringLiteral("T%1 %2 %3")
                       .arg(title.number, 2, 10, QLatin1Char('0'))
                       .arg(TitleLengthText(title.durationMs), audio);
    if (title.angles > 1)
        text += QStringLiteral(" アングル×%1").arg(title.angles);
    if (title.repeat == TitleRepeat::SameAs)
        text += QStringLiteral(" (T%1 と同じ)").arg(title.sameAsTitle, 2, 10, QLatin1Char('0'));
    else if (title.repeat == TitleRepeat::PlayAll)
        text += QStringLiteral(" (まとめて再生)");
    return text;
}

bool TitleTickedWhenListed(const DiscTitle &title)
{
    return title.durationMs >= kShortTitleMs && title.repeat == TitleRepeat::None;
}

QString TitleOutputPath(const QString &discName, int titleNumber, const ConversionSettings &settings, PathStyle style)
{
    const QString number = QStringLiteral("_%1").arg(titleNumber, 2, 10, QLatin1Char('0'));
    QString disc = discName;
    for (;;) {
        const QString path = BuildOutputPath(disc + number + QStringLiteral(".VOB"), settings, style);
        if (PathFileName(path, style).toUtf8().size() <= kMaxFileNameBytes || disc.size() <= 1)
            return path;
        // A character off the end, never half of a pair.
        disc.chop(disc.size() >= 2 && disc.back().isLowSurrogate() ? 2 : 1);
    }
}

QString TitleLabelText(const DiscTitle &title, const QString &outputPath, PathStyle style)
{
    return QStringLiteral("T%1 (%2) -> %3")
        .arg(title.number, 2, 10, QLatin1Char('0'))
        .arg(TitleLengthText(title.durationMs), PathFileName(outputPath, style));
}

} // namespace zento
