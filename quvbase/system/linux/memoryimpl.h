#pragma once

// Platform half of QUVMemory's named segments on Linux: POSIX shared memory
// under /dev/shm, owner-only and never unlinked. Failures of the system calls
// go to syslog.

#include <cstddef>
#include <string>

class QUVMemoryImpl
{
public:
    QUVMemoryImpl() = delete;

    // Opens the segment systemName ("/<name>"), creating it owner-only when
    // it does not exist, and maps size bytes raised to a multiple of 4096.
    // Gives the address, with *mappedSize the mapped length and *descriptor
    // the descriptor to keep open while the mapping lives. Null, with nothing
    // left open, on any failure: a size that no segment can have, a segment
    // owned by another user or smaller than the mapping, or a refused call.
    static void* MapShared(const std::string& systemName, size_t size, size_t* mappedSize, int* descriptor);
    // Unmaps what MapShared mapped and closes its descriptor; the segment
    // stays in the system.
    static void UnmapShared(void* address, size_t mappedSize, int descriptor);
};
