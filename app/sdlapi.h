#pragma once

// The SDL functions the joystick bridge calls, looked up at run time instead of
// linked. SDL brings some thirty libraries of its own (sound servers, audio
// codecs, Wayland, DRM) that only the joystick needs: the program loads them
// on the control thread when the controller first looks for joysticks, at the
// window's first scan after it is shown, and a machine without SDL runs
// without joystick support. How the library is found is the
// platform's (linux/sdlapi_linux.cpp).

#include <SDL.h>

struct SdlApi
{
    decltype(&SDL_SetHint) SetHint;
    decltype(&SDL_Init) Init;
    decltype(&SDL_QuitSubSystem) QuitSubSystem;
    decltype(&SDL_Quit) Quit;
    decltype(&SDL_NumJoysticks) NumJoysticks;
    decltype(&SDL_JoystickOpen) JoystickOpen;
    decltype(&SDL_JoystickClose) JoystickClose;
    decltype(&SDL_JoystickName) JoystickName;
    decltype(&SDL_JoystickNumAxes) JoystickNumAxes;
    decltype(&SDL_JoystickNumButtons) JoystickNumButtons;
    decltype(&SDL_JoystickInstanceID) JoystickInstanceID;
    decltype(&SDL_PollEvent) PollEvent;
    decltype(&SDL_JoystickGetAxis) JoystickGetAxis;
    decltype(&SDL_JoystickGetButton) JoystickGetButton;
};

namespace sdlapi {

// The system's SDL library, loaded by the first call from any thread; every
// later call returns the same table. Null when SDL cannot be had, which the
// first call reports in one debug line.
const SdlApi* get();

// Loads the library by the name the platform knows it under and looks up every
// function of the table; null, and one debug line saying why and that the
// program runs without joystick support, when the library or a function is
// missing. The table lives as long as the process.
const SdlApi* load(const char* library);

// The library get() loads: "libSDL2-2.0.so.0" on Linux.
const char* libraryName();

// What get() returns from now on, for tests: a table whose functions a test
// wraps, or null as on a machine without SDL.
void setForTesting(const SdlApi* api);

} // namespace sdlapi
