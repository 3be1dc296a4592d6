#pragma once

// Atomic exchange, increment and decrement on a caller's variable. Every
// operation is a full memory barrier; they also work across processes on
// variables in shared memory.

class QUVAtomic
{
public:
    QUVAtomic() = default;
    virtual ~QUVAtomic();

    // Signed and pointer exchanges return the value read back right after the
    // store (the new value unless another writer stored in between); the
    // unsigned exchanges return the value they replaced.
    static void* Exchange(void* volatile* p, void* value);
    static int Exchange(int volatile* p, int value);
    static unsigned int Exchange(unsigned int volatile* p, unsigned int value);
    static long long Exchange(long long volatile* p, long long value);
    static unsigned long long Exchange(unsigned long long volatile* p, unsigned long long value);

    // Each returns the new value. The unsigned decrements wrap the stored
    // value below 0 but return 0 for any result with its top bit set.
    static int Increment(int volatile* p);
    static int Decrement(int volatile* p);
    static unsigned int Increment(unsigned int volatile* p);
    static unsigned int Decrement(unsigned int volatile* p);
    static long long Increment(long long volatile* p);
    static long long Decrement(long long volatile* p);
    static unsigned long long Increment(unsigned long long volatile* p);
    static unsigned long long Decrement(unsigned long long volatile* p);
};
