#include "quvbase/system/quvmemory.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <list>
#include <new>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog.h"

namespace {

constexpr int kUnit = 0;
constexpr int kError = 3;
constexpr size_t kPageSize = 4096;

// One segment mapped in this process.
struct SharedSegmentRecord
{
    std::string name;
    void* address = nullptr;
    size_t size = 0;
    int32_t referenceCount = 0;
    int descriptor = -1;
};

// The segments this process has mapped, and the lock that guards the list.
// Built when the program starts and torn down at exit.
struct SegmentRegistry
{
    SegmentRegistry()
        : lock(new QUVLock(nullptr))
    { }
    ~SegmentRegistry()
    {
        delete lock;
        lock = nullptr;
    }

    QUVLock* lock;
    std::list<SharedSegmentRecord> records;
};

SegmentRegistry s_registry;

} // namespace

QUVMemory::~QUVMemory() = default;

void* QUVMemory::Allocate(size_t size)
{
    if (size == 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::Allocate  size is 0");
        return nullptr;
    }
    void* block = malloc(size);
    if (!block)
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::Allocate  allocation failed");
    return block;
}

void QUVMemory::Free(void* p)
{
    if (!p) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::Free  memory address is NULL");
        return;
    }
    free(p);
}

void* QUVMemory::AllocateAligned(size_t size, size_t alignment)
{
    if (size == 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateAligned  size is 0");
        return nullptr;
    }
    // posix_memalign takes a power of two that is a multiple of the pointer
    // size; anything else is refused here rather than handed to the C library.
    const bool validAlignment = alignment >= sizeof(void*) && (alignment & (alignment - 1)) == 0;
    void* block = nullptr;
    if (!validAlignment || posix_memalign(&block, alignment, size) != 0 || !block) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
            "QUVMemory::AllocateAligned  allocation failed size=%d alignment=%d", int(size), int(alignment));
        return nullptr;
    }
    return block;
}

void QUVMemory::FreeAligned(void* p)
{
    if (!p) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::FreeAligned  memory address is NULL");
        return;
    }
    free(p);
}

void* QUVMemory::AllocateShared(size_t* size, const char* name)
{
    // The registry exists from static initialisation to exit; a call from
    // another static initialiser or destructor outside that span gets nothing.
    if (!s_registry.lock)
        return nullptr;
    QUVAutoLock guard(s_registry.lock);

    if (!size) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateShared  size is NULL");
        return nullptr;
    }
    if (*size == 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateShared  size is 0");
        return nullptr;
    }
    if (!name) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateShared  share name is NULL");
        return nullptr;
    }
    if (*name == '\0') {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateShared  share name is empty");
        return nullptr;
    }

    const std::string systemName = std::string("/") + name;
    for (SharedSegmentRecord& record : s_registry.records) {
        if (record.name == systemName) {
            ++record.referenceCount;
            *size = record.size;
            return record.address;
        }
    }

    // Refused before anything is created: a request so large that rounding it
    // up wraps around, or that no object size (off_t) can hold.
    const size_t paddedSize = (*size + (kPageSize - 1)) & ~(kPageSize - 1);
    if (paddedSize < *size || uint64_t(paddedSize) > uint64_t(std::numeric_limits<off_t>::max())) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- ftruncate failed\n");
        return nullptr;
    }

    // Owner-only: the segment outlives the process and other local users have
    // no business reading or steering it.
    const int descriptor = shm_open(systemName.c_str(), O_RDWR | O_CREAT, 0600);
    if (descriptor < 0) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- shm_open failed");
        return nullptr;
    }

    // Touching a mapping beyond the object's end raises SIGBUS, so never map
    // more than the object holds: size a fresh object, and refuse an existing
    // one (stale, or made by someone else) that is smaller than the request.
    struct stat status
    {
    };
    if (fstat(descriptor, &status) != 0) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- fstat failed\n");
        close(descriptor);
        return nullptr;
    }
    // /dev/shm is shared by every local user: another one may have made the
    // segment first, open to all, to read or steer what this user's programs
    // put there. Only a segment of this user's own is mapped, and only with
    // the owner's access (the umask, or an older build, may have left more).
    if (status.st_uid != geteuid()) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- segment owned by another user\n");
        close(descriptor);
        return nullptr;
    }
    if ((status.st_mode & 07777) != 0600 && fchmod(descriptor, 0600) != 0) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- fchmod failed\n");
        close(descriptor);
        return nullptr;
    }
    if (status.st_size == 0) {
        if (ftruncate(descriptor, off_t(paddedSize)) != 0) {
            syslog(LOG_ERR, "QUVMemory::AllocateShared -- ftruncate failed\n");
            close(descriptor);
            return nullptr;
        }
    } else if (uint64_t(status.st_size) < paddedSize) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- segment smaller than requested\n");
        close(descriptor);
        return nullptr;
    }

    void* address = mmap(nullptr, paddedSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (address == MAP_FAILED) {
        syslog(LOG_ERR, "QUVMemory::AllocateShared -- mmap failed\n");
        close(descriptor);
        return nullptr;
    }

    try {
        SharedSegmentRecord record;
        record.name = systemName;
        record.address = address;
        record.size = paddedSize;
        record.referenceCount = 1;
        record.descriptor = descriptor;
        s_registry.records.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateShared  allocation failed");
        munmap(address, paddedSize);
        close(descriptor);
        return nullptr;
    }
    *size = paddedSize;
    return address;
}

void QUVMemory::FreeShared(void* address)
{
    if (!s_registry.lock)
        return;
    QUVAutoLock guard(s_registry.lock);

    for (auto it = s_registry.records.begin(); it != s_registry.records.end(); ++it) {
        if (it->address != address)
            continue;
        if (it->referenceCount-- > 1)
            return;
        munmap(it->address, it->size);
        close(it->descriptor);
        s_registry.records.erase(it);
        return;
    }
    QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::FreeShared  memory not found");
}
