// The camera pane: its layout table, the exposure and focus actions, their
// re-read windows, and the joystick and keyboard steps.

#include "panes/panecamera.h"

#include "device/deviceinterface.h"
#include "device/viscavalues.h"
#include "panes/paneclock.h"
#include "panes/paneui.h"
#include "panes/segmentslider.h"
#include "panes/taqoop.h"
#include "quvapp/quvcombobox.h"

#include <cmath>

#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QtDebug>

using namespace ViscaScale;

namespace {

// The focus position assumed when switching automatic focus off finds none: mid range.
constexpr int kFocusFallback = 28672;
// One joystick focus step at full deflection: 4 % of the range.
constexpr double kFocusVectorStep = 2293.76;

// Re-read windows after exposure and focus actions (milliseconds).
constexpr uint64_t kAeReread_ms = 1200;
constexpr uint64_t kFocusAutoReread_ms = 2400;
constexpr uint64_t kFocusPushReread_ms = 30000;

const char* const kPrefSavedAeMode = "prefs/saved_aeMode";

// The pane's controls, in the order they are made (a later one lies above an
// earlier one where they overlap).
enum Control : int
{
    ApertureIcon,
    ApertureSlider,
    AutoExposureToggle,
    CaptionF14,
    CaptionF18,
    ShutterIcon,
    ShutterCombo,
    IrisPriorityButton,
    ShutterPriorityButton,
    ManualButton,
    BrightButton,
    GainIcon,
    GainSlider,
    Caption0dB,
    Caption33dB,
    FocusIcon,
    FocusSlider,
    AutoFocusToggle,
    Caption10mm,
    InfinityIcon,
    Caption1500mm,
    ControlCount
};

enum class Kind
{
    Icon, // a label showing an image, scaled to its size
    Caption, // grey text
    RightCaption, // grey text, right-aligned
    Slider,
    Toggle, // the auto image switch
    FlatToggle,
    ModeButton, // an exposure mode's image button
    Combo, // the shutter speeds
};

struct LayoutRow
{
    Control control;
    Kind kind;
    const char* content; // caption text, image path or a mode button's image stem
    int x, y, w, h; // in pane pixels
    int kindOrMode; // a slider's SegSliderType or a mode button's exposure mode
    int value; // a slider's first position
    const char* toolTip;
};

// clang-format off
constexpr LayoutRow kLayout[] = {
    { ApertureIcon, Kind::Icon, ":/media/aperature_icon.png", 28, 16, 60, 60, 0, 0,
      "Aperture control group" },
    { ApertureSlider, Kind::Slider, nullptr, 111, 16, 441, 60, SegSliderIris, 6,
      "Manual aperture control" },
    { AutoExposureToggle, Kind::FlatToggle, nullptr, 571, 35, 65, 25, 0, 0,
      "Toggle automatic/manual aperture control" },
    { CaptionF14, Kind::Caption, "f14", 111, 64, 60, 16, 0, 0, nullptr },
    { CaptionF18, Kind::RightCaption, "f1.8", 492, 64, 60, 16, 0, 0, nullptr },
    { ShutterIcon, Kind::Icon, ":/media/shutter_speed_icon.png", 178, 67, 144, 24, 0, 0, nullptr },
    { ShutterCombo, Kind::Combo, nullptr, 331, 70, 80, 28, 0, 0,
      "Manual shutter speed" },
    { IrisPriorityButton, Kind::ModeButton, "apert_a", 572, 67, 29, 18, ExposureMode::IrisPriority, 0,
      "Aperture Priority:\nAllows manaul selection of aperture setting.\nShutter speed is chosen automatically." },
    { ShutterPriorityButton, Kind::ModeButton, "apert_s", 606, 67, 29, 18, ExposureMode::ShutterPriority, 0,
      "Shutter Priority:\nAllows manually selection of shutter\nspeed. Aperture is chosen automatically." },
    { ManualButton, Kind::ModeButton, "apert_m", 572, 90, 29, 18, ExposureMode::Manual, 0,
      "Full Manual:\nAllows manual selection of shutter speed\naperture and gain settings." },
    { BrightButton, Kind::ModeButton, "apert_b", 606, 90, 29, 18, ExposureMode::Bright, 0,
      "Bright:\nCombines aperture and digital gain.\nBest results when \"Shutter Priority\" is selected first" },
    { GainIcon, Kind::Icon, ":/media/gain_icon.png", 28, 96, 60, 60, 0, 0,
      "Gain control group\nRequires Aperture control set to Manual" },
    { GainSlider, Kind::Slider, nullptr, 111, 96, 441, 60, SegSliderGain, 5,
      "Manual gain control\nRequires Aperture control set to Manual" },
    { Caption0dB, Kind::Caption, "0dB", 111, 144, 60, 16, 0, 0, nullptr },
    { Caption33dB, Kind::RightCaption, "33dB", 489, 144, 60, 16, 0, 0, nullptr },
    { FocusIcon, Kind::Icon, ":/media/focus_icon_off.png", 28, 176, 60, 60, 0, 0,
      "Toggle automatic/manual focus control" },
    { FocusSlider, Kind::Slider, nullptr, 111, 176, 441, 60, SegSliderFocus, kFocusFallback,
      "Manual focus control" },
    { AutoFocusToggle, Kind::Toggle, nullptr, 571, 195, 65, 25, 0, 0,
      "Focus control group" },
    { Caption10mm, Kind::Caption, "10mm", 111, 224, 60, 16, 0, 0, nullptr },
    { InfinityIcon, Kind::Icon, ":/media/focus_infinity_icon.png", 531, 226, 21, 12, 0, 0, nullptr },
    { Caption1500mm, Kind::RightCaption, "1500mm", 468, 224, 60, 16, 0, 0, nullptr },
};
// clang-format on

constexpr bool layoutWellFormed()
{
    int row = 0;
    for (const LayoutRow& entry : kLayout) {
        if (entry.control != row++)
            return false;
        // Only a slider has a kind and a first position, only a mode button a mode.
        const bool slider = entry.kind == Kind::Slider;
        if ((!slider && entry.value != 0) || (!slider && entry.kind != Kind::ModeButton && entry.kindOrMode != 0))
            return false;
    }
    return row == ControlCount;
}
static_assert(layoutWellFormed(), "one layout row per control, in Control order");

// An exposure mode's button: the stem's off, on and press pictures (press also while disabled).
const paneui::ImageButtonLook kModeButtonLook = { "", "%1_off",
    "background-repeat: no-repeat;border:0;margin:0;padding:0;",
    { { ":!checked", "%1_off" }, { ":checked", "%1_on" }, { ":pressed", "%1_press" }, { ":disabled", "%1_press" } } };

// How each exposure mode shows; any other mode shows as manual.
struct ModeView
{
    int aeMode;
    bool apertureEnabled;
    SegSliderType apertureType;
    bool shutterEnabled;
    bool opensAeWindow; // the camera picks some values by itself
};
const ModeView kModeViews[] = {
    { ExposureMode::Auto, false, SegSliderIris, false, false },
    { ExposureMode::Manual, true, SegSliderIris, true, false },
    { ExposureMode::ShutterPriority, false, SegSliderIris, true, true },
    { ExposureMode::IrisPriority, true, SegSliderIris, false, true },
    { ExposureMode::Bright, true, SegSliderIrisGain, false, true },
};

// Program-wide memories of the joystick axes and the momentary focus push,
// shared by every camera pane and never reset.
int s_apertVectorCalls = 0;
int s_gainVectorCalls = 0;
int s_focusVectorCalls = 0;
bool s_focusPushedOn = false;

// A joystick axis steps on every n-th call; the further it is pushed, the more often.
int vectorDivisor(double z)
{
    const double magnitude = std::fabs(z);
    if (magnitude <= 0.4)
        return 10;
    if (magnitude <= 0.7)
        return 5;
    if (magnitude <= 0.9)
        return 3;
    if (magnitude <= 1.1)
        return 2;
    return 10;
}

void setValueQuietly(SegmentSlider* slider, int value)
{
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
}

void setTypeQuietly(SegmentSlider* slider, SegSliderType type)
{
    const QSignalBlocker blocker(slider);
    slider->setSliderType(type);
}

QWidget* makeControl(const LayoutRow& row, QWidget* parent, QButtonGroup* modeGroup)
{
    const QString content = QString::fromLatin1(row.content);
    switch (row.kind) {
    case Kind::Icon: {
        auto* icon = new QLabel(parent);
        const QPixmap picture(content);
        if (picture.isNull())
            qWarning() << "PaneCamera: missing image" << content;
        icon->setPixmap(picture);
        icon->setScaledContents(true);
        return icon;
    }
    case Kind::Caption:
    case Kind::RightCaption: {
        auto* caption = new QLabel(content, parent);
        caption->setStyleSheet(QLatin1String(paneui::CAPTION_SHEET));
        if (row.kind == Kind::RightCaption)
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return caption;
    }
    case Kind::Slider: {
        auto* slider = new SegmentSlider(Qt::Horizontal, parent);
        slider->setSliderType(SegSliderType(row.kindOrMode));
        slider->setValue(row.value);
        return slider;
    }
    case Kind::Toggle:
    case Kind::FlatToggle:
        return paneui::switchButton(parent, QStringLiteral(":/media/auto_off.png"),
            QStringLiteral(":/media/auto_on.png"), QSize(65, 25), row.kind == Kind::FlatToggle);
    case Kind::ModeButton: {
        auto* button = new QPushButton(parent);
        button->setFlat(true);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setStyleSheet(paneui::imageButtonSheet(kModeButtonLook, content));
        // The group's id of a button is its exposure mode.
        modeGroup->addButton(button, row.kindOrMode);
        return button;
    }
    case Kind::Combo: {
        auto* combo = new QuvComboBox(parent);
        for (int shutter = 0; shutter <= ShutterMax; ++shutter)
            combo->addItem(QString::fromLatin1(shutterText(shutter)), QVariant(shutter));
        return combo;
    }
    }
    return nullptr;
}

} // namespace

PaneCamera::PaneCamera(DeviceSet* deviceSet, QWidget* parent)
    : PaneBase(deviceSet, parent)
{ }

PaneCamera::~PaneCamera() = default;

// ---------------------------------------------------------------------------
// Conversions

int PaneCamera::convApertUiToVisca(int ui)
{
    return irisFromStep(ui);
}

int PaneCamera::convApertViscaToUi(int v)
{
    return irisToStep(v);
}

int PaneCamera::convBrightUiToVisca(int ui)
{
    return brightFromStep(ui);
}

int PaneCamera::convBrightViscaToUi(int v)
{
    return brightToStep(v);
}

int PaneCamera::convGainUiToVisca(int ui)
{
    return gainFromStep(ui);
}

int PaneCamera::convGainViscaToUi(int v)
{
    return gainToStep(v);
}

int PaneCamera::convFocusUiToVisca(int ui)
{
    return focusFlip(ui);
}

int PaneCamera::convFocusViscaToUi(int v)
{
    return focusFlip(v);
}

QString PaneCamera::convShutterViscaToString(int v)
{
    return QString::fromLatin1(shutterText(v));
}

// ---------------------------------------------------------------------------
// Building

void PaneCamera::uiSetup()
{
    PaneBase::uiSetup();
    buildControls();
    uiSetupZoomGroup(28, 256, this, 1);
    connectControls();
}

void PaneCamera::buildControls()
{
    m_modeGroup = new QButtonGroup(this);
    m_modeGroup->setExclusive(true);
    QWidget* built[ControlCount] = {};
    for (const LayoutRow& row : kLayout) {
        QWidget* control = makeControl(row, this, m_modeGroup);
        control->setGeometry(row.x, row.y, row.w, row.h);
        if (row.toolTip)
            control->setToolTip(QString::fromLatin1(row.toolTip));
        built[row.control] = control;
    }
    m_apertureSlider = static_cast<SegmentSlider*>(built[ApertureSlider]);
    m_autoExposureToggle = static_cast<QPushButton*>(built[AutoExposureToggle]);
    m_shutterCombo = static_cast<QuvComboBox*>(built[ShutterCombo]);
    m_irisPriorityButton = static_cast<QPushButton*>(built[IrisPriorityButton]);
    m_shutterPriorityButton = static_cast<QPushButton*>(built[ShutterPriorityButton]);
    m_manualButton = static_cast<QPushButton*>(built[ManualButton]);
    m_brightButton = static_cast<QPushButton*>(built[BrightButton]);
    m_gainSlider = static_cast<SegmentSlider*>(built[GainSlider]);
    m_focusSlider = static_cast<SegmentSlider*>(built[FocusSlider]);
    m_autoFocusToggle = static_cast<QPushButton*>(built[AutoFocusToggle]);
}

void PaneCamera::connectControls()
{
    struct Connection
    {
        QObject* sender;
        const char* signal;
        const char* slot;
    };
    const Connection connections[] = {
        { m_apertureSlider, SIGNAL(valueChanged(int)), SLOT(slot_apertValue(int)) },
        { m_apertureSlider, SIGNAL(sliderReleased()), SLOT(slot_apertReleased()) },
        { m_shutterCombo, SIGNAL(activated(int)), SLOT(slot_apertShutterSpeed(int)) },
        { m_autoExposureToggle, SIGNAL(toggled(bool)), SLOT(slot_apertAuto(bool)) },
        { m_irisPriorityButton, SIGNAL(clicked()), SLOT(slot_apertPriority()) },
        { m_shutterPriorityButton, SIGNAL(clicked()), SLOT(slot_apertPriority()) },
        { m_manualButton, SIGNAL(clicked()), SLOT(slot_apertPriority()) },
        { m_brightButton, SIGNAL(clicked()), SLOT(slot_apertPriority()) },
        { m_gainSlider, SIGNAL(valueChanged(int)), SLOT(slot_gainValue(int)) },
        { m_focusSlider, SIGNAL(valueChanged(int)), SLOT(slot_focusValue(int)) },
        { m_autoFocusToggle, SIGNAL(toggled(bool)), SLOT(slot_focusAuto(bool)) },
    };
    for (const Connection& c : connections)
        paneui::connectOrWarn(c.sender, c.signal, this, c.slot);
}

// ---------------------------------------------------------------------------
// Reading the camera into the controls

int PaneCamera::cachedAeMode(int preset) const
{
    int mode = preset;
    device()->viscaGet(ViscaMsg::ExposureMode, mode, true);
    return mode;
}

void PaneCamera::openAeWindow()
{
    m_aeRereadDeadline_ms = paneclock::now_ms() + kAeReread_ms;
}

bool PaneCamera::cameraZooming() const
{
    return device()->zoomingState() != AutoZoom::Stopped;
}

void PaneCamera::syncApertManualPriority(int aeMode)
{
    if (aeMode != ExposureMode::Auto)
        m_savedAeMode = aeMode;
    const ModeView* view = nullptr;
    for (const ModeView& candidate : kModeViews) {
        if (candidate.aeMode == aeMode)
            view = &candidate;
    }
    if (!view) {
        // A mode this pane does not offer: the camera goes to manual.
        device()->viscaSet(ViscaMsg::ExposureMode, ExposureMode::Manual, -1);
        m_savedAeMode = ExposureMode::Manual;
        view = &kModeViews[1];
    }
    QAbstractButton* checked = m_modeGroup->button(view->aeMode);
    // An exclusive group cannot uncheck its last button: automatic checks none.
    m_modeGroup->setExclusive(false);
    for (QAbstractButton* button : m_modeGroup->buttons()) {
        button->setChecked(button == checked);
        button->setEnabled(view->aeMode != ExposureMode::Auto);
    }
    m_modeGroup->setExclusive(true);
    m_apertureSlider->setEnabled(view->apertureEnabled);
    setTypeQuietly(m_apertureSlider, view->apertureType);
    m_shutterCombo->setEnabled(view->shutterEnabled);
    if (view->opensAeWindow)
        openAeWindow();
    setCheckedQuietly(m_autoExposureToggle, view->aeMode == ExposureMode::Auto);
    if (view->aeMode != ExposureMode::Auto) {
        syncShutterValue(false);
        syncApertureValue(false);
    }
}

void PaneCamera::syncFocusValue(bool useCache)
{
    int focus = 0;
    device()->viscaGet(ViscaMsg::FocusValue, focus, useCache);
    setValueQuietly(m_focusSlider, convFocusViscaToUi(focus));
}

void PaneCamera::syncGainValue(bool useCache)
{
    DeviceInterface* camera = device();
    int gain = 1;
    camera->viscaGet(ViscaMsg::Gain, gain, useCache);
    setValueQuietly(m_gainSlider, convGainViscaToUi(gain));
    int mode = ExposureMode::Manual;
    camera->viscaGet(ViscaMsg::ExposureMode, mode, useCache);
    m_gainSlider->setEnabled(mode == ExposureMode::Manual);
}

void PaneCamera::syncShutterValue(bool useCache)
{
    int shutter = 0;
    device()->viscaGet(ViscaMsg::Shutter, shutter, useCache);
    const QSignalBlocker blocker(m_shutterCombo);
    m_shutterCombo->setAllItemsChecked(false);
    m_shutterCombo->setMatchingItemChecked(QVariant(shutter), true, false);
    m_shutterCombo->setMatchingItemCurrentIndex(QVariant(shutter));
}

void PaneCamera::syncApertureValue(bool useCache)
{
    DeviceInterface* camera = device();
    int mode = ExposureMode::Manual;
    camera->viscaGet(ViscaMsg::ExposureMode, mode, useCache);
    int value = 0;
    if (mode == ExposureMode::Bright) {
        camera->viscaGet(ViscaMsg::Brightness, value, useCache);
        setTypeQuietly(m_apertureSlider, SegSliderIrisGain);
        setValueQuietly(m_apertureSlider, convBrightViscaToUi(value));
    } else {
        camera->viscaGet(ViscaMsg::Iris, value, useCache);
        setTypeQuietly(m_apertureSlider, SegSliderIris);
        setValueQuietly(m_apertureSlider, convApertViscaToUi(value));
    }
}

// ---------------------------------------------------------------------------
// The virtual operations

void PaneCamera::uiSync(bool useCache)
{
    PaneBase::uiSync(useCache);
    DeviceInterface* camera = device();
    int mode = ExposureMode::Manual;
    camera->viscaGet(ViscaMsg::ExposureMode, mode, useCache);
    syncApertManualPriority(mode);
    int focusMode = 0;
    camera->viscaGet(ViscaMsg::FocusMode, focusMode, useCache);
    const bool autoFocus = focusMode == FocusMode::Auto;
    m_focusSlider->setEnabled(!autoFocus);
    setCheckedQuietly(m_autoFocusToggle, autoFocus);
    syncGainValue(useCache);
    syncShutterValue(useCache);
    syncFocusValue(useCache);
    syncApertureValue(useCache);
}

void PaneCamera::uiResync(ResyncType type)
{
    if (type == ResyncFocus)
        syncFocusValue(true);
    else
        PaneBase::uiResync(type);
}

void PaneCamera::uiTimerUpdate()
{
    if (isVisible()) {
        const uint64_t now = paneclock::now_ms();
        if (now < m_aeRereadDeadline_ms) {
            // Only the values the camera picks in its current mode.
            const int mode = cachedAeMode(-1);
            if (mode == ExposureMode::Auto || mode == ExposureMode::IrisPriority)
                syncShutterValue(false);
            if (mode == ExposureMode::Auto || mode == ExposureMode::ShutterPriority)
                syncApertureValue(false);
            if (mode == ExposureMode::Auto || mode == ExposureMode::ShutterPriority
                || mode == ExposureMode::IrisPriority)
                syncGainValue(false);
        }
        if (now < m_focusRereadDeadline_ms)
            syncFocusValue(false);
    }
    PaneBase::uiTimerUpdate();
}

void PaneCamera::preferenceRead()
{
    const int stored = QSettings().value(QLatin1String(kPrefSavedAeMode), ExposureMode::Manual).toInt();
    // Only a manual mode can be returned to: a stored 0 would keep automatic
    // exposure on for good, any other value would reach the camera as it is.
    const bool manualMode = stored == ExposureMode::Manual || stored == ExposureMode::ShutterPriority
        || stored == ExposureMode::IrisPriority || stored == ExposureMode::Bright;
    m_savedAeMode = manualMode ? stored : ExposureMode::Manual;
}

void PaneCamera::preferenceWrite()
{
    QSettings().setValue(QLatin1String(kPrefSavedAeMode), m_savedAeMode);
}

void PaneCamera::buttonClick(int op)
{
    if (op == TaqoOpExposureDown || op == TaqoOpExposureUp)
        stepExposure(op == TaqoOpExposureUp);
    else if (op == TaqoOpAutoExposure)
        m_autoExposureToggle->toggle();
    PaneBase::buttonClick(op);
}

void PaneCamera::stepExposure(bool brighter)
{
    DeviceInterface* camera = device();
    const int aperture = m_apertureSlider->value();
    const int gain = m_gainSlider->value();
    const int mode = cachedAeMode(ExposureMode::Manual);
    const int step = brighter ? 1 : -1;
    const auto pushAperture = [&](int position) {
        camera->viscaPush(ViscaMsg::Iris, convApertUiToVisca(position), -1);
        setValueQuietly(m_apertureSlider, position);
    };
    const auto pushGain = [&](int position) {
        camera->viscaPush(ViscaMsg::Gain, convGainUiToVisca(position), -1);
        setValueQuietly(m_gainSlider, position);
    };

    if (mode == ExposureMode::Bright) {
        camera->viscaPush(ViscaMsg::Brightness, convBrightUiToVisca(aperture + step), -1);
        setValueQuietly(m_apertureSlider, aperture + step);
    } else if ((mode == ExposureMode::Manual || mode == ExposureMode::IrisPriority) && !brighter) {
        // Darker takes gain away first, then closes the iris (iris priority has no gain).
        const int lessGain = qBound(0, gain - 1, GainStepMax);
        if (lessGain == gain || mode == ExposureMode::IrisPriority)
            pushAperture(qBound(0, aperture - 1, IrisStepMax));
        else
            pushGain(lessGain);
    } else if (mode == ExposureMode::Manual || mode == ExposureMode::IrisPriority) {
        // Brighter opens the iris first, then adds gain.
        const int wider = qBound(0, aperture + 1, IrisStepMax);
        if (wider != aperture)
            pushAperture(wider);
        else if (mode == ExposureMode::Manual)
            pushGain(qBound(0, gain + 1, GainStepMax));
    } else {
        // Automatic and shutter priority pick the aperture themselves.
        beep();
    }
}

void PaneCamera::contextMenuEvent(QContextMenuEvent* event)
{
    // QWidget ignores it, so the main window's menu gets the click.
    QWidget::contextMenuEvent(event);
}

// ---------------------------------------------------------------------------
// Exposure

void PaneCamera::slot_apertReleased()
{
    if (cachedAeMode(-1) == ExposureMode::IrisPriority)
        openAeWindow();
}

void PaneCamera::slot_apertValue(int val)
{
    DeviceInterface* camera = device();
    if (cachedAeMode(-1) == ExposureMode::Bright)
        camera->viscaPush(ViscaMsg::Brightness, convBrightUiToVisca(val), -1);
    else
        camera->viscaPush(ViscaMsg::Iris, convApertUiToVisca(val), -1);
}

void PaneCamera::slot_apertVector(double z, bool on)
{
    if (!on || z == 0.0)
        return;
    const int mode = cachedAeMode(ExposureMode::Manual);
    if (mode != ExposureMode::Manual && mode != ExposureMode::IrisPriority && mode != ExposureMode::Bright)
        return;
    if (s_apertVectorCalls++ % vectorDivisor(z) != 0)
        return;
    const int position = m_apertureSlider->value();
    const int next = z < 0 ? position - 1 : position + 1;
    if (mode == ExposureMode::Bright) {
        if (qBound(0, next, BrightStepMax) != position)
            device()->viscaPush(ViscaMsg::Brightness, convBrightUiToVisca(next), -1);
    } else if (qBound(0, next, IrisStepMax) != position) {
        device()->viscaPush(ViscaMsg::Iris, convApertUiToVisca(next), -1);
    }
    setValueQuietly(m_apertureSlider, next);
}

void PaneCamera::slot_apertAuto(bool val)
{
    const int mode = val ? ExposureMode::Auto : m_savedAeMode;
    device()->viscaSet(ViscaMsg::ExposureMode, mode, -1);
    syncApertManualPriority(mode);
    syncGainValue(false);
    if (mode == ExposureMode::Auto || mode == ExposureMode::ShutterPriority || mode == ExposureMode::IrisPriority
        || mode == ExposureMode::Bright)
        openAeWindow();
}

void PaneCamera::slot_apertPriority()
{
    const int mode = m_modeGroup->id(qobject_cast<QAbstractButton*>(sender()));
    if (mode < 0)
        return;
    DeviceInterface* camera = device();
    if (mode == ExposureMode::Bright) {
        // The camera enters bright mode through shutter priority.
        const int current = cachedAeMode(-1);
        if (current != ExposureMode::ShutterPriority && current != -1)
            camera->viscaSet(ViscaMsg::ExposureMode, ExposureMode::ShutterPriority, -1);
    }
    camera->viscaSet(ViscaMsg::ExposureMode, mode, -1);
    syncApertManualPriority(mode);
    syncGainValue(false);
    if (mode != ExposureMode::Manual)
        openAeWindow();
}

void PaneCamera::slot_apertShutterSpeed(int val)
{
    if (val < 0 || val >= m_shutterCombo->count())
        return;
    device()->viscaPush(ViscaMsg::Shutter, m_shutterCombo->itemData(val).toInt(), -1);
    openAeWindow();
}

void PaneCamera::slot_gainValue(int val)
{
    device()->viscaPush(ViscaMsg::Gain, convGainUiToVisca(val), -1);
}

void PaneCamera::slot_gainVector(double z, bool on)
{
    if (!on || z == 0.0)
        return;
    if (cachedAeMode(ExposureMode::Manual) != ExposureMode::Manual)
        return;
    if (s_gainVectorCalls++ % vectorDivisor(z) != 0)
        return;
    const int gain = m_gainSlider->value();
    const int next = z < 0 ? gain - 1 : gain + 1;
    if (qBound(0, next, GainStepMax) != gain) {
        device()->viscaPush(ViscaMsg::Gain, convGainUiToVisca(next), -1);
        setValueQuietly(m_gainSlider, next);
    }
}

// ---------------------------------------------------------------------------
// Focus

void PaneCamera::slot_focusValue(int val)
{
    if (cameraZooming()) {
        // The lens is moving: the user's focus would be lost; the slider goes back.
        emit sig_postWarning(WarningFocusDuringAutoZoom);
        emit sig_resync(ResyncFocus);
        return;
    }
    device()->viscaPush(ViscaMsg::FocusValue, convFocusUiToVisca(val), -1);
}

void PaneCamera::slot_focusAutoPush(bool down)
{
    const bool autoFocus = m_autoFocusToggle->isChecked();
    if (down && autoFocus) {
        // Already on: the release leaves it on.
        s_focusPushedOn = false;
    } else if (down) {
        s_focusPushedOn = true;
        m_autoFocusToggle->setChecked(true);
        m_focusRereadDeadline_ms = paneclock::now_ms() + kFocusPushReread_ms;
    } else if (s_focusPushedOn && autoFocus) {
        s_focusPushedOn = false;
        m_autoFocusToggle->setChecked(false);
        m_focusRereadDeadline_ms = 0;
    }
}

void PaneCamera::slot_focusAuto(bool val)
{
    DeviceInterface* camera = device();
    camera->viscaSet(ViscaMsg::FocusMode, val ? FocusMode::Auto : FocusMode::Toggle, -1);
    if (val) {
        m_focusSlider->setEnabled(false);
        m_focusRereadDeadline_ms = paneclock::now_ms() + kFocusAutoReread_ms;
        return;
    }
    // The toggle code went to the camera and into the cache; the camera's real
    // mode replaces it there, so that a preset taken later holds a mode.
    int focusMode = 0;
    camera->viscaGet(ViscaMsg::FocusMode, focusMode, false);
    m_focusSlider->setEnabled(true);
    int focus = kFocusFallback;
    camera->viscaGet(ViscaMsg::FocusValue, focus, false);
    setValueQuietly(m_focusSlider, convFocusViscaToUi(focus));
}

void PaneCamera::slot_focusVector(double val, bool on)
{
    if (!on)
        return;
    if (cameraZooming()) {
        emit sig_postWarning(WarningFocusDuringAutoZoom);
        emit sig_resync(ResyncFocus);
        return;
    }
    // Bit 1 of the call count: the axis acts on two calls of every four (counts
    // 0 and 1, 4 and 5, ...), half as often as the poll, in pairs.
    if ((s_focusVectorCalls++ & 2) != 0)
        return;
    // Worked out in floating point, so that no axis reading overflows an int.
    const double position = m_focusSlider->value();
    const double target = std::isnan(val) ? position : position + std::trunc(val * kFocusVectorStep);
    const int focus = int(qBound(0.0, target, double(FocusStepMax)));
    device()->viscaPush(ViscaMsg::FocusValue, convFocusUiToVisca(focus), -1);
    setValueQuietly(m_focusSlider, focus);
}
