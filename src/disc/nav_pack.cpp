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

bool StartCode(const unsigned char *at, unsigned char id)
{
    return at[0] == 0 && at[1] == 0 && at[2] == 1 && at[3] == id;
}

} // namespace

std::optional<quint32> NavPackStartTime(const unsigned char *block, qsizetype size)
{
    if (!block || size < kBlock || !StartCode(block, 0xba) || !StartCode(block + kPciPacket, 0xbf) ||
        block[kPciData - 1] != 0x00)
        return std::nullopt;
    // The reader takes a writable buffer: it gets a copy.
    unsigned char copy[kBlock];
    std::memcpy(copy, block, kBlock);
    pci_t pci;
    std::memset(&pci, 0, sizeof pci);
    navRead_PCI(&pci, copy + kPciData);
    const quint32 start = pci.pci_gi.vobu_s_ptm;
    return start;
}

} // namespace zento
