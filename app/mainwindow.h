#pragma once

#include "app/apptypes.h"
#include "app/controlmap.h"
#include "device/serialportdesc.h"
#include "panes/paneclock.h"
#include "panes/panetypes.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QTimer>

class ControlBase;
class DeviceSet;
class DisableAppSleep;
class PaneBase;
class PaneCamera;
class PaneEptz;
class QCloseEvent;
class QEvent;
class QGroupBox;
class QJsonObject;
class QKeyEvent;
class QLabel;
class QMessageBox;
class QPoint;
class QPushButton;
class QThread;
class ScanProgressDialog;
class TaqoNotifier;

// The USB notifier: created by the first main window, uninstalled by its
// destructor and never deleted.
extern TaqoNotifier* _sPnpNotifier;

// The notifier's callback; refcon is the MainWindow. A USB arrival
// (0xE0000101) or removal (0xE0000010) re-arms the rescan countdown; every
// other message is ignored. Runs on the GUI thread.
void pnpCallback(unsigned long message, void* refcon);

// The application's only window and its controller. It owns the camera set,
// the three panes, the sleep guard, the controller thread and the timers:
// start-up and shutdown, the fixed layout, camera discovery and selection,
// the status dialogs, the 100 ms tick with the status strip, presets, preset
// files, keyboard and controller input. GUI thread only.
class MainWindow : public QDialog
{
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    // Start-up and shutdown
    void preferenceRead();
    void preferenceWrite();
    // Shows pane type (camera, ePTZ, settings), re-reads it from an online
    // camera and stores the choice.
    void selectPane(PaneType type);
    // The camera view (true) or the no-camera view (false).
    void uiEnableCameraEditing(bool on);
    // Builds every control and the panes; ends in the no-camera view.
    void uiSetup();

    // Status dialogs. kind 0 scanning, 1 reading settings, 2 restarting, 3 About.
    void dialogPost(int kind);
    void dialogText(QString text);
    void dialogClose();

    // Camera discovery and selection
    bool pnpInstallUsbNotifier();
    void pnpUninstall();
    // Arms the 500 ms USB settle countdown.
    void pnpEventTriggerDelay();
    // Steps the countdown; true when it ran out and started a rescan.
    bool pnpEventTriggerCheck();
    void rescan(bool force);
    void syncCameraButtons();
    // The power button and every pane from the selected camera; false first
    // invalidates the camera's cache so that every value is read again.
    void uiSync(bool cached);
    // Index of serialNumber in a port list the window keeps but never fills; -1.
    int deviceIndex(QString serialNumber);

    // The eight status labels from the selected camera's cached values.
    void syncInfo();
    // Shows text in the warning line, until the first tick 3000 ms later.
    void warningPost(const QString& text);

    // Presets
    QString presetTypeString(PresetType type);
    bool presetAvailable(PresetType type, int index);
    void presetAvailableSet(PresetType type, int index, bool available);
    void presetButtonLookSet(QPushButton* button, PresetButtonType look);
    void presetUiUpdate(PresetType type, int index);
    void presetUiUpdateAll();
    void presetSet(int index);
    void presetRecall(int index);
    void presetClear(int index);
    void presetClearAll();
    bool presetRename(int index, bool isNew);
    void presetIndexSet(int index);
    void presetIndexRecall(int index);
    void presetEptzSet(int index);
    void presetEptzRecall(int index);
    void presetGlobalSet(int index);
    // False, with a log line and a warning, when the selected camera is
    // offline: a Set then changes nothing.
    bool presetCameraReadable(PresetType type, int index);
    // Tells the user, in the warning line, why a Set of the preset changed nothing.
    void presetSetRefused(PresetType type, int index, const QString& reason);
    void presetGlobalRecall(int index);
    void presetCamSet(int index);
    void presetCamRecall(int index);
    void globalCopy(int index);
    void globalPastePt1(int index);
    // Sends the rest of a Global recall and shows the camera again in the
    // panes; false, with nothing read, when the recall stopped because the
    // camera does not answer.
    bool globalPastePt2(int index);

    // Preset files
    void presetFileWrite(QString path);
    void presetFileRead(QString path);
    void presetPrefToJson(QJsonObject& object);
    void presetJsonToPref(const QJsonObject& object);
    void pathLastFileSet(LocationType type, QString path);
    void pathLastDirSet(LocationType type, QString path);
    QString pathLastDir(LocationType type);
    QString pathDefault();

    // Keyboard and controller
    // Installed on the application: takes Space and the arrow keys sent to
    // this window or a widget inside it, for the camera; other windows
    // (dialogs, boxes, menus) get them as usual.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // One zoom step: 303 toward tele, 304 toward wide, 305 stop.
    void cmdZoom(TaqoOp op);
    // The camera pane, the ePTZ pane, and the pane that takes zoom commands;
    // null while the pane list is not complete (before uiSetup has built it
    // and while the window is being torn down).
    PaneCamera* paneCamera() const;
    PaneEptz* paneEptz() const;
    PaneBase* paneZoom() const;

signals:
    void sig_resync(ResyncType refreshType);
    // Emitted at the start of each rescan: the controller re-opens the joystick.
    void sig_usbRescan();

public slots:
    void slot_about();
    void slot_contextCamera(const QPoint& pt);
    void slot_contextMainWindow(const QPoint& pt);
    void slot_contextPreset(const QPoint& pt);
    void slot_contextPresetLabel(const QPoint& pt);
    void slot_controlButtonClick(int taqoOp);
    void slot_controlButtonPush(int taqoOp, bool down);
    void slot_deviceChanged();
    void slot_openFail();
    void slot_pnpRescan();
    void slot_pnpReload();
    void slot_pnpReloadOne();
    void slot_power(bool on);
    void slot_resync(ResyncType type);
    void slot_selectCamera(bool on);
    void slot_uiSyncTimer();
    void slot_presetFileRead();
    void slot_presetFileWrite();
    void slot_presetName();
    void slot_presetSelect();
    void slot_postWarning(WarningType wtype);
    void slot_updateTimer();
    void slot_selectPaneCamera();
    void slot_selectPaneEptz();
    void slot_selectPaneSettings();
    void slot_joystickS(double s, bool on, bool changed);
    void slot_joystickXY(double x, double y, bool on, bool changed);
    void slot_joystickZ(double z, bool on, bool changed);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    // The serial ports a rescan hands to the camera set: the normal or the
    // deep scan of the system's ports. A test may list other lines here.
    virtual QList<SerialPortDesc> serialPorts();

public:
    // The window's state, open to its tests.
    DeviceSet* m_deviceSet = nullptr;
    PaneType m_paneType = PaneTypeCamera;
    PresetType m_presetType = PresetTypeEptz;
    ScanProgressDialog* m_statusDialog = nullptr;
    QMessageBox* m_openFailBox = nullptr;
    DisableAppSleep* m_sleepGuard = nullptr;
    QLabel* m_formatLabel = nullptr;
    QLabel* m_colorSpaceLabel = nullptr;
    QLabel* m_eptzLabel = nullptr;
    QLabel* m_joystickLabel = nullptr;
    QLabel* m_apertGainLabel = nullptr;
    QLabel* m_shutterLabel = nullptr;
    QLabel* m_focusLabel = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QLabel* m_heroLabel = nullptr;
    QLabel* m_waitingLabel = nullptr;
    QLabel* m_warningLabel = nullptr;
    // Milliseconds since the last warning (or construction), on the panes' clock.
    PaneStopwatch m_warningTimer;
    QGroupBox* m_paneFrame = nullptr;
    QList<PaneBase*> m_panes;
    QList<QPushButton*> m_paneButtons;
    QPushButton* m_powerButton = nullptr;
    QPushButton* m_cameraButtons[8] = {};
    QPushButton* m_presetButtons[16] = {};
    QLabel* m_presetTypeLabel = nullptr;
    QTimer m_updateTimer;
    // Set by the main menu's factory default, consumed after the next camera change.
    bool m_factoryDefaultPending = false;
    int m_pnpCountdown = 0;
    // Kept with the rescan bookkeeping; nothing reads it.
    bool m_firstScan = false;
    bool m_rescanRunning = false;
    bool m_rescanRequested = false;
    // Controller buttons 400, 401, 403, 404 and 405 held down.
    bool m_held400 = false;
    bool m_held401 = false;
    bool m_held403 = false;
    bool m_held404 = false;
    bool m_held405 = false;
    // Milliseconds since the countdown was armed or stepped, on the panes' clock.
    PaneStopwatch m_pnpTimer;
    QThread* m_controlThread = nullptr;
    QTimer* m_pollTimer = nullptr;
    ControlBase* m_controlBase = nullptr;
    // The port list deviceIndex searches.
    QList<SerialPortDesc> m_portList;
};
