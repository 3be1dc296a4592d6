#pragma once

// Heap blocks, aligned heap blocks and named POSIX shared-memory segments.

#include <cstddef>

class QUVMemory
{
public:
    QUVMemory() = default;
    virtual ~QUVMemory();

    // malloc; null (reported) for size 0 or a failed allocation.
    static void* Allocate(size_t size);
    // free; a null address is reported and ignored.
    static void Free(void* p);
    // posix_memalign; null (reported) for size 0 or a failure (an alignment
    // that is not a power of two multiple of sizeof(void*) included).
    static void* AllocateAligned(size_t size, size_t alignment);
    static void FreeAligned(void* p);

    // Maps the shared segment "/<name>", creating it owner-only (0600) when it
    // does not exist. *size is the wanted length on entry and the mapped length
    // (raised to a multiple of 4096) on return. A segment already mapped in
    // this process is mapped once: the call counts one more reference and gives
    // back the first mapping's address and size. An existing segment smaller
    // than the request, or owned by another user, is refused; one of this
    // user's own is made owner-only. Null on any failure. Segments are never
    // unlinked: they outlive the process for the next one that opens them.
    static void* AllocateShared(size_t* size, const char* name);
    // Drops one reference to the mapping at address; the last one unmaps it.
    static void FreeShared(void* address);
};
