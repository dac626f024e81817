// Titles as pressed discs hold them: parts of several chains, angle blocks,
// play-all and decoy titles, labels of every kind.
#include "disc/disc_tables.h"
#include "disc/dvd_disc.h"
#include "support/test_disc.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <vector>

using namespace zento;

namespace {

// A cell of a chain in a table row: "0-99" plain, "a100-199" first of an
// angle block, "i…" inside it, "l…" its last; each cell lasts 5 s.
struct CellShape {
    quint32 first = 0, last = 0;
    int mode = BLOCK_MODE_NOT_IN_BLOCK;
};

CellShape ParseCell(QString text)
{
    CellShape cell;
    const QString modes = "ail";
    if (const qsizetype m = modes.indexOf(text.front()); m >= 0) {
        cell.mode = int(m) + 1;
        text.remove(0, 1);
    }
    const QStringList range = text.split('-');
    cell.first = range.value(0).toUInt();
    cell.last = range.value(1).toUInt();
    return cell;
}

// A title set's tables in memory: chains "0-99 100-199 / 200-299" (chains
// apart by "/"), each with a program per cell; one title per part list
// "1.1 1.2 / 2.1" (chain.program).
class FakeTitleSet {
public:
    FakeTitleSet(const QString &chains, const QString &titles)
    {
        for (const QString &chain : chains.split('/', Qt::SkipEmptyParts)) {
            Chain &c = chains_.emplace_back();
            for (const QString &cell : chain.split(' ', Qt::SkipEmptyParts)) {
                const CellShape shape = ParseCell(cell);
                cell_playback_t playback{};
                playback.first_sector = shape.first;
                playback.last_sector = shape.last;
                playback.block_mode = unsigned(shape.mode);
                playback.block_type = shape.mode ? BLOCK_TYPE_ANGLE_BLOCK : 0;
                playback.interleaved = shape.mode ? 1 : 0;
                playback.playback_time = {0, 0, 0x05, 0x40}; // 5 s at 25 fps
                c.cells.push_back(playback);
                c.positions.push_back({uint16_t(c.cells.size()), 0, 1});
                c.programs.push_back(uint8_t(c.cells.size()));
            }
            c.pgc.nr_of_cells = uint8_t(c.cells.size());
            c.pgc.nr_of_programs = uint8_t(c.programs.size());
            c.pgc.cell_playback = c.cells.empty() ? nullptr : c.cells.data();
            c.pgc.cell_position = c.positions.data();
            c.pgc.program_map = c.programs.empty() ? nullptr : c.programs.data();
            // Its length: the cells of angle 1.
            int seconds = 0;
            for (const cell_playback_t &cell : c.cells)
                seconds += cell.block_mode <= BLOCK_MODE_FIRST_CELL ? 5 : 0;
            c.pgc.playback_time = {0, 0, uint8_t(seconds / 10 << 4 | seconds % 10), 0x40};
        }
        for (Chain &c : chains_) {
            pgci_srp_t pointer{};
            pointer.pgc = &c.pgc;
            pointers_.push_back(pointer);
        }
        for (const QString &title : titles.split('/')) {
            auto &parts = parts_.emplace_back();
            for (const QString &part : title.split(' ', Qt::SkipEmptyParts))
                parts.push_back({uint16_t(part.section('.', 0, 0).toUInt()), uint16_t(part.section('.', 1).toUInt())});
            units_.push_back({uint16_t(parts.size()), parts.data()});
        }
        pgcit_.nr_of_pgci_srp = uint16_t(pointers_.size());
        pgcit_.pgci_srp = pointers_.data();
        ptt_.nr_of_srpts = uint16_t(units_.size());
        ptt_.title = units_.data();
        ifo_.vtsi_mat = &mat_;
        ifo_.vts_pgcit = &pgcit_;
        ifo_.vts_ptt_srpt = &ptt_;
    }
    const ifo_handle_t *Handle() const { return &ifo_; }
    // Audio streams of these formats (0 AC3, 2 and 3 MPEG, 4 LPCM, 6 DTS),
    // the i-th numbered `first + i` in the program stream.
    void SetAudio(const QList<int> &formats, int first)
    {
        mat_.nr_of_vts_audio_streams = uint8_t(formats.size());
        for (int i = 0; i < formats.size(); ++i) {
            mat_.vts_audio_attr[i].audio_format = unsigned(formats.at(i));
            for (Chain &c : chains_)
                c.pgc.audio_control[i] = uint16_t(0x8000 | (first + i) << 8);
        }
    }

private:
    struct Chain {
        std::vector<cell_playback_t> cells;
        std::vector<cell_position_t> positions;
        std::vector<uint8_t> programs;
        pgc_t pgc{};
    };
    std::deque<Chain> chains_;
    std::vector<pgci_srp_t> pointers_;
    std::deque<std::vector<ptt_info_t>> parts_;
    std::vector<ttu_t> units_;
    vtsi_mat_t mat_{};
    pgcit_t pgcit_{};
    vts_ptt_srpt_t ptt_{};
    ifo_handle_t ifo_{};
};

QString CellsText(const QList<DiscCell> &cells)
{
    QStringList text;
    for (const DiscCell &cell : cells)
        text << QString("%1-%2").arg(cell.firstSector).arg(cell.lastSector);
    return text.join(' ');
}

// "cells 0-99 100-199 | 10000 ms | chapters 0 5000", with "| angle 2: …" for
// each further angle; "none" when the title is refused.
QString Described(const ifo_handle_t *set, int titleInSet, qint64 titleBlocks)
{
    DiscTitle title;
    title.titleInSet = titleInSet;
    if (!DescribeTitle(set, title, titleBlocks))
        return "none";
    QStringList text{"cells " + CellsText(title.cells)};
    for (int a = 2; a <= title.angles; ++a)
        text << QString("angle %1: %2").arg(a).arg(CellsText(title.Cells(a)));
    text << QString("%1 ms").arg(title.durationMs);
    QStringList chapters;
    for (const qint64 start : title.chapterStartsMs)
        chapters << QString::number(start);
    text << "chapters " + chapters.join(' ');
    return text.join(" | ");
}

// Titles of one set whose cells are "1 2 3" (cell ids); "-" none, "=N" the
// same as title N, "*" play-all.
QString Marks(const QStringList &titles, const QList<int> &sets = {})
{
    QList<DiscTitle> list;
    for (int i = 0; i < titles.size(); ++i) {
        DiscTitle title;
        title.number = i + 1;
        title.titleSet = sets.value(i, 1);
        for (const QString &id : titles.at(i).split(' ', Qt::SkipEmptyParts))
            title.cells << DiscCell{id.toUInt() * 100, id.toUInt() * 100 + 99, 1, id.toInt(), false};
        list << title;
    }
    MarkRepeatedTitles(list);
    QStringList marks;
    for (const DiscTitle &title : list)
        marks << (title.repeat == TitleRepeat::SameAs    ? QString("=%1").arg(title.sameAsTitle)
                  : title.repeat == TitleRepeat::PlayAll ? QString("*")
                                                         : QString("-"));
    return marks.join(' ');
}

// Sectors of a UDF volume in memory; a sector not there cannot be read.
using Sectors = std::map<quint32, QByteArray>;

QByteArray Descriptor(int tag, const QByteArray &body = {})
{
    QByteArray sector(2048, 0);
    sector[0] = char(tag);
    std::memcpy(sector.data() + 16, body.constData(), size_t(qMin<qsizetype>(body.size(), 2048 - 16)));
    return sector;
}

// An anchor pointing to 16 descriptors at 32, the descriptors given.
Sectors Volume(const QList<QByteArray> &descriptors)
{
    QByteArray extent(8, 0);
    extent[1] = char(16 * 2048 >> 8); // length, little-endian
    extent[4] = 32;                   // location
    Sectors sectors{{256, Descriptor(2, extent)}};
    for (int i = 0; i < descriptors.size(); ++i)
        sectors[quint32(32 + i)] = descriptors.at(i);
    return sectors;
}

// A primary volume descriptor whose identifier is the dstring `id`.
QByteArray Primary(int compression, const QByteArray &characters)
{
    QByteArray body(8 + 32, 0);
    body[8] = char(compression);
    std::memcpy(body.data() + 9, characters.constData(), size_t(characters.size()));
    body[8 + 31] = char(characters.size() + 1);
    return Descriptor(1, body);
}

QByteArray Utf16Be(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text)
        bytes += char(c.unicode() >> 8), bytes += char(c.unicode() & 0xff);
    return bytes;
}

// The titles of a disc, or why they could not be read.
DiscInfo ReadDisc(const QString &source, QString *error)
{
    DiscInfo info;
    auto disc = DvdDisc::Open(source, error);
    if (disc)
        disc->ReadInfo(info, error);
    return info;
}

// The title set VOB each unit of an angle came from, in the order read.
QList<int> UnitVobs(const QString &source, const DiscTitle &title, int angle, qint64 *blocks)
{
    QList<int> vobs;
    auto disc = DvdDisc::Open(source);
    auto reader = disc ? disc->OpenTitle(title, angle) : nullptr;
    if (!reader)
        return vobs;
    unsigned char block[DiscTitleReader::kBlockSize];
    *blocks = 0;
    while (reader->Read(block, 1) == 1) {
        ++*blocks;
        // A navigation pack: its search information names its VOB.
        if (block[0x26 + 3] == 0xbf && block[0x406] == 0x01) {
            const int vob = block[0x41f] << 8 | block[0x420];
            if (vobs.isEmpty() || vobs.constLast() != vob)
                vobs << vob;
        }
    }
    return vobs;
}

} // namespace

class TestTitleStructure : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    // The angle read is the angle chosen, throughout: never the other
    // angle's units that share its cell's range.
    void anglesOfAnInterleavedTitle()
    {
        const QString folder = dir_.filePath("angles"), iso = dir_.filePath("angles.iso");
        QString said;
        QVERIFY2(test::MakeAngleTestDisc(folder, iso, &said), qPrintable(said));
        for (const QString &source : {folder, iso}) {
            QString error;
            const DiscInfo info = ReadDisc(source, &error);
            QVERIFY2(info.titles.size() == 1, qPrintable(error));
            const DiscTitle &title = info.titles.constFirst();
            QCOMPARE(title.angles, 2);
            QVERIFY2(qAbs(title.durationMs - 12000) < 200, qPrintable(QString::number(title.durationMs)));
            // the lead-in's VOB, then the angle's own
            qint64 blocks[2] = {};
            QCOMPARE(UnitVobs(source, title, 1, &blocks[0]), (QList<int>{1, 2}));
            QCOMPARE(UnitVobs(source, title, 2, &blocks[1]), (QList<int>{1, 3}));
            // the lead-in and each angle's own units, nothing more
            QCOMPARE(blocks[0], 77 + 1721);
            QCOMPARE(blocks[1], 77 + 559);
        }
    }

    // The play-all title of a one-episode disc plays the episode's very
    // cells: the episode is the repeat (the series disc is the window's test).
    void titleWithTheCellsOfAnother()
    {
        const QString single = dir_.filePath("single");
        QString said, error;
        QVERIFY2(test::MakeTestDisc(single, {"--titles", "10", "--chapter", "0", "--play-all"}, {}, &said),
                 qPrintable(said));
        const DiscInfo info = ReadDisc(single, &error);
        QCOMPARE(info.titles.size(), 2);
        QCOMPARE(info.titles[0].repeat, TitleRepeat::None);
        QCOMPARE(info.titles[1].repeat, TitleRepeat::SameAs);
        QCOMPARE(info.titles[1].sameAsTitle, 1);
    }

    // Which cells a title plays, from its parts; decoy titles refused.
    void describe_data()
    {
        QTest::addColumn<QString>("chains");
        QTest::addColumn<QString>("titles");
        QTest::addColumn<int>("title");
        QTest::addColumn<QString>("expected");
        const QString two = "0-99 100-199";
        QTest::newRow("a chain") << two << "1.1 1.2" << 1 << "cells 0-99 100-199 | 10000 ms | chapters 0 5000";
        QTest::newRow("from its first part's program")
            << two << "1.2" << 1 << "cells 100-199 | 5000 ms | chapters 0";
        QTest::newRow("two chains") << two + " / 200-299" << "1.1 2.1" << 1
                                    << "cells 0-99 100-199 200-299 | 15000 ms | chapters 0 10000";
        QTest::newRow("a chain named twice plays once")
            << two << "1.1 1.2 1.1" << 1 << "cells 0-99 100-199 | 10000 ms | chapters 0 5000 0";
        QTest::newRow("angle block") << "0-99 a100-399 l200-499 500-599" << "1.1" << 1
                                     << "cells 0-99 100-399 500-599 | angle 2: 0-99 200-499 500-599 | 15000 ms | "
                                        "chapters 0";
        QTest::newRow("three angles") << "a0-99 i0-199 l0-299" << "1.1" << 1
                                      << "cells 0-99 | angle 2: 0-199 | angle 3: 0-299 | 5000 ms | chapters 0";
        QTest::newRow("the second title") << two << "1.1 / 1.2" << 2 << "cells 100-199 | 5000 ms | chapters 0";
        // the marks of decoys
        QTest::newRow("a chain without cells") << " / 0-99" << "1.1" << 1 << "none";
        QTest::newRow("a cell that ends where it starts") << "0-0" << "1.1" << 1 << "none";
        QTest::newRow("a cell backwards") << "0-99 300-200" << "1.1" << 1 << "none";
        QTest::newRow("a cell beyond the title set") << "0-99 100-5000" << "1.1" << 1 << "none";
        QTest::newRow("a part names no chain") << two << "3.1" << 1 << "none";
        QTest::newRow("a part names no program") << two << "1.1 1.3" << 1 << "none";
        QTest::newRow("a part names chain 0") << two << "0.1" << 1 << "none";
        QTest::newRow("no such title in the set") << two << "1.1" << 2 << "none";
        QTest::newRow("a title without parts") << two << "" << 1 << "none";
    }
    void describe()
    {
        QFETCH(QString, chains);
        QFETCH(QString, titles);
        QFETCH(int, title);
        QFETCH(QString, expected);
        const FakeTitleSet set(chains, titles);
        QCOMPARE(Described(set.Handle(), title, 1000), expected);
    }

    // Each kind of audio by the id the encoder gives its stream.
    void audioKinds()
    {
        FakeTitleSet set("0-99", "1.1");
        set.SetAudio({0, 2, 3, 4, 6, 1, 5}, 1);
        DiscTitle title;
        title.titleInSet = 1;
        QVERIFY(DescribeTitle(set.Handle(), title, 1000));
        QStringList tracks;
        for (const DiscAudioTrack &track : title.audio)
            tracks << QString("%1 0x%2").arg(track.codec).arg(track.streamId, 0, 16);
        // formats 1 and 5 are no stream a player picks
        QCOMPARE(tracks, (QStringList{"AC3 0x81", "MPEG 0x1c2", "MPEG 0x1c3", "LPCM 0xa4", "DTS 0x8d"}));
    }

    void programMapNamingNoCell()
    {
        FakeTitleSet set("0-99 100-199", "1.1");
        auto *pgc = set.Handle()->vts_pgcit->pgci_srp[0].pgc;
        pgc->program_map[0] = 7;
        QCOMPARE(Described(set.Handle(), 1, 1000), "none");
        pgc->program_map = nullptr;
        QCOMPARE(Described(set.Handle(), 1, 1000), "none");
    }

    void repeats_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("sets");
        QTest::addColumn<QString>("marks");
        const QList<int> one;
        QTest::newRow("distinct") << QStringList{"1 2", "3"} << one << "- -";
        QTest::newRow("the same cells later") << QStringList{"1 2", "3", "1 2"} << one << "- - =1";
        QTest::newRow("play all first") << QStringList{"1 2 3 4", "1 2", "3 4"} << one << "* - -";
        QTest::newRow("play all of three, last") << QStringList{"1", "2", "3", "1 2 3"} << one << "- - - *";
        QTest::newRow("play all in another order") << QStringList{"2 1", "1", "2"} << one << "* - -";
        QTest::newRow("more than the others") << QStringList{"1 2 5", "1", "2"} << one << "- - -";
        QTest::newRow("one episode and more is no play all") << QStringList{"1 2", "1"} << one << "- -";
        QTest::newRow("a part of another title is kept") << QStringList{"1 2 3", "2"} << one << "- -";
        QTest::newRow("other title sets") << QStringList{"1 2", "1 2", "1", "2"} << QList<int>{1, 2, 2, 2}
                                          << "- * - -";
        QTest::newRow("a repeat of a play all") << QStringList{"1 2", "1 2", "1", "2"} << one << "* =1 - -";
        QTest::newRow("an empty title") << QStringList{"", ""} << one << "- -";
    }
    void repeats()
    {
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, sets);
        QFETCH(QString, marks);
        QCOMPARE(Marks(titles, sets), marks);
    }

    void udfLabel_data()
    {
        QTest::addColumn<int>("volume"); // which of the volumes below
        QTest::addColumn<QString>("label");
        QTest::newRow("8-bit") << 0 << "MOVIE";
        QTest::newRow("16-bit, Japanese") << 1 << "日本語ディスク";
        QTest::newRow("after other descriptors") << 2 << "SECOND";
        QTest::newRow("no anchor") << 3 << "";
        QTest::newRow("the end before a primary descriptor") << 4 << "";
        QTest::newRow("an unreadable descriptor") << 5 << "";
        QTest::newRow("a length past the field") << 6 << "ABC";
    }
    void udfLabel()
    {
        QFETCH(int, volume);
        QFETCH(QString, label);
        QByteArray overlong = Primary(8, "ABC");
        overlong[16 + 8 + 31] = char(200);
        const Sectors volumes[] = {
            Volume({Primary(8, "MOVIE   ")}),
            Volume({Primary(16, Utf16Be("日本語ディスク"))}),
            Volume({Descriptor(5), Descriptor(6), Primary(8, "SECOND")}),
            {{32, Primary(8, "MOVIE")}},
            Volume({Descriptor(5), Descriptor(8), Primary(8, "LATE")}),
            [] {
                Sectors s = Volume({Descriptor(5), Primary(8, "GONE")});
                s.erase(33);
                return s;
            }(),
            Volume({overlong}),
        };
        const Sectors &sectors = volumes[volume];
        const QString read = UdfVolumeLabel([&](quint32 sector, unsigned char *buffer) {
            const auto found = sectors.find(sector);
            if (found == sectors.end())
                return false;
            std::memcpy(buffer, found->second.constData(), 2048);
            return true;
        });
        QCOMPARE(read, label);
    }
};

QTEST_GUILESS_MAIN(TestTitleStructure)
#include "test_title_structure.moc"
