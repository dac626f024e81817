#include "disc/dvd_disc.h"

#include "disc/disc_tables.h"
#include "disc/library_reads.h"
#include "disc/nav_pack.h"
#include "platform/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <dvdread/dvd_reader.h>
#include <dvdread/dvd_udf.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <mutex>

namespace zento {

namespace {

// An image's bytes reach the library as a file it opens itself: libdvdread
// 6.1.3 reads a stream (DVDOpenStream2) only through libdvdcss, and without
// it refuses every stream. So the tables of an image are read from the image
// file by its path, or, for a stream without one, from a copy of the stream
// in memory; the title blocks are always read through the stream.
constexpr quint64 kSpoolLimit = quint64(256) << 20;
// More blocks than a unit of a title takes: a second at the highest rate.
constexpr int kLongestUnitBlocks = 1024;

// The library's reader and what it reads from: an image's stream and copy
// live as long as the reader, and every title reader keeps all of them.
struct Source {
    std::unique_ptr<DiscImageStream> stream;
    int copy = -1; // a memory file holding the stream's bytes
    dvd_reader_t *dvd = nullptr;

    ~Source()
    {
        if (dvd)
            DVDClose(dvd);
        if (copy >= 0)
            ::close(copy);
    }
};

// Everything the library says is dropped: it would otherwise reach stderr.
void QuietLog(void *, dvd_logger_level_t, const char *, va_list) {}

const dvd_logger_cb kQuietLogger = {QuietLog};

// libdvdcss, which the library loads when it is installed, writes its errors
// to stderr unless told not to.
void QuietenDvdCss()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (qEnvironmentVariableIsEmpty("DVDCSS_VERBOSE"))
            qputenv("DVDCSS_VERBOSE", "0");
    });
}

dvd_reader_t *OpenWithLibrary(const QString &path)
{
    QuietenDvdCss();
    const LibraryReadLimit limit;
    dvd_reader_t *dvd = DVDOpen2(nullptr, &kQuietLogger, QFile::encodeName(path).constData());
    if (dvd && limit.Spent()) {
        DVDClose(dvd);
        return nullptr;
    }
    return dvd;
}

// Reads `size` bytes at `position`: the count read (short at the end of the
// stream), -1 when a read failed.
qint64 ReadAt(DiscImageStream &stream, quint64 position, char *buffer, qint64 size)
{
    if (!stream.Seek(position))
        return -1;
    qint64 got = 0;
    while (got < size) {
        const int want = int(std::min<qint64>(size - got, 1 << 24));
        const int read = stream.Read(buffer + got, want);
        if (read < 0 || read > want)
            return -1;
        if (read == 0)
            break;
        got += read;
    }
    return got;
}

bool WriteAt(int fd, const char *data, qint64 size, quint64 position)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size_t(size), off_t(position));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
        position += quint64(written);
    }
    return true;
}

// A memory file with the stream's bytes up to its end; an unreadable block
// stays zeros, and the copy ends where the stream stopped answering. -1 with
// the reason when it cannot be made.
int CopyStream(DiscImageStream &stream, QString *error)
{
    constexpr int kBlock = DiscTitleReader::kBlockSize;
    constexpr int kChunk = 256 * kBlock;
    const int fd = ::memfd_create("zento-disc-image", MFD_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("ディスクイメージを読むためのメモリを用意できません");
        return -1;
    }
    QByteArray buffer(kChunk, Qt::Uninitialized);
    quint64 at = 0;
    int failures = 0;
    bool end = false;
    while (!end && failures < DiscTitleReader::kGoneAfterBlocks) {
        if (at >= kSpoolLimit) {
            ::close(fd);
            if (error)
                *error = QStringLiteral("ディスクイメージが大きすぎて読めません");
            return -1;
        }
        qint64 got = ReadAt(stream, at, buffer.data(), kChunk);
        if (got >= 0) {
            end = got < kChunk;
            failures = 0;
        } else {
            // Block by block: the readable ones are kept.
            got = 0;
            for (int i = 0; i < kChunk / kBlock; ++i) {
                const qint64 one = ReadAt(stream, at + quint64(i) * kBlock, buffer.data() + i * kBlock, kBlock);
                if (one < 0) {
                    std::memset(buffer.data() + i * kBlock, 0, kBlock);
                    if (++failures >= DiscTitleReader::kGoneAfterBlocks)
                        break;
                    got = qint64(i + 1) * kBlock;
                    continue;
                }
                failures = 0;
                got = qint64(i) * kBlock + one;
                if (one < kBlock) {
                    end = true;
                    break;
                }
            }
        }
        if (got > 0 && !WriteAt(fd, buffer.constData(), got, at)) {
            ::close(fd);
            if (error)
                *error = QStringLiteral("ディスクイメージを読むためのメモリを用意できません");
            return -1;
        }
        at += quint64(got);
    }
    return fd;
}

std::mutex gOpenerMutex;
std::function<std::unique_ptr<DiscImageStream>(const QString &)> gOpener;

class FileImageStream : public DiscImageStream {
public:
    explicit FileImageStream(const QString &path) : file_(path) {}
    bool Open() { return file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    bool Seek(quint64 position) override
    {
        return position <= quint64(std::numeric_limits<qint64>::max()) && file_.seek(qint64(position));
    }
    int Read(void *buffer, int size) override { return int(file_.read(static_cast<char *>(buffer), size)); }

private:
    QFile file_;
};

void SetError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// A label as the disc stores it: UTF-8 when it is, else Latin-1; trailing
// blanks and NULs go.
QString LabelText(const char *bytes, size_t capacity)
{
    const QByteArray raw(bytes, qsizetype(strnlen(bytes, capacity)));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (utf8.hasError())
        text = QString::fromLatin1(raw);
    while (!text.isEmpty() && (text.back().isSpace() || text.back() == QChar(0)))
        text.chop(1);
    return text;
}

// A title's blocks on one angle: from a title file the library opened
// (folders and drives), or from an image's stream, where the title set's
// title files begin at `imageStart`. A plain cell is read straight through;
// an interleaved one unit by unit, each unit's navigation pack leading to
// the next unit of the same angle or cut, as a player goes.
class TitleReader : public DiscTitleReader {
public:
    TitleReader(std::shared_ptr<Source> source, dvd_file_t *file, quint32 imageStart, const DiscTitle &title,
                int angle)
        : source_(std::move(source)), file_(file), imageStart_(imageStart), title_(title), cells_(title.Cells(angle)),
          total_(title.BlockCount(angle))
    {
        EnterCell();
    }
    ~TitleReader() override
    {
        if (file_)
            DVDCloseFile(file_);
    }

    int Read(unsigned char *buffer, int maxBlocks) override
    {
        if (gone_)
            return -1;
        int written = 0;
        while (written < maxBlocks && cell_ < cells_.size() && !ended_ && !StopAsked()) {
            const DiscCell &cell = cells_.at(cell_);
            unsigned char *at = buffer + qsizetype(written) * kBlockSize;
            if (sector_ > runEnd_) {
                if (atNav_ || !cell.interleaved || endOfCell_ || next_ > cell.lastSector) {
                    ++cell_;
                    EnterCell();
                } else {
                    sector_ = next_;
                    atNav_ = true;
                    runEnd_ = cell.lastSector;
                }
                continue;
            }
            if (atNav_) {
                // The unit's navigation pack: passed on, and read for where
                // this unit ends and the next one starts.
                if (ReadBlocks(sector_, 1, at) != 1) {
                    if (ended_)
                        break;
                    if (Skip(1))
                        return written > 0 ? written : -1;
                    ++sector_; // its unit's end is not known: the next pack is looked for
                    searching_ = true;
                    continue;
                }
                failures_ = 0;
                const std::optional<NavUnit> unit = NavPackUnit(at, kBlockSize);
                if (unit && searching_ && OtherCell(*unit, cell)) {
                    // The next angle's or cut's unit, met while looking for
                    // this one's next pack: passed over whole.
                    sector_ += qint64(unit->lastBlock) + 1;
                    continue;
                }
                if (!cellTimed_ && !OpensCell(at, cell)) {
                    ++sector_;
                    continue;
                }
                ++written;
                if (unit) {
                    searching_ = false;
                    runEnd_ = std::min<qint64>(sector_ + unit->lastBlock, cell.lastSector);
                    endOfCell_ = unit->endOfCell;
                    next_ = unit->next > 0 ? sector_ + unit->next : runEnd_ + 1;
                    atNav_ = false;
                }
                ++sector_;
                continue;
            }
            if (!cellTimed_) {
                if (ReadBlocks(sector_, 1, at) == 1) {
                    failures_ = 0;
                    if (OpensCell(at, cell))
                        ++written;
                    ++sector_;
                } else if (ended_) {
                    break;
                } else if (Skip(1)) {
                    return written > 0 ? written : -1;
                } else {
                    ++sector_;
                }
                continue;
            }
            const int want = int(std::min<qint64>(maxBlocks - written, runEnd_ - sector_ + 1));
            const qint64 got = ReadBlocks(sector_, want, at);
            if (got > 0 || ended_) { // only a read that went through ends the image: got >= 0
                written += int(got);
                sector_ += got;
                failures_ = 0;
                continue;
            }
            // The run failed: block by block, skipping the unreadable ones.
            for (int i = 0; i < want && !StopAsked(); ++i) {
                if (ReadBlocks(sector_, 1, buffer + qsizetype(written) * kBlockSize) == 1) {
                    ++written;
                    failures_ = 0;
                } else if (ended_) {
                    break;
                } else if (Skip(1)) {
                    ++sector_;
                    return written > 0 ? written : -1;
                }
                ++sector_;
            }
        }
        return written;
    }

    qint64 TotalBlocks() const override { return total_; }
    qint64 SkippedBlocks() const override { return skipped_; }
    bool SourceEnded() const override { return ended_; }
    bool SeekBlock(qint64 block) override
    {
        for (cell_ = 0; cell_ < cells_.size(); ++cell_) {
            const DiscCell &cell = cells_.at(cell_);
            if (const QList<DiscExtent> runs = cell.interleaved ? title_.Runs(cell) : QList<DiscExtent>();
                !runs.isEmpty()) {
                // counted in the cell's own stretches, each opening with a
                // unit's pack
                for (const DiscExtent &run : runs) {
                    if (block <= qint64(run.last) - run.first) {
                        EnterCell();
                        sector_ = run.first;
                        return true;
                    }
                    block -= qint64(run.last) - run.first + 1;
                }
                continue;
            }
            const qint64 range = qint64(cell.lastSector) - cell.firstSector + 1;
            if (block < range) {
                EnterCell();
                // an interleaved cell is entered at its start: its units lead
                // on; a plain one is read from the block asked for
                if (!cell.interleaved && block > 0) {
                    sector_ += block;
                    cellTimed_ = true;
                }
                return true;
            }
            block -= range;
        }
        return false;
    }

private:
    // Counts unreadable blocks; true when the source has stopped answering.
    bool Skip(int blocks)
    {
        skipped_ += blocks;
        failures_ += blocks;
        gone_ = failures_ >= kGoneAfterBlocks;
        return gone_;
    }

    void EnterCell()
    {
        if (cell_ >= cells_.size())
            return;
        const DiscCell &cell = cells_.at(cell_);
        sector_ = cell.firstSector;
        runEnd_ = cell.lastSector;
        atNav_ = cell.interleaved;
        endOfCell_ = false;
        searching_ = false;
        next_ = 0;
        cellTimed_ = false;
        untimed_ = 0;
    }

    // A unit that says it belongs to a cell other than this one.
    static bool OtherCell(const NavUnit &unit, const DiscCell &cell)
    {
        return unit.vobId > 0 && cell.vobId > 0 && (unit.vobId != cell.vobId || unit.cellId != cell.cellId);
    }

    // Whether a block read at a cell's start, before any of its units'
    // navigation packs, may go on: the pack itself, from when the cell's
    // time is known. Blocks before it (the pack unreadable or damaged) have
    // no known time: passed on, they would go out on the last cell's times
    // and put a hole of seconds into the title at the join. They are passed
    // over to the next unit, counted as skipped; a cell that shows no pack
    // for a unit's length is read as it is.
    bool OpensCell(const unsigned char *block, const DiscCell &cell)
    {
        const std::optional<NavUnit> unit = NavPackUnit(block, kBlockSize);
        if ((unit && !OtherCell(*unit, cell)) || ++untimed_ > kLongestUnitBlocks) {
            cellTimed_ = true;
            return true;
        }
        ++skipped_;
        return false;
    }

    // The whole blocks read, -1 on a failure.
    qint64 ReadBlocks(qint64 sector, int count, unsigned char *buffer)
    {
        if (sector < 0 || sector > INT_MAX || count <= 0)
            return -1;
        if (file_) {
            const ssize_t got = DVDReadBlocks(file_, int(sector), size_t(count), buffer);
            // Short: the title files end here (a copy cut short).
            if (got >= 0 && got < count)
                ended_ = true;
            return got > count ? -1 : qint64(got);
        }
        const quint64 block = quint64(imageStart_) + quint64(sector);
        const qint64 got =
            ReadAt(*source_->stream, block * kBlockSize, reinterpret_cast<char *>(buffer), qint64(count) * kBlockSize);
        if (got < 0)
            return -1;
        // Read whole but short: the image ends here, and so does its input.
        if (got < qint64(count) * kBlockSize)
            ended_ = true;
        return got / kBlockSize;
    }

    std::shared_ptr<Source> source_;
    dvd_file_t *file_;
    quint32 imageStart_;
    DiscTitle title_;
    QList<DiscCell> cells_;
    qint64 total_;
    qsizetype cell_ = 0;
    qint64 sector_ = 0;   // the next block to read
    qint64 runEnd_ = -1;  // the last block of the cell, or of the unit in an interleaved cell
    bool atNav_ = false;  // the next block opens a unit of an interleaved cell
    bool endOfCell_ = false;
    bool searching_ = false; // a unit's pack was unreadable: the next pack of this cell is looked for
    bool cellTimed_ = false; // a navigation pack of the cell was read: its time is known
    int untimed_ = 0;        // blocks passed over before it
    qint64 next_ = 0;     // the block that opens the next unit
    qint64 skipped_ = 0;
    int failures_ = 0;
    bool gone_ = false;
    bool ended_ = false;
};

} // namespace

struct DvdDisc::Private {
    std::shared_ptr<Source> source;
    ifo_handle_t *vmg = nullptr;
    bool image = false;

    ~Private()
    {
        if (vmg)
            ifoClose(vmg);
    }
};

const QList<DiscCell> &DiscTitle::Cells(int angle) const
{
    return angle > 1 && angle <= angleCells.size() ? angleCells.at(angle - 1) : cells;
}

qint64 DiscTitle::BlockCount(int angle) const
{
    qint64 blocks = 0;
    for (const DiscCell &cell : Cells(angle)) {
        if (cell.lastSector < cell.firstSector)
            continue;
        const qint64 range = qint64(cell.lastSector) - qint64(cell.firstSector) + 1;
        if (const QList<DiscExtent> runs = cell.interleaved ? Runs(cell) : QList<DiscExtent>(); !runs.isEmpty()) {
            for (const DiscExtent &run : runs)
                blocks += qint64(run.last) - run.first + 1;
            continue;
        }
        // An interleaved cell's range holds every angle's units in turn.
        blocks += cell.interleaved && angles > 1 ? range / angles : range;
    }
    return blocks;
}

std::unique_ptr<DiscImageStream> OpenImageFile(const QString &path)
{
    auto stream = std::make_unique<FileImageStream>(path);
    if (!stream->Open())
        return nullptr;
    return stream;
}

DvdDisc::DvdDisc() : d(std::make_unique<Private>()) {}

DvdDisc::~DvdDisc() = default;

void DvdDisc::SetImageOpenerForTesting(std::function<std::unique_ptr<DiscImageStream>(const QString &)> opener)
{
    std::lock_guard lock(gOpenerMutex);
    gOpener = std::move(opener);
}

namespace {

// The disc's main tables, or null with the reason.
std::unique_ptr<DvdDisc> Finish(std::unique_ptr<DvdDisc> disc, DvdDisc::Private &d, QString *error)
{
    {
        const LibraryReadLimit limit;
        d.vmg = OpenMainTables(d.source->dvd);
        if (d.vmg && limit.Spent()) {
            ifoClose(d.vmg);
            d.vmg = nullptr;
        }
    }
    if (!d.vmg) {
        SetError(error, QStringLiteral("DVD-Video の構造を読めません (VIDEO_TS.IFO がないか壊れています)"));
        return nullptr;
    }
    return disc;
}

} // namespace

std::unique_ptr<DvdDisc> DvdDisc::Open(const QString &path, QString *error)
{
    // An image is a file, or a device holding one; a named pipe would hold
    // the reader until some other program writes to it. A folder is read as
    // a folder, whatever its name.
    const SourceKind kind = KindOfSource(path);
    if (kind == SourceKind::Other) {
        SetError(error, QStringLiteral("ファイルでもフォルダでもディスク装置でもありません"));
        return nullptr;
    }
    if (IsDiscImagePath(path) && kind != SourceKind::Folder) {
        std::function<std::unique_ptr<DiscImageStream>(const QString &)> opener;
        {
            std::lock_guard lock(gOpenerMutex);
            opener = gOpener;
        }
        if (opener)
            return OpenStream(opener(path), error);
        std::unique_ptr<DiscImageStream> stream = OpenImageFile(path);
        if (!stream) {
            SetError(error, QStringLiteral("ディスクイメージを開けません"));
            return nullptr;
        }
        // The tables from the file itself, the title blocks through the stream.
        std::unique_ptr<DvdDisc> disc(new DvdDisc);
        Private &d = *disc->d;
        d.image = true;
        d.source = std::make_shared<Source>();
        d.source->stream = std::move(stream);
        d.source->dvd = OpenWithLibrary(QFileInfo(path).absoluteFilePath());
        if (!d.source->dvd) {
            SetError(error, QStringLiteral("DVD-Video の構造を読めません (ディスクイメージとして読めません)"));
            return nullptr;
        }
        return Finish(std::move(disc), d, error);
    }

    QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) { // the library would say so on stderr
        SetError(error, QStringLiteral("見つかりません"));
        return nullptr;
    }
    QString target = info.absoluteFilePath();
    if (info.isDir() && info.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
        target = info.absolutePath();

    std::unique_ptr<DvdDisc> disc(new DvdDisc);
    Private &d = *disc->d;
    d.source = std::make_shared<Source>();
    d.source->dvd = OpenWithLibrary(target);
    if (!d.source->dvd) {
        SetError(error, QStringLiteral("DVD-Video として開けません"));
        return nullptr;
    }
    return Finish(std::move(disc), d, error);
}

std::unique_ptr<DvdDisc> DvdDisc::OpenStream(std::unique_ptr<DiscImageStream> stream, QString *error)
{
    if (!stream) {
        SetError(error, QStringLiteral("ディスクイメージを開けません"));
        return nullptr;
    }
    std::unique_ptr<DvdDisc> disc(new DvdDisc);
    Private &d = *disc->d;
    d.image = true;
    d.source = std::make_shared<Source>();
    d.source->stream = std::move(stream);
    d.source->copy = CopyStream(*d.source->stream, error);
    if (d.source->copy < 0)
        return nullptr;
    d.source->dvd = OpenWithLibrary(QStringLiteral("/proc/self/fd/%1").arg(d.source->copy));
    if (!d.source->dvd) {
        SetError(error, QStringLiteral("DVD-Video の構造を読めません (ディスクイメージとして読めません)"));
        return nullptr;
    }
    return Finish(std::move(disc), d, error);
}

namespace {

bool HasControls(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0);
    });
}

// The disc's label: its UDF label, else its ISO 9660 one. An image's UDF
// label is read from the image itself; the library reads 16-bit labels as
// bytes, so one of a drive that comes out with control characters gives way
// to the ISO 9660 label.
QString VolumeLabel(DvdDisc::Private &d)
{
    dvd_reader_t *dvd = d.source->dvd;
    QString label;
    if (d.image) {
        DiscImageStream &stream = *d.source->stream;
        label = UdfVolumeLabel([&stream](quint32 sector, unsigned char *buffer) {
            constexpr qint64 kBlock = DiscTitleReader::kBlockSize;
            return ReadAt(stream, quint64(sector) * kBlock, reinterpret_cast<char *>(buffer), kBlock) == kBlock;
        });
    } else {
        char name[64] = {};
        unsigned char set[128] = {};
        if (DVDUDFVolumeInfo(dvd, name, sizeof name - 1, set, sizeof set) == 0)
            label = LabelText(name, sizeof name);
        if (HasControls(label))
            label.clear();
    }
    if (label.trimmed().isEmpty()) {
        char name[64] = {};
        unsigned char set[128] = {};
        if (DVDISOVolumeInfo(dvd, name, sizeof name - 1, set, sizeof set) == 0)
            label = LabelText(name, sizeof name);
    }
    return label;
}

} // namespace

namespace {

// The blocks of a title set's title files, -1 when not known. A folder's
// copy cut short, its files shorter than the set's tables say, counts as
// long as the tables say: its titles are listed and read as far as they go,
// and where they end is told, as for an image cut short. (An image's file
// sizes are those its directory gives, cut or not.)
qint64 TitleSetBlocks(dvd_reader_t *dvd, int titleSet, const ifo_handle_t *vts, bool folder)
{
    dvd_stat_t stat;
    if (DVDFileStat(dvd, titleSet, DVD_READ_TITLE_VOBS, &stat) != 0 || stat.size <= 0)
        return -1;
    const qint64 blocks = stat.size / DVD_VIDEO_LB_LEN;
    if (!folder || !vts || !vts->vtsi_mat)
        return blocks;
    // The set holds its tables, menus, titles and the tables' backup.
    const vtsi_mat_t &mat = *vts->vtsi_mat;
    const qint64 told = qint64(mat.vts_last_sector) - mat.vtsi_last_sector - mat.vtstt_vobs;
    return std::max(blocks, told);
}

} // namespace

bool DvdDisc::ReadInfo(DiscInfo &info, QString *error)
{
    const LibraryReadLimit limit;
    info = DiscInfo();
    dvd_reader_t *dvd = d->source->dvd;

    info.volumeLabel = VolumeLabel(*d);
    const tt_srpt_t *table = d->vmg->tt_srpt;
    if (!table || (table->nr_of_srpts > 0 && !table->title)) {
        SetError(error, QStringLiteral("DVD-Video のタイトルの表を読めません"));
        return false;
    }

    TitleSets sets(dvd);
    std::map<int, qint64> setBlocks;
    for (int i = 0; i < table->nr_of_srpts; ++i) {
        const title_info_t &entry = table->title[i];
        DiscTitle title;
        title.number = i + 1;
        title.titleSet = entry.title_set_nr;
        title.titleInSet = entry.vts_ttn;
        if (!setBlocks.count(title.titleSet))
            setBlocks[title.titleSet] = TitleSetBlocks(dvd, title.titleSet, sets.Get(title.titleSet), !d->image);
        const bool described = DescribeTitle(sets.Get(entry.title_set_nr), title, setBlocks[title.titleSet]);
        // A title set whose tables ran the library out of reads: what it
        // gave is not the disc's, and nothing after it can be read.
        if (limit.Spent())
            break;
        if (described)
            info.titles << title;
        else if (!sets.Get(entry.title_set_nr))
            info.unreadTitles << title.number;
    }
    MarkRepeatedTitles(info.titles);
    return true;
}

std::unique_ptr<DiscTitleReader> DvdDisc::OpenTitle(const DiscTitle &title, int angle)
{
    if (title.titleSet < 1 || title.titleSet > 99)
        return nullptr;
    if (d->image) {
        const LibraryReadLimit limit;
        char name[32];
        std::snprintf(name, sizeof name, "/VIDEO_TS/VTS_%02d_1.VOB", title.titleSet);
        uint32_t size = 0;
        const uint32_t start = UDFFindFile(d->source->dvd, name, &size);
        if (start == 0 || limit.Spent())
            return nullptr;
        return std::make_unique<TitleReader>(d->source, nullptr, start, title, angle);
    }
    dvd_file_t *file = DVDOpenFile(d->source->dvd, title.titleSet, DVD_READ_TITLE_VOBS);
    if (!file)
        return nullptr;
    return std::make_unique<TitleReader>(d->source, file, 0, title, angle);
}

bool IsDiscImagePath(const QString &path)
{
    return path.endsWith(QLatin1String(".iso"), Qt::CaseInsensitive);
}

QString DiscName(const QString &sourcePath, const QString &volumeLabel)
{
    QString name = volumeLabel.trimmed();
    if (name.isEmpty()) {
        QString path = QDir::cleanPath(QDir::fromNativeSeparators(sourcePath));
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        const QFileInfo info(path);
        if (IsDiscImagePath(path) && !info.isDir())
            name = info.completeBaseName();
        else if (info.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
            name = QFileInfo(info.path()).fileName();
        else
            name = info.fileName();
    }
    for (QChar &c : name)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0) ||
            QStringView(u"/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    name = name.trimmed();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("DVD");
    // A name starting with a dot would give hidden files.
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return name;
}

} // namespace zento
