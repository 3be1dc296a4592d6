#include "quvbase/system/quvmemory.h"

#include <cstdlib>
#include <list>
#include <new>
#include <string>

#include "memoryimpl.h"
#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog.h"

namespace {

constexpr int kUnit = 0;
constexpr int kError = 3;

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

    size_t mappedSize = 0;
    int descriptor = -1;
    void* address = QUVMemoryImpl::MapShared(systemName, *size, &mappedSize, &descriptor);
    if (!address)
        return nullptr;

    try {
        SharedSegmentRecord record;
        record.name = systemName;
        record.address = address;
        record.size = mappedSize;
        record.referenceCount = 1;
        record.descriptor = descriptor;
        s_registry.records.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::AllocateShared  allocation failed");
        QUVMemoryImpl::UnmapShared(address, mappedSize, descriptor);
        return nullptr;
    }
    *size = mappedSize;
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
        QUVMemoryImpl::UnmapShared(it->address, it->size, it->descriptor);
        s_registry.records.erase(it);
        return;
    }
    QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVMemory::FreeShared  memory not found");
}
