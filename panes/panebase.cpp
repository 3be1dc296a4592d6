#include "panes/panebase.h"

#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "device/viscavalues.h"
#include "media/mediaresources.h"
#include "panes/jogcontroller.h"
#include "panes/paneclock.h"
#include "panes/paneui.h"
#include "panes/segmentslider.h"
#include "quvapp/quvmenu.h"

#include <cmath>
#include <cstdlib>

#include <QAction>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QtDebug>

namespace {

// Zoom position shown when the camera cannot be read: the middle of the optical range.
constexpr int kZoomFallback = 8192;
// The tick re-reads the zoom position this long after a sync and after a stop (milliseconds).
constexpr uint64_t kSyncReread_ms = 2400;
constexpr uint64_t kStopReread_ms = 600;

// The zoom-mode menu: an item's data is the slider type it shows, and
// choosing it sends its zoom mode.
struct ZoomModeItem
{
    const char* text;
    SegSliderType sliderType;
    int zoomMode;
};
const ZoomModeItem kZoomModeItems[] = {
    { "Zoom Optical (12x)", SegSliderOpticalZoom, ZoomMode::Optical },
    { "Zoom Super (20x)", SegSliderSuperZoom, ZoomMode::Super },
    { "Zoom Optical+Digital (144x)", SegSliderDigitalZoom, ZoomMode::Digital },
};
// The stabilizer item's data, apart from every slider type.
constexpr int kMenuStabilizer = 256;

// The zoom buttons: the stem's picture, pressed while checked and hovered while pressed.
const paneui::ImageButtonLook kZoomButtonLook = { "", "zoom_%1_icon", "border:0;margin:0;padding:0;",
    { { ":!checked", "zoom_%1_icon" }, { ":checked", "zoom_%1_icon_press" }, { ":pressed", "zoom_%1_icon_hover" },
        { nullptr, nullptr } } };

const char* const kZoomButtonTip = "Zoom control group\nClick to toggle auto-zoom.";
const char* const kCaptionSheet = "color: rgb(146,146,146)";

// The joystick's last zoom vector, one memory for the whole program.
struct ZoomVectorMemory
{
    int speed = 0;
    int direction = 0;
    bool on = false;
};
ZoomVectorMemory s_lastZoomVector;

} // namespace

PaneBase::PaneBase(DeviceSet* deviceSet, QWidget* parent)
    : QWidget(parent)
    , m_deviceSet(deviceSet)
{
    qRegisterMetaType<ResyncType>("ResyncType");
    qRegisterMetaType<WarningType>("WarningType");
    qRegisterMetaType<PaneType>("PaneType");
    media::initResources();
}

PaneBase::~PaneBase() = default;

DeviceInterface* PaneBase::device() const
{
    return m_deviceSet->get();
}

void PaneBase::setCheckedQuietly(QPushButton* button, bool checked)
{
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
}

void PaneBase::setJogValueQuietly(int value)
{
    if (m_jog->value() == value)
        return;
    const QSignalBlocker blocker(m_jog);
    m_jog->setValue(value);
}

// ---------------------------------------------------------------------------
// The virtual operations

void PaneBase::uiSetup()
{
    setContentsMargins(0, 0, 0, 0);
    setAttribute(Qt::WA_TranslucentBackground);
}

void PaneBase::uiSync(bool useCache)
{
    if (m_variant == 0 || !hasZoomGroup())
        return;
    DeviceInterface* camera = device();
    int mode = ZoomMode::Optical;
    camera->viscaGet(ViscaMsg::DigitalZoom, mode, useCache);
    syncDZoomMode(mode);
    syncZoomValue(useCache);
    // A camera keeps its own auto-zoom state, also while another one is shown.
    const eAutoZoomState state = camera->zoomingState();
    m_wideButton->setChecked(state == AutoZoom::ZoomingWide);
    m_teleButton->setChecked(state == AutoZoom::ZoomingTele);
    if (isVisible())
        m_zoomRereadDeadline_ms = paneclock::now_ms() + kSyncReread_ms;
}

void PaneBase::uiResync(ResyncType type)
{
    if (type == ResyncAll)
        uiSync(false);
}

void PaneBase::uiTimerUpdate()
{
    if (!isVisible() || !hasZoomGroup())
        return;
    const eAutoZoomState state = device()->zoomingState();
    if (m_variant >= 1 && state != AutoZoom::Stopped) {
        // While the lens moves, follow it and stop at the end it moves to.
        const int position = syncZoomValue(false);
        if (state == AutoZoom::ZoomingWide && position == m_zoomSlider->minimum()) {
            slot_zoomStartWide();
            setCheckedQuietly(m_wideButton, false);
        } else if (state == AutoZoom::ZoomingTele && position == m_zoomSlider->maximum()) {
            slot_zoomStartTele();
            setCheckedQuietly(m_teleButton, false);
        }
        return;
    }
    if (m_zoomRereadDeadline_ms > paneclock::now_ms())
        syncZoomValue(false);
}

void PaneBase::preferenceRead() { }

void PaneBase::preferenceWrite() { }

void PaneBase::buttonClick(int op)
{
    Q_UNUSED(op)
}

// ---------------------------------------------------------------------------
// The zoom group

void PaneBase::uiSetupZoomGroup(int x, int y, QWidget* parent, int variant)
{
    if (hasZoomGroup()) {
        qWarning() << "PaneBase: the zoom group is already built";
        return;
    }
    // Children of the pane when no parent is given, so that nothing is left unowned.
    if (!parent)
        parent = this;
    m_variant = variant;
    const bool large = variant < 2;
    const int side = large ? 60 : 48; // button side
    const int gap = large ? 23 : 18; // between a button and the slider
    const int height = large ? 60 : 48; // slider height
    const int sliderWidth = 441;
    const int sx = x + side + gap;
    const int ly = y + 45 + (variant != 2 ? 3 : 0); // caption row

    // The small group's pictures are the "_sm" ones.
    const QString size = large ? QString() : QStringLiteral("_sm");
    const QString wideSheet = paneui::imageButtonSheet(kZoomButtonLook, QStringLiteral("wide"), size);
    const QString teleSheet = paneui::imageButtonSheet(kZoomButtonLook, QStringLiteral("tele"), size);
    const QString buttonTip = QString::fromLatin1(kZoomButtonTip);

    m_wideButton = new QPushButton(parent);
    m_wideButton->setCheckable(true);
    m_wideButton->setChecked(false);
    m_wideButton->setGeometry(x, y, side, side);
    m_wideButton->setContextMenuPolicy(Qt::CustomContextMenu);
    m_wideButton->setStyleSheet(wideSheet);
    m_wideButton->setToolTip(buttonTip);

    m_zoomSlider = new SegmentSlider(Qt::Horizontal, parent);
    m_zoomSlider->setSliderType(SegSliderOpticalZoom);
    m_zoomSlider->setValue(kZoomFallback);
    m_zoomSlider->setContextMenuPolicy(Qt::CustomContextMenu);
    m_zoomSlider->setGeometry(sx, y, sliderWidth, height);
    m_zoomSlider->setToolTip(QStringLiteral("Manual zoom control"));

    m_teleButton = new QPushButton(parent);
    m_teleButton->setCheckable(true);
    m_teleButton->setChecked(false);
    m_teleButton->setGeometry(sx + sliderWidth + gap, y, side, side);
    m_teleButton->setContextMenuPolicy(Qt::CustomContextMenu);
    m_teleButton->setStyleSheet(teleSheet);
    m_teleButton->setToolTip(buttonTip);

    auto* wideLabel = new QLabel(parent);
    wideLabel->setText(QStringLiteral("Wide"));
    wideLabel->setStyleSheet(QString::fromLatin1(kCaptionSheet));
    wideLabel->setGeometry(sx, ly, 60, 16);

    m_teleLabel = new QLabel(parent);
    m_teleLabel->setText(QStringLiteral("Tele"));
    m_teleLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_teleLabel->setGeometry(sx + 381, ly, 60, 16);
    m_teleLabel->show();

    m_rampIcon = new QLabel(parent);
    m_rampIcon->setPixmap(QPixmap(QStringLiteral(":/media/digital_ramp_icon.png")));
    m_rampIcon->setScaledContents(true);
    m_rampIcon->setGeometry(sx + 406, ly + 2, 35, 10);
    m_rampIcon->hide();

    m_digitalLabel = new QLabel(parent);
    m_digitalLabel->setText(QStringLiteral("Digital"));
    m_digitalLabel->setStyleSheet(QString::fromLatin1(kCaptionSheet));
    m_digitalLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_digitalLabel->setGeometry(sx + 341, ly, 60, 16);
    m_digitalLabel->hide();

    m_jog = new JogController(parent);
    m_jog->setGeometry(sx + 38, ly + 3, 364, 27);
    m_jog->setToolTip(QStringLiteral("Auto-zoom jog controller:\nClick or Drag to control zoom speed and direction"));
    if (variant == 2)
        m_jog->hide();

    paneui::connectOrWarn(m_jog, SIGNAL(jogStateChanged(int, int)), this, SLOT(slot_zoomState(int, int)));
    paneui::connectOrWarn(m_zoomSlider, SIGNAL(valueChanged(int)), this, SLOT(slot_zoomValue(int)));
    paneui::connectOrWarn(m_wideButton, SIGNAL(clicked()), this, SLOT(slot_zoomStartWide()));
    paneui::connectOrWarn(m_teleButton, SIGNAL(clicked()), this, SLOT(slot_zoomStartTele()));
    for (QWidget* requester : { static_cast<QWidget*>(m_wideButton), static_cast<QWidget*>(m_teleButton),
             static_cast<QWidget*>(m_zoomSlider) }) {
        paneui::connectOrWarn(requester, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(slot_zoomContextMenu(const QPoint&)));
    }
}

void PaneBase::syncDZoomMode(int mode)
{
    if (!hasZoomGroup())
        return;
    const SegSliderType type = zoomSliderType(mode);
    {
        // A range change may move the value; that is no position to send.
        const QSignalBlocker blocker(m_zoomSlider);
        m_zoomSlider->setSliderType(type);
    }
    const bool optical = type == SegSliderOpticalZoom;
    m_digitalLabel->setVisible(!optical);
    m_rampIcon->setVisible(!optical);
    m_teleLabel->setVisible(optical);
}

SegSliderType PaneBase::zoomSliderType(int mode)
{
    for (const ZoomModeItem& item : kZoomModeItems) {
        if (item.zoomMode == mode)
            return item.sliderType;
    }
    return SegSliderOpticalZoom;
}

int PaneBase::syncZoomValue(bool useCache)
{
    int value = kZoomFallback;
    device()->viscaGet(ViscaMsg::ZoomValue, value, useCache);
    if (hasZoomGroup()) {
        const QSignalBlocker blocker(m_zoomSlider);
        m_zoomSlider->setValue(value);
    }
    return value;
}

void PaneBase::zoomTypeSet(int mode)
{
    slot_dZoomMode(mode);
    syncDZoomMode(mode);
}

void PaneBase::autoZoomStop()
{
    if (!hasZoomGroup())
        return;
    DeviceInterface* camera = device();
    const eAutoZoomState state = camera->zoomingState();
    if (state != AutoZoom::ZoomingWide && state != AutoZoom::ZoomingTele)
        return;
    camera->setZoomingState(AutoZoom::Stopped);
    // Not blocked: the jog echoes the stop into slot_zoomState.
    m_jog->setZoomingState(AutoZoom::Stopped);
    camera->viscaSet(ViscaMsg::ZoomStop, 0, -1);
    QPushButton* button = state == AutoZoom::ZoomingWide ? m_wideButton : m_teleButton;
    if (button->isChecked())
        setCheckedQuietly(button, false);
}

void PaneBase::zoomToggleTele()
{
    if (m_variant == 0 || !hasZoomGroup())
        return;
    slot_zoomStartTele();
    setCheckedQuietly(m_teleButton, device()->zoomingState() == AutoZoom::ZoomingTele);
}

void PaneBase::zoomToggleWide()
{
    if (m_variant == 0 || !hasZoomGroup())
        return;
    slot_zoomStartWide();
    setCheckedQuietly(m_wideButton, device()->zoomingState() == AutoZoom::ZoomingWide);
}

void PaneBase::slot_zoomValue(int val)
{
    if (!hasZoomGroup())
        return;
    DeviceInterface* camera = device();
    if (camera->zoomingState() != AutoZoom::Stopped)
        autoZoomStop();
    // The user moves the lens: no re-read may pull the slider back.
    m_zoomRereadDeadline_ms = 0;
    camera->viscaPush(ViscaMsg::ZoomValue, val, -1);
}

void PaneBase::slot_dZoomMode(int bVal)
{
    if (!hasZoomGroup())
        return;
    device()->viscaSet(ViscaMsg::DigitalZoom, bVal, -1);
    syncZoomValue(false);
}

void PaneBase::slot_zoomSpeed(int val)
{
    DeviceInterface* camera = device();
    camera->setZoomSpeed(val);
    if (camera->zoomingState() == AutoZoom::ZoomingWide)
        camera->viscaSet(ViscaMsg::ZoomWide, val, -1);
    else if (camera->zoomingState() == AutoZoom::ZoomingTele)
        camera->viscaSet(ViscaMsg::ZoomTele, val, -1);
}

void PaneBase::slot_zoomStartTele()
{
    zoomStart(AutoZoom::ZoomingTele);
}

void PaneBase::slot_zoomStartWide()
{
    zoomStart(AutoZoom::ZoomingWide);
}

void PaneBase::zoomStart(eAutoZoomState direction)
{
    if (!hasZoomGroup())
        return;
    DeviceInterface* camera = device();
    const eAutoZoomState state = camera->zoomingState();
    const int speed = camera->zoomSpeed();
    if (state == direction) {
        // A second click stops.
        camera->setZoomingState(AutoZoom::Stopped);
        m_jog->setZoomingState(AutoZoom::Stopped);
        camera->viscaSet(ViscaMsg::ZoomStop, 0, -1);
        syncZoomValue(false);
        return;
    }
    const eAutoZoomState opposite = direction == AutoZoom::ZoomingTele ? AutoZoom::ZoomingWide : AutoZoom::ZoomingTele;
    if (state == opposite)
        autoZoomStop(); // reversing
    else
        syncZoomValue(false);
    camera->viscaSet(direction == AutoZoom::ZoomingTele ? ViscaMsg::ZoomTele : ViscaMsg::ZoomWide, speed, -1);
    camera->setZoomingState(direction);
    m_jog->setZoomingState(direction);
}

void PaneBase::slot_zoomVector(double val, bool on)
{
    // An axis reading outside -1..1 (or not a number) asks for no more than full speed.
    if (!std::isfinite(val))
        val = 0.0;
    val = qBound(-1.0, val, 1.0);
    const int speed = std::abs(int(std::trunc(7.99 * val)));
    int direction = AutoZoom::Stopped;
    if (on)
        direction = val < 0 ? AutoZoom::ZoomingWide : AutoZoom::ZoomingTele;
    const bool changed
        = speed != s_lastZoomVector.speed || direction != s_lastZoomVector.direction || on != s_lastZoomVector.on;
    s_lastZoomVector = { speed, direction, on };
    if (changed)
        slot_zoomState(speed, direction);
}

void PaneBase::slot_zoomState(int val, int zoomState)
{
    if (!hasZoomGroup())
        return;
    DeviceInterface* camera = device();
    switch (zoomState) {
    case AutoZoom::ZoomingWide:
    case AutoZoom::ZoomingTele: {
        const bool wide = zoomState == AutoZoom::ZoomingWide;
        setJogValueQuietly(val);
        setCheckedQuietly(m_wideButton, wide);
        setCheckedQuietly(m_teleButton, !wide);
        syncZoomValue(false);
        camera->viscaSet(wide ? ViscaMsg::ZoomWide : ViscaMsg::ZoomTele, val, -1);
        camera->setZoomingState(zoomState);
        m_jog->setZoomingState(zoomState);
        break;
    }
    case AutoZoom::Stopped:
        setJogValueQuietly(camera->zoomSpeed());
        setCheckedQuietly(m_wideButton, false);
        setCheckedQuietly(m_teleButton, false);
        camera->setZoomingState(AutoZoom::Stopped);
        m_jog->setZoomingState(AutoZoom::Stopped);
        camera->viscaSet(ViscaMsg::ZoomStop, 0, -1);
        syncZoomValue(false);
        // The lens slows down by itself: follow it a little longer.
        if (isVisible())
            m_zoomRereadDeadline_ms = paneclock::now_ms() + kStopReread_ms;
        break;
    default:
        break;
    }
}

void PaneBase::slot_zoomContextMenu(const QPoint& pt)
{
    if (!hasZoomGroup())
        return;
    // The widget that asked; a direct call has none and gets the menu at the pane.
    QWidget* requester = qobject_cast<QWidget*>(sender());
    if (!requester)
        requester = this;
    QuvMenu menu;
    for (const ZoomModeItem& item : kZoomModeItems)
        menu.addAction(QLatin1String(item.text), QVariant(int(item.sliderType)));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Image Stabilizer"), QVariant(kMenuStabilizer));
    // The mode shown is the one last synchronised into the slider.
    menu.setMatchingItemChecked(QVariant(int(m_zoomSlider->sliderType())), true, false);
    int stabilizer = VISCA_OFF;
    device()->viscaGet(ViscaMsg::Stabilizer, stabilizer, true);
    menu.setMatchingItemChecked(QVariant(kMenuStabilizer), stabilizer == VISCA_ON, false);

    QAction* chosen = paneui::execMenu(menu, requester, pt);
    if (!chosen)
        return;
    const int data = chosen->data().toInt();
    if (data == kMenuStabilizer) {
        device()->viscaSet(ViscaMsg::Stabilizer, stabilizer == VISCA_ON ? VISCA_OFF : VISCA_ON, -1);
        return;
    }
    for (const ZoomModeItem& item : kZoomModeItems) {
        if (int(item.sliderType) == data)
            zoomTypeSet(item.zoomMode);
    }
}
