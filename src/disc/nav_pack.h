#pragma once

#include <QtGlobal>

#include <optional>

namespace zento {

// The start time (90 kHz) of the video object unit that a navigation pack
// (the first block of every unit) opens; none when the block is no
// navigation pack.
std::optional<quint32> NavPackStartTime(const unsigned char *block, qsizetype size);

} // namespace zento
