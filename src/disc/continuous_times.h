#pragma once

#include <QtGlobal>

#include <array>

namespace zento {

// A title read block by block may join cells whose times do not run on: a
// play-all title's episodes each start again from nought, and a title may
// skip part of a stretch of the disc. A player plays such a join
// seamlessly; the encoder, reading the joined stream, sees times going back
// and, where one stream's packets of the old cell come after another's of
// the new one, shifts its own timeline twice, putting picture and sound
// seconds apart. This moves each cell's times (the pack clock, the packets'
// presentation and decoding stamps, the navigation packs' unit times) so
// that the cell starts where the one before it ended, by the start and end
// times its navigation packs give. Times within a cell, and a title whose
// cells run on, are left as they are.
class ContinuousTimes {
public:
    // Rewrites whole 2048-byte blocks in place, in the order they are played.
    void Apply(unsigned char *blocks, qsizetype size);
    // Whether a new cell whose first unit starts `gap` (90 kHz) after the
    // last unit read ended keeps its times; otherwise it is joined on.
    static bool RunsOn(qint64 gap);

private:
    // Moves a block's times; a navigation pack's own as well.
    void Block(unsigned char *block, bool navigation) const;
    // After a join whose cell was entered past its first unit (that unit's
    // pack lost), the sound and subpictures of the lost unit's time still
    // come in the next: they would go back in time across the join, and the
    // encoder would shift its whole timeline by that. They become padding.
    void DropStaleSound(unsigned char *block);

    qint64 shift_ = 0;   // added to the current cell's times (90 kHz)
    bool started_ = false;
    qint64 lastEnd_ = 0; // the end of the unit read last, moved by its shift
    int lastVob_ = 0;
    int lastCell_ = 0;
    bool joined_ = false;    // the current cell came after a join
    qint64 cellStart_ = 0;   // its first unit's start as read (90 kHz)
    std::array<bool, 256> stale_{}; // by stream: the last timed packet was before it
};

} // namespace zento
