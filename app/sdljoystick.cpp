#include "app/sdljoystick.h"

#include <atomic>
#include <cstdint>

#include <SDL.h>

namespace {

std::atomic<SdlJoystick*> s_instance { nullptr };

// Events taken since the process started; survives re-creation.
uint64_t s_eventCount = 0;

// Events up to this count report resting axes.
const uint64_t WARM_UP_EVENTS = 10;

} // namespace

SdlJoystick* SdlJoystick::GetInstance()
{
    if (!s_instance)
        s_instance = new SdlJoystick;
    return s_instance;
}

void SdlJoystick::ReleaseInstance()
{
    delete s_instance.exchange(nullptr);
}

SdlJoystick::SdlJoystick()
{
    // SDL would otherwise turn SIGINT and SIGTERM into an SDL_QUIT event that
    // nobody acts on, and the process could no longer be stopped. SDL_Quit
    // clears every hint, so this is set again before each start.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Each SDL_PollEvent must refresh the joystick states; with the sentinel,
    // a poll that finds events still queued would read the states of the
    // previous one.
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    SDL_Init(SDL_INIT_JOYSTICK);
}

SdlJoystick::~SdlJoystick()
{
    axes.clear();
    buttons.clear();
    if (m_joystick)
        SDL_JoystickClose(m_joystick);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    SDL_Quit();
}

int SdlJoystick::joysticksCount()
{
    return SDL_NumJoysticks();
}

void SdlJoystick::joystickOpen(int index)
{
    if (m_joystick)
        SDL_JoystickClose(m_joystick);
    m_joystick = SDL_JoystickOpen(index);
}

bool SdlJoystick::joystickOpened()
{
    return m_joystick != nullptr;
}

QString SdlJoystick::joystickName()
{
    const char* name = SDL_JoystickName(m_joystick);
    return name ? QString::fromUtf8(name) : QString();
}

int SdlJoystick::joystickNumAxes()
{
    return SDL_JoystickNumAxes(m_joystick);
}

int SdlJoystick::joystickNumButtons()
{
    return SDL_JoystickNumButtons(m_joystick);
}

int SdlJoystick::joystickCurrent()
{
    return SDL_JoystickInstanceID(m_joystick);
}

void SdlJoystick::checkStuff() { }

void SdlJoystick::getdata()
{
    axes.clear();
    buttons.clear();
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return;
    ++s_eventCount;
    const bool resting = s_eventCount <= WARM_UP_EVENTS;
    // SDL reports -1 for a missing handle, so nothing is read then.
    const int axisCount = SDL_JoystickNumAxes(m_joystick);
    for (int i = 0; i < axisCount; ++i)
        axes.append(resting ? 0 : SDL_JoystickGetAxis(m_joystick, i));
    const int buttonCount = SDL_JoystickNumButtons(m_joystick);
    for (int i = 0; i < buttonCount; ++i)
        buttons.append(SDL_JoystickGetButton(m_joystick, i) != 0);
}
