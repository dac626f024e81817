#include "convert/pipe_feed.h"

#include "convert/title_streams.h"
#include "disc/continuous_times.h"
#include "disc/nav_pack.h"
#include "disc/pack_packets.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace zento {

namespace {

constexpr int kPollMs = 50;       // how long a wait for the reader lasts before the stop is looked at
constexpr int kStopWaitMs = 500;  // how long a stop waits for a read in progress
constexpr int kChunkBlocks = 128; // a read: 256 KiB of a disc
constexpr qint64 kChunkBytes = qint64(kChunkBlocks) * DiscTitleReader::kBlockSize;
// Subpictures are handed on this far ahead of the picture they are muxed
// among (about a second of a disc), see DiscTitleInput.
constexpr qint64 kAheadBytes = 512 * DiscTitleReader::kBlockSize;

class FilePartsInput : public InputFeed {
public:
    explicit FilePartsInput(const QStringList &parts) : parts_(parts)
    {
        for (const QString &part : parts_)
            total_ += QFileInfo(part).size();
    }
    qint64 TotalBytes() const override { return total_; }
    bool Open(QString &error) override { return Next(error); }
    qint64 Read(char *buffer, qint64 size) override
    {
        while (file_.isOpen()) {
            const qint64 count = file_.read(buffer, size);
            if (count > 0)
                return count;
            if (count < 0)
                return -1;
            QString error;
            if (!Next(error))
                return -1;
        }
        return 0;
    }

private:
    // Opens the next part; true at the end as well (nothing open then).
    bool Next(QString &error)
    {
        file_.close();
        if (next_ >= parts_.size())
            return true;
        file_.setFileName(parts_.at(next_++));
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            error = file_.errorString();
            return false;
        }
        return true;
    }

    QStringList parts_;
    qint64 total_ = 0;
    qsizetype next_ = 0;
    QFile file_;
};

class DiscTitleInput : public InputFeed {
public:
    DiscTitleInput(const QString &source, const DiscTitle &title, int angle, qint64 startBlock, bool soundEncoded)
        : source_(source), title_(title), angle_(angle), startBlock_(startBlock), soundEncoded_(soundEncoded)
    {
    }
    qint64 TotalBytes() const override
    {
        return (title_.BlockCount(angle_) + title_.subtitles.size()) * DiscTitleReader::kBlockSize;
    }
    bool Open(QString &error) override
    {
        disc_ = DvdDisc::Open(source_, &error);
        if (!disc_)
            return false;
        reader_ = disc_->OpenTitle(title_, angle_);
        if (reader_)
            reader_->StopWhen(&interrupted_);
        if (!reader_ || (startBlock_ > 0 && !reader_->SeekBlock(startBlock_))) {
            error = QStringLiteral("タイトル %1 を開けません。").arg(title_.number);
            return false;
        }
        return true;
    }
    qint64 Read(char *buffer, qint64 size) override
    {
        if (!started_ && !Start())
            return -1;
        if (title_.subtitles.isEmpty()) {
            if (const qint64 count = TakeQueued(buffer, size, 0))
                return count;
            return ReadBlocks(buffer, size);
        }
        // The encoder draws a subtitle only once it has read its packet.
        // Meanwhile each video packet it reads stamps "no subtitle" up to that
        // packet's time, and the disc muxes video up to half a second ahead
        // of the subtitles shown with it: a subtitle would come up late. So
        // the picture is held back by a window, and the subpicture packs read
        // into it are handed on at once, ahead of it.
        while (!sourceDone_ && ahead_.isEmpty() && held_.size() - heldAt_ < kAheadBytes + size) {
            if (chunk_.isEmpty())
                chunk_.resize(kChunkBytes);
            const qint64 count = ReadBlocks(chunk_.data(), chunk_.size());
            if (count <= 0) {
                sourceDone_ = true;
                sourceResult_ = count;
                break;
            }
            Sort(chunk_.constData(), count);
        }
        const qint64 count = TakeQueued(buffer, size, sourceDone_ ? 0 : kAheadBytes);
        return count > 0 ? count : sourceResult_;
    }
    qint64 SkippedBlocks() const override { return reader_ ? reader_->SkippedBlocks() : 0; }
    bool SourceEnded() const override { return reader_ && reader_->SourceEnded(); }
    void Interrupt() override { interrupted_ = true; }

private:
    qint64 ReadBlocks(char *buffer, qint64 size)
    {
        const int blocks = static_cast<int>(qMin<qint64>(size / DiscTitleReader::kBlockSize, kChunkBlocks));
        const int count = reader_->Read(reinterpret_cast<unsigned char *>(buffer), blocks);
        if (count < 0)
            return -1;
        const qint64 bytes = qint64(count) * DiscTitleReader::kBlockSize;
        times_.Apply(reinterpret_cast<unsigned char *>(buffer), bytes);
        return bytes;
    }

    // The head of the title: one pack for each subtitle stream, and one for
    // each audio track with no sound in the first blocks, so the encoder
    // knows every stream from the start however late it comes, or if it
    // never comes, stamped with the title's first time; then the first
    // blocks read.
    bool Start()
    {
        started_ = true;
        QByteArray first(kChunkBytes, Qt::Uninitialized);
        const qint64 count = ReadBlocks(first.data(), first.size());
        if (count < 0)
            return false;
        const quint32 pts =
            NavPackStartTime(reinterpret_cast<const unsigned char *>(first.constData()), count).value_or(0);
        for (const DiscSubtitleTrack &track : title_.subtitles)
            ahead_ += EmptySubtitlePack(track.streamId, pts);
        const QList<int> heard = AudioStreamsIn(first.constData(), count);
        for (const DiscAudioTrack &track : title_.audio)
            if (!heard.contains(track.streamId))
                ahead_ += StandInAudioPack(track, pts, soundEncoded_);
        Sort(first.constData(), count);
        return true;
    }

    // What is queued, the packs ahead first, then the held blocks but the
    // last `window` bytes; 0 when nothing is ready.
    qint64 TakeQueued(char *buffer, qint64 size, qint64 window)
    {
        if (!ahead_.isEmpty()) {
            const qint64 count = qMin<qint64>(size, ahead_.size());
            std::memcpy(buffer, ahead_.constData(), static_cast<size_t>(count));
            ahead_.remove(0, count);
            return count;
        }
        const qint64 ready = held_.size() - heldAt_ - window;
        if (ready <= 0)
            return 0;
        const qint64 count = qMin(size, ready);
        std::memcpy(buffer, held_.constData() + heldAt_, static_cast<size_t>(count));
        heldAt_ += count;
        if (heldAt_ >= kAheadBytes || heldAt_ == held_.size()) { // handed on goes now and then, not at every read
            held_.remove(0, heldAt_);
            heldAt_ = 0;
        }
        return count;
    }

    // Whole blocks read: the subpicture packs go ahead, the rest is held.
    // The title's first unit goes on as the disc has it, subpictures among
    // the picture: the encoder takes up the subtitles it reads before its
    // first picture all at once, each one showing until the next, however
    // short its own time. A unit holds whole groups of pictures, so the
    // first pictures are known from its end; a title that shows no second
    // unit goes on as it is for a window's length.
    void Sort(const char *blocks, qint64 size)
    {
        for (qint64 at = 0; at + DiscTitleReader::kBlockSize <= size; at += DiscTitleReader::kBlockSize) {
            const char *block = blocks + at;
            if (headLeft_ > 0 &&
                NavPackStartTime(reinterpret_cast<const unsigned char *>(block), DiscTitleReader::kBlockSize) &&
                ++headUnits_ > 1)
                headLeft_ = 0;
            const bool head = headLeft_ > 0;
            headLeft_ -= DiscTitleReader::kBlockSize;
            (head || IsSubpicturePack(block) ? ahead_ : held_).append(block, DiscTitleReader::kBlockSize);
        }
    }

    QString source_;
    DiscTitle title_;
    int angle_;
    qint64 startBlock_;
    bool soundEncoded_;
    std::unique_ptr<DvdDisc> disc_;
    std::unique_ptr<DiscTitleReader> reader_;
    ContinuousTimes times_; // the title's times run on across its joins
    bool started_ = false;
    QByteArray chunk_;         // what is read next
    QByteArray ahead_;         // subpicture packs, handed on first
    QByteArray held_;          // the rest, a window behind what is read
    qsizetype heldAt_ = 0;     // how much of held_ was handed on
    qint64 headLeft_ = kAheadBytes; // of the head, which goes on in the disc's order
    int headUnits_ = 0;             // the units met in it
    bool sourceDone_ = false;  // the reader gave its last: the end, or -1
    qint64 sourceResult_ = 0;
    std::atomic<bool> interrupted_{false};
};

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

std::unique_ptr<InputFeed> FilePartsFeed(const QStringList &parts)
{
    return std::make_unique<FilePartsInput>(parts);
}

std::unique_ptr<InputFeed> DiscTitleFeed(const QString &discSource, const DiscTitle &title, int angle,
                                         qint64 startBlock, bool soundEncoded)
{
    return std::make_unique<DiscTitleInput>(discSource, title, angle, startBlock, soundEncoded);
}

struct PipeFeeder::State {
    std::unique_ptr<InputFeed> feed;
    qint64 limit = -1;
    int writeFd = -1;
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};
    std::atomic<bool> complete{false};
    std::atomic<qint64> fed{0};
    std::atomic<qint64> skipped{0};
    std::atomic<bool> ended{false};
    QString failure; // written by the thread before failed is set
    // The thread has let go of the feed and the pipe.
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

PipeFeeder::PipeFeeder(std::unique_ptr<InputFeed> feed, qint64 limitBytes)
    : state_(std::make_shared<State>()), total_(feed ? feed->TotalBytes() : 0)
{
    state_->feed = std::move(feed);
    state_->limit = limitBytes;
    if (limitBytes >= 0)
        total_ = qMin(total_, limitBytes);
}

PipeFeeder::~PipeFeeder()
{
    Stop();
    CloseFd(readFd_);
}

bool PipeFeeder::Start()
{
    // A reader that went makes a write fail with EPIPE; the signal that comes
    // with it would end the program.
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (!state_->feed || thread_.joinable() || ::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readFd_ = fds[0];
    state_->writeFd = fds[1];
    // The thread waits for room with poll, never in a write.
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([state = state_] { Feed(state); });
    return true;
}

void PipeFeeder::ChildStarted()
{
    CloseFd(readFd_);
}

void PipeFeeder::Stop()
{
    State &state = *state_;
    state.stop = true;
    if (!thread_.joinable())
        return;
    // A read that does not come back within the wait is stuck in the system
    // (a drive retrying a damaged block for minutes): the thread ends by
    // itself when it does, and closes the pipe then.
    bool done;
    {
        std::unique_lock lock(state.mutex);
        if (!state.done)
            state.feed->Interrupt();
        done = state.finished.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [&state] { return state.done; });
    }
    if (done)
        thread_.join();
    else
        thread_.detach();
}

QString PipeFeeder::FailureText() const
{
    return state_->failed ? state_->failure : QString();
}

qint64 PipeFeeder::FedBytes() const
{
    return state_->fed.load();
}
bool PipeFeeder::SourceFailed() const
{
    return state_->failed.load();
}
qint64 PipeFeeder::SkippedBlocks() const
{
    return state_->skipped.load();
}
bool PipeFeeder::SourceEnded() const
{
    return state_->ended.load();
}
bool PipeFeeder::Complete() const
{
    return state_->complete.load();
}

bool PipeFeeder::WriteAll(State &state, const char *data, qint64 size)
{
    while (size > 0) {
        if (state.stop)
            return false;
        const ssize_t written = ::write(state.writeFd, data, static_cast<size_t>(size));
        if (written > 0) {
            data += written;
            size -= written;
            state.fed += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return false; // EPIPE: the reader has gone
        pollfd wait{state.writeFd, POLLOUT, 0};
        if (::poll(&wait, 1, kPollMs) > 0 && (wait.revents & (POLLERR | POLLHUP)) && !(wait.revents & POLLOUT))
            return false;
    }
    return true;
}

void PipeFeeder::Feed(const std::shared_ptr<State> &shared)
{
    State &state = *shared;
    QString error;
    if (!state.feed->Open(error)) {
        state.failure = error;
        state.failed = true;
    } else {
        std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
        qint64 left = state.limit;
        while (!state.stop) {
            const qint64 want = left >= 0 ? qMin(left, kChunkBytes) : kChunkBytes;
            const qint64 count = want > 0 ? state.feed->Read(buffer.get(), want) : 0;
            state.skipped = state.feed->SkippedBlocks();
            if (state.stop)
                break; // an interrupted read says nothing of the source
            if (count < 0) {
                state.failure = QStringLiteral("入力元を読めなくなりました。");
                state.failed = true;
                break;
            }
            if (count == 0) {
                state.ended = state.feed->SourceEnded();
                state.complete = true;
                break;
            }
            if (!WriteAll(state, buffer.get(), count))
                break;
            if (left >= 0)
                left -= count;
        }
    }
    // The encoder sees the end of its input now, and the source is let go
    // here, on this thread, whether or not the feeder still waits for it.
    std::lock_guard lock(state.mutex);
    CloseFd(state.writeFd);
    state.feed.reset();
    state.done = true;
    state.finished.notify_all();
}

} // namespace zento
