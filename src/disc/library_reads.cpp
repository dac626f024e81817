// The program's own read(): every library in the process reads through it.
// Outside a LibraryReadLimit it is the C library's read, nothing more.
#undef _FORTIFY_SOURCE

#include "disc/library_reads.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace zento {

namespace {

thread_local std::int64_t tLimit = -1; // -1: no limit on this thread
thread_local std::int64_t tReads = 0;

using ReadFunction = ssize_t (*)(int, void *, size_t);

ReadFunction NextRead()
{
    static const ReadFunction next = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    return next;
}

} // namespace

LibraryReadLimit::LibraryReadLimit() : outermost_(tLimit < 0)
{
    if (outermost_) {
        tLimit = kReads;
        tReads = 0;
    }
}

LibraryReadLimit::~LibraryReadLimit()
{
    if (outermost_)
        tLimit = -1;
}

bool LibraryReadLimit::Spent() const
{
    return tLimit >= 0 && tReads > tLimit;
}

} // namespace zento

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    using namespace zento;
    if (tLimit >= 0 && ++tReads > tLimit) {
        errno = EIO;
        return -1;
    }
    if (const ReadFunction next = NextRead())
        return next(fd, buffer, size);
    return ssize_t(syscall(SYS_read, fd, buffer, size));
}
