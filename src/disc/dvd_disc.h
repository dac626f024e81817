#pragma once

#include <QList>
#include <QMap>
#include <QSize>
#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <memory>

namespace zento {

// One audio track of a title, as the title set's tables describe it.
struct DiscAudioTrack {
    int streamId = 0x80; // as the encoder names it: 0x80.. AC3, 0x88.. DTS, 0xa0.. LPCM, 0x1c0.. MPEG
    QString language;    // two-letter code in lower case ("ja"), empty when the disc names none
    QString codec;       // "AC3", "DTS", "LPCM", "MPEG"
    int channels = 0;
    int sampleRate = 48000; // LPCM: 48000 or 96000
    int bits = 16;          // LPCM: 16, 20 or 24
};

// One subtitle stream of a title.
struct DiscSubtitleTrack {
    int streamId = 0x20; // 0x20..0x3f: the stream of the title's picture format (the wide one on 16:9)
    QString language;
    // What the tables say the stream is for: 5 to 7 captions for the deaf,
    // 9 only the lines that must show, 13 to 15 commentary; 0 or 1 plain.
    int purpose = 0;
};

// Blocks of the title set's title files, first and last included.
struct DiscExtent {
    quint32 first = 0;
    quint32 last = 0;
    bool operator==(const DiscExtent &) const = default;
};

// A run of blocks of the title set's title files, first and last included.
struct DiscCell {
    quint32 firstSector = 0;
    quint32 lastSector = 0;
    // Which cell of the title set it is: the same cell played by two titles
    // has the same pair.
    int vobId = 0;
    int cellId = 0;
    // Its blocks are interleaved with another angle's or cut's: it is read
    // unit by unit as each navigation pack leads, not straight through.
    bool interleaved = false;
    bool operator==(const DiscCell &) const = default;
};

// Why a listed title is better left unconverted.
enum class TitleRepeat {
    None,
    SameAs,  // plays the very cells of an earlier title
    PlayAll, // plays the cells of other titles one after the other
};

// One title of the disc's title table.
struct DiscTitle {
    int number = 0;       // 1.. in the order of the title table
    int titleSet = 0;     // 1..
    int titleInSet = 0;   // 1.., the title's number within its title set
    qint64 durationMs = 0; // the length of the title's program chain
    QList<DiscAudioTrack> audio;
    QList<DiscSubtitleTrack> subtitles;
    QList<qint64> chapterStartsMs; // the start of each program; the first is 0
    std::array<quint32, 16> palette{}; // the program chain's colours, 0x00YYCrCb
    // The coded picture's size (720x480, 352x240, 720x576...), as its
    // pictures say; invalid when not looked at.
    QSize picture;
    QList<DiscCell> cells;             // the blocks in play order, angle 1
    // Each cell's length by the tables (1/30000 s), which count whole frames,
    // and the cell each chapter starts with (an index into `cells`).
    QList<qint64> cellTicks;
    QList<int> chapterCells;
    qint64 BlockCount(int angle = 1) const; // the blocks of all cells of an angle
    // Its angles: 1 without an angle block. Each angle's cells in play order
    // (index 0 is angle 1, the same as `cells`) when there are more.
    int angles = 1;
    QList<QList<DiscCell>> angleCells;
    const QList<DiscCell> &Cells(int angle) const;
    // Another title it repeats: the earlier title with the same cells, or
    // the titles a play-all title strings together.
    TitleRepeat repeat = TitleRepeat::None;
    int sameAsTitle = 0; // the number of the title with the same cells
    // Film coded as such: progressive frames with 3:2 pulldown flags (soft
    // telecine). Found by a look at its pictures, not by ReadInfo.
    bool film = false;
    // Film telecined into the picture itself (hard telecine): 29.97
    // interlaced frames, two in five mixing two film frames. Found by a
    // decoded sample before the title is converted.
    bool hardTelecine = false;
    // The audio streams met in that look (ids as `DiscAudioTrack::streamId`);
    // empty when it was not taken. A track not among them may be one the
    // tables declare and the title never carries.
    QList<int> soundStreams;
    // Each interleaved cell's own stretches in order, by its (vobId, cellId),
    // as the title set's address table lists them. A cell not listed is
    // taken as its share of its range.
    QMap<std::pair<int, int>, QList<DiscExtent>> cellRuns;
    QList<DiscExtent> Runs(const DiscCell &cell) const { return cellRuns.value({cell.vobId, cell.cellId}); }
};

// Marks the titles that repeat others: one with the cells of an earlier
// title (SameAs, naming it), one whose cells are those of two or more other
// titles one after the other (PlayAll).
void MarkRepeatedTitles(QList<DiscTitle> &titles);

struct DiscInfo {
    QString volumeLabel; // the disc's or image's label; empty for a folder
    QList<DiscTitle> titles;
    // The numbers of the titles left out because their title set's tables
    // could not be read.
    QList<int> unreadTitles;
};

// Bytes of a disc image, read through a seam (a file, or a test's faults).
class DiscImageStream {
public:
    virtual ~DiscImageStream() = default;
    virtual bool Seek(quint64 position) = 0;
    // Reads up to `size` bytes; the count read, -1 on a failure.
    virtual int Read(void *buffer, int size) = 0;
};

// The stream of an image file on disk; null when it cannot be opened.
std::unique_ptr<DiscImageStream> OpenImageFile(const QString &path);

class DiscTitleReader;

// An open DVD-Video disc: a drive's mount folder or device, a folder holding
// VIDEO_TS (or VIDEO_TS itself), or an image file. Opening is quiet: nothing
// the library says reaches a terminal or a stream. One disc is used from one
// thread at a time.
class DvdDisc {
public:
    ~DvdDisc();
    // Null, with the reason in `error`, when the source is no DVD-Video.
    static std::unique_ptr<DvdDisc> Open(const QString &path, QString *error = nullptr);
    static std::unique_ptr<DvdDisc> OpenStream(std::unique_ptr<DiscImageStream> stream, QString *error = nullptr);

    // The titles with their lengths, streams, chapters and palettes; false,
    // with the reason, when the tables cannot be read.
    bool ReadInfo(DiscInfo &info, QString *error = nullptr);

    // A reader of the title's blocks in play order on an angle; null when
    // its title set cannot be opened.
    std::unique_ptr<DiscTitleReader> OpenTitle(const DiscTitle &title, int angle = 1);

    // Where images are opened: a test puts a stream with faults in place of
    // the file. Null restores the file.
    static void SetImageOpenerForTesting(std::function<std::unique_ptr<DiscImageStream>(const QString &)> opener);

    struct Private;

private:
    DvdDisc();
    std::unique_ptr<Private> d;
};

// Reads one title's blocks (2048 bytes each) in play order.
class DiscTitleReader {
public:
    static constexpr int kBlockSize = 2048;
    // A source that stops answering for this many blocks in a row has gone.
    static constexpr int kGoneAfterBlocks = 1024;
    virtual ~DiscTitleReader() = default;
    // Reads up to maxBlocks blocks at the current position into buffer. An
    // unreadable block is skipped and counted; the count of blocks written,
    // 0 at the end of the title, -1 when the source stopped answering.
    virtual int Read(unsigned char *buffer, int maxBlocks) = 0;
    virtual qint64 TotalBlocks() const = 0;
    virtual qint64 SkippedBlocks() const = 0;
    // The source ended before the title did (an image cut short by an
    // interrupted copy): what was there was read, and Read gave 0 after it.
    virtual bool SourceEnded() const { return false; }
    // Goes to about the block'th block of the title, for a look at a
    // stretch of it; false when there is no such place.
    virtual bool SeekBlock(qint64 block) = 0;
    // A flag another thread may raise to have a Read in progress give back
    // what it has at once, instead of going on through unreadable blocks
    // (each of which a drive may take seconds over).
    void StopWhen(const std::atomic<bool> *flag) { stop_ = flag; }

protected:
    bool StopAsked() const { return stop_ && stop_->load(std::memory_order_relaxed); }

private:
    const std::atomic<bool> *stop_ = nullptr;
};

// A path that names a disc image by its extension (".iso", any case).
bool IsDiscImagePath(const QString &path);

// The disc's name for output files: the volume label when there is one, else
// the name of the folder that holds VIDEO_TS (for a source that is itself
// VIDEO_TS, its parent's name), else for an image its file name without
// extension. Control characters and those a file name cannot hold on the
// disc's home systems (/ \ : * ? " < > |) become "_", as does a leading dot.
QString DiscName(const QString &sourcePath, const QString &volumeLabel);

// The volume label of a UDF file system from its sectors (2048 bytes each,
// `read(sector, buffer)` false where one cannot be read): the primary volume
// descriptor's identifier, 8-bit as Latin-1 and 16-bit as UTF-16. Empty
// when there is none.
QString UdfVolumeLabel(const std::function<bool(quint32, unsigned char *)> &read);

} // namespace zento
