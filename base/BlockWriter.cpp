#include "base/BlockWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hookmeter {

TBlockWriter::TBlockWriter(int descriptor, uint64_t startAfter, uint64_t window)
    : Descriptor(descriptor), StartAfter(startAfter), Window(window), Handed(startAfter) {
#if defined(__linux__)
    struct stat info;
    Regular = window > 0 && ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
#endif
    DirectRefused = !Regular;
}

size_t TBlockWriter::AlignedSize(uint64_t offset, size_t size, uint64_t startAfter) {
    uint64_t end = offset + size;
    if (end <= startAfter)
        return size;
    uint64_t alignedEnd = end / Alignment * Alignment;
    return alignedEnd > offset ? size_t(alignedEnd - offset) : size;
}

void TBlockWriter::SetDirect(bool direct) {
#if defined(__linux__) && defined(O_DIRECT)
    int flags = ::fcntl(Descriptor, F_GETFL);
    if (flags >= 0 &&
        ::fcntl(Descriptor, F_SETFL, direct ? flags | O_DIRECT : flags & ~O_DIRECT) == 0) {
        Direct = direct;
        return;
    }
#endif
    if (direct)
        DirectRefused = true;
}

bool TBlockWriter::Write(const char* data, size_t size) {
    bool aligned = uintptr_t(data) % Alignment == 0 && size % Alignment == 0;
    if (!Direct && !DirectRefused && aligned && Offset >= StartAfter && Offset % Alignment == 0)
        SetDirect(true);
    if (Direct && !aligned)
        SetDirect(false); // the last block
    while (size > 0) {
        ssize_t written = ::write(Descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EINVAL || !Direct)
                return false;
            SetDirect(false); // the file system takes direct writes in name only
            DirectRefused = true;
            continue;
        }
        data += written;
        size -= size_t(written);
        Offset += uint64_t(written);
        if (Direct && size != 0) { // a short write: the rest would not start aligned
            SetDirect(false);
            DirectRefused = true;
        }
    }
    if (Direct) {
        Handed = Offset / Window * Window; // nothing before went through the cache
        return true;
    }
    return WriteBehind();
}

bool TBlockWriter::WriteBehind() {
#if defined(__linux__)
    if (!Regular)
        return true;
    while (Offset >= Handed + Window) {
        // Start writing this window; wait for the one before and drop it from the cache.
        if (::sync_file_range(Descriptor, off64_t(Handed), off64_t(Window),
                              SYNC_FILE_RANGE_WRITE) != 0) {
            Regular = false; // a file system that cannot: the page cache keeps it all
            return errno != EIO && errno != ENOSPC;
        }
        if (Handed >= Window) {
            off64_t before = off64_t(Handed - Window);
            if (::sync_file_range(Descriptor, before, off64_t(Window),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER) != 0) {
                Regular = false;
                return errno != EIO && errno != ENOSPC;
            }
            (void)::posix_fadvise(Descriptor, before, off64_t(Window), POSIX_FADV_DONTNEED);
        }
        Handed += Window;
    }
#endif
    return true;
}

} // namespace hookmeter
