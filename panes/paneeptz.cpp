#include "panes/paneeptz.h"

#include "device/deviceinterface.h"
#include "device/viscavalues.h"
#include "media/mediaresources.h"
#include "panes/navbutton.h"
#include "panes/paneclock.h"
#include "panes/paneui.h"
#include "panes/screenproxy.h"
#include "quvapp/quvdoublespinbox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtDebug>

namespace {

// The UHD picture and the HD window in it, frame units.
constexpr int kScreenW = 3840;
constexpr int kScreenH = 2160;
constexpr int kWindowW = 1920;
constexpr int kWindowH = 1080;
// The centre offset's range, frame units.
constexpr int kMaxX = 960;
constexpr int kMaxY = 540;
// Frame units of one VISCA pan and tilt step, and the steps each way of the centre.
constexpr double kPanUnit = 6.0;
constexpr double kTiltUnit = 4.5;
constexpr int kPanSteps = 160;
constexpr int kTiltSteps = 120;
// VISCA values: left/down of the centre 0..16383 (0 at the centre); right/up
// from the first step's value down to 49153 at the far end.
constexpr int kViscaNearMax = 16383;
constexpr int kViscaFarEnd = 49153;
constexpr int kPanFirstStep = 65434;
constexpr int kTiltFirstStep = 65410;
// How long after a re-read request the tick keeps showing the cached position.
constexpr uint64_t kPositionRefresh_ms = 600;

// A nav button: its shape's picture, and its press and disabled pictures.
const paneui::ImageButtonLook kNavButtonLook
    = { "background-color: transparent;", "nav_%1", "background-repeat: none;border: none;margin: 0;padding: 0;",
          { { ":pressed", "nav_%1_press" }, { ":!pressed", "nav_%1" }, { ":disabled", "nav_%1_disabled" },
              { nullptr, nullptr } } };

int roundToInt(double v)
{
    return int(std::round(v));
}

// One side of the VISCA mapping: steps 0..-count (left or down) give
// 0..16383; steps 1..count give firstStep..49153.
int stepToVisca(int step, int count, int firstStep)
{
    if (step <= 0)
        return roundToInt(kViscaNearMax * (step / double(-count)));
    const double t = (step - 1) / double(count - 1);
    return roundToInt(firstStep * (1 - t) + kViscaFarEnd * t);
}

// The step of a VISCA value, times the frame units of a step, towards zero.
int viscaToUnits(int value, int count, int firstStep, double unit)
{
    double step;
    if (value >= kViscaFarEnd && value <= firstStep) {
        const double t = (value - firstStep) / double(kViscaFarEnd - firstStep);
        step = std::round((1 - t) + count * t);
    } else {
        const double t = std::clamp(value, 0, kViscaNearMax) / double(kViscaNearMax);
        step = std::round(-count * t);
    }
    return int(std::trunc(step * unit));
}

} // namespace

// The nine buttons in the order of the list, with the step each one makes.
struct PaneEptz::NavRow
{
    const char* name;
    int x;
    int y;
    const char* toolTip;
    int dx;
    int dy;
    NavButton* PaneEptz::*button;
};

const PaneEptz::NavRow PaneEptz::s_navRows[] = {
    { "top", 543, 76, "Nudge/tilt camera view up", 0, 1, &PaneEptz::m_top },
    { "right", 581, 108, "Nudge/pan camera view right", 1, 0, &PaneEptz::m_right },
    { "left", 511, 108, "Nudge/pan camera view left", -1, 0, &PaneEptz::m_left },
    { "bottom", 543, 146, "Nudge/tilt camera view down", 0, -1, &PaneEptz::m_bottom },
    { "center", 549, 114, "Center camera view in frame", 0, 0, &PaneEptz::m_center },
    { "lefttop", 536, 101, "Nudge camera view diagonal up and left", -1, 1, &PaneEptz::m_lefttop },
    { "righttop", 573, 100, "Nudge camera view diagonal up and right", 1, 1, &PaneEptz::m_righttop },
    { "leftbottom", 536, 138, "Nudge camera view diagonal down and left", -1, -1, &PaneEptz::m_leftbottom },
    { "rightbottom", 573, 138, "Nudge camera view diagonal down and right", 1, -1, &PaneEptz::m_rightbottom },
};

PaneEptz::PaneEptz(DeviceSet* devices, QWidget* parent)
    : PaneBase(devices, parent)
{ }

PaneEptz::~PaneEptz() = default;

void PaneEptz::uiSetup()
{
    PaneBase::uiSetup();
    media::initResources();

    auto* frame = new QWidget(this);
    frame->setGeometry(44, 34, 417, 236);
    m_picture = new ScreenProxy(frame, QRect(1, 1, 415, 234));
    paneui::setupWindowPicture(
        m_picture, QSize(kScreenW, kScreenH), QRect(kWindowW / 2, kWindowH / 2, kWindowW, kWindowH));

    m_onOff = paneui::switchButton(
        this, QStringLiteral(":/media/switch_big_off.png"), QStringLiteral(":/media/switch_big_on.png"), QSize(65, 25));
    m_onOff->setGeometry(535, 34, 65, 25);
    m_onOff->setToolTip(QStringLiteral("Turn on/off ePTZ mode"));

    for (const NavRow& row : s_navRows) {
        const QString name = QString::fromLatin1(row.name);
        auto* button = new NavButton(QStringLiteral(":/media/nav_%1.png").arg(name), this);
        button->setFlat(true);
        button->setAutoDefault(false);
        button->setGeometry(QRect(QPoint(row.x, row.y), button->maskSize()));
        button->setStyleSheet(paneui::imageButtonSheet(kNavButtonLook, name));
        button->setToolTip(QString::fromLatin1(row.toolTip));
        this->*row.button = button;
        m_navButtons.append(button);
    }

    struct SpinRow
    {
        const char* label;
        int y;
        int max;
        const char* toolTip;
        QuvDoubleSpinBox* PaneEptz::*spin;
    };
    static const SpinRow spinRows[] = {
        { QT_TR_NOOP("X:"), 201, kMaxX, "Type in pan value [-960, 960]", &PaneEptz::m_spinX },
        { QT_TR_NOOP("Y:"), 233, kMaxY, "Type in tilt value [-540, 540]", &PaneEptz::m_spinY },
    };
    for (const SpinRow& row : spinRows) {
        auto* label = new QLabel(tr(row.label), this);
        label->setGeometry(492, row.y, 30, 24);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* spin = new QuvDoubleSpinBox(this);
        spin->setGeometry(527, row.y, 84, 24);
        spin->setRange(-row.max, row.max);
        spin->setDecimals(0);
        spin->setSingleStep(1);
        spin->setValue(0);
        spin->setToolTip(QString::fromLatin1(row.toolTip));
        this->*row.spin = spin;
    }

    uiSetupZoomGroup(44, 284, this, 2);

    paneui::connectOrWarn(m_picture, SIGNAL(RoiChanged(const QRect&)), this, SLOT(slot_eptPosition(const QRect&)));
    paneui::connectOrWarn(m_onOff, SIGNAL(toggled(bool)), this, SLOT(slot_onOff(bool)));
    paneui::connectOrWarn(m_spinX, SIGNAL(valueChanged(double)), this, SLOT(slot_spinX(double)));
    paneui::connectOrWarn(m_spinY, SIGNAL(valueChanged(double)), this, SLOT(slot_spinY(double)));
    for (NavButton* button : m_navButtons)
        paneui::connectOrWarn(button, SIGNAL(clicked()), this, SLOT(slot_nav()));
}

void PaneEptz::uiSync(bool useCache)
{
    PaneBase::uiSync(useCache);
    syncOnOff(useCache);
}

void PaneEptz::uiResync(ResyncType type)
{
    if (type != ResyncEptz) {
        PaneBase::uiResync(type);
        return;
    }
    uiSync(false);
    m_positionRefreshDeadline_ms = paneclock::now_ms() + kPositionRefresh_ms;
}

void PaneEptz::uiTimerUpdate()
{
    if (!isVisible())
        return;
    PaneBase::uiTimerUpdate();
    if (m_positionRefreshDeadline_ms == 0)
        return;
    if (paneclock::now_ms() > m_positionRefreshDeadline_ms) {
        m_positionRefreshDeadline_ms = 0;
        return;
    }
    // A move of this pane still waiting for the line is newer than the cache.
    int pan = 0;
    int tilt = 0;
    if (!device()->viscaPushWaiting(ViscaMsg::EptPosition, pan, tilt))
        syncEptzValue(true);
}

bool PaneEptz::isVFlip()
{
    return device()->viscaGetVFlip();
}

void PaneEptz::syncOnOff(bool useCache)
{
    int state = VISCA_OFF;
    device()->viscaGet(ViscaMsg::EptOnOff, state, useCache);
    const bool on = state == VISCA_ON;
    {
        const QSignalBlocker blocker(m_onOff);
        m_onOff->setChecked(on);
    }
    paneui::showWindowPicture(m_picture, on, true);
    m_spinX->setEnabled(on);
    m_spinY->setEnabled(on);
    for (NavButton* button : m_navButtons)
        button->setEnabled(on);
    syncEptzValue(useCache);
    m_picture->update();
}

void PaneEptz::syncEptzValue(bool useCache)
{
    int pan = 0;
    int tilt = 0;
    device()->viscaGet(ViscaMsg::EptPosition, pan, tilt, useCache);
    int x = 0;
    int y = 0;
    eptViscaToXY(pan, tilt, x, y);
    showPosition(x, y);
}

void PaneEptz::eptLeftTopToXY(int left, int top, int& x, int& y)
{
    x = left - kMaxX;
    y = kMaxY - top;
}

void PaneEptz::eptXYToLeftTop(int x, int y, int& left, int& top)
{
    left = x + kMaxX;
    top = kMaxY - y;
}

void PaneEptz::eptXYToVisca(int x, int y, int& pan, int& tilt)
{
    eptXYToVisca(x, y, isVFlip(), pan, tilt);
}

void PaneEptz::eptViscaToXY(int pan, int tilt, int& x, int& y)
{
    eptViscaToXY(pan, tilt, isVFlip(), x, y);
}

void PaneEptz::eptXYToVisca(int x, int y, bool flipped, int& pan, int& tilt)
{
    // Outside these the mapping gives values in neither VISCA range.
    x = std::clamp(x, -kMaxX, kMaxX);
    y = std::clamp(y, -kMaxY, kMaxY);
    if (flipped) {
        x = -x;
        y = -y;
    }
    pan = stepToVisca(roundToInt(x / kPanUnit), kPanSteps, kPanFirstStep);
    tilt = stepToVisca(roundToInt(y / kTiltUnit), kTiltSteps, kTiltFirstStep);
}

void PaneEptz::eptViscaToXY(int pan, int tilt, bool flipped, int& x, int& y)
{
    // The camera layer may report a pan right of the centre as a negative
    // number; as a 16-bit value it is the same position.
    x = viscaToUnits(pan & 0xFFFF, kPanSteps, kPanFirstStep, kPanUnit);
    y = viscaToUnits(tilt & 0xFFFF, kTiltSteps, kTiltFirstStep, kTiltUnit);
    if (flipped) {
        x = -x;
        y = -y;
    }
}

void PaneEptz::slot_onOff(bool on)
{
    // A format that cannot be read counts as not UHD.
    int format = 0;
    device()->viscaGet(ViscaMsg::VideoFormat, format, true);
    if (on && !isUhdFormat(format)) {
        QMessageBox box(this);
        box.setWindowTitle(QStringLiteral("ePTZ Warning"));
        box.setText(QStringLiteral("ePTZ mode requires that the camera to be first set to a UHD format. <b>Note:</b> "
                                   "Output will switch back to HD when ePTZ is turned on.\n"));
        box.setInformativeText(QStringLiteral("Go to \"Settings:Output\" pane to change to UHD format.\n"));
        box.setDefaultButton(box.addButton(tr("Cancel"), QMessageBox::AcceptRole));
        box.setIcon(QMessageBox::Warning);
        // Nothing of the camera is held across the box's event loop, in which
        // a removed camera may be deleted.
        box.exec();
        const QSignalBlocker blocker(m_onOff);
        m_onOff->setChecked(false);
        return;
    }
    device()->viscaSet(ViscaMsg::EptOnOff, on ? VISCA_ON : VISCA_OFF, -1);
    syncOnOff(true);
}

void PaneEptz::slot_eptPosition(const QRect& r)
{
    int x = 0;
    int y = 0;
    eptLeftTopToXY(r.left(), r.top(), x, y);
    int pan = 0;
    int tilt = 0;
    eptXYToVisca(x, y, pan, tilt);
    device()->viscaPush(ViscaMsg::EptPosition, pan, tilt);
    m_spinX->setValueNoSignal(x);
    m_spinY->setValueNoSignal(y);
}

void PaneEptz::slot_nav()
{
    // Called directly (not by a button's signal) there is nothing to act on.
    auto* button = qobject_cast<NavButton*>(sender());
    if (!button)
        return;
    if (button == m_center) {
        m_picture->SetWithSignalRoiX(kMaxX);
        m_picture->SetWithSignalRoiY(kMaxY);
        return;
    }
    // Start from the position about to reach the camera when a move is still
    // waiting for the line (quick presses), else from the camera's cached one;
    // a move being written holds the device until it is done and cached.
    DeviceInterface* camera = device();
    int pan = 0;
    int tilt = 0;
    if (!camera->viscaPushWaiting(ViscaMsg::EptPosition, pan, tilt))
        camera->viscaGet(ViscaMsg::EptPosition, pan, tilt, true);
    int x = 0;
    int y = 0;
    eptViscaToXY(pan, tilt, x, y);

    int dx = 0;
    int dy = 0;
    for (const NavRow& row : s_navRows) {
        if (this->*row.button == button) {
            dx = row.dx;
            dy = row.dy;
        }
    }
    // Tilt positions are multiples of 4.5 truncated (0, 4, 9, 13, 18, ...):
    // steps alternate 5 and 4 away from zero, and are 4 towards it.
    int tiltStep = (std::abs(y) % 9) % 2 == 0 ? 5 : 4;
    if ((dy < 0 && y > 0) || (dy > 0 && y < 0))
        tiltStep = 4;
    int nx = x + dx * int(kPanUnit);
    int ny = y + dy * tiltStep;
    // A step across zero stops at zero.
    if ((x < 0 && nx > 0) || (x > 0 && nx < 0))
        nx = 0;
    if ((y < 0 && ny > 0) || (y > 0 && ny < 0))
        ny = 0;
    sendPosition(std::clamp(nx, -kMaxX, kMaxX), std::clamp(ny, -kMaxY, kMaxY));
}

void PaneEptz::slot_spinX(double x)
{
    sendPosition(roundToInt(x), roundToInt(m_spinY->value()));
}

void PaneEptz::slot_spinY(double y)
{
    sendPosition(roundToInt(m_spinX->value()), roundToInt(y));
}

void PaneEptz::slot_deltaXY(double dx, double dy)
{
    const int x = std::clamp(roundToInt(m_spinX->value() + dx), -kMaxX, kMaxX);
    const int y = std::clamp(roundToInt(m_spinY->value() + dy), -kMaxY, kMaxY);
    sendPosition(x, y);
}

void PaneEptz::sendPosition(int x, int y)
{
    int pan = 0;
    int tilt = 0;
    eptXYToVisca(x, y, pan, tilt);
    device()->viscaPush(ViscaMsg::EptPosition, pan, tilt);
    showPosition(x, y);
}

void PaneEptz::showPosition(int x, int y)
{
    int left = 0;
    int top = 0;
    eptXYToLeftTop(x, y, left, top);
    m_picture->SetRoiX(left);
    m_picture->SetRoiY(top);
    m_spinX->setValueNoSignal(x);
    m_spinY->setValueNoSignal(y);
}
