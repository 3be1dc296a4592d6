#pragma once

// The process's one door to SDL's joystick functions: it starts SDL's
// joystick subsystem, opens a joystick and, once per poll, takes one SDL event
// and copies the current axis and button states into two lists. SDL is loaded
// when the first instance is made (sdlapi.h); without it there is no joystick.

#include <QList>
#include <QObject>
#include <QString>

struct SdlApi;
struct _SDL_Joystick;

class SdlJoystick : public QObject
{
    Q_OBJECT

public:
    // Creates the instance (and starts SDL) on first use.
    static SdlJoystick* GetInstance();
    // Deletes the instance, which shuts SDL down; the next GetInstance starts
    // it again and so enumerates the joysticks anew.
    static void ReleaseInstance();

    int joysticksCount();
    // Opens joystick index (closing one opened before); a failed open leaves
    // no handle, which is not an error.
    void joystickOpen(int index);
    bool joystickOpened();
    // The open joystick's name; empty when there is none or SDL has none.
    QString joystickName();
    // Counts of the open joystick; negative when none is open.
    int joystickNumAxes();
    int joystickNumButtons();
    int joystickCurrent();
    void checkStuff();
    // Takes one SDL event. Without one, both lists stay empty for this poll;
    // with one, they hold the current states (raw axes -32768..32767). The
    // first ten events of the process report every axis at rest (0): a stick
    // reads garbage until it has sent a few events of its own.
    void getdata();

    QList<int> axes;
    QList<bool> buttons;

private:
    SdlJoystick();
    ~SdlJoystick() override;

    // The SDL functions; null when SDL cannot be had.
    const SdlApi* m_sdl = nullptr;
    _SDL_Joystick* m_joystick = nullptr;
};
