// fontconfig keeps one process-wide configuration, loaded by the first
// FcInit() and published atomically: a second caller finds it ready, and one
// that comes while it is being loaded loads its own and keeps whichever was
// published first. So Qt, which calls FcInit() when it first needs a font,
// never waits for the helper and never gets a half-built configuration.

#include "app/fontwarmup.h"

#include <pthread.h>
#include <thread>

#include <fontconfig/fontconfig.h>

void fontsWarmUp()
{
    std::thread([] {
        pthread_setname_np(pthread_self(), "fontwarmup");
        FcInit();
    }).detach();
}
