// The pane base: the operations every pane inherits, and the zoom group with
// its auto-zoom, zoom-mode menu and re-reads of the lens position.

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
#include <QApplication>
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

// The zoom group's controls, in the order they are made (a later one lies
// above an earlier one where they overlap).
enum ZoomControl : int
{
    WideButton,
    ZoomSlider,
    TeleButton,
    WideCaption,
    TeleCaption,
    RampIcon,
    DigitalCaption,
    Jog,
    ZoomControlCount
};

enum class ZoomKind
{
    Button, // an auto-zoom button: checkable, drawn by the stem's pictures
    Slider, // the zoom position, optical at first
    Caption,
    Icon, // a label showing an image, scaled to its size
    Jog,
};

// How a control starts: grey text, right-aligned text, hidden, hidden in the
// small group (variant 2), shown.
enum ZoomTrait : int
{
    Grey = 1,
    Right = 2,
    Hidden = 4,
    HiddenInVariant2 = 8,
    Shown = 16,
};

// Where a control's left edge and top edge are measured from: the group's
// corner (x, y), the slider's left edge, the tele button's, and the caption row.
enum class ZoomColumn
{
    Group,
    Slider,
    TeleButton
};
enum class ZoomRowLine
{
    Group,
    Captions
};
// A width or height of the button side or the slider height, which the
// variant chooses; any other size is in pixels.
constexpr int kButtonSide = -1;
constexpr int kSliderHeight = -2;

struct ZoomRow
{
    ZoomControl control;
    ZoomKind kind;
    const char* content; // a button's picture stem, a caption's text or an icon's picture
    ZoomColumn column;
    int dx;
    ZoomRowLine line;
    int dy;
    int w, h;
    int traits;
    const char* toolTip;
};

// clang-format off
constexpr ZoomRow kZoomLayout[] = {
    { WideButton, ZoomKind::Button, "wide", ZoomColumn::Group, 0, ZoomRowLine::Group, 0, kButtonSide, kButtonSide, 0,
      kZoomButtonTip },
    { ZoomSlider, ZoomKind::Slider, nullptr, ZoomColumn::Slider, 0, ZoomRowLine::Group, 0, 441, kSliderHeight, 0,
      "Manual zoom control" },
    { TeleButton, ZoomKind::Button, "tele", ZoomColumn::TeleButton, 0, ZoomRowLine::Group, 0, kButtonSide, kButtonSide,
      0, kZoomButtonTip },
    { WideCaption, ZoomKind::Caption, "Wide", ZoomColumn::Slider, 0, ZoomRowLine::Captions, 0, 60, 16, Grey, nullptr },
    { TeleCaption, ZoomKind::Caption, "Tele", ZoomColumn::Slider, 381, ZoomRowLine::Captions, 0, 60, 16, Right | Shown,
      nullptr },
    { RampIcon, ZoomKind::Icon, ":/media/digital_ramp_icon.png", ZoomColumn::Slider, 406, ZoomRowLine::Captions, 2, 35,
      10, Hidden, nullptr },
    { DigitalCaption, ZoomKind::Caption, "Digital", ZoomColumn::Slider, 341, ZoomRowLine::Captions, 0, 60, 16,
      Grey | Right | Hidden, nullptr },
    { Jog, ZoomKind::Jog, nullptr, ZoomColumn::Slider, 38, ZoomRowLine::Captions, 3, 364, 27, HiddenInVariant2,
      "Auto-zoom jog controller:\nClick or Drag to control zoom speed and direction" },
};
// clang-format on

constexpr bool zoomLayoutWellFormed()
{
    int row = 0;
    for (const ZoomRow& entry : kZoomLayout) {
        if (entry.control != row++)
            return false;
    }
    return row == ZoomControlCount;
}
static_assert(zoomLayoutWellFormed(), "one zoom layout row per control, in ZoomControl order");

QWidget* makeZoomControl(const ZoomRow& row, QWidget* parent, const QString& pictureSize)
{
    const QString content = QString::fromLatin1(row.content);
    switch (row.kind) {
    case ZoomKind::Button: {
        auto* button = new QPushButton(parent);
        button->setCheckable(true);
        button->setChecked(false);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        button->setStyleSheet(paneui::imageButtonSheet(kZoomButtonLook, content, pictureSize));
        return button;
    }
    case ZoomKind::Slider: {
        auto* slider = new SegmentSlider(Qt::Horizontal, parent);
        slider->setSliderType(SegSliderOpticalZoom);
        slider->setValue(kZoomFallback);
        slider->setContextMenuPolicy(Qt::CustomContextMenu);
        return slider;
    }
    case ZoomKind::Caption: {
        auto* caption = new QLabel(content, parent);
        if (row.traits & Grey)
            caption->setStyleSheet(QLatin1String(paneui::CAPTION_SHEET));
        if (row.traits & Right)
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return caption;
    }
    case ZoomKind::Icon: {
        auto* icon = new QLabel(parent);
        icon->setPixmap(QPixmap(content));
        icon->setScaledContents(true);
        return icon;
    }
    case ZoomKind::Jog:
        return new JogController(parent);
    }
    return nullptr;
}

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
    , m_beep(&QApplication::beep)
{
    qRegisterMetaType<ResyncType>("ResyncType");
    qRegisterMetaType<WarningType>("WarningType");
    qRegisterMetaType<PaneType>("PaneType");
    media::initResources();
}

PaneBase::~PaneBase() = default;

void PaneBase::setBeep(std::function<void()> beep)
{
    m_beep = std::move(beep);
}

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
    // The large group below variant 2, the small one from it on, whose pictures are the "_sm" ones.
    const bool large = variant < 2;
    const int side = large ? 60 : 48; // button side
    const int gap = large ? 23 : 18; // between a button and the slider
    const int sliderHeight = large ? 60 : 48;
    const int sliderLeft = x + side + gap;
    const int columns[] = { x, sliderLeft, sliderLeft + 441 + gap };
    const int lines[] = { y, y + 45 + (variant != 2 ? 3 : 0) };
    const auto size = [&](int pixels) {
        return pixels == kButtonSide ? side : pixels == kSliderHeight ? sliderHeight : pixels;
    };
    const QString pictureSize = large ? QString() : QStringLiteral("_sm");
    QWidget* built[ZoomControlCount] = {};
    for (const ZoomRow& row : kZoomLayout) {
        QWidget* control = makeZoomControl(row, parent, pictureSize);
        control->setGeometry(
            columns[int(row.column)] + row.dx, lines[int(row.line)] + row.dy, size(row.w), size(row.h));
        if (row.toolTip)
            control->setToolTip(QString::fromLatin1(row.toolTip));
        if ((row.traits & Hidden) || (variant == 2 && (row.traits & HiddenInVariant2)))
            control->hide();
        else if (row.traits & Shown)
            control->show();
        built[row.control] = control;
    }
    m_wideButton = static_cast<QPushButton*>(built[WideButton]);
    m_zoomSlider = static_cast<SegmentSlider*>(built[ZoomSlider]);
    m_teleButton = static_cast<QPushButton*>(built[TeleButton]);
    m_teleLabel = static_cast<QLabel*>(built[TeleCaption]);
    m_rampIcon = static_cast<QLabel*>(built[RampIcon]);
    m_digitalLabel = static_cast<QLabel*>(built[DigitalCaption]);
    m_jog = static_cast<JogController*>(built[Jog]);

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
