#pragma once

#include "disc/dvd_disc.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

namespace zento {

// A source of the bytes the encoder reads from its standard input.
class InputFeed {
public:
    virtual ~InputFeed() = default;
    // How many bytes the whole source holds; known before it is opened.
    virtual qint64 TotalBytes() const = 0;
    // Opens the source (on the feeding thread); false, with the reason, when
    // it cannot be read.
    virtual bool Open(QString &error) = 0;
    // Reads the next bytes; the count read, 0 at the end, -1 when the source
    // stopped answering.
    virtual qint64 Read(char *buffer, qint64 size) = 0;
    // Unreadable blocks passed over so far.
    virtual qint64 SkippedBlocks() const { return 0; }
    // The source ended before its end was due (a cut image).
    virtual bool SourceEnded() const { return false; }
    // Called from another thread: a Read in progress, or the next, returns
    // soon with whatever it has; nothing more is wanted of the source.
    virtual void Interrupt() {}
};

// The parts of a title, one file after the other, in the order given.
std::unique_ptr<InputFeed> FilePartsFeed(const QStringList &parts);

// A title of a disc (a folder, an image, a drive), its blocks in play order
// on one of its angles, from about its startBlock'th block on. soundEncoded:
// the encoder encodes the title's sound rather than copying it, so a track
// that starts late is made known to it with a frame of silence (see
// StandInAudioPack).
std::unique_ptr<InputFeed> DiscTitleFeed(const QString &discSource, const DiscTitle &title, int angle = 1,
                                         qint64 startBlock = 0, bool soundEncoded = false);

// Writes a feed into a pipe on a thread of its own: the encoder reads the
// pipe's other end as its standard input. The thread never blocks for long
// between reads: a stop is noticed within a tenth of a second, and an
// encoder that stops reading (it ended, failed or was cancelled) ends the
// feeding, never the program. A read the system does not return from (a
// drive retrying a damaged block) does not hold up a stop either: the thread
// is left to end by itself, with what it uses.
class PipeFeeder {
public:
    // limitBytes >= 0 feeds at most that many bytes (a thumbnail needs the
    // head of a title only), then ends the input.
    explicit PipeFeeder(std::unique_ptr<InputFeed> feed, qint64 limitBytes = -1);
    ~PipeFeeder();
    PipeFeeder(const PipeFeeder &) = delete;
    PipeFeeder &operator=(const PipeFeeder &) = delete;

    // Makes the pipe and starts the thread; false when no pipe can be made.
    bool Start();
    // The pipe's reading end, for the child's standard input (see
    // FeedStandardInput); -1 before Start and after ChildStarted.
    int ChildFd() const { return readFd_; }
    // The child has its copy of the reading end: the program's goes, so the
    // feeding sees the child's end as the end of the reading.
    void ChildStarted();
    // Stops the feeding and waits for the thread, half a second at the most.
    // Called again: nothing.
    void Stop();

    qint64 TotalBytes() const { return total_; }
    qint64 FedBytes() const;
    // The source stopped answering, or could not be opened.
    bool SourceFailed() const;
    QString FailureText() const;
    qint64 SkippedBlocks() const;
    // The input ended early with its source: the encoder had all there was.
    bool SourceEnded() const;
    // Everything was fed (or the limit reached) and the input closed.
    bool Complete() const;

private:
    // What the thread works with: it outlives the feeder when the thread
    // is left to end by itself.
    struct State;
    static void Feed(const std::shared_ptr<State> &state);
    // Writes all of the bytes unless stopped or the reader went; false then.
    static bool WriteAll(State &state, const char *data, qint64 size);

    std::shared_ptr<State> state_;
    qint64 total_;
    int readFd_ = -1;
    std::thread thread_;
};

} // namespace zento
