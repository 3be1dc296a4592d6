// SDL through the dynamic linker: dlopen by the library's soname, then dlsym
// for each function of the table. The library is never closed: SDL may leave
// threads and exit handlers behind that point into it.

#include "app/sdlapi.h"

#include <dlfcn.h>

#include <QDebug>

namespace {

// Looks name up in handle into function; false and the reason in error when missing.
template<typename Function> bool lookUp(void* handle, const char* name, Function& function, QString& error)
{
    dlerror();
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (function)
        return true;
    const char* reason = dlerror();
    error = reason ? QString::fromLocal8Bit(reason) : QStringLiteral("%1 is missing").arg(QLatin1String(name));
    return false;
}

} // namespace

namespace sdlapi {

const char* libraryName()
{
    return "libSDL2-2.0.so.0";
}

const SdlApi* load(const char* library)
{
    QString error;
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? QString::fromLocal8Bit(reason)
                       : QStringLiteral("%1 cannot be loaded").arg(QLatin1String(library));
    }
    SdlApi api {};
    const bool complete = handle && lookUp(handle, "SDL_SetHint", api.SetHint, error)
        && lookUp(handle, "SDL_Init", api.Init, error) && lookUp(handle, "SDL_QuitSubSystem", api.QuitSubSystem, error)
        && lookUp(handle, "SDL_Quit", api.Quit, error) && lookUp(handle, "SDL_NumJoysticks", api.NumJoysticks, error)
        && lookUp(handle, "SDL_JoystickOpen", api.JoystickOpen, error)
        && lookUp(handle, "SDL_JoystickClose", api.JoystickClose, error)
        && lookUp(handle, "SDL_JoystickName", api.JoystickName, error)
        && lookUp(handle, "SDL_JoystickNumAxes", api.JoystickNumAxes, error)
        && lookUp(handle, "SDL_JoystickNumButtons", api.JoystickNumButtons, error)
        && lookUp(handle, "SDL_JoystickInstanceID", api.JoystickInstanceID, error)
        && lookUp(handle, "SDL_PollEvent", api.PollEvent, error)
        && lookUp(handle, "SDL_JoystickGetAxis", api.JoystickGetAxis, error)
        && lookUp(handle, "SDL_JoystickGetButton", api.JoystickGetButton, error);
    if (!complete) {
        if (handle)
            dlclose(handle); // not SDL, or not the SDL this program needs: nothing of it has run
        qDebug().noquote() << "SdlJoystick: no joystick support:" << error;
        return nullptr;
    }
    return new SdlApi(api);
}

} // namespace sdlapi
