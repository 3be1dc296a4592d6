#pragma once

// Process id and the existence test of another process.

#include <cstdint>
#include <memory>

class QUVProcessImpl;

class QUVProcess
{
public:
    QUVProcess();
    // Defined where the implementation is a complete type, as the
    // std::unique_ptr that deletes it needs.
    virtual ~QUVProcess();

    QUVProcess(const QUVProcess&) = delete;
    QUVProcess& operator=(const QUVProcess&) = delete;

    // The calling process's id.
    static uint64_t GetPid();
    // True when a process with that id exists and this process may signal it.
    // Ids that no process can have (0, or above the largest pid) are false.
    static bool IsValid(uint64_t pid);
    // Bringing another process to the front is not supported: always false.
    static bool Activate(uint64_t pid);
    static bool Activate(const char* name);

private:
    std::unique_ptr<QUVProcessImpl> m_impl;
};
