// The controller poll on the control thread: the joystick's set-up, its
// buttons through the repeat filter and its axes normalised, sent on as
// operation codes and axis signals.

#include "app/controlbase.h"

#include <algorithm>

#include <QDebug>

#include "app/sdljoystick.h"

namespace {

std::atomic<ControlBase*> s_instance { nullptr };

// The last button change that passed the repeat filter, process-wide; the
// start values match no real button.
unsigned s_lastButton = 1234;
bool s_lastDown = false;

// A second identical change within this time is a bounce, not a press.
const uint32_t REPEAT_FILTER_MS = 100;

// Buttons that may repeat at any rate: the camera joystick's second pair of
// exposure step buttons.
bool repeatExempt(unsigned button)
{
    return button == 27 || button == 28;
}

} // namespace

ControlBase* ControlBase::GetInstance()
{
    if (!s_instance)
        s_instance = new ControlBase;
    return s_instance;
}

void ControlBase::ReleaseInstance()
{
    delete s_instance.load();
}

// SDL is not started here, on the thread that builds the window: it and the
// thirty-odd libraries it brings are loaded on the control thread at the poll
// after the first rescan request, which the window's first scan sends once it
// is shown. Until then no joystick is attached.
ControlBase::ControlBase() = default;

ControlBase::~ControlBase()
{
    // The control thread deletes the object when it finishes; a later
    // GetInstance must build a new one instead of returning freed memory.
    ControlBase* self = this;
    s_instance.compare_exchange_strong(self, nullptr);
    SdlJoystick::ReleaseInstance();
}

MapType ControlBase::mapType(const QString& name)
{
    return name.contains(QLatin1String("VM"), Qt::CaseSensitive) ? 1 : 0;
}

void ControlBase::joystickSetup()
{
    qDebug() << "joystickSetup";
    // Before the first rescan request's poll SDL has not started: no joystick.
    const bool listed = m_joystick && m_joystick->joysticksCount() >= 1;
    if (listed)
        m_joystick->joystickOpen(0);
    // A joystick that is listed but cannot be opened counts as none.
    if (!listed || !m_joystick->joystickOpened()) {
        m_attached = false;
        m_axisCount = 0;
        m_buttonCount = 0;
        m_name.clear();
        return;
    }
    m_axisCount = std::max(m_joystick->joystickNumAxes(), 0);
    m_buttonCount = std::max(m_joystick->joystickNumButtons(), 0);
    m_name = m_joystick->joystickName();
    m_map.mapTypeSet(mapType(m_name));
    m_lastButtons = QList<bool>();
    for (int i = 0; i < m_buttonCount; ++i)
        m_lastButtons.append(false);
    m_buttonTimer.Start();
    m_attached = true;
}

void ControlBase::slot_usbRescan()
{
    m_rescanPending = true;
}

void ControlBase::slot_controlPoll()
{
    if (m_rescanPending) {
        SdlJoystick::ReleaseInstance();
        m_joystick = SdlJoystick::GetInstance();
        joystickSetup();
        m_rescanPending = false;
    }
    if (m_attached) {
        m_joystick->getdata();
        buttonProcess();
        joystickUpdate();
    }
}

bool ControlBase::buttonPoll()
{
    if (!m_attached)
        return false;
    m_joystick->getdata();
    return buttonProcess();
}

bool ControlBase::buttonProcess()
{
    // No joystick before the first rescan request's poll, nor when none was found.
    if (!m_attached)
        return false;
    const QList<bool>& buttons = m_joystick->buttons;
    const int count = std::min({ m_buttonCount, int(buttons.size()), int(m_lastButtons.size()) });
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        const bool down = buttons.at(i);
        if (down == m_lastButtons.at(i))
            continue;
        qDebug() << "buttonProcess" << i << down;
        buttonChanged(unsigned(i), down);
        m_lastButtons[i] = down;
        changed = true;
    }
    return changed;
}

void ControlBase::buttonChanged(unsigned button, bool down)
{
    const TaqoOp op = m_map.buttonOp(int(button));
    const uint32_t elapsed_ms = m_buttonTimer.ElapsedTime();
    m_buttonTimer.Start();
    if (button == s_lastButton && down == s_lastDown && elapsed_ms < REPEAT_FILTER_MS && !repeatExempt(button)) {
        qDebug("button press time=%d, button=%d, down=%d", int(elapsed_ms), int(button), int(down));
        qDebug("filtered button press time=%d, button=%d, down=%d", int(elapsed_ms), int(button), int(down));
        return;
    }
    s_lastButton = button;
    s_lastDown = down;
    if (!m_map.buttonSupported(int(button)))
        return;
    if (m_map.buttonOpIsPush(op))
        emit sig_buttonPush(op, down);
    else if (down)
        emit sig_buttonClick(op);
}

double ControlBase::deadzoneNormalize(int raw, int deadZone, bool reverse, bool& active)
{
    // The negative half is one step longer, so both ends reach exactly 1.
    const double range = raw < 0 ? 32768 - deadZone : 32767 - deadZone;
    double value = 0;
    active = false;
    if (raw > deadZone) {
        active = true;
        value = (raw - deadZone) / range;
    } else if (raw < -deadZone) {
        active = true;
        value = (raw + deadZone) / range;
    }
    return reverse ? -value : value;
}

bool ControlBase::joystickUpdate()
{
    if (!m_attached)
        return false;
    const int deadZone = m_map.axesDeadZone(0);
    const QList<int>& axes = m_joystick->axes;
    const bool fresh = !axes.isEmpty();
    int n = std::min(m_joystick->joystickNumAxes(), AXIS_SLOTS);
    if (fresh)
        n = std::min(n, int(axes.size()));
    TaqoOp op[AXIS_SLOTS] = {};
    bool changed[AXIS_SLOTS] = {};
    bool anyChanged = false;
    for (int i = 0; i < n; ++i) {
        if (fresh) {
            m_axisValue[i] = deadzoneNormalize(axes.at(i), deadZone, m_map.axesIsReverse(i), m_axisActive[i]);
        } else {
            m_axisValue[i] = m_axisPrevious[i];
            m_axisActive[i] = m_axisPreviousActive[i];
        }
        op[i] = m_map.axesOp(i);
        // Only entering or leaving the dead zone counts as a change.
        changed[i] = m_axisValue[i] != m_axisPrevious[i] && m_axisActive[i] != m_axisPreviousActive[i];
        anyChanged = anyChanged || changed[i];
        m_axisPrevious[i] = m_axisValue[i];
        m_axisPreviousActive[i] = m_axisActive[i];
    }
    for (int i = 0; i < n; ++i) {
        if (op[i] == TaqoOpAxisX) {
            const int j = int(std::find(op, op + n, TaqoOpAxisY) - op);
            if (j < n)
                emit sig_joystickXY(m_axisValue[i], m_axisValue[j], m_axisActive[i] || m_axisActive[j], changed[i]);
        } else if (op[i] == TaqoOpAxisZ) {
            emit sig_joystickZ(m_axisValue[i], m_axisActive[i], changed[i]);
        } else if (op[i] == TaqoOpAxisS) {
            emit sig_joystickS(m_axisValue[i], m_axisActive[i], changed[i]);
        }
    }
    return anyChanged;
}
