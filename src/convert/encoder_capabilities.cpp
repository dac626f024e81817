#include "convert/encoder_capabilities.h"

#include "convert/encoder_process.h"

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <array>

namespace zento {

namespace {

// Names retired in today's encoder and the ones that do their work now.
struct CodecSuccessorRow {
    const char *retired;
    const char *successor;
};
constexpr CodecSuccessorRow kCodecSuccessors[] = {
    {"libfaac", "aac"}, {"vorbis", "libvorbis"}, // still listed, but only as an experimental encoder
};

// The output extensions of the container rows (and the title files' own):
// the format the encoder picks for each by itself, and the one to name
// instead where it picks none.
struct ExtensionRow {
    const char *extension;
    const char *format;
    const char *successor;
};
constexpr ExtensionRow kExtensions[] = {
    {".avi", "avi", ""}, {".mpg", "mpeg", ""}, {".m2p", "", "vob"}, {".mp4", "mp4", ""}, {".3gp", "3gp", ""},
    {".wmv", "asf", ""}, {".asf", "asf", ""},  {".mov", "mov", ""}, {".rm", "rm", ""},   {".ogm", "", "ogg"},
    {".flv", "flv", ""}, {".swf", "swf", ""},  {".vob", "vob", ""},
};

const ExtensionRow *FindExtension(const QString &extension)
{
    const QString wanted = extension.toLower();
    for (const ExtensionRow &row : kExtensions)
        if (wanted == QLatin1String(row.extension))
            return &row;
    return nullptr;
}

// A listing's lines as their first two words (flags and name), split at
// spaces and tabs; names are plain ASCII. Lines with fewer words are left out.
QList<QPair<QString, QString>> ListingEntries(const QByteArray &listing)
{
    QList<QPair<QString, QString>> entries;
    for (const QByteArray &line : listing.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2)
            entries.append({QString::fromLatin1(words.at(0)), QString::fromLatin1(words.at(1))});
    }
    return entries;
}

// A listing larger than this is no listing: the run is stopped.
constexpr qsizetype kMaxListingBytes = 1 << 20;

// An option and its value put right before the output, the last argument;
// the quoted positions at and after it move with it.
void InsertBeforeOutput(EncoderCommand &command, const QString &option, const QString &value)
{
    const qsizetype output = command.arguments.size() - 1;
    command.arguments.insert(output, value);
    command.arguments.insert(output, option);
    for (int &position : command.quoted)
        if (position >= output)
            position += 2;
}

} // namespace

QSet<QString> ParseEncoderList(const QByteArray &listing)
{
    // " V....D libx264   description": six flag columns (kind first, "X" in
    // the fourth for experimental), then the name. The legend's lines have
    // "=" where the name stands.
    const auto isFlags = [](const QString &flags) {
        if (flags.size() != 6 || !QStringLiteral("VAS").contains(flags.at(0)))
            return false;
        return std::all_of(flags.begin() + 1, flags.end(), [](QChar c) {
            return c == QLatin1Char('.') || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        });
    };
    QSet<QString> names;
    for (const auto &[flags, name] : ListingEntries(listing)) {
        if (!isFlags(flags) || name == QLatin1String("=") || flags.at(3) == QLatin1Char('X'))
            continue;
        names.insert(name);
    }
    return names;
}

QSet<QString> ParseMuxerList(const QByteArray &listing)
{
    // "  E avi   description", "  E sdl,sdl2 description"; a device flag may
    // follow the muxing flag, and a demuxing flag go before it.
    const auto isFlags = [](const QString &flags) {
        const qsizetype e = flags.indexOf(QLatin1Char('E'));
        if (e < 0 || e > 1 || flags.size() - e > 2)
            return false;
        if (e == 1 && flags.at(0) != QLatin1Char('D') && flags.at(0) != QLatin1Char('.'))
            return false;
        return flags.size() == e + 1 || flags.at(e + 1) == QLatin1Char('d') || flags.at(e + 1) == QLatin1Char('.');
    };
    QSet<QString> names;
    for (const auto &[flags, name] : ListingEntries(listing)) {
        if (!isFlags(flags) || name == QLatin1String("="))
            continue;
        for (const QString &each : name.split(QLatin1Char(','), Qt::SkipEmptyParts))
            names.insert(each);
    }
    return names;
}

bool EncoderCapabilities::HasEncoder(const QString &name) const
{
    return encoders_ && encoders_->contains(name);
}

bool EncoderCapabilities::HasMuxer(const QString &name) const
{
    return muxers_ && muxers_->contains(name);
}

QString CodecSuccessor(const QString &encoderName)
{
    for (const CodecSuccessorRow &row : kCodecSuccessors)
        if (encoderName == QLatin1String(row.retired))
            return QString::fromLatin1(row.successor);
    return QString();
}

QString FormatOfExtension(const QString &extension)
{
    const ExtensionRow *row = FindExtension(extension);
    return row ? QString::fromLatin1(row->format) : QString();
}

QString FormatSuccessor(const QString &extension)
{
    const ExtensionRow *row = FindExtension(extension);
    return row ? QString::fromLatin1(row->successor) : QString();
}

bool IsKnownExtension(const QString &extension)
{
    return FindExtension(extension) != nullptr;
}

QString UsableEncoderName(const QString &encoderName, const EncoderCapabilities &capabilities)
{
    if (!capabilities.LacksEncoder(encoderName))
        return encoderName;
    const QString successor = CodecSuccessor(encoderName);
    return !successor.isEmpty() && capabilities.HasEncoder(successor) ? successor : encoderName;
}

QString OutputFormatFor(const QString &extension, const EncoderCapabilities &capabilities)
{
    if (!capabilities.KnowsMuxers() || !IsKnownExtension(extension))
        return QString();
    const QString own = FormatOfExtension(extension);
    if (!own.isEmpty() && capabilities.HasMuxer(own))
        return QString();
    const QString successor = FormatSuccessor(extension);
    return !successor.isEmpty() && capabilities.HasMuxer(successor) ? successor : QString();
}

EncoderCommand ApplyEncoderSuccessors(const EncoderCommand &command, const EncoderCapabilities &capabilities)
{
    EncoderCommand result = command;
    QStringList &a = result.arguments;
    if (a.size() < 3)
        return result;
    // Options come after the source ("-i" and its path) and before the output,
    // the last argument.
    const qsizetype output = a.size() - 1;
    for (qsizetype i = 2; i + 1 < output; ++i) {
        if (a.at(i) != QLatin1String("-vcodec") && a.at(i) != QLatin1String("-acodec"))
            continue;
        ++i;
        if (a.at(i) != QLatin1String("copy"))
            a[i] = UsableEncoderName(a.at(i), capabilities);
    }
    const QString extension = OutputExtension(command);
    const QString format =
        extension.isEmpty() ? QString() : OutputFormatFor(QLatin1Char('.') + extension, capabilities);
    if (!format.isEmpty())
        InsertBeforeOutput(result, QStringLiteral("-f"), format);
    return result;
}

int MostSoundChannels(const QString &codec)
{
    for (const char *name : {"g726", "libgsm", "libgsm_ms"})
        if (codec.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return 1;
    for (const char *name : {"wmav1", "wmav2", "adpcm_adx", "roq_dpcm", "sonic", "sonicls"})
        if (codec.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return 2;
    return 0;
}

QList<int> SoundRatesTaken(const QString &codec, const QString &container)
{
    const auto is = [](const QString &text, const char *name) {
        return text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is(codec, "g726") || is(codec, "libgsm") || is(codec, "libgsm_ms"))
        return {8000};
    if (is(codec, "roq_dpcm"))
        return {22050};
    if (is(codec, "adpcm_swf") || is(container, "swf"))
        return {44100, 22050, 11025};
    if (is(codec, "wmav1") || is(codec, "wmav2"))
        return {48000, 44100, 32000, 22050, 16000, 11025, 8000};
    return {};
}

EncoderCommand FitSoundToEncoder(const EncoderCommand &command)
{
    EncoderCommand result = command;
    const QStringList &a = result.arguments;
    const qsizetype at = a.indexOf(QStringLiteral("-acodec"));
    const QString codec = at < 0 ? QString() : a.value(at + 1);
    if (codec.isEmpty() || codec == QLatin1String("copy") || a.contains(QStringLiteral("-an")) ||
        a.contains(QStringLiteral("-af")))
        return result;
    QStringList formats;
    const int most = a.contains(QStringLiteral("-ac")) ? 0 : MostSoundChannels(codec);
    if (most > 0)
        formats << (most == 1 ? QStringLiteral("channel_layouts=mono") : QStringLiteral("channel_layouts=mono|stereo"));
    const QList<int> rates =
        a.contains(QStringLiteral("-ar")) ? QList<int>() : SoundRatesTaken(codec, OutputExtension(command));
    if (!rates.isEmpty()) {
        QStringList texts;
        for (int rate : rates)
            texts << QString::number(rate);
        formats << QStringLiteral("sample_rates=") + texts.join(QLatin1Char('|'));
    }
    if (!formats.isEmpty())
        InsertBeforeOutput(result, QStringLiteral("-af"), QStringLiteral("aformat=") + formats.join(QLatin1Char(':')));
    return result;
}

bool IsRowUnavailable(Catalogue catalogue, int index, const QString &row, const EncoderCapabilities &capabilities)
{
    const QString id = CatalogueRowId(row);
    if (index <= 0 || id.isEmpty())
        return false;
    const QString name = EncoderName(id);
    if (catalogue == Catalogue::Containers) {
        const QString extension = QLatin1Char('.') + name;
        if (!capabilities.KnowsMuxers() || !IsKnownExtension(extension))
            return false;
        const QString own = FormatOfExtension(extension);
        const QString successor = FormatSuccessor(extension);
        return !(!own.isEmpty() && capabilities.HasMuxer(own)) &&
               !(!successor.isEmpty() && capabilities.HasMuxer(successor));
    }
    if (!capabilities.LacksEncoder(name))
        return false;
    const QString successor = CodecSuccessor(name);
    return successor.isEmpty() || !capabilities.HasEncoder(successor);
}

// --- EncoderQuery -------------------------------------------------------------

namespace {

// One of the two runs and what it printed.
struct ListingRun {
    QProcess process;
    QByteArray output;
    bool done = false;
    bool ok = false;
};

} // namespace

struct EncoderQuery::Private {
    int timeLimitMs = 3000;
    std::array<ListingRun, 2> runs; // encoders, muxers
    QTimer limit;
    QElapsedTimer clock;
    Done done;
    bool started = false;
    bool reported = false;

    void Conclude()
    {
        if (reported || !std::all_of(runs.begin(), runs.end(), [](const ListingRun &run) { return run.done; }))
            return;
        reported = true;
        limit.stop();
        EncoderCapabilities capabilities;
        if (runs[0].ok)
            if (const QSet<QString> names = ParseEncoderList(runs[0].output); !names.isEmpty())
                capabilities.SetEncoders(names);
        if (runs[1].ok)
            if (const QSet<QString> names = ParseMuxerList(runs[1].output); !names.isEmpty())
                capabilities.SetMuxers(names);
        const Done report = done;
        if (report)
            report(capabilities);
    }

    void StopAll()
    {
        for (ListingRun &run : runs)
            StopProcess(run.process);
    }
};

EncoderQuery::EncoderQuery(int timeLimitMs) : d(std::make_unique<Private>())
{
    d->timeLimitMs = std::max(0, timeLimitMs);
    d->limit.setSingleShot(true);
    QObject::connect(&d->limit, &QTimer::timeout, [this] {
        for (ListingRun &run : d->runs)
            KillProcess(run.process);
    });
}

EncoderQuery::~EncoderQuery()
{
    d->reported = true;
    d->limit.stop();
    for (ListingRun &run : d->runs)
        QObject::disconnect(&run.process, nullptr, nullptr, nullptr);
    d->StopAll();
}

void EncoderQuery::Start(const QString &encoder, Done done)
{
    if (encoder.isEmpty() || d->started)
        return;
    d->started = true;
    d->done = std::move(done);
    const char *const listings[] = {"-encoders", "-muxers"};
    for (std::size_t i = 0; i < d->runs.size(); ++i) {
        ListingRun &run = d->runs[i];
        QProcess &process = run.process;
        EndWithProgram(process);
        process.setProgram(encoder);
        process.setArguments({QStringLiteral("-hide_banner"), QString::fromLatin1(listings[i])});
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [&run] {
            run.output += run.process.readAllStandardOutput();
            if (run.output.size() > kMaxListingBytes)
                KillProcess(run.process);
        });
        QObject::connect(&process, &QProcess::finished, &process, [this, &run](int code, QProcess::ExitStatus status) {
            run.output += run.process.readAllStandardOutput();
            run.ok = status == QProcess::NormalExit && code == 0 && run.output.size() <= kMaxListingBytes;
            run.done = true;
            d->Conclude();
        });
        QObject::connect(&process, &QProcess::errorOccurred, &process, [this, &run](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            run.done = true;
            d->Conclude();
        });
    }
    d->clock.start();
    d->limit.start(d->timeLimitMs);
    for (ListingRun &run : d->runs)
        run.process.start();
}

bool EncoderQuery::IsRunning() const
{
    return d->started && !d->reported;
}

void EncoderQuery::Finish()
{
    if (!IsRunning())
        return;
    for (ListingRun &run : d->runs) {
        if (run.process.state() == QProcess::NotRunning)
            continue;
        const qint64 left = std::max<qint64>(0, d->timeLimitMs - d->clock.elapsed());
        if (!run.process.waitForFinished(static_cast<int>(left)))
            StopProcess(run.process);
    }
    // Whatever has not reported by now never will: its list stays unknown.
    for (ListingRun &run : d->runs)
        run.done = true;
    d->Conclude();
}

bool EncoderQuery::Wait(int ms)
{
    if (!IsRunning())
        return true;
    QElapsedTimer clock;
    clock.start();
    for (ListingRun &run : d->runs) {
        const qint64 left = std::min<qint64>(ms - clock.elapsed(), d->timeLimitMs - d->clock.elapsed());
        if (left <= 0)
            break;
        if (run.process.state() != QProcess::NotRunning)
            run.process.waitForFinished(static_cast<int>(left));
    }
    if (d->clock.elapsed() >= d->timeLimitMs)
        Finish();
    return !IsRunning();
}

EncoderCapabilities EncoderQuery::Ask(const QString &encoder, int timeLimitMs)
{
    EncoderCapabilities answer;
    EncoderQuery query(timeLimitMs);
    query.Start(encoder, [&answer](const EncoderCapabilities &capabilities) { answer = capabilities; });
    query.Finish();
    return answer;
}

} // namespace zento
