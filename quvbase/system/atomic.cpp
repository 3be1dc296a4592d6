#include "quvbase/system/quvatomic.h"

// The GCC builtins compile to lock-prefixed instructions on x86-64, which
// stay atomic even on an address that is not naturally aligned (the debug
// log's fixed layout has such 64-bit fields).

QUVAtomic::~QUVAtomic() = default;

void* QUVAtomic::Exchange(void* volatile* p, void* value)
{
    (void)__atomic_exchange_n(p, value, __ATOMIC_SEQ_CST);
    return __atomic_load_n(p, __ATOMIC_SEQ_CST);
}

int QUVAtomic::Exchange(int volatile* p, int value)
{
    (void)__atomic_exchange_n(p, value, __ATOMIC_SEQ_CST);
    return __atomic_load_n(p, __ATOMIC_SEQ_CST);
}

unsigned int QUVAtomic::Exchange(unsigned int volatile* p, unsigned int value)
{
    return __atomic_exchange_n(p, value, __ATOMIC_SEQ_CST);
}

long long QUVAtomic::Exchange(long long volatile* p, long long value)
{
    (void)__atomic_exchange_n(p, value, __ATOMIC_SEQ_CST);
    // A read-modify-write read, not a plain load: atomic on any alignment.
    return __atomic_fetch_add(p, 0, __ATOMIC_SEQ_CST);
}

unsigned long long QUVAtomic::Exchange(unsigned long long volatile* p, unsigned long long value)
{
    return __atomic_exchange_n(p, value, __ATOMIC_SEQ_CST);
}

int QUVAtomic::Increment(int volatile* p)
{
    return int(__atomic_add_fetch(reinterpret_cast<unsigned int volatile*>(p), 1u, __ATOMIC_SEQ_CST));
}

int QUVAtomic::Decrement(int volatile* p)
{
    return int(__atomic_sub_fetch(reinterpret_cast<unsigned int volatile*>(p), 1u, __ATOMIC_SEQ_CST));
}

unsigned int QUVAtomic::Increment(unsigned int volatile* p)
{
    return __atomic_add_fetch(p, 1u, __ATOMIC_SEQ_CST);
}

unsigned int QUVAtomic::Decrement(unsigned int volatile* p)
{
    const unsigned int value = __atomic_sub_fetch(p, 1u, __ATOMIC_SEQ_CST);
    return (value & 0x80000000u) ? 0 : value;
}

long long QUVAtomic::Increment(long long volatile* p)
{
    return (long long)__atomic_add_fetch(reinterpret_cast<unsigned long long volatile*>(p), 1u, __ATOMIC_SEQ_CST);
}

long long QUVAtomic::Decrement(long long volatile* p)
{
    return (long long)__atomic_sub_fetch(reinterpret_cast<unsigned long long volatile*>(p), 1u, __ATOMIC_SEQ_CST);
}

unsigned long long QUVAtomic::Increment(unsigned long long volatile* p)
{
    return __atomic_add_fetch(p, 1u, __ATOMIC_SEQ_CST);
}

unsigned long long QUVAtomic::Decrement(unsigned long long volatile* p)
{
    const unsigned long long value = __atomic_sub_fetch(p, 1u, __ATOMIC_SEQ_CST);
    return (value & 0x8000000000000000ull) ? 0 : value;
}
