#include "disc/nav_pack.h"

#include <cstdint>
#include <cstring>

extern "C" {
#include <dvdread/nav_read.h>
#include <dvdread/nav_types.h>
}

namespace zento {

namespace {

// A navigation pack: the pack header, the system header, then the
// presentation control packet (private stream 2, substream 0).
constexpr int kPciPacket = 0x26;
constexpr int kPciData = 0x2d;
constexpr int kBlock = 2048;
// Then the data search information packet (private stream 2, substream 1).
constexpr int kDsiPacket = 0x400;
constexpr int kDsiData = 0x407;

bool StartCode(const unsigned char *at, unsigned char id)
{
    return at[0] == 0 && at[1] == 0 && at[2] == 1 && at[3] == id;
}

// A whole block that opens as a navigation pack: the pack header, then the
// presentation control packet in its place.
bool HasPci(const unsigned char *block, qsizetype size)
{
    return block && size >= kBlock && StartCode(block, 0xba) && StartCode(block + kPciPacket, 0xbf) &&
           block[kPciData - 1] == 0x00;
}

} // namespace

std::optional<NavTimes> NavPackTimes(const unsigned char *block, qsizetype size)
{
    if (!HasPci(block, size))
        return std::nullopt;
    // The reader takes a writable buffer: it gets a copy.
    unsigned char copy[kBlock];
    std::memcpy(copy, block, kBlock);
    pci_t pci;
    std::memset(&pci, 0, sizeof pci);
    navRead_PCI(&pci, copy + kPciData);
    return NavTimes{pci.pci_gi.vobu_s_ptm, pci.pci_gi.vobu_e_ptm};
}

std::optional<quint32> NavPackStartTime(const unsigned char *block, qsizetype size)
{
    if (const auto times = NavPackTimes(block, size))
        return times->start;
    return std::nullopt;
}

std::optional<NavUnit> NavPackUnit(const unsigned char *block, qsizetype size)
{
    if (!HasPci(block, size) || !StartCode(block + kDsiPacket, 0xbf) || block[kDsiData - 1] != 0x01)
        return std::nullopt;
    unsigned char copy[kBlock];
    std::memcpy(copy, block, kBlock);
    dsi_t dsi;
    std::memset(&dsi, 0, sizeof dsi);
    navRead_DSI(&dsi, copy + kDsiData);
    NavUnit unit;
    unit.lastBlock = dsi.dsi_gi.vobu_ea;
    unit.vobId = dsi.dsi_gi.vobu_vob_idn;
    unit.cellId = dsi.dsi_gi.vobu_c_idn;
    const quint32 next = dsi.vobu_sri.next_vobu;
    // The high bit marks an offset that is there; the end of the cell has
    // a value of its own.
    unit.endOfCell = next == SRI_END_OF_CELL;
    if (!unit.endOfCell && (next & 0x80000000u))
        unit.next = next & 0x3fffffffu;
    return unit;
}

} // namespace zento
