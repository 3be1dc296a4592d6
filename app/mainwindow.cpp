// The main window's start-up, layout, panes, status dialog, camera discovery and
// selection, update tick and shutdown (keys and menus in mainwindowcontrol.cpp,
// presets in mainwindowpresets.cpp).

#include "app/mainwindow.h"

#include "app/controlbase.h"
#include "app/disableappsleep.h"
#include "app/presetstore.h"
#include "app/scanprogressdialog.h"
#include "app/statusstrip.h"
#include "app/storecheck.h"
#include "app/windowlayout.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "device/taqonotifier.h"
#include "media/mediaresources.h"
#include "panes/panecamera.h"
#include "panes/paneeptz.h"
#include "panes/panesettings.h"
#include "panes/paneui.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QThread>
#include <QUrl>

using namespace windowlayout;

TaqoNotifier* _sPnpNotifier = nullptr;

namespace {

// A USB device was added, or a watched one was terminated.
constexpr unsigned long PNP_DEVICE_ADDED = 0xE0000101;
constexpr unsigned long PNP_DEVICE_TERMINATED = 0xE0000010;

constexpr int PNP_SETTLE_MS = 500;
constexpr int UPDATE_TICK_MS = 100;
constexpr int CONTROL_POLL_MS = 50;
constexpr int WARNING_SHOWN_MS = 3000;
constexpr int RETRY_MS = 100;
constexpr int POWER_ON_REREAD_MS = 2000;
constexpr int RESTART_RELOAD_MS = 5000;

const char* const ABOUT_PAGE = "https://quv.example/taqocontrol";
const char* const GEOMETRY_KEY = "mainWindow/geometry";
const char* const SELECTED_PANE_KEY = "prefs/selected_pane";

// The status dialog's title and text by kind; a null text leaves the text as it is.
struct DialogKind
{
    const char* title;
    const char* text;
};
const DialogKind DIALOG_KINDS[] = {
    { "TaqoControl Status", nullptr },
    { "TaqoControl Status", "Reading settings from TaqoCam..." },
    { "TaqoControl Status", "Restarting TaqoCam..." },
    { "About TaqoControl", "QUV TaqoControl version 3.0" },
};

// A stored choice of one of count values; anything else reads as 0.
int storedChoice(const char* key, int count)
{
    const int value = QSettings().value(QLatin1String(key), 0).toInt();
    return value >= 0 && value < count ? value : 0;
}

QLabel* pictureLabel(QWidget* parent, const Control& row)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(row.name));
    label->setPixmap(QPixmap(QLatin1String(row.text)));
    label->setScaledContents(true);
    label->setGeometry(row.rect());
    return label;
}

QLabel* textLabel(QWidget* parent, const Control& row)
{
    auto* label = new QLabel(QLatin1String(row.text), parent);
    label->setObjectName(QLatin1String(row.name));
    label->setGeometry(row.rect());
    return label;
}

QPushButton* flatButton(QWidget* parent, const QString& name, const QRect& rect, const QString& sheet)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setCheckable(true);
    button->setGeometry(rect);
    button->setStyleSheet(sheet);
    return button;
}

void setCheckedQuietly(QPushButton* button, bool checked)
{
    const bool blocked = button->blockSignals(true);
    button->setChecked(checked);
    button->blockSignals(blocked);
}

} // namespace

void pnpCallback(unsigned long message, void* refcon)
{
    auto* window = static_cast<MainWindow*>(refcon);
    if (message == PNP_DEVICE_TERMINATED)
        qDebug() << "pnpCallback - terminate =" << Qt::hex << message;
    else if (message == PNP_DEVICE_ADDED)
        qDebug() << "pnpCallback - open =" << Qt::hex << message;
    else
        return;
    window->pnpEventTriggerDelay();
}

MainWindow::MainWindow()
    : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("QUV TaqoControl"));
    setWindowFlags(Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    pnpEventTriggerDelay();
    m_warningTimer.Start();
    QCoreApplication::instance()->installEventFilter(this);
    m_sleepGuard = new DisableAppSleep();
    m_deviceSet = new DeviceSet(this);
    paneui::connectOrWarn(m_deviceSet, SIGNAL(sig_deviceChanged()), this, SLOT(slot_deviceChanged()));
    uiSetup();
    preferenceRead();
    show();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Over the window, before the controller and the timers start.
    storecheck::checkAtStart(this);

    m_controlThread = new QThread();
    m_controlThread->setObjectName(QStringLiteral("control"));
    m_pollTimer = new QTimer();
    m_pollTimer->setInterval(CONTROL_POLL_MS);
    // Built without SDL and handed to the control thread, where the poll after
    // the first rescan request (the window's first scan) starts SDL and sets
    // the first joystick up.
    m_controlBase = ControlBase::GetInstance();
    m_controlBase->moveToThread(m_controlThread);
    m_pollTimer->moveToThread(m_controlThread);
    paneui::connectOrWarn(m_controlBase, SIGNAL(sig_joystickXY(double, double, bool, bool)), this,
        SLOT(slot_joystickXY(double, double, bool, bool)), Qt::QueuedConnection);
    paneui::connectOrWarn(m_controlBase, SIGNAL(sig_joystickZ(double, bool, bool)), this,
        SLOT(slot_joystickZ(double, bool, bool)), Qt::QueuedConnection);
    paneui::connectOrWarn(m_controlBase, SIGNAL(sig_joystickS(double, bool, bool)), this,
        SLOT(slot_joystickS(double, bool, bool)), Qt::QueuedConnection);
    paneui::connectOrWarn(
        m_controlBase, SIGNAL(sig_buttonClick(int)), this, SLOT(slot_controlButtonClick(int)), Qt::QueuedConnection);
    paneui::connectOrWarn(m_controlBase, SIGNAL(sig_buttonPush(int, bool)), this,
        SLOT(slot_controlButtonPush(int, bool)), Qt::QueuedConnection);
    paneui::connectOrWarn(m_controlThread, SIGNAL(finished()), m_pollTimer, SLOT(stop()));
    paneui::connectOrWarn(m_controlThread, SIGNAL(finished()), m_pollTimer, SLOT(deleteLater()));
    paneui::connectOrWarn(m_controlThread, SIGNAL(finished()), m_controlThread, SLOT(deleteLater()));
    paneui::connectOrWarn(m_controlThread, SIGNAL(finished()), m_controlBase, SLOT(deleteLater()));
    paneui::connectOrWarn(
        m_pollTimer, SIGNAL(timeout()), m_controlBase, SLOT(slot_controlPoll()), Qt::DirectConnection);
    paneui::connectOrWarn(m_controlThread, SIGNAL(started()), m_pollTimer, SLOT(start()));
    paneui::connectOrWarn(this, SIGNAL(sig_usbRescan()), m_controlBase, SLOT(slot_usbRescan()), Qt::QueuedConnection);
    m_controlThread->start();

    if (!pnpInstallUsbNotifier() && DeviceInterface::deepScanEnabled())
        pnpEventTriggerDelay();
    paneui::connectOrWarn(&m_updateTimer, SIGNAL(timeout()), this, SLOT(slot_updateTimer()));
    m_updateTimer.start(UPDATE_TICK_MS);
}

MainWindow::~MainWindow()
{
    preferenceWrite();
    pnpUninstall();
    QThread* controlThread = m_controlThread;
    m_controlThread = nullptr;
    m_pollTimer = nullptr;
    m_controlBase = nullptr;
    controlThread->quit();
    controlThread->wait();
    // The thread's finished() asked for the thread object to be deleted on
    // this thread; the window may be the last thing the event loop ran.
    QCoreApplication::sendPostedEvents(controlThread);
    QCoreApplication::sendPostedEvents(controlThread, QEvent::DeferredDelete);
    delete m_deviceSet;
    m_deviceSet = nullptr;
    delete m_sleepGuard;
    m_sleepGuard = nullptr;
    m_updateTimer.stop();
    // The filter must not reach a half-destroyed window.
    QCoreApplication::instance()->removeEventFilter(this);
    m_panes.clear();
}

void MainWindow::uiSetup()
{
    media::initResources();
    setContextMenuPolicy(Qt::CustomContextMenu);
    paneui::connectOrWarn(this, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(slot_contextMainWindow(QPoint)));
    setObjectName(QStringLiteral("MainWindow"));
    resize(WINDOW_WIDTH, WINDOW_HEIGHT);
    setFixedSize(WINDOW_WIDTH, WINDOW_HEIGHT);

    m_paneFrame = new QGroupBox(this);
    m_paneFrame->setObjectName(QLatin1String(PANE_FRAME.name));
    m_paneFrame->setGeometry(PANE_FRAME.rect());

    m_powerButton = flatButton(this, QLatin1String(POWER_BUTTON.name), POWER_BUTTON.rect(), powerSheet());
    m_powerButton->setAutoDefault(false);

    m_heroLabel = pictureLabel(this, HERO);
    m_heroLabel->setToolTip(QLatin1String(HERO.toolTip));
    m_warningLabel = textLabel(this, WARNING);
    m_warningLabel->setStyleSheet(QLatin1String(WARNING_SHEET));
    m_warningLabel->hide();
    m_waitingLabel = textLabel(this, WAITING);
    m_waitingLabel->setAlignment(Qt::AlignCenter);
    m_waitingLabel->setToolTip(QLatin1String(WAITING.toolTip));
    pictureLabel(this, LOGO);

    const QPixmap tab { QLatin1String(PANE_BUTTON_PICTURE) };
    const int tabWidth = tab.isNull() ? PANE_BUTTON_FALLBACK_WIDTH : tab.width();
    const int tabHeight = tab.isNull() ? PANE_BUTTON_FALLBACK_HEIGHT : tab.height();
    auto* paneGroup = new QButtonGroup(this);
    for (int i = 0; i < PANE_COUNT; ++i) {
        QPushButton* button = flatButton(
            this, QStringLiteral("paneButton%1").arg(i), paneButtonRect(i, tabWidth, tabHeight), paneButtonSheet(i));
        paneGroup->addButton(button);
        m_paneButtons.append(button);
    }

    m_presetTypeLabel = pictureLabel(this, PRESET_TYPE);
    m_presetTypeLabel->setToolTip(QLatin1String(PRESET_TYPE.toolTip));
    m_presetTypeLabel->setContextMenuPolicy(Qt::CustomContextMenu);
    paneui::connectOrWarn(
        m_presetTypeLabel, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(slot_contextPresetLabel(QPoint)));

    auto* presetGroup = new QButtonGroup(this);
    for (int i = 0; i < PRESET_COUNT; ++i) {
        QPushButton* button = flatButton(this, QStringLiteral("presetButton%1").arg(i),
            QRect(presetButtonX(i), PRESET_BUTTON_Y, PRESET_BUTTON_WIDTH, PRESET_BUTTON_HEIGHT), presetSheet());
        button->setText(QString::number(i + 1));
        button->setAutoDefault(false);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        presetGroup->addButton(button);
        paneui::connectOrWarn(button, SIGNAL(clicked()), this, SLOT(slot_presetSelect()));
        paneui::connectOrWarn(
            button, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(slot_contextPreset(QPoint)));
        m_presetButtons[i] = button;
    }

    auto* cameraGroup = new QButtonGroup(this);
    for (int j = 0; j < CAMERA_COUNT; ++j) {
        QPushButton* button = flatButton(this, QStringLiteral("cameraButton%1").arg(j),
            QRect(cameraButtonX(j), CAMERA_BUTTON_Y, CAMERA_BUTTON_WIDTH, CAMERA_BUTTON_HEIGHT), cameraSheet());
        button->setToolTip(QStringLiteral("Select Camera %1").arg(j + 1));
        button->setAutoDefault(false);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        cameraGroup->addButton(button);
        paneui::connectOrWarn(button, SIGNAL(toggled(bool)), this, SLOT(slot_selectCamera(bool)));
        paneui::connectOrWarn(
            button, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(slot_contextCamera(QPoint)));
        m_cameraButtons[j] = button;
    }

    // Each pane is set up before the next one is built.
    const QRect paneArea = paneRect(m_paneFrame->width(), m_paneFrame->height());
    const auto addPane = [this, &paneArea](PaneBase* pane) {
        pane->setGeometry(paneArea);
        pane->uiSetup();
        m_panes.append(pane);
    };
    addPane(new PaneCamera(m_deviceSet, m_paneFrame));
    addPane(new PaneEptz(m_deviceSet, m_paneFrame));
    addPane(new PaneSettings(m_deviceSet, m_paneFrame));

    QLabel** statusLabels[StatusFieldCount] = { &m_formatLabel, &m_colorSpaceLabel, &m_eptzLabel, &m_joystickLabel,
        &m_zoomLabel, &m_focusLabel, &m_shutterLabel, &m_apertGainLabel };
    for (int i = 0; i < StatusFieldCount; ++i) {
        QLabel* label = textLabel(this, STATUS_LABELS[i]);
        label->setStyleSheet(QLatin1String(STATUS_SHEET));
        label->setAlignment(Qt::AlignCenter);
        label->setToolTip(QLatin1String(STATUS_LABELS[i].toolTip));
        *statusLabels[i] = label;
    }
    m_joystickLabel->hide();

    paneui::connectOrWarn(m_paneButtons.at(PaneTypeCamera), SIGNAL(clicked()), this, SLOT(slot_selectPaneCamera()));
    paneui::connectOrWarn(m_paneButtons.at(PaneTypeEptz), SIGNAL(clicked()), this, SLOT(slot_selectPaneEptz()));
    paneui::connectOrWarn(m_paneButtons.at(PaneTypeSettings), SIGNAL(clicked()), this, SLOT(slot_selectPaneSettings()));
    paneui::connectOrWarn(m_powerButton, SIGNAL(toggled(bool)), this, SLOT(slot_power(bool)));
    paneui::connectOrWarn(this, SIGNAL(sig_resync(ResyncType)), this, SLOT(slot_resync(ResyncType)));
    for (PaneBase* pane : qAsConst(m_panes)) {
        paneui::connectOrWarn(pane, SIGNAL(sig_resync(ResyncType)), this, SLOT(slot_resync(ResyncType)));
        paneui::connectOrWarn(pane, SIGNAL(sig_postWarning(WarningType)), this, SLOT(slot_postWarning(WarningType)));
    }

    uiEnableCameraEditing(false);
}

void MainWindow::preferenceRead()
{
    QSettings settings;
    restoreGeometry(settings.value(QLatin1String(GEOMETRY_KEY)).toByteArray());
    m_presetType = PresetType(storedChoice(presetstore::PRESET_TYPE_KEY, 3));
    presetUiUpdateAll();
    const int index
        = std::clamp(settings.value(QLatin1String(presetstore::PRESET_INDEX_KEY), 0).toInt(), 0, PRESET_COUNT - 1);
    setCheckedQuietly(m_presetButtons[index], true);
    m_deviceSet->get()->preferenceRead();
    for (PaneBase* pane : qAsConst(m_panes))
        pane->preferenceRead();
    selectPane(PaneType(storedChoice(SELECTED_PANE_KEY, PANE_COUNT)));
    const int saved = settings.value(QLatin1String(presetstore::SAVED_PRESET_KEY), -1).toInt();
    if (saved >= 0 && saved < PRESET_COUNT)
        setCheckedQuietly(m_presetButtons[saved], true);
}

void MainWindow::preferenceWrite()
{
    m_deviceSet->get()->preferenceWrite();
    for (PaneBase* pane : qAsConst(m_panes))
        pane->preferenceWrite();
    storecheck::flushAtExit();
}

void MainWindow::selectPane(PaneType type)
{
    DeviceInterface* device = m_deviceSet->get();
    for (int i = 0; i < m_panes.size(); ++i) {
        m_panes.at(i)->setVisible(i == type);
        if (i == type && device->deviceOnline())
            m_panes.at(i)->uiSync(true);
    }
    m_paneButtons.at(type)->setChecked(true);
    m_paneType = type;
    // Written only when it changes: each write costs the start a flush to disk.
    QSettings settings;
    if (settings.value(QLatin1String(SELECTED_PANE_KEY)).toString() != QString::number(int(type)))
        settings.setValue(QLatin1String(SELECTED_PANE_KEY), int(type));
}

void MainWindow::slot_selectPaneCamera()
{
    selectPane(PaneTypeCamera);
}

void MainWindow::slot_selectPaneEptz()
{
    selectPane(PaneTypeEptz);
}

void MainWindow::slot_selectPaneSettings()
{
    selectPane(PaneTypeSettings);
}

void MainWindow::uiEnableCameraEditing(bool on)
{
    QList<QWidget*> cameraView { m_paneFrame, m_presetTypeLabel, m_formatLabel, m_colorSpaceLabel, m_eptzLabel,
        m_joystickLabel, m_apertGainLabel, m_shutterLabel, m_focusLabel, m_zoomLabel };
    for (QPushButton* button : qAsConst(m_paneButtons))
        cameraView.append(button);
    cameraView.append(QList<QWidget*>(std::begin(m_cameraButtons), std::end(m_cameraButtons)));
    cameraView.append(QList<QWidget*>(std::begin(m_presetButtons), std::end(m_presetButtons)));
    for (QWidget* widget : qAsConst(cameraView))
        widget->setVisible(on);
    m_powerButton->setEnabled(on);
    m_heroLabel->setVisible(!on);
    m_waitingLabel->setVisible(!on);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QSettings().setValue(QLatin1String(GEOMETRY_KEY), saveGeometry());
    QDialog::closeEvent(event);
}

void MainWindow::slot_about()
{
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray(ABOUT_PAGE)));
    qDebug() << "slot_about";
}

PaneCamera* MainWindow::paneCamera() const
{
    return m_panes.size() == PANE_COUNT ? static_cast<PaneCamera*>(m_panes.at(PaneTypeCamera)) : nullptr;
}

PaneEptz* MainWindow::paneEptz() const
{
    return m_panes.size() == PANE_COUNT ? static_cast<PaneEptz*>(m_panes.at(PaneTypeEptz)) : nullptr;
}

PaneBase* MainWindow::paneZoom() const
{
    if (m_paneType == PaneTypeEptz)
        return paneEptz();
    return paneCamera();
}

// ---- Status dialogs

void MainWindow::dialogPost(int kind)
{
    if (!m_statusDialog) {
        m_statusDialog = new ScanProgressDialog(this);
        m_statusDialog->setModal(true);
    }
    if (auto* text = m_statusDialog->findChild<QLabel*>(QStringLiteral("textLabel"))) {
        const bool known = kind >= 0 && kind < int(std::size(DIALOG_KINDS));
        const DialogKind& row = DIALOG_KINDS[known ? kind : 0];
        m_statusDialog->setWindowTitle(QLatin1String(row.title));
        if (known && row.text)
            text->setText(QLatin1String(row.text));
    }
    m_statusDialog->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::dialogText(QString text)
{
    if (!m_statusDialog)
        return;
    if (auto* label = m_statusDialog->findChild<QLabel*>(QStringLiteral("textLabel"))) {
        label->setText(text);
        m_statusDialog->update();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void MainWindow::dialogClose()
{
    delete m_statusDialog;
    m_statusDialog = nullptr;
}

// ---- Camera discovery and selection

bool MainWindow::pnpInstallUsbNotifier()
{
    // One notifier for the life of the process; a later window takes it over.
    if (!_sPnpNotifier)
        _sPnpNotifier = new TaqoNotifier(pnpCallback, this);
    else
        _sPnpNotifier->SetCallback(pnpCallback, this);
    return _sPnpNotifier->Install(nullptr);
}

void MainWindow::pnpUninstall()
{
    if (_sPnpNotifier)
        _sPnpNotifier->Uninstall();
}

void MainWindow::pnpEventTriggerDelay()
{
    m_pnpCountdown = PNP_SETTLE_MS;
    m_pnpTimer.Start();
}

bool MainWindow::pnpEventTriggerCheck()
{
    const int elapsed = int(m_pnpTimer.ElapsedTime());
    m_pnpTimer.Start();
    if (m_pnpCountdown > 0) {
        qDebug() << "pnpEventTriggerCheck" << m_pnpCountdown;
        m_pnpCountdown -= elapsed;
        if (m_pnpCountdown < 1) {
            slot_pnpReload();
            return true;
        }
    }
    return false;
}

void MainWindow::slot_pnpReload()
{
    qDebug() << "slot_pnpReload";
    rescan(true);
}

void MainWindow::slot_pnpRescan()
{
    qDebug() << "slot_pnpRescan()";
    rescan(true);
}

QList<SerialPortDesc> MainWindow::serialPorts()
{
    QList<QSerialPortInfo> ports;
    DeviceInterface::serialRescan(ports);
    return SerialPortDesc::fromInfos(ports);
}

void MainWindow::rescan(bool force)
{
    if (m_deviceSet->processingCount() > 0) {
        pnpEventTriggerDelay();
        return;
    }
    m_rescanRequested = true;
    if (m_rescanRunning) {
        qDebug() << "-- rescan-BUMP" << m_pnpTimer.ElapsedTime();
        m_pnpTimer.Start();
        return;
    }
    qDebug() << "sig_usbRescan";
    emit sig_usbRescan();
    m_rescanRunning = true;
    while (m_rescanRequested) {
        m_rescanRequested = false;
        dialogPost(0);
        const QList<SerialPortDesc> ports = serialPorts();
        QCoreApplication::processEvents();
        // The events just processed may have started a rebuild (a camera
        // reload): this one waits for a fresh countdown instead.
        if (m_deviceSet->processingCount() > 0) {
            pnpEventTriggerDelay();
            break;
        }
        m_deviceSet->deviceSetCreate(ports, force);
        QCoreApplication::processEvents();
    }
    m_rescanRunning = false;
}

void MainWindow::slot_pnpReloadOne()
{
    if (m_rescanRunning || m_deviceSet->processingCount() > 0) {
        QTimer::singleShot(RETRY_MS, this, SLOT(slot_pnpReloadOne()));
        return;
    }
    if (!m_deviceSet->getAt(m_deviceSet->selectedIndex())) {
        // No camera to reload: no change of the set will end the dialog or
        // take the factory default, so both end here.
        dialogClose();
        m_factoryDefaultPending = false;
        return;
    }
    m_deviceSet->deviceSetReloadSelected();
}

void MainWindow::slot_deviceChanged()
{
    if (m_deviceSet->processingCount() > 0)
        return;
    m_deviceSet->selectedIndexUpdate();
    const int count = m_deviceSet->deviceSetCount();
    if (count > 0) {
        uiSync(true);
        syncCameraButtons();
    }
    // isHidden, not isVisible: the view must follow the set while the window itself is hidden too.
    if (m_cameraButtons[0]->isHidden() == (count > 0))
        uiEnableCameraEditing(count > 0);
    dialogClose();
    if (m_factoryDefaultPending) {
        m_factoryDefaultPending = false;
        m_deviceSet->get()->viscaSetVFlip(false);
        emit sig_resync(ResyncFlipV);
    }
}

void MainWindow::syncCameraButtons()
{
    for (int i = 0; i < CAMERA_COUNT; ++i) {
        QPushButton* button = m_cameraButtons[i];
        DeviceInterface* device = m_deviceSet->getAt(i);
        const QString slot = QString::number(i + 1);
        if (device) {
            const QString name = device->deviceName(true);
            button->setText(name);
            button->setToolTip(device->viscaSerialOpened()
                    ? QStringLiteral("Slot %1: Select Camera \"%2\"").arg(slot, name)
                    : QStringLiteral("Slot %1: Camera Connection Error\nCheck camera data and power cables.\n"
                                     "When ready, select \"Rescan\"")
                          .arg(slot));
        } else {
            button->setText(QString());
            button->setToolTip(QStringLiteral("Slot %1: No camera connected").arg(slot));
        }
        button->setEnabled(device != nullptr);
    }
    const int selected = m_deviceSet->selectedIndex();
    if (m_deviceSet->deviceSetCount() > 0 && selected >= 0)
        setCheckedQuietly(m_cameraButtons[selected], true);
}

void MainWindow::slot_selectCamera(bool on)
{
    if (!on)
        return;
    const auto sent = std::find(std::begin(m_cameraButtons), std::end(m_cameraButtons), sender());
    if (sent == std::end(m_cameraButtons))
        return;
    m_deviceSet->selectIndex(int(sent - std::begin(m_cameraButtons)));
    if (m_deviceSet->get()->viscaSerialOpened())
        uiSync(true);
    else
        QTimer::singleShot(RETRY_MS, this, SLOT(slot_openFail()));
}

void MainWindow::uiSync(bool cached)
{
    DeviceInterface* device = m_deviceSet->get();
    if (!cached)
        device->deviceInvalidateCache();
    int power = VISCA_OFF;
    device->viscaGet(ViscaMsg::Power, power, true);
    setCheckedQuietly(m_powerButton, power == VISCA_ON);
    for (PaneBase* pane : qAsConst(m_panes))
        pane->uiSync(true);
}

void MainWindow::slot_uiSyncTimer()
{
    uiSync(false);
}

void MainWindow::slot_power(bool on)
{
    m_deviceSet->get()->viscaSet(ViscaMsg::Power, on ? VISCA_ON : VISCA_OFF, -1);
    if (on)
        QTimer::singleShot(POWER_ON_REREAD_MS, this, SLOT(slot_uiSyncTimer()));
}

void MainWindow::slot_openFail()
{
    if (m_openFailBox)
        return;
    m_openFailBox = new QMessageBox(this);
    m_openFailBox->setWindowTitle(QStringLiteral("Serial Connection Failed"));
    m_openFailBox->setTextFormat(Qt::RichText);
    m_openFailBox->setText(QStringLiteral("<b><big>Serial connection to TaqoCam failed.</big></b><br><br>"
                                          "You can try to re-connect by clicking \"Rescan\"."));
    QPushButton* rescanButton = m_openFailBox->addButton(QStringLiteral("Rescan"), QMessageBox::ActionRole);
    QPushButton* cancelButton = m_openFailBox->addButton(QStringLiteral("Cancel"), QMessageBox::NoRole);
    m_openFailBox->setDefaultButton(cancelButton);
    m_openFailBox->setIcon(QMessageBox::Warning);
    m_openFailBox->exec();
    if (m_openFailBox->clickedButton() == rescanButton)
        QTimer::singleShot(RETRY_MS, this, SLOT(slot_pnpRescan()));
    delete m_openFailBox;
    m_openFailBox = nullptr;
}

void MainWindow::slot_resync(ResyncType type)
{
    DeviceInterface* device = m_deviceSet->get();
    if (type == ResyncRestart) {
        device->viscaSet(ViscaMsg::CameraReset, 0, -1);
        dialogPost(2);
        QTimer::singleShot(RESTART_RELOAD_MS, this, SLOT(slot_pnpReloadOne()));
        return;
    }
    if (type == ResyncSlot) {
        const int selected = m_deviceSet->selectedIndex();
        int cameraId = -1;
        device->viscaGet(ViscaMsg::CameraId, cameraId, true);
        if (cameraId < 0 || cameraId >= CAMERA_COUNT) {
            device->viscaPush(ViscaMsg::CameraId, selected, -1);
            return;
        }
        if (cameraId == selected)
            return;
        m_deviceSet->swap(cameraId, selected);
        // The camera that moved into the selected slot still carries the ID
        // of the slot it left: it takes its new slot's number.
        if (DeviceInterface* moved = m_deviceSet->getAt(selected))
            moved->viscaPush(ViscaMsg::CameraId, selected, -1);
        syncCameraButtons();
    } else if (type == ResyncName) {
        syncCameraButtons();
    }
    for (PaneBase* pane : qAsConst(m_panes))
        pane->uiResync(type);
}

int MainWindow::deviceIndex(QString serialNumber)
{
    const auto found = std::find_if(m_portList.begin(), m_portList.end(),
        [&serialNumber](const SerialPortDesc& port) { return port.serialNumber == serialNumber; });
    return found == m_portList.end() ? -1 : int(found - m_portList.begin());
}

// ---- Update tick and status strip

void MainWindow::slot_updateTimer()
{
    if (m_rescanRunning)
        return;
    if (pnpEventTriggerCheck())
        return;
    m_deviceSet->get()->updateTimer();
    for (PaneBase* pane : qAsConst(m_panes))
        pane->uiTimerUpdate();
    if (m_warningLabel->isVisible() && m_warningTimer.ElapsedTime() > WARNING_SHOWN_MS)
        m_warningLabel->hide();
    syncInfo();
}

void MainWindow::slot_postWarning(WarningType wtype)
{
    if (wtype == WarningFocusDuringAutoZoom)
        warningPost(statusstrip::warningText(wtype));
    else
        m_warningTimer.Start();
}

void MainWindow::warningPost(const QString& text)
{
    m_warningLabel->setText(text);
    m_warningLabel->show();
    m_warningTimer.Start();
}

void MainWindow::syncInfo()
{
    QLabel* const labels[StatusFieldCount] = { m_formatLabel, m_colorSpaceLabel, m_eptzLabel, m_joystickLabel,
        m_zoomLabel, m_focusLabel, m_shutterLabel, m_apertGainLabel };
    statusstrip::refresh(labels, *m_deviceSet->get(), m_controlBase && m_controlBase->joystickAttached());
}
