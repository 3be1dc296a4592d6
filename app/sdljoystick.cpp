#include "app/sdljoystick.h"

#include <atomic>
#include <cstdint>

#include "app/sdlapi.h"

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
    : m_sdl(sdlapi::get())
{
    // Without SDL there is no joystick: every count below reads as none.
    if (!m_sdl)
        return;
    // SDL would otherwise turn SIGINT and SIGTERM into an SDL_QUIT event that
    // nobody acts on, and the process could no longer be stopped. SDL_Quit
    // clears every hint, so this is set again before each start.
    m_sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Each SDL_PollEvent must refresh the joystick states; with the sentinel,
    // a poll that finds events still queued would read the states of the
    // previous one.
    m_sdl->SetHint(SDL_HINT_POLL_SENTINEL, "0");
    m_sdl->Init(SDL_INIT_JOYSTICK);
}

SdlJoystick::~SdlJoystick()
{
    axes.clear();
    buttons.clear();
    if (!m_sdl)
        return;
    if (m_joystick)
        m_sdl->JoystickClose(m_joystick);
    m_sdl->QuitSubSystem(SDL_INIT_JOYSTICK);
    m_sdl->Quit();
}

int SdlJoystick::joysticksCount()
{
    return m_sdl ? m_sdl->NumJoysticks() : 0;
}

void SdlJoystick::joystickOpen(int index)
{
    if (!m_sdl)
        return;
    if (m_joystick)
        m_sdl->JoystickClose(m_joystick);
    m_joystick = m_sdl->JoystickOpen(index);
}

bool SdlJoystick::joystickOpened()
{
    return m_joystick != nullptr;
}

QString SdlJoystick::joystickName()
{
    const char* name = m_sdl ? m_sdl->JoystickName(m_joystick) : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

// SDL reports -1 for a missing handle; so do these without SDL.
int SdlJoystick::joystickNumAxes()
{
    return m_sdl ? m_sdl->JoystickNumAxes(m_joystick) : -1;
}

int SdlJoystick::joystickNumButtons()
{
    return m_sdl ? m_sdl->JoystickNumButtons(m_joystick) : -1;
}

int SdlJoystick::joystickCurrent()
{
    return m_sdl ? m_sdl->JoystickInstanceID(m_joystick) : -1;
}

void SdlJoystick::checkStuff() { }

void SdlJoystick::getdata()
{
    axes.clear();
    buttons.clear();
    SDL_Event event;
    if (!m_sdl || !m_sdl->PollEvent(&event))
        return;
    ++s_eventCount;
    const bool resting = s_eventCount <= WARM_UP_EVENTS;
    // SDL reports -1 for a missing handle, so nothing is read then.
    const int axisCount = m_sdl->JoystickNumAxes(m_joystick);
    for (int i = 0; i < axisCount; ++i)
        axes.append(resting ? 0 : m_sdl->JoystickGetAxis(m_joystick, i));
    const int buttonCount = m_sdl->JoystickNumButtons(m_joystick);
    for (int i = 0; i < buttonCount; ++i)
        buttons.append(m_sdl->JoystickGetButton(m_joystick, i) != 0);
}
