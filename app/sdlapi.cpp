#include "app/sdlapi.h"

#include <atomic>
#include <mutex>

namespace {

std::once_flag s_loaded;
std::atomic<const SdlApi*> s_api { nullptr };

void loadOnce()
{
    std::call_once(s_loaded, [] { s_api = sdlapi::load(sdlapi::libraryName()); });
}

} // namespace

namespace sdlapi {

const SdlApi* get()
{
    loadOnce();
    return s_api;
}

void setForTesting(const SdlApi* api)
{
    // Loaded first, so that a later first get() cannot put the library back.
    loadOnce();
    s_api = api;
}

} // namespace sdlapi
