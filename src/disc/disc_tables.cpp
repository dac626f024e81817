#include "disc/disc_tables.h"

#include <dvdread/ifo_read.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace zento {

namespace {

int Bcd(uint8_t value)
{
    return (value >> 4) * 10 + (value & 0x0f);
}

// A two-letter language code, lower case; empty when the disc names none.
QString Language(bool named, uint16_t code)
{
    if (!named || code == 0)
        return QString();
    const char letters[2] = {char(code >> 8), char(code & 0xff)};
    QString text;
    for (char c : letters) {
        const char lower = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (lower < 'a' || lower > 'z')
            return QString();
        text += QLatin1Char(lower);
    }
    return text;
}

// Whether a cell is played on angle 1: every cell but the second and later
// ones of an angle block.
bool OnFirstAngle(const cell_playback_t &cell)
{
    return !(cell.block_type == BLOCK_TYPE_ANGLE_BLOCK &&
             (cell.block_mode == BLOCK_MODE_IN_BLOCK || cell.block_mode == BLOCK_MODE_LAST_CELL));
}

const pgc_t *TitleChain(const ifo_handle_t *vts, int titleInSet)
{
    const vts_ptt_srpt_t *parts = vts->vts_ptt_srpt;
    const pgcit_t *chains = vts->vts_pgcit;
    if (!parts || !parts->title || !chains || !chains->pgci_srp)
        return nullptr;
    if (titleInSet < 1 || titleInSet > parts->nr_of_srpts)
        return nullptr;
    const ttu_t &unit = parts->title[titleInSet - 1];
    if (unit.nr_of_ptts < 1 || !unit.ptt)
        return nullptr;
    const int chain = unit.ptt[0].pgcn;
    if (chain < 1 || chain > chains->nr_of_pgci_srp)
        return nullptr;
    return chains->pgci_srp[chain - 1].pgc;
}

void ReadAudio(const vtsi_mat_t &mat, const pgc_t &pgc, DiscTitle &title)
{
    const int count = std::min<int>(mat.nr_of_vts_audio_streams, 8);
    for (int i = 0; i < count; ++i) {
        const uint16_t control = pgc.audio_control[i];
        if (!(control & 0x8000))
            continue;
        const int n = (control >> 8) & 7;
        const audio_attr_t &attr = mat.vts_audio_attr[i];
        DiscAudioTrack track;
        switch (attr.audio_format) {
        case 0:
            track.codec = QStringLiteral("AC3");
            track.streamId = 0x80 + n;
            break;
        case 2:
        case 3:
            track.codec = QStringLiteral("MPEG");
            track.streamId = 0xc0 + n;
            break;
        case 4:
            track.codec = QStringLiteral("LPCM");
            track.streamId = 0xa0 + n;
            break;
        case 6:
            track.codec = QStringLiteral("DTS");
            track.streamId = 0x88 + n;
            break;
        default: continue; // SDDS and reserved codes: no stream a player would pick
        }
        track.language = Language(attr.lang_type == 1, attr.lang_code);
        track.channels = attr.channels + 1;
        title.audio << track;
    }
}

void ReadSubtitles(const vtsi_mat_t &mat, const pgc_t &pgc, DiscTitle &title)
{
    const bool wide = mat.vts_video_attr.display_aspect_ratio == 3;
    const int count = std::min<int>(mat.nr_of_vts_subp_streams, 32);
    for (int i = 0; i < count; ++i) {
        const uint32_t control = pgc.subp_control[i];
        if (!(control & 0x80000000u))
            continue;
        DiscSubtitleTrack track;
        track.streamId = 0x20 + int((control >> (wide ? 16 : 24)) & 0x1f);
        track.language = Language(mat.vts_subp_attr[i].type == 1, mat.vts_subp_attr[i].lang_code);
        title.subtitles << track;
    }
}

// The blocks of a title set's IFO file (0: the main one), the smaller of the
// file and its backup; -1 when neither is there.
qint64 InfoFileBlocks(dvd_reader_t *dvd, int titleSet)
{
    qint64 blocks = -1;
    for (dvd_read_domain_t domain : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
        dvd_stat_t stat;
        if (DVDFileStat(dvd, titleSet, domain, &stat) == 0 && stat.size >= 0) {
            const qint64 file = qint64(stat.size) / DVD_VIDEO_LB_LEN;
            blocks = blocks < 0 ? file : std::min(blocks, file);
        }
    }
    return blocks;
}

// Whether a table's first block lies inside its file.
bool Inside(uint32_t sector, qint64 fileBlocks)
{
    return sector > 0 && qint64(sector) < fileBlocks;
}

// The raw bytes of a title set's IFO file or its backup.
class RawFile {
public:
    RawFile(dvd_reader_t *dvd, int titleSet, dvd_read_domain_t domain) : file_(DVDOpenFile(dvd, titleSet, domain))
    {
        if (file_)
            size_ = qint64(DVDFileSize(file_)) * DVD_VIDEO_LB_LEN;
    }
    ~RawFile()
    {
        if (file_)
            DVDCloseFile(file_);
    }
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    qint64 Size() const { return size_; }
    // Whether `size` bytes at `offset` lie inside the file and were read.
    bool Read(qint64 offset, void *buffer, qint64 size)
    {
        if (offset < 0 || size < 0 || offset + size > size_ || offset > INT32_MAX)
            return false;
        return DVDFileSeek(file_, int32_t(offset)) == offset && DVDReadBytes(file_, buffer, size_t(size)) == size;
    }

private:
    dvd_file_t *file_;
    qint64 size_ = 0;
};

quint32 Be16(const unsigned char *p)
{
    return quint32(p[0]) << 8 | p[1];
}

quint32 Be32(const unsigned char *p)
{
    return Be16(p) << 16 | Be16(p + 2);
}

// Whether the program chain at `at` and the tables it names lie whole
// inside the file: libdvdread reads nothing else of it that could fail.
bool ChainInside(RawFile &file, qint64 at)
{
    unsigned char chain[236]; // PGC_SIZE
    if (!file.Read(at, chain, sizeof chain))
        return false;
    const qint64 programs = chain[2], cells = chain[3];
    const qint64 commands = Be16(chain + 228), map = Be16(chain + 230), playback = Be16(chain + 232),
                 position = Be16(chain + 234);
    if (commands != 0) {
        unsigned char head[8];
        if (!file.Read(at + commands, head, sizeof head))
            return false;
        const qint64 count = qint64(Be16(head)) + Be16(head + 2) + Be16(head + 4);
        if (at + commands + 8 + count * 8 > file.Size())
            return false;
    }
    return (map == 0 || programs == 0 || at + map + programs <= file.Size()) &&
           (playback == 0 || cells == 0 || at + playback + cells * 24 <= file.Size()) &&
           (position == 0 || cells == 0 || at + position + cells * 4 <= file.Size());
}

// libdvdread 6.1.3 (ifoRead_PGCIT) gives a program chain it cannot read a
// null, and when a later search pointer names the same chain it writes
// through that null. So the chains named more than once are checked first,
// in the IFO file and its backup, to lie whole inside the file.
bool SharedChainsInside(dvd_reader_t *dvd, int titleSet, uint32_t tableSector)
{
    for (dvd_read_domain_t domain : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
        RawFile file(dvd, titleSet, domain);
        const qint64 table = qint64(tableSector) * DVD_VIDEO_LB_LEN;
        unsigned char head[8];
        if (!file.IsOpen() || !file.Read(table, head, sizeof head))
            continue; // the library cannot read the table there either
        const qint64 count = Be16(head);
        std::vector<unsigned char> pointers(size_t(count) * 8);
        if (!file.Read(table + 8, pointers.data(), count * 8))
            continue;
        std::map<quint32, int> uses;
        for (qint64 i = 0; i < count; ++i)
            ++uses[Be32(pointers.data() + i * 8 + 4)];
        for (const auto &[start, times] : uses)
            if (times > 1 && !ChainInside(file, table + start))
                return false;
    }
    return true;
}

} // namespace

ifo_handle_t *OpenMainTables(dvd_reader_t *dvd)
{
    ifo_handle_t *vmg = ifoOpenVMGI(dvd);
    if (!vmg)
        return nullptr;
    if (!vmg->vmgi_mat || !Inside(vmg->vmgi_mat->tt_srpt, InfoFileBlocks(dvd, 0)) || !ifoRead_TT_SRPT(vmg) ||
        !vmg->tt_srpt) {
        ifoClose(vmg);
        return nullptr;
    }
    return vmg;
}

qint64 DiscTimeTicks(const dvd_time_t &time)
{
    qint64 ticks = (qint64(Bcd(time.hour)) * 3600 + Bcd(time.minute) * 60 + Bcd(time.second)) * 30000;
    const int frames = Bcd(time.frame_u & 0x3f);
    switch (time.frame_u >> 6) {
    case 1: ticks += qint64(frames) * 1200; break; // 25 fps
    case 3: ticks += qint64(frames) * 1001; break; // 29.97 fps
    default: break;                                // no rate: no frames
    }
    return ticks;
}

TitleSets::~TitleSets()
{
    for (auto &[number, ifo] : sets_)
        if (ifo)
            ifoClose(ifo);
}

const ifo_handle_t *TitleSets::Get(int titleSet)
{
    if (titleSet < 1 || titleSet > 99)
        return nullptr;
    const auto found = sets_.find(titleSet);
    if (found != sets_.end())
        return found->second;
    ifo_handle_t *ifo = ifoOpenVTSI(dvd_, titleSet);
    if (ifo) {
        const qint64 blocks = InfoFileBlocks(dvd_, titleSet);
        const vtsi_mat_t *mat = ifo->vtsi_mat;
        if (!mat || !Inside(mat->vts_ptt_srpt, blocks) || !Inside(mat->vts_pgcit, blocks) ||
            !SharedChainsInside(dvd_, titleSet, mat->vts_pgcit) || !ifoRead_VTS_PTT_SRPT(ifo) || !ifoRead_PGCIT(ifo)) {
            ifoClose(ifo);
            ifo = nullptr;
        }
    }
    sets_[titleSet] = ifo;
    return ifo;
}

bool DescribeTitle(const ifo_handle_t *vts, DiscTitle &title)
{
    if (!vts || !vts->vtsi_mat)
        return false;
    const pgc_t *pgc = TitleChain(vts, title.titleInSet);
    if (!pgc || (pgc->nr_of_cells > 0 && !pgc->cell_playback))
        return false;

    title.durationMs = TicksToMs(DiscTimeTicks(pgc->playback_time));

    // Cells in play order on angle 1, with the time each one starts at.
    QList<qint64> cellStarts;
    qint64 at = 0;
    for (int i = 0; i < pgc->nr_of_cells; ++i) {
        const cell_playback_t &cell = pgc->cell_playback[i];
        cellStarts << at;
        if (!OnFirstAngle(cell))
            continue;
        at += DiscTimeTicks(cell.playback_time);
        if (cell.last_sector >= cell.first_sector)
            title.cells << DiscCell{cell.first_sector, cell.last_sector};
    }

    if (pgc->program_map) {
        for (int p = 0; p < pgc->nr_of_programs; ++p) {
            const int entry = pgc->program_map[p];
            if (entry >= 1 && entry <= pgc->nr_of_cells)
                title.chapterStartsMs << TicksToMs(cellStarts.at(entry - 1));
        }
    }
    // The first program begins the title, whichever cell a damaged table
    // names for it.
    if (title.chapterStartsMs.isEmpty())
        title.chapterStartsMs << 0;
    title.chapterStartsMs.first() = 0;

    for (int i = 0; i < 16; ++i)
        title.palette[i] = pgc->palette[i];
    ReadAudio(*vts->vtsi_mat, *pgc, title);
    ReadSubtitles(*vts->vtsi_mat, *pgc, title);
    return true;
}

} // namespace zento
