#include "engine/WriteBehind.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace hookmeter {

TWriteBehind::TWriteBehind(int descriptor, uint64_t startAfter, uint64_t window)
    : Descriptor(descriptor), Window(window), Handed(startAfter) {
#if defined(__linux__)
    struct stat info;
    Enabled = window > 0 && ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
#endif
}

bool TWriteBehind::Written(uint64_t bytes) {
    Size += bytes;
    if (!Enabled)
        return true;
#if defined(__linux__)
    while (Size >= Handed + Window) {
        // Start writing this window; wait for the one before and drop it from the cache.
        if (::sync_file_range(Descriptor, off64_t(Handed), off64_t(Window),
                              SYNC_FILE_RANGE_WRITE) != 0) {
            Enabled = false; // a file system that cannot: the page cache keeps it all
            return errno != EIO && errno != ENOSPC;
        }
        if (Handed >= Window) {
            off64_t before = off64_t(Handed - Window);
            if (::sync_file_range(Descriptor, before, off64_t(Window),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER) != 0) {
                Enabled = false;
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
