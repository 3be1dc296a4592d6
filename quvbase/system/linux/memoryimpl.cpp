#include "quvbase/system/linux/memoryimpl.h"

#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace {

constexpr size_t kPageSize = 4096;

} // namespace

void* QUVMemoryImpl::MapShared(const std::string& systemName, size_t size, size_t* mappedSize, int* descriptor)
{
    // Refused before anything is created: a request so large that rounding it
    // up wraps around, or that no object size (off_t) can hold.
    const size_t paddedSize = (size + (kPageSize - 1)) & ~(kPageSize - 1);
    if (paddedSize < size || uint64_t(paddedSize) > uint64_t(std::numeric_limits<off_t>::max())) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- ftruncate failed\n");
        return nullptr;
    }

    // Owner-only: the segment outlives the process and other local users have
    // no business reading or steering it.
    const int segment = shm_open(systemName.c_str(), O_RDWR | O_CREAT, 0600);
    if (segment < 0) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- shm_open failed");
        return nullptr;
    }

    // Touching a mapping beyond the object's end raises SIGBUS, so never map
    // more than the object holds: size a fresh object, and refuse an existing
    // one (stale, or made by someone else) that is smaller than the request.
    struct stat status
    {
    };
    if (fstat(segment, &status) != 0) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- fstat failed\n");
        close(segment);
        return nullptr;
    }
    // /dev/shm is shared by every local user: another one may have made the
    // segment first, open to all, to read or steer what this user's programs
    // put there. Only a segment of this user's own is mapped, and only with
    // the owner's access (the umask, or an older build, may have left more).
    if (status.st_uid != geteuid()) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- segment owned by another user\n");
        close(segment);
        return nullptr;
    }
    if ((status.st_mode & 07777) != 0600 && fchmod(segment, 0600) != 0) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- fchmod failed\n");
        close(segment);
        return nullptr;
    }
    if (status.st_size == 0) {
        if (ftruncate(segment, off_t(paddedSize)) != 0) {
            syslog(LOG_ERR, "QUVMemory::AllocateShared -- ftruncate failed\n");
            close(segment);
            return nullptr;
        }
    } else if (uint64_t(status.st_size) < paddedSize) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- segment smaller than requested\n");
        close(segment);
        return nullptr;
    }

    void* address = mmap(nullptr, paddedSize, PROT_READ | PROT_WRITE, MAP_SHARED, segment, 0);
    if (address == MAP_FAILED) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- mmap failed\n");
        close(segment);
        return nullptr;
    }
    *mappedSize = paddedSize;
    *descriptor = segment;
    return address;
}

void QUVMemoryImpl::UnmapShared(void* address, size_t mappedSize, int descriptor)
{
    munmap(address, mappedSize);
    close(descriptor);
}
