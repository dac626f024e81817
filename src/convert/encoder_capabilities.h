#pragma once

#include "convert/command_line.h"
#include "options/catalogue.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace zento {

// The names in the encoder's "-encoders" listing that a run can use: the
// experimental ones are left out, since the command line never allows them.
QSet<QString> ParseEncoderList(const QByteArray &listing);
// The format names in the encoder's "-muxers" listing (a line may name several,
// separated by commas).
QSet<QString> ParseMuxerList(const QByteArray &listing);

// What the installed encoder can write. A list that could not be learnt is
// unknown, and nothing is concluded from it: every name counts as usable.
class EncoderCapabilities {
public:
    void SetEncoders(const QSet<QString> &names) { encoders_ = names; }
    void SetMuxers(const QSet<QString> &names) { muxers_ = names; }
    bool KnowsEncoders() const { return encoders_.has_value(); }
    bool KnowsMuxers() const { return muxers_.has_value(); }
    bool IsKnown() const { return KnowsEncoders() || KnowsMuxers(); }

    // Listed (and usable). False for an unknown list.
    bool HasEncoder(const QString &name) const;
    bool HasMuxer(const QString &name) const;
    // Known not to be there.
    bool LacksEncoder(const QString &name) const { return KnowsEncoders() && !HasEncoder(name); }
    bool LacksMuxer(const QString &name) const { return KnowsMuxers() && !HasMuxer(name); }

private:
    std::optional<QSet<QString>> encoders_;
    std::optional<QSet<QString>> muxers_;
};

// --- successors: names retired in today's encoder, and what took their place --

// The encoder that replaced a retired one ("libfaac" -> "aac"); empty for none.
QString CodecSuccessor(const QString &encoderName);
// The format the encoder picks by itself for an output extension (".wmv" ->
// "asf", case ignored); empty when it picks none or the extension is not ours.
QString FormatOfExtension(const QString &extension);
// The format to name with "-f" for an extension the encoder cannot place by
// itself (".m2p" -> "vob"); empty for none.
QString FormatSuccessor(const QString &extension);
// Whether the extension is one the format table speaks about at all.
bool IsKnownExtension(const QString &extension);

// The codec name a run passes: the name itself, or its successor when the
// encoder lacks the name and has the successor.
QString UsableEncoderName(const QString &encoderName, const EncoderCapabilities &capabilities);
// The "-f" value a run adds for an output with this extension; empty when
// the extension needs none (or nothing is known).
QString OutputFormatFor(const QString &extension, const EncoderCapabilities &capabilities);

// The command with successors in place of what the encoder lacks: codec values
// swapped, "-f <format>" right before the output path. Everything else stays;
// with nothing lacking (or nothing known) the command is returned unchanged.
EncoderCommand ApplyEncoderSuccessors(const EncoderCommand &command, const EncoderCapabilities &capabilities);

// The most channels a sound encoder (a catalogue ID, "WMAV2", or the name
// passed, "wmav2") takes, failing on more rather than mixing them down: 1
// (G.726, GSM), 2 (WMA, ADX, RoQ, Sonic), 0 for no such limit.
int MostSoundChannels(const QString &codec);

// The sample rates a sound encoder (as above) or a container (an ID or an
// extension, "SWF", "swf") takes where it takes only a few, failing on any
// other rather than resampling: G.726 and GSM 8000, RoQ 22050, Flash's ADPCM and the
// SWF container 44100, 22050, 11025, WMA none above 48000 (a disc's 96 kHz
// LPCM). Empty for no such limit.
QList<int> SoundRatesTaken(const QString &codec, const QString &container);

// A file's command whose sound encoder or container takes few channels or
// few rates and which gives no channel count or rate: the sound is handed on
// as it is when it is taken and made into the nearest that is taken where
// the encoder would fail ("-af aformat=...", right before the output path).
// Any other command is returned unchanged.
EncoderCommand FitSoundToEncoder(const EncoderCommand &command);

// Whether row `index` of the catalogue is of no use with this encoder: its
// codec or container is known to be missing and has no successor there. The
// automatic row never is.
bool IsRowUnavailable(Catalogue catalogue, int index, const QString &row, const EncoderCapabilities &capabilities);

// --- asking the encoder ------------------------------------------------------

// Asks the encoder once for its two lists, both runs side by side, each with
// stdin from the null device and a time limit. The answer is reported through
// `done` from the event loop (or from Finish); a run that failed, timed out or
// printed nothing readable leaves its list unknown.
class EncoderQuery {
public:
    using Done = std::function<void(const EncoderCapabilities &)>;
    explicit EncoderQuery(int timeLimitMs = 3000);
    ~EncoderQuery(); // stops what still runs, reports nothing
    EncoderQuery(const EncoderQuery &) = delete;
    EncoderQuery &operator=(const EncoderQuery &) = delete;

    // Starts the two runs; `done` is called once. An empty encoder starts nothing.
    void Start(const QString &encoder, Done done);
    bool IsRunning() const;
    // Waits for what still runs, within the time limit, so the answer is in.
    void Finish();
    // Waits at most ms for the answer (or, sooner, to the time limit, which
    // then ends the question as Finish does); whether the answer is in.
    bool Wait(int ms);

    // The whole question, waited for.
    static EncoderCapabilities Ask(const QString &encoder, int timeLimitMs = 3000);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zento
