#pragma once

// Platform half of QUVProcess on Linux.

#include <cstdint>

class QUVProcessImpl
{
public:
    QUVProcessImpl() = default;
    virtual ~QUVProcessImpl();

    static uint64_t GetPid();
    static bool IsValid(uint64_t pid);
    static bool Activate(uint64_t pid);
    static bool Activate(const char* name);
};
