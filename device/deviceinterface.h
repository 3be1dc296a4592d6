#pragma once

#include "device/serialportdesc.h"
#include "device/viscamessage.h"
#include "visca/visca.h"

#include <atomic>

#include <QList>
#include <QMutex>
#include <QObject>
#include <QRecursiveMutex>
#include <QSerialPortInfo>
#include <QString>
#include <QWaitCondition>

class ViscaQueueThread;

// One camera behind one serial port.
//
// Every exchange on the line runs under the recursive device mutex, whether it
// comes from the device's own worker thread (queued requests) or from a
// synchronous call on the GUI thread. A cache keeps the last value sent or
// read for each of the 55 camera messages; the status strip reads it without
// waiting for the line. Results are 0 (success) or 255 (failure); a device
// whose link is down drops writes (0) and fails reads (255).
class DeviceInterface : public QObject
{
    Q_OBJECT

public:
    // One queued request.
    struct ViscaData
    {
        eViscaMsg msg;
        int val1;
        int val2;
    };

    DeviceInterface(QObject* parent, const QSerialPortInfo& port);
    // The same device on a described port; a port known only by its device path
    // (SerialPortDesc::forDevicePath) opens exactly as a listed one does.
    DeviceInterface(QObject* parent, const SerialPortDesc& port);
    ~DeviceInterface() override;

    // Identity
    int deviceId() const { return m_deviceId; }
    void deviceIdReset();
    QString deviceSerialNumber() const;
    QString devicePN() const;
    const SerialPortDesc& portDescription() const { return m_port; }

    // Link
    bool deviceOnline() const;
    bool viscaSerialOpened() const;
    bool viscaSerialOpen();
    bool viscaSerialOpen(const QString& path);
    void viscaSerialClose();
    // Forgets the descriptor without closing it; the line itself is let go.
    void viscaSerialAbort();
    // Why the last open failed, a ViscaError: VISCA_ERROR_IN_USE when another
    // program holds the line. VISCA_ERROR_NONE once an open has succeeded.
    uint32_t viscaSerialError() const;
    void deviceReset();
    void deviceInvalidateCache();
    // Invalidates the cache, queues a read of every value and reads the name.
    void deviceResync();

    // Camera values (message codes in viscamessage.h)
    // *error, when given, tells why the camera did not take the write (a
    // ViscaError): VISCA_ERROR_ERROR_REPLY for a command the camera answered
    // with an error, which still gives 0, and VISCA_ERROR_CLOSED for a write
    // dropped because the link is down; VISCA_ERROR_NONE when it was taken.
    int viscaSet(eViscaMsg msg, int val1, int val2, uint32_t* error = nullptr);
    int viscaGet(eViscaMsg msg, int& val1, int& val2, bool useCache);
    int viscaGet(eViscaMsg msg, int& val1, bool useCache);
    // The cached value only; never waits for an exchange.
    int viscaGetAsync(eViscaMsg msg, int& val1, int& val2) const;
    int viscaGetAsync(eViscaMsg msg, int& val1) const;
    bool viscaGetVFlip();
    int viscaSetVFlip(bool on);

    static QString viscaPresetName(eViscaMsg msg);
    static bool viscaIsPreset(eViscaMsg msg);

    // The camera's name: 1 to 5 characters in user registers 0 to 2, or "Cam ?".
    QString deviceName(bool useCache);
    void deviceNameSet(const QString& name);

    // Request queues, served by the worker thread
    int viscaPush(eViscaMsg msg, int val1, int val2);
    int viscaPull(eViscaMsg msg, int val1);
    // The values of a set of msg still waiting in the queue (not yet taken by
    // the worker); false when there is none.
    bool viscaPushWaiting(eViscaMsg msg, int& val1, int& val2);
    // Drops a set of msg still waiting in the queue; true when one was
    // dropped. A set of msg the worker has already taken is not stopped: the
    // call returns once that write is over. For a synchronous write that a
    // late queued value must not undo; call it without holding the line.
    bool viscaDropPush(eViscaMsg msg);
    void viscaClearQueues();
    // One serving pass; runs only on this device's worker thread.
    void viscaPop();

    // State the panes share
    eAutoZoomState zoomingState() const { return m_zoomingState; }
    void setZoomingState(eAutoZoomState state) { m_zoomingState = state; }
    int zoomSpeed() const { return m_zoomSpeed; }
    // Kept to the camera's variable speeds, 0 to ZOOM_SPEED_MAX: the zoom
    // commands carry only the low three bits, so -1 would zoom at full speed.
    void setZoomSpeed(int speed);
    static constexpr int ZOOM_SPEED_MAX = 7;
    void updateTimer();

    // Port discovery
    static void serialRescan(QList<QSerialPortInfo>& ports);
    static void serialRescanDeep(QList<QSerialPortInfo>& ports);
    static bool deepScanEnabled();
    static void setDeepScanEnabled(bool on);
    bool deviceSameAs(const QSerialPortInfo& port) const;
    bool deviceSameAs(const SerialPortDesc& port) const;

    // Preferences
    void preferenceRead();
    void preferenceWrite();
    // The zoom speed in the preference store, which every camera starts with;
    // a stored value out of range is brought into it.
    static int storedZoomSpeed();

signals:
    void sig_popNotify(int deviceId);

private:
    struct CacheEntry
    {
        int val1 = 0;
        int val2 = 0;
        bool valid = false;
    };

    void construct();
    int dispatchSet(eViscaMsg msg, int val1, int val2);
    int dispatchGet(eViscaMsg msg, int& val1, int& val2);
    void storeCache(eViscaMsg msg, int val1, int val2);
    bool readCache(eViscaMsg msg, int& val1, int& val2) const;
    // Closes the link after an exchange that found the device gone.
    void closeIfDeviceGone();
    // Mirrors the descriptor for the lock-free online test.
    void publishLinkState();
    // The set of msg waiting in the set queue, or its end; the caller holds the queue mutex.
    QList<ViscaData>::iterator waitingSet(eViscaMsg msg);
    // Takes the front request; a taken set is recorded in *taken.
    bool takeRequest(QList<ViscaData>& queue, ViscaData& request, eViscaMsg* taken = nullptr);

    // Holds the line (the device mutex) for an exchange or a change of the link.
    class LineLock;

    mutable QRecursiveMutex m_deviceMutex;
    // Threads other than the worker that want or hold the line. The worker
    // takes no request while there is one: a mutex goes to whoever asks first,
    // which between two requests is always the worker, so a call from the GUI
    // thread used to wait for the worker's whole queue (a full re-read) instead
    // of the one exchange under way. Its drop to 0 is signalled under the
    // queue mutex, so the worker's wait cannot miss it.
    std::atomic<int> m_callers { 0 };
    ViscaPort m_serial;
    ViscaCameraInfo m_camera;
    // Held only while one entry is copied: never across an exchange.
    mutable QMutex m_cacheMutex;
    CacheEntry m_cache[ViscaMsg::Count];
    SerialPortDesc m_port;
    ViscaQueueThread* m_worker = nullptr;
    QList<ViscaData> m_setQueue;
    QList<ViscaData> m_getQueue;
    QWaitCondition m_queueCondition;
    QMutex m_queueMutex;
    // The set the worker has taken off the queue and not yet finished
    // writing, Nothing when none; under the queue mutex. viscaDropPush waits
    // for it, since the worker writes it only after letting the mutex go.
    eViscaMsg m_writing = ViscaMsg::Nothing;
    eAutoZoomState m_zoomingState = AutoZoom::Stopped;
    int m_deviceId = 0;
    int m_zoomSpeed = 0;
    bool m_enabled = true;
    std::atomic<int> m_linkFd { 0 };
    std::atomic<uint32_t> m_openError { VISCA_ERROR_NONE };

    static bool _deepScanEnabled;
    static std::atomic<int> _currentDeviceId;
};
