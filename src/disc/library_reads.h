#pragma once

#include <cstdint>

namespace zento {

// libdvdread walks an image's file system tables block by block for as far
// as the tables say, up to four thousand million blocks, and neither a block
// past the end of the file nor one of the wrong kind ends the walk: a damaged
// image of a few hundred kilobytes keeps it reading for hours. While a
// LibraryReadLimit lives on a thread, the reads made on that thread are
// counted, and past the limit each one fails as a read of an unreadable disc
// does: the library gives up on the table it was walking. A real disc's
// tables take a few dozen reads.
class LibraryReadLimit {
public:
    static constexpr std::int64_t kReads = std::int64_t(1) << 16;

    // Only the outermost limit on a thread counts; one made inside it adds
    // nothing.
    LibraryReadLimit();
    ~LibraryReadLimit();
    LibraryReadLimit(const LibraryReadLimit &) = delete;
    LibraryReadLimit &operator=(const LibraryReadLimit &) = delete;

    // Whether reads were refused: what the library answered since is not to
    // be trusted.
    bool Spent() const;

private:
    bool outermost_;
};

} // namespace zento
