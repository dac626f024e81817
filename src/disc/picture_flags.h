#pragma once

#include <QtGlobal>

#include "disc/dvd_disc.h"

namespace zento {

// What the MPEG-2 pictures of a stretch of a title say of themselves, read
// from their sequence headers and picture coding extensions without
// decoding them.
struct PictureFlags {
    int pictures = 0;         // picture coding extensions found
    int repeatFirstField = 0; // of them, shown for three fields instead of two
    int progressive = 0;      // of them, progressive frames
    int width = 0, height = 0; // the picture's size, from the last sequence header (0: none read)
    QList<int> audioStreams;   // the audio streams met in a title's stretches (as AudioStreamsIn names them)
};

// Reads the video packets (stream 0xE0) of program stream packs, 2048 bytes
// each, as a title's blocks hold them; anything else in them is passed over.
// Counts add to `flags`, so that several stretches can be read into one.
void ReadPictureFlags(const unsigned char *blocks, qsizetype size, PictureFlags &flags);

// Whether the pictures are film shown by 3:2 pulldown flags (soft telecine):
// progressive frames, a quarter or more of them repeating their first field,
// and enough pictures to tell.
bool IsSoftTelecine(const PictureFlags &flags);

// Reads a few stretches of a title (about 0.2 s of picture each, at one,
// three, five, seven and nine tenths of it) through its reader; the picture's size,
// where no stretch held a sequence header, from the title's start.
PictureFlags SampleTitlePictures(DiscTitleReader &reader);

} // namespace zento
