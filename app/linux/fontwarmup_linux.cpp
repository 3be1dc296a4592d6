// fontconfig keeps one process-wide configuration, loaded by the first
// FcInit() and published atomically: a second caller finds it ready, and one
// that comes while it is being loaded loads its own and keeps whichever was
// published first. So Qt, which calls FcInit() when it first needs a font,
// never waits for the helper and never gets a half-built configuration.

#include "app/fontwarmup.h"

#include <pthread.h>

#include <fontconfig/fontconfig.h>

FontsWarmUp::FontsWarmUp()
    : m_thread([] {
        pthread_setname_np(pthread_self(), "fontwarmup");
        FcInit();
    })
{
}

FontsWarmUp::~FontsWarmUp()
{
    // By the end of the program the configuration has long been read: this
    // waits only when the program ends within its first few milliseconds.
    m_thread.join();
}
