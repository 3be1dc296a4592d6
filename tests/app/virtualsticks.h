#pragma once

// Virtual joysticks for the controller's tests and benchmarks. install() wraps
// the program's SDL table so that every start of SDL finds the sticks plugged
// here, as it would find real ones (the re-creation of SDL after a rescan
// re-opens them), and so that an open can be made to fail, as for a device
// node the user may not read. The sticks are moved with SDL's own functions
// (SDL_JoystickSetVirtualAxis ...): the program and the caller share the one
// SDL library of the process.

#include "app/sdlapi.h"

#include <atomic>

#include <QByteArray>
#include <QList>

namespace apptest::sticks {

struct Stick
{
    QByteArray name;
    int axes;
    int buttons;
};

// The sticks the next start of SDL finds.
inline QList<Stick> plugged;
// A listed stick cannot be opened.
inline std::atomic<bool> failOpen { false };
// Starts of SDL, and those without the hint that keeps SIGINT and SIGTERM from SDL.
inline std::atomic<int> starts { 0 };
inline std::atomic<int> startsWithSignalHandlers { 0 };

inline const SdlApi*& system()
{
    static const SdlApi* api = nullptr;
    return api;
}

inline int init(Uint32 flags)
{
    ++starts;
    if (!SDL_GetHintBoolean(SDL_HINT_NO_SIGNAL_HANDLERS, SDL_FALSE))
        ++startsWithSignalHandlers;
    const int result = system()->Init(flags);
    for (const Stick& stick : plugged) {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.name = stick.name.constData();
        desc.naxes = Uint16(stick.axes);
        desc.nbuttons = Uint16(stick.buttons);
        SDL_JoystickAttachVirtualEx(&desc);
    }
    return result;
}

inline SDL_Joystick* open(int index)
{
    return failOpen ? nullptr : system()->JoystickOpen(index);
}

// Puts the wrapped table in place; false when the system has no SDL.
inline bool install()
{
    static SdlApi wrapped {};
    if (!system()) {
        system() = sdlapi::get();
        if (!system())
            return false;
        wrapped = *system();
        wrapped.Init = init;
        wrapped.JoystickOpen = open;
    }
    sdlapi::setForTesting(&wrapped);
    return true;
}

// The opened stick (the first one), to move its controls.
inline SDL_Joystick* first()
{
    return SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(0));
}

} // namespace apptest::sticks
