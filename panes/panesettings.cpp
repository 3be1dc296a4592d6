// The settings pane's frame (the sub-pane list, re-reads, resyncs and the
// stored row) and its Output and Info sub-panes.

#include "panes/panesettings.h"

#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "device/viscavalues.h"
#include "panes/panesettingsui.h"
#include "panes/paneui.h"
#include "quvapp/quvcombobox.h"
#include "quvapp/quvpushbutton.h"

#include <cmath>
#include <vector>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>

using settingsui::Choice;

namespace {

const char* const kSelectedSettingKey = "prefs/selected_setting";
const char* const kNameFallback = "Cam ?";
constexpr int kRowCount = 4;
constexpr int kNameMaxLength = 5;

const Choice kDelayModes[] = { { "Normal", 0 }, { "Low Delay", 1 } };
const Choice kBaudRates[] = { { "9600", 0 }, { "19200", 1 }, { "38400", 2 }, { "57600", 3 }, { "115200", 4 } };
const Choice kSlots[] = {
    { "Slot 1", 0 },
    { "Slot 2", 1 },
    { "Slot 3", 2 },
    { "Slot 4", 3 },
    { "Slot 5", 4 },
    { "Slot 6", 5 },
    { "Slot 7", 6 },
    { "Slot 8", 7 },
};

// One row of the Output sub-pane: caption, combo and the slot it drives.
struct OutputRow
{
    const char* caption;
    int y; // caption top; the combo stands 3 px higher
    const char* name;
    const Choice* choices;
    int count;
    const char* toolTip;
    QuvComboBox* PaneSettings::*combo;
    const char* slot;
};

const char* const kUhdWarning = "ePTZ is currently enabled and requires the video format be set to a UHD format. "
                                "Changing to the selected format will disable ePTZ.";
const char* const kLowDelayOnText
    = "<b><big>Turning on \"Low Delay\" mode will DISABLE the following features:</big></b><ul "
      "type=\"disc\"><li>Digital Zoom</li><li>Distortion Correction</li><li>Image "
      "Stabilizer</li><li>StableZoom</li></ul>";
const char* const kLowDelayOnInfo = "Normal Latency:\t ~2 frames delay\nLow Latency:\t ~1 frame delay\n";
const char* const kLowDelayOffText
    = "<b><big>Turning off \"Low Delay\" mode will ENABLE the following features:</big></b><ul "
      "type=\"disc\"><li>Digital Zoom</li><li>Distortion Correction</li><li>Image "
      "Stabilizer</li><li>StableZoom</li></ul>";
const char* const kLowDelayOffInfo
    = "Some control setting may need to be re-enabled\nwhen returning to \"Normal\" mode\n";

// The choices the Output sub-pane offers of the camera's formats and colour spaces.
const std::vector<Choice>& videoFormatChoices()
{
    static const std::vector<Choice> choices = [] {
        std::vector<Choice> list;
        for (int i = 0; i < VIDEO_FORMAT_COUNT; ++i) {
            if (VIDEO_FORMATS[i].settingsText)
                list.push_back({ VIDEO_FORMATS[i].settingsText, VIDEO_FORMATS[i].code });
        }
        return list;
    }();
    return choices;
}

const std::vector<Choice>& colorSpaceChoices()
{
    static const std::vector<Choice> choices = [] {
        std::vector<Choice> list;
        for (int i = 0; i < COLOR_SPACE_COUNT; ++i)
            list.push_back({ COLOR_SPACES[i].text, COLOR_SPACES[i].code });
        return list;
    }();
    return choices;
}

// The value carried by a combo row; fallback for a row that is not there.
int valueAt(const QuvComboBox* combo, int row, int fallback)
{
    const QVariant data = combo->itemData(row);
    return data.isValid() ? data.toInt() : fallback;
}

// Characters the camera's name registers keep and give back.
bool isStorableName(const QString& name)
{
    for (const QChar c : name) {
        if (c.unicode() < 33 || c.unicode() > 126)
            return false;
    }
    return true;
}

} // namespace

PaneSettings::PaneSettings(DeviceSet* deviceSet, QWidget* parent)
    : PaneBase(deviceSet, parent)
{
    m_pendingVideoFormat = 0;
    m_pendingColorSpace = 0;
    m_pendingBaudRate = 0;
    m_pendingDelayMode = 0;
}

PaneSettings::~PaneSettings() = default;

// ---------------------------------------------------------------------------
// The frame

void PaneSettings::uiSetup()
{
    PaneBase::uiSetup();

    m_paneList = new QListWidget(this);
    m_paneList->setObjectName(QStringLiteral("paneList"));
    m_paneList->setStyleSheet(QStringLiteral("QListView{font: 12px;} QListView::item{min-height: 36px;}"));
    m_paneList->setGeometry(24, 24, 141, 303);
    m_paneList->setSortingEnabled(false);
    m_paneList->addItems(
        { QStringLiteral("Features"), QStringLiteral("Spot"), QStringLiteral("Output"), QStringLiteral("Info") });

    struct SubPane
    {
        const char* name;
        QWidget* PaneSettings::*member;
        void (PaneSettings::*build)(QWidget*);
    };
    static const SubPane subPanes[kRowCount] = {
        { "featuresPane", &PaneSettings::m_featuresPane, &PaneSettings::uiSetupFeaturesPane },
        { "spotPane", &PaneSettings::m_spotPane, &PaneSettings::uiSetupSpotPane },
        { "outputPane", &PaneSettings::m_outputPane, &PaneSettings::uiSetupOutputPane },
        { "infoPane", &PaneSettings::m_infoPane, &PaneSettings::uiSetupInfoPane },
    };
    for (const SubPane& sub : subPanes) {
        auto* container = new QWidget(this);
        container->setObjectName(QLatin1String(sub.name));
        container->setAttribute(Qt::WA_TranslucentBackground);
        container->setGeometry(178, 9, 476, 377);
        (this->*sub.build)(container);
        this->*sub.member = container;
    }
    paneui::connectOrWarn(m_paneList, SIGNAL(currentRowChanged(int)), this, SLOT(slot_selectSettingsPane(int)));
}

void PaneSettings::slot_selectSettingsPane(int val)
{
    // No row (the list was emptied) leaves the sub-pane shown and the stored row as they are.
    if (val < 0 || val >= kRowCount)
        return;
    QWidget* const panes[kRowCount] = { m_featuresPane, m_spotPane, m_outputPane, m_infoPane };
    for (int i = 0; i < kRowCount; ++i)
        panes[i]->setVisible(i == val);
    m_selectedRow = val;
    QSettings().setValue(QLatin1String(kSelectedSettingKey), val);
}

void PaneSettings::uiSync(bool useCache)
{
    PaneBase::uiSync(useCache);
    DeviceInterface* camera = device();

    // Output: the camera's values become the pending ones.
    camera->viscaGet(ViscaMsg::VideoFormat, m_pendingVideoFormat, useCache);
    m_videoFormatCombo->setMatchingItemCurrentIndex(m_pendingVideoFormat);
    camera->viscaGet(ViscaMsg::ColorSpace, m_pendingColorSpace, useCache);
    m_colorSpaceCombo->setMatchingItemCurrentIndex(m_pendingColorSpace);
    camera->viscaGet(ViscaMsg::DelayMode, m_pendingDelayMode, false);
    m_delayModeCombo->setMatchingItemCurrentIndex(m_pendingDelayMode);
    notifyRequiresReset();

    // Features
    syncWbControls(false);
    int colorBar = 0;
    camera->viscaGet(ViscaMsg::ColorBar, colorBar, useCache);
    m_colorBarCombo->setCurrentIndex(colorBar >= 0 && colorBar < m_colorBarCombo->count() ? colorBar : -1);
    syncSwitch(m_backLightSwitch, ViscaMsg::Backlight, useCache);
    syncSwitch(m_irCutFilterSwitch, ViscaMsg::InfraredCut, useCache);
    syncSwitch(m_osdSwitch, ViscaMsg::Display, useCache);
    syncVFlip(useCache);
    syncSwitch(m_flipHSwitch, ViscaMsg::FlipH, useCache);
    syncSwitch(m_muteSwitch, ViscaMsg::Mute, useCache);
    {
        const QSignalBlocker blocker(m_lowDelaySwitch);
        m_lowDelaySwitch->setChecked(false);
    }
    syncNr(useCache);

    syncInfo(useCache);

    // Spot and gamma; the gamma values are always asked of the camera.
    syncSpotFocusOnOff(useCache);
    syncSpotAeOnOff(useCache);
    syncGammaMode(false);
    syncGammaOffset(false);
    syncGammaPattern(false);

    syncRGain(useCache);
    syncBGain(useCache);
}

void PaneSettings::uiResync(ResyncType type)
{
    switch (type) {
    case ResyncApplyOutput:
        slot_clickResetButton();
        break;
    case ResyncFlipV:
        syncVFlip(true);
        // The spot windows mirror with the picture.
        syncSpotFocusPos(true);
        syncSpotAePos(true);
        break;
    default:
        PaneBase::uiResync(type);
        break;
    }
}

void PaneSettings::uiTimerUpdate()
{
    PaneBase::uiTimerUpdate();
}

void PaneSettings::preferenceRead()
{
    PaneBase::preferenceRead();
    int row = QSettings().value(QLatin1String(kSelectedSettingKey), 0).toInt();
    // A row outside the list would leave every sub-pane shown on top of the others.
    if (row < 0 || row >= kRowCount)
        row = 0;
    m_paneList->setCurrentRow(row);
}

void PaneSettings::preferenceWrite() { }

bool PaneSettings::isVFlip()
{
    return device()->viscaGetVFlip();
}

// ---------------------------------------------------------------------------
// Output

void PaneSettings::uiSetupOutputPane(QWidget* parent)
{
    static const OutputRow rows[] = {
        { "Video Format", 26, "videoFormat", videoFormatChoices().data(), int(videoFormatChoices().size()),
            "Changes output video format\nRequires restart\n", &PaneSettings::m_videoFormatCombo,
            SLOT(slot_selectVideoFormat(int)) },
        { "Color Space", 81, "colorSpace", colorSpaceChoices().data(), int(colorSpaceChoices().size()),
            "Changes output video color space\nRequires restart\n", &PaneSettings::m_colorSpaceCombo,
            SLOT(slot_selectColorSpace(int)) },
        { "Low Delay Mode", 136, "delayMode", kDelayModes, int(std::size(kDelayModes)),
            "Disables processing that cause\nvideo frame delay\nRequires restart\n", &PaneSettings::m_delayModeCombo,
            SLOT(slot_selectDelayMode(int)) },
        // Hidden: no baud rate is ever written to the camera.
        { "Baud Rate", 191, "baudRate", kBaudRates, int(std::size(kBaudRates)), nullptr, &PaneSettings::m_baudRateCombo,
            SLOT(slot_selectBaudRate(int)) },
    };
    for (const OutputRow& row : rows) {
        QLabel* label
            = settingsui::caption(parent, row.caption, QRect(47, row.y, 120, 16), settingsui::kGreyCaptionSheet);
        QuvComboBox* box
            = settingsui::combo(parent, row.name, row.choices, row.count, QRect(228, row.y - 3, 148, 16), row.toolTip);
        this->*row.combo = box;
        if (box == m_baudRateCombo) {
            label->hide();
            box->hide();
        }
        paneui::connectOrWarn(box, SIGNAL(activated(int)), this, row.slot);
    }

    m_applyButton = new QuvPushButton(QStringLiteral("Apply"), parent);
    m_applyButton->setObjectName(QStringLiteral("apply"));
    m_applyButton->setGeometry(44, 243, 110, 24);
    m_applyButton->setEnabled(false);

    m_restartNote = new QLabel(QStringLiteral("Camera must restart for changes to take effect."), parent);
    m_restartNote->setObjectName(QStringLiteral("restartNote"));
    m_restartNote->setGeometry(160, 246, 280, 24);
    m_restartNote->setStyleSheet(QStringLiteral("color: rgb(67,149,194);"));
    m_restartNote->hide();

    paneui::connectOrWarn(m_applyButton, SIGNAL(clicked()), this, SLOT(slot_clickResetButton()));
}

void PaneSettings::notifyRequiresReset()
{
    DeviceInterface* camera = device();
    int format = 0;
    int colour = 0;
    int delay = 0;
    camera->viscaGet(ViscaMsg::VideoFormat, format, true);
    camera->viscaGet(ViscaMsg::ColorSpace, colour, true);
    camera->viscaGet(ViscaMsg::DelayMode, delay, true);
    const bool differs = format != m_pendingVideoFormat || colour != m_pendingColorSpace || delay != m_pendingDelayMode;
    m_applyButton->setEnabled(differs);
    m_restartNote->setVisible(differs);
}

void PaneSettings::slot_selectVideoFormat(int val)
{
    m_pendingVideoFormat = valueAt(m_videoFormatCombo, val, m_pendingVideoFormat);
    int current = m_pendingVideoFormat;
    device()->viscaGet(ViscaMsg::VideoFormat, current, true);
    if (current != m_pendingVideoFormat) {
        int ept = VISCA_OFF;
        device()->viscaGet(ViscaMsg::EptOnOff, ept, true);
        if (ept == VISCA_ON && !isUhdFormat(m_pendingVideoFormat)) {
            QMessageBox::warning(
                this, QCoreApplication::applicationName(), QString::fromLatin1(kUhdWarning), QMessageBox::Ok);
        }
    }
    // The camera is asked for again: it may have gone while the box was open.
    notifyRequiresReset();
}

void PaneSettings::slot_selectColorSpace(int val)
{
    m_pendingColorSpace = valueAt(m_colorSpaceCombo, val, m_pendingColorSpace);
    notifyRequiresReset();
}

void PaneSettings::slot_selectBaudRate(int val)
{
    m_pendingBaudRate = valueAt(m_baudRateCombo, val, m_pendingBaudRate);
}

void PaneSettings::slot_selectDelayMode(int val)
{
    const int chosen = valueAt(m_delayModeCombo, val, m_pendingDelayMode);
    m_pendingDelayMode = chosen;
    int current = chosen;
    device()->viscaGet(ViscaMsg::DelayMode, current, true);
    if (current == chosen) {
        notifyRequiresReset();
        return;
    }
    const bool turningOn = val == 1;
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("Low Delay Warning"));
    box.setIcon(QMessageBox::Warning);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setText(QString::fromLatin1(turningOn ? kLowDelayOnText : kLowDelayOffText));
    box.setInformativeText(QString::fromLatin1(turningOn ? kLowDelayOnInfo : kLowDelayOffInfo));
    box.exec();
    m_pendingDelayMode = chosen;
    notifyRequiresReset();
}

void PaneSettings::slot_clickResetButton()
{
    m_applyButton->setEnabled(false);
    m_restartNote->hide();

    int format = 0;
    int colour = 0;
    int delay = 0;
    device()->viscaGet(ViscaMsg::VideoFormat, format, true);
    device()->viscaGet(ViscaMsg::ColorSpace, colour, true);
    device()->viscaGet(ViscaMsg::DelayMode, delay, true);
    const bool formatDiffers = format != m_pendingVideoFormat;
    const bool colourDiffers = colour != m_pendingColorSpace;
    const bool delayDiffers = delay != m_pendingDelayMode;
    if (!formatDiffers && !colourDiffers && !delayDiffers)
        return;

    if (formatDiffers && !isUhdFormat(m_pendingVideoFormat)) {
        int ept = VISCA_OFF;
        device()->viscaGet(ViscaMsg::EptOnOff, ept, true);
        if (ept == VISCA_ON) {
            device()->viscaSet(ViscaMsg::EptOnOff, VISCA_OFF, -1);
            // The ePTZ pane re-reads itself through the main window before anything else is written.
            emit sig_resync(ResyncEptz);
        }
    }
    // A slot of the main window ran in between: ask for the camera again.
    DeviceInterface* camera = device();
    if (formatDiffers)
        camera->viscaSet(ViscaMsg::VideoFormat, m_pendingVideoFormat, 1);
    if (colourDiffers)
        camera->viscaSet(ViscaMsg::ColorSpace, m_pendingColorSpace, 1);
    if (delayDiffers)
        camera->viscaSet(ViscaMsg::DelayMode, m_pendingDelayMode, 1);
    emit sig_resync(ResyncRestart);
}

// ---------------------------------------------------------------------------
// Info

void PaneSettings::uiSetupInfoPane(QWidget* parent)
{
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const char* const captions[] = { "Port Name:", "Camera Name:", "UI Slot Assignment:", "Temperature:" };
    for (int i = 0; i < 4; ++i)
        settingsui::caption(parent, captions[i], QRect(78, 26 + 38 * i, 120, 24), nullptr, right);

    struct Field
    {
        const char* name;
        const char* text;
        int y;
        bool enabled;
        QLineEdit* PaneSettings::*member;
    };
    static const Field fields[] = {
        { "portName", "COM1", 26, false, &PaneSettings::m_portNameEdit },
        { "cameraName", kNameFallback, 64, true, &PaneSettings::m_nameEdit },
        { "temperature", "41 Deg C", 140, false, &PaneSettings::m_temperatureEdit },
    };
    for (const Field& field : fields) {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QLatin1String(field.name));
        edit->setGeometry(205, field.y, 148, 24);
        edit->setEnabled(field.enabled);
        if (field.member == &PaneSettings::m_nameEdit)
            edit->setInputMask(QStringLiteral("Xxxxx")); // one required and four optional non-blank characters
        edit->setText(QLatin1String(field.text));
        this->*field.member = edit;
    }

    m_slotCombo
        = settingsui::combo(parent, "slot", kSlots, QRect(205, 102, 148, 24), "Assign a botton-slot to the camera");

    paneui::connectOrWarn(m_nameEdit, SIGNAL(editingFinished()), this, SLOT(slot_nameChanged()));
    paneui::connectOrWarn(m_slotCombo, SIGNAL(activated(int)), this, SLOT(slot_idValueChanged(int)));
}

void PaneSettings::syncInfo(bool useCache)
{
    DeviceInterface* camera = device();
    m_portNameEdit->setText(camera->devicePN());

    int id = 0;
    camera->viscaGet(ViscaMsg::CameraId, id, useCache);
    m_slotCombo->setMatchingItemCurrentIndex(id >= 0 && id < DeviceSet::SLOT_COUNT ? id : -1);

    {
        const QSignalBlocker blocker(m_nameEdit);
        m_nameEdit->setText(camera->deviceName(false));
    }

    int celsius = 0;
    camera->viscaGet(ViscaMsg::Temperature, celsius, useCache);
    const int fahrenheit = int(std::trunc(celsius * 9.0 / 5.0 + 32.0));
    m_temperatureEdit->setText(QStringLiteral("%1 C / %2 F").arg(celsius).arg(fahrenheit));
}

void PaneSettings::slot_nameChanged()
{
    // Leaving the field also finishes an edit: only a change by the user is written.
    if (!m_nameEdit->isModified())
        return;
    m_nameEdit->setModified(false);
    QString text = m_nameEdit->text();
    if (text.isEmpty() || text.size() > kNameMaxLength) {
        beep();
        text = QString::fromLatin1(kNameFallback);
        const QSignalBlocker blocker(m_nameEdit);
        m_nameEdit->setText(text);
    } else if (!isStorableName(text)) {
        // The registers would hand it back as no name at all: refuse it, nothing is written.
        beep();
        const QSignalBlocker blocker(m_nameEdit);
        m_nameEdit->setText(device()->deviceName(true));
        return;
    }
    // The field cannot hold blanks: "Cam ?" shows as "Cam?".
    DeviceInterface* camera = device();
    if (text == camera->deviceName(true).remove(QLatin1Char(' ')))
        return;
    camera->deviceNameSet(text);
    emit sig_resync(ResyncName);
}

void PaneSettings::slot_idValueChanged(int val)
{
    const int chosen = valueAt(m_slotCombo, val, val);
    const int current = deviceSet()->selectedIndex();
    // The camera that held the chosen slot takes the current one's number.
    if (DeviceInterface* other = deviceSet()->getAt(chosen))
        other->viscaPush(ViscaMsg::CameraId, current, -1);
    if (DeviceInterface* selected = deviceSet()->getAt(current))
        selected->viscaSet(ViscaMsg::CameraId, chosen, -1);
    emit sig_resync(ResyncSlot);
}
