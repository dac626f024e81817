#include "disc/disc_tables.h"

#include <dvdread/ifo_read.h>

#include <algorithm>
#include <climits>
#include <initializer_list>
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

// A program chain of a title, played from one of its cells on.
struct ChainStart {
    const pgc_t *pgc = nullptr;
    int firstCell = 1; // 1..
};

// The cell a program starts at, 0 when the chain has no such program.
int ProgramCell(const pgc_t &pgc, int program)
{
    if (!pgc.program_map || program < 1 || program > pgc.nr_of_programs)
        return 0;
    const int cell = pgc.program_map[program - 1];
    return cell >= 1 && cell <= pgc.nr_of_cells ? cell : 0;
}

// The program chains a title plays, in order, each from the cell its first
// part starts at: the chains its parts name, each once, in the order of the
// parts; with each part's chain (an index into them) and first cell. Empty
// when a part names a chain, program or cell that is not there (the tables
// of a decoy title).
QList<ChainStart> TitleChains(const ifo_handle_t *vts, int titleInSet, QList<std::pair<int, int>> &parts)
{
    const vts_ptt_srpt_t *table = vts->vts_ptt_srpt;
    const pgcit_t *chains = vts->vts_pgcit;
    if (!table || !table->title || !chains || !chains->pgci_srp)
        return {};
    if (titleInSet < 1 || titleInSet > table->nr_of_srpts)
        return {};
    const ttu_t &unit = table->title[titleInSet - 1];
    if (unit.nr_of_ptts < 1 || !unit.ptt)
        return {};
    QList<ChainStart> result;
    QList<int> numbers;
    for (int i = 0; i < unit.nr_of_ptts; ++i) {
        const int number = unit.ptt[i].pgcn;
        if (number < 1 || number > chains->nr_of_pgci_srp)
            return {};
        const pgc_t *pgc = chains->pgci_srp[number - 1].pgc;
        if (!pgc || pgc->nr_of_cells < 1 || !pgc->cell_playback || pgc->nr_of_programs < 1 || !pgc->program_map)
            return {};
        const int cell = ProgramCell(*pgc, unit.ptt[i].pgn);
        if (cell == 0)
            return {};
        qsizetype chain = numbers.indexOf(number);
        if (chain < 0) {
            chain = numbers.size();
            numbers << number;
            result << ChainStart{pgc, cell};
        }
        parts << std::pair<int, int>(int(chain), cell);
    }
    return result;
}

// An interleaved cell's own stretches from the title set's address table,
// in order; none when the table lists none, or lists them outside the cell
// or overlapping.
QList<DiscExtent> CellRuns(const c_adt_t *table, const DiscCell &cell)
{
    QList<DiscExtent> runs;
    if (!table || !table->cell_adr_table || table->last_byte + 1 < C_ADT_SIZE)
        return runs;
    const quint32 count = (table->last_byte + 1 - C_ADT_SIZE) / sizeof(cell_adr_t);
    for (quint32 i = 0; i < count; ++i) {
        const cell_adr_t &entry = table->cell_adr_table[i];
        if (entry.vob_id == cell.vobId && entry.cell_id == cell.cellId)
            runs << DiscExtent{entry.start_sector, entry.last_sector};
    }
    std::sort(runs.begin(), runs.end(), [](const DiscExtent &a, const DiscExtent &b) { return a.first < b.first; });
    qint64 end = qint64(cell.firstSector) - 1;
    for (const DiscExtent &run : std::as_const(runs)) {
        if (qint64(run.first) <= end || run.last < run.first || run.last > cell.lastSector)
            return {};
        end = run.last;
    }
    return runs;
}

// A cell whose blocks are not those of the title set's title files.
bool CellOutside(const cell_playback_t &cell, qint64 titleBlocks)
{
    return cell.first_sector >= cell.last_sector || (titleBlocks >= 0 && qint64(cell.last_sector) >= titleBlocks);
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
            track.streamId = 0x1c0 + n; // the encoder names MPEG audio by its start code
            break;
        case 4:
            track.codec = QStringLiteral("LPCM");
            track.streamId = 0xa0 + n;
            track.sampleRate = attr.sample_frequency == 1 ? 96000 : 48000;
            track.bits = 16 + 4 * std::min<int>(attr.quantization, 2);
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
        track.purpose = mat.vts_subp_attr[i].code_extension;
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

// Whether the table headers at `unread` (byte offsets) that this file holds
// name a last byte inside it; libdvdread sets aside memory for as much as a
// header gives (up to 4 GiB, zeroed) before it reads a byte of the table.
// The headers read are taken off the list.
bool HeadersInside(RawFile &file, std::vector<qint64> &unread)
{
    for (auto at = unread.begin(); at != unread.end();) {
        unsigned char head[8]; // count, reserved, last byte
        if (!file.Read(*at, head, sizeof head)) {
            ++at;
            continue;
        }
        if (*at + qint64(Be32(head + 4)) >= file.Size())
            return false;
        at = unread.erase(at);
    }
    return true;
}

// libdvdread 6.1.3 (ifoRead_PGCIT) gives a program chain it cannot read a
// null, and when a later search pointer names the same chain it writes
// through that null. So the chains named more than once by the table at
// `table` (a byte offset) are checked to lie whole inside the file.
bool SharedChainsInside(RawFile &file, qint64 table)
{
    unsigned char head[8];
    if (!file.Read(table, head, sizeof head))
        return true; // the library cannot read the table here either
    const qint64 count = Be16(head);
    std::vector<unsigned char> pointers(size_t(count) * 8);
    if (!file.Read(table + 8, pointers.data(), count * 8))
        return true;
    std::map<quint32, int> uses;
    for (qint64 i = 0; i < count; ++i)
        ++uses[Be32(pointers.data() + i * 8 + 4)];
    for (const auto &[start, times] : uses)
        if (times > 1 && !ChainInside(file, table + start))
            return false;
    return true;
}

// Whether tables lie inside their file: each one's first block, and the
// last byte its header gives. Each header is read where the library reads
// it: the IFO file, else its backup. The program chain table at
// `chainSector` (0: none) has its shared chains checked in both files, for
// the library may read either. Each file is opened once, for all of it.
bool TablesInside(dvd_reader_t *dvd, int titleSet, std::initializer_list<uint32_t> sectors, qint64 fileBlocks,
                  uint32_t chainSector = 0)
{
    std::vector<qint64> unread; // byte offsets of the headers not yet read
    for (uint32_t sector : sectors) {
        if (!Inside(sector, fileBlocks))
            return false;
        unread.push_back(qint64(sector) * DVD_VIDEO_LB_LEN);
    }
    for (dvd_read_domain_t domain : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
        if (unread.empty() && chainSector == 0)
            break;
        RawFile file(dvd, titleSet, domain);
        if (!file.IsOpen())
            continue;
        if (!HeadersInside(file, unread) ||
            (chainSector != 0 && !SharedChainsInside(file, qint64(chainSector) * DVD_VIDEO_LB_LEN)))
            return false;
    }
    return unread.empty();
}

} // namespace

ifo_handle_t *OpenMainTables(dvd_reader_t *dvd)
{
    ifo_handle_t *vmg = ifoOpenVMGI(dvd);
    if (!vmg)
        return nullptr;
    if (!vmg->vmgi_mat || !TablesInside(dvd, 0, {vmg->vmgi_mat->tt_srpt}, InfoFileBlocks(dvd, 0)) ||
        !ifoRead_TT_SRPT(vmg) || !vmg->tt_srpt) {
        ifoClose(vmg);
        return nullptr;
    }
    return vmg;
}

qint64 DiscTimeTicks(const dvd_time_t &time)
{
    const qint64 seconds = qint64(Bcd(time.hour)) * 3600 + Bcd(time.minute) * 60 + Bcd(time.second);
    const int frames = Bcd(time.frame_u & 0x3f);
    switch (time.frame_u >> 6) {
    case 1: return seconds * 30000 + qint64(frames) * 1200; // 25 fps
    // At 29.97 fps the time counts frames, 30 to its second, as a player's
    // display does: a second of it lasts 30 frames, 1.001 s (an hour of
    // picture reads 59:56.4), and the stream's own times agree.
    case 3: return (seconds * 30 + frames) * 1001;
    default: return seconds * 30000; // no rate: no frames
    }
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
        if (!mat || !TablesInside(dvd_, titleSet, {mat->vts_ptt_srpt, mat->vts_pgcit}, blocks, mat->vts_pgcit) ||
            !ifoRead_VTS_PTT_SRPT(ifo) || !ifoRead_PGCIT(ifo)) {
            ifoClose(ifo);
            ifo = nullptr;
        } else if (mat->vts_c_adt && TablesInside(dvd_, titleSet, {mat->vts_c_adt}, blocks)) {
            // Where interleaved cells lie; without it their sizes are guessed.
            ifoRead_TITLE_C_ADT(ifo);
        }
    }
    sets_[titleSet] = ifo;
    return ifo;
}

bool DescribeTitle(const ifo_handle_t *vts, DiscTitle &title, qint64 titleBlocks)
{
    if (!vts || !vts->vtsi_mat)
        return false;
    QList<std::pair<int, int>> parts; // each part's chain and first cell
    const QList<ChainStart> chains = TitleChains(vts, title.titleInSet, parts);
    if (chains.isEmpty())
        return false;

    // The cells in play order on each angle, with the time each cell of a
    // chain starts at on angle 1.
    QList<QList<DiscCell>> angles{{}};
    QList<QList<qint64>> cellStarts;
    QList<QList<int>> cellEntries; // each cell's place in the title's cells
    qint64 at = 0;
    for (const ChainStart &chain : chains) {
        const pgc_t &pgc = *chain.pgc;
        QList<qint64> starts(pgc.nr_of_cells + 1, at);
        QList<int> entries(pgc.nr_of_cells + 1, int(angles.constFirst().size()));
        for (int i = chain.firstCell - 1; i < pgc.nr_of_cells;) {
            // A cell, or an angle block: the cells up to the one marked last.
            int count = 1;
            if (pgc.cell_playback[i].block_type == BLOCK_TYPE_ANGLE_BLOCK &&
                pgc.cell_playback[i].block_mode == BLOCK_MODE_FIRST_CELL) {
                while (i + count < pgc.nr_of_cells && count < 9 &&
                       pgc.cell_playback[i + count].block_type == BLOCK_TYPE_ANGLE_BLOCK &&
                       pgc.cell_playback[i + count].block_mode != BLOCK_MODE_FIRST_CELL) {
                    const bool last = pgc.cell_playback[i + count].block_mode == BLOCK_MODE_LAST_CELL;
                    ++count;
                    if (last)
                        break;
                }
            }
            for (int k = 0; k < count; ++k) {
                const cell_playback_t &cell = pgc.cell_playback[i + k];
                if (CellOutside(cell, titleBlocks))
                    return false;
                starts[i + k + 1] = at;
                entries[i + k + 1] = int(angles.constFirst().size());
            }
            while (angles.size() < count)
                angles << angles.constFirst();
            for (qsizetype a = 0; a < angles.size(); ++a) {
                const int k = int(std::min<qsizetype>(a, count - 1));
                const cell_playback_t &cell = pgc.cell_playback[i + k];
                DiscCell entry{cell.first_sector, cell.last_sector, 0, 0, cell.interleaved == 1};
                if (pgc.cell_position) {
                    entry.vobId = pgc.cell_position[i + k].vob_id_nr;
                    entry.cellId = pgc.cell_position[i + k].cell_nr;
                    if (const QList<DiscExtent> runs = entry.interleaved ? CellRuns(vts->vts_c_adt, entry)
                                                                          : QList<DiscExtent>();
                        !runs.isEmpty())
                        title.cellRuns.insert({entry.vobId, entry.cellId}, runs);
                }
                angles[a] << entry;
            }
            title.cellTicks << DiscTimeTicks(pgc.cell_playback[i].playback_time);
            at += title.cellTicks.constLast();
            i += count;
        }
        cellStarts << starts;
        cellEntries << entries;
    }
    title.cells = angles.constFirst();
    title.angles = int(angles.size());
    if (title.angles > 1)
        title.angleCells = angles;

    // A chain played whole gives its own length; a title of parts of chains
    // is as long as its cells.
    const pgc_t &first = *chains.constFirst().pgc;
    title.durationMs = chains.size() == 1 && chains.constFirst().firstCell == 1
                           ? TicksToMs(DiscTimeTicks(first.playback_time))
                           : TicksToMs(at);

    // A chapter at each part of the title.
    for (const auto &[chain, cell] : std::as_const(parts)) {
        title.chapterStartsMs << TicksToMs(cellStarts.at(chain).at(cell));
        title.chapterCells << cellEntries.at(chain).at(cell);
    }
    // The first part begins the title, whichever cell a damaged table names
    // for it.
    if (title.chapterStartsMs.isEmpty()) {
        title.chapterStartsMs << 0;
        title.chapterCells << 0;
    }
    title.chapterStartsMs.first() = 0;
    title.chapterCells.first() = 0;

    for (int i = 0; i < 16; ++i)
        title.palette[i] = first.palette[i];
    ReadAudio(*vts->vtsi_mat, first, title);
    ReadSubtitles(*vts->vtsi_mat, first, title);
    return true;
}

namespace {

// Whether `title` plays `part`'s cells at `at`.
bool PlaysAt(const DiscTitle &title, qsizetype at, const DiscTitle &part)
{
    if (part.titleSet != title.titleSet || part.cells.isEmpty() || at + part.cells.size() > title.cells.size())
        return false;
    return std::equal(part.cells.begin(), part.cells.end(), title.cells.begin() + at);
}

} // namespace

void MarkRepeatedTitles(QList<DiscTitle> &titles)
{
    for (qsizetype i = 0; i < titles.size(); ++i) {
        DiscTitle &title = titles[i];
        title.repeat = TitleRepeat::None;
        title.sameAsTitle = 0;
        for (qsizetype j = 0; j < i; ++j) {
            const DiscTitle &earlier = titles.at(j);
            if (earlier.repeat == TitleRepeat::None && !title.cells.isEmpty() &&
                earlier.cells.size() == title.cells.size() && PlaysAt(title, 0, earlier)) {
                title.repeat = TitleRepeat::SameAs;
                title.sameAsTitle = earlier.number;
                break;
            }
        }
    }
    // A play-all title: its cells reached from the start through other
    // titles' cells, each of them shorter than it, so two at least.
    for (DiscTitle &title : titles) {
        if (title.repeat != TitleRepeat::None)
            continue;
        QList<bool> reached(title.cells.size() + 1, false);
        reached[0] = true;
        for (qsizetype at = 0; at < title.cells.size(); ++at) {
            if (!reached.at(at))
                continue;
            for (const DiscTitle &part : std::as_const(titles))
                if (&part != &title && part.repeat != TitleRepeat::PlayAll && part.cells.size() < title.cells.size() &&
                    PlaysAt(title, at, part))
                    reached[at + part.cells.size()] = true;
        }
        if (!title.cells.isEmpty() && reached.constLast())
            title.repeat = TitleRepeat::PlayAll;
    }
}

} // namespace zento
