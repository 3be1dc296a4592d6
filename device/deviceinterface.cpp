// The camera link: open with retries, close with its drain report, the value
// cache, the camera's name and the preferences of the device layer.

#include "device/deviceinterface.h"

#include "device/serialportuse.h"
#include "device/viscaqueuethread.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <QDebug>
#include <QMutexLocker>
#include <QSettings>
#include <QThread>

bool DeviceInterface::_deepScanEnabled = false;
std::atomic<int> DeviceInterface::_currentDeviceId { 0 };

namespace {

constexpr int OPEN_RETRY_DELAY_US = 500000;
constexpr uint32_t DRAIN_CAPACITY = 3000;
constexpr int NAME_MAX_LENGTH = 5;
const char* const NAME_FALLBACK = "Cam ?";

bool isCameraValue(eViscaMsg msg)
{
    return msg >= 0 && msg < ViscaMsg::Count;
}

} // namespace

class DeviceInterface::LineLock
{
public:
    explicit LineLock(DeviceInterface* device)
        : m_device(device)
        , m_caller(QThread::currentThread() != device->m_worker)
    {
        if (m_caller)
            m_device->m_callers.fetch_add(1);
        m_device->m_deviceMutex.lock();
    }

    ~LineLock()
    {
        m_device->m_deviceMutex.unlock();
        if (m_caller && m_device->m_callers.fetch_sub(1) == 1) {
            QMutexLocker lock(&m_device->m_queueMutex);
            m_device->m_queueCondition.wakeAll();
        }
    }

    LineLock(const LineLock&) = delete;
    LineLock& operator=(const LineLock&) = delete;

private:
    DeviceInterface* m_device;
    bool m_caller;
};

DeviceInterface::DeviceInterface(QObject* parent, const QSerialPortInfo& port)
    : DeviceInterface(parent, SerialPortDesc::fromInfo(port))
{ }

DeviceInterface::DeviceInterface(QObject* parent, const SerialPortDesc& port)
    : QObject(parent)
    , m_port(port)
{
    std::memset(&m_serial, 0, sizeof m_serial);
    std::memset(&m_camera, 0, sizeof m_camera);
    construct();
}

void DeviceInterface::construct()
{
    deviceReset();
    deviceIdReset();
    // Started last: the first pass finds a consistent, empty device and waits.
    m_worker = new ViscaQueueThread(this);
    m_worker->setObjectName(QStringLiteral("viscaq-%1").arg(m_deviceId));
    m_worker->start(QThread::InheritPriority);
}

DeviceInterface::~DeviceInterface()
{
    {
        // Cleared and stopped in one step: nothing queued after this is served.
        QMutexLocker lock(&m_queueMutex);
        m_setQueue.clear();
        m_getQueue.clear();
        m_worker->stop = true;
        m_queueCondition.wakeAll();
    }
    // An exchange in progress finishes first.
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_zoomSpeed = 0;
    m_zoomingState = AutoZoom::Stopped;
    viscaSerialClose();
}

void DeviceInterface::deviceIdReset()
{
    m_deviceId = _currentDeviceId.fetch_add(1);
}

QString DeviceInterface::deviceSerialNumber() const
{
    return m_port.serialNumber;
}

QString DeviceInterface::devicePN() const
{
    return m_port.portName;
}

// ---------------------------------------------------------------------------
// Link

bool DeviceInterface::deviceOnline() const
{
    return m_linkFd.load() > 0 && m_enabled;
}

bool DeviceInterface::viscaSerialOpened() const
{
    return m_linkFd.load() >= 1;
}

void DeviceInterface::publishLinkState()
{
    m_linkFd.store(m_serial.fd);
}

bool DeviceInterface::viscaSerialOpen()
{
    LineLock lock(this);
    if (viscaSerialOpened())
        viscaSerialClose();
    const QString path = serialDevicePath(m_port);
    if (viscaSerialOpen(path))
        return true;
    qDebug() << "serialOpen fail - retry number" << 1;
    VISCA_usleep(OPEN_RETRY_DELAY_US);
    return viscaSerialOpen(path);
}

bool DeviceInterface::viscaSerialOpen(const QString& path)
{
    LineLock lock(this);
    // A second open would leak the first descriptor.
    if (viscaSerialOpened())
        viscaSerialClose();

    const QByteArray node = path.toLatin1();
    if (serialLineOpen(&m_serial, node.constData()) != VISCA_SUCCESS) {
        m_openError.store(m_serial.last_error);
        if (m_serial.last_error == VISCA_ERROR_IN_USE)
            qDebug() << "visca-cli: serial device in use by another program" << path;
        else
            qDebug() << "visca-cli: unable to open serial device" << path;
        publishLinkState();
        return false;
    }
    const auto giveUp = [this](const char* why) {
        qDebug() << why;
        m_openError.store(m_serial.last_error);
        serialLineClose(&m_serial);
        publishLinkState();
        return false;
    };
    m_serial.broadcast = 0;
    int32_t cameras = 0;
    if (VISCA_set_address(&m_serial, &cameras) != VISCA_SUCCESS
        && VISCA_set_address(&m_serial, &cameras) != VISCA_SUCCESS)
        return giveUp("visca-cli: unable to set address");
    m_camera.address = 1;
    if (VISCA_clear(&m_serial, &m_camera) != VISCA_SUCCESS)
        return giveUp("visca-cli: unable to clear interface");
    if (VISCA_get_camera_info(&m_serial, &m_camera) != VISCA_SUCCESS)
        return giveUp("visca-cli: unable to get camera infos");
    m_openError.store(VISCA_ERROR_NONE);
    publishLinkState();
    return true;
}

void DeviceInterface::viscaSerialClose()
{
    // Held throughout, so that no exchange runs on a descriptor being closed.
    LineLock lock(this);
    if (m_serial.fd < 1)
        return;
    ViscaPort line = m_serial;
    deviceReset();

    unsigned char leftover[DRAIN_CAPACITY];
    uint32_t size = DRAIN_CAPACITY;
    if (VISCA_unread_bytes(&line, leftover, &size) != VISCA_SUCCESS && size > 0) {
        std::fprintf(stderr, "ERROR: %u bytes not processed", size);
        for (uint32_t i = 0; i < size; ++i)
            std::fprintf(stderr, "%2x ", leftover[i]);
        std::fprintf(stderr, "\n");
    }
    serialLineClose(&line);
}

void DeviceInterface::closeIfDeviceGone()
{
    // A line that hung up (the adapter was unplugged) never answers on this
    // descriptor again: the camera reads offline until it is opened anew.
    if (m_serial.fd > 0 && m_serial.last_error == VISCA_ERROR_IO) {
        qDebug() << "visca-cli: serial device lost" << serialDevicePath(m_port);
        viscaSerialClose();
    }
}

void DeviceInterface::viscaSerialAbort()
{
    LineLock lock(this);
    // The descriptor is left open (closing a terminal can wait for its output
    // to drain), but the line is let go: another program may take it at once,
    // whether this process ends now or goes on.
    if (m_serial.fd > 0)
        serialLineRelease(&m_serial);
    m_serial.fd = 0;
    publishLinkState();
}

uint32_t DeviceInterface::viscaSerialError() const
{
    return m_openError.load();
}

void DeviceInterface::deviceReset()
{
    LineLock lock(this);
    std::memset(&m_serial, 0, sizeof m_serial);
    std::memset(&m_camera, 0, sizeof m_camera);
    publishLinkState();
    QMutexLocker cacheLock(&m_cacheMutex);
    for (CacheEntry& entry : m_cache)
        entry = CacheEntry();
}

void DeviceInterface::deviceInvalidateCache()
{
    // The cache has a lock of its own: waiting for the line here would hold the
    // GUI thread through a whole open of another camera (8.5 s if it is silent).
    QMutexLocker cacheLock(&m_cacheMutex);
    for (CacheEntry& entry : m_cache)
        entry.valid = false;
}

void DeviceInterface::deviceResync()
{
    deviceInvalidateCache();
    for (int msg = 0; msg < ViscaMsg::Count; ++msg)
        viscaPull(msg, -1);
    deviceName(false);
}

// ---------------------------------------------------------------------------
// Values and cache

int DeviceInterface::viscaSet(eViscaMsg msg, int val1, int val2, uint32_t* error)
{
    uint32_t unasked = VISCA_ERROR_NONE;
    uint32_t& why = error ? *error : unasked;
    why = VISCA_ERROR_CLOSED;
    // A write to a camera whose link is down is dropped; an open goes through.
    if (!deviceOnline() && msg != ViscaMsg::SerialOpen)
        return 0;
    LineLock lock(this);
    // The link may have been closed while this call waited for the line.
    if (!deviceOnline() && msg != ViscaMsg::SerialOpen)
        return 0;
    // A message sent with no exchange must not report the reply of an earlier one.
    m_serial.last_error = VISCA_ERROR_NONE;
    m_serial.reply_type = 0;
    const int result = dispatchSet(msg, val1, val2);
    if (result != 0)
        why = m_serial.last_error;
    else if (m_serial.reply_type == VISCA_RESPONSE_ERROR)
        why = VISCA_ERROR_ERROR_REPLY;
    else
        why = VISCA_ERROR_NONE;
    closeIfDeviceGone();
    if (result == 0 && isCameraValue(msg))
        storeCache(msg, val1, val2);
    return result;
}

int DeviceInterface::viscaGet(eViscaMsg msg, int& val1, int& val2, bool useCache)
{
    if (!deviceOnline())
        return 255;
    LineLock lock(this);
    if (!deviceOnline())
        return 255;
    if (useCache && readCache(msg, val1, val2))
        return 0;
    int read1 = val1;
    int read2 = val2;
    if (dispatchGet(msg, read1, read2) != 0) {
        closeIfDeviceGone();
        return 255; // the caller's values stay
    }
    val1 = read1;
    val2 = read2;
    if (isCameraValue(msg))
        storeCache(msg, val1, val2);
    return 0;
}

int DeviceInterface::viscaGet(eViscaMsg msg, int& val1, bool useCache)
{
    int val2 = -1;
    return viscaGet(msg, val1, val2, useCache);
}

int DeviceInterface::viscaGetAsync(eViscaMsg msg, int& val1, int& val2) const
{
    return readCache(msg, val1, val2) ? 0 : 255;
}

int DeviceInterface::viscaGetAsync(eViscaMsg msg, int& val1) const
{
    int val2 = 0;
    return viscaGetAsync(msg, val1, val2);
}

void DeviceInterface::storeCache(eViscaMsg msg, int val1, int val2)
{
    QMutexLocker lock(&m_cacheMutex);
    m_cache[msg] = CacheEntry { val1, val2, true };
}

bool DeviceInterface::readCache(eViscaMsg msg, int& val1, int& val2) const
{
    if (!isCameraValue(msg))
        return false;
    QMutexLocker lock(&m_cacheMutex);
    const CacheEntry& entry = m_cache[msg];
    if (!entry.valid)
        return false;
    val1 = entry.val1;
    val2 = entry.val2;
    return true;
}

// The program's V flip reads the camera's picture-flip switch inverted: value 3
// (VISCA's off) counts as flipped, and so does a camera that cannot be read.
// The "V Flip Image" switch, the ePTZ and spot mirroring and the factory reset
// all rely on this sense, and viscaSetVFlip writes it back the same way.
bool DeviceInterface::viscaGetVFlip()
{
    int flip = VISCA_OFF;
    viscaGet(ViscaMsg::FlipV, flip, true);
    return flip == VISCA_OFF;
}

int DeviceInterface::viscaSetVFlip(bool on)
{
    return viscaSet(ViscaMsg::FlipV, on ? VISCA_OFF : VISCA_ON, -1);
}

// ---------------------------------------------------------------------------
// Name: register 0 = c1 c0, register 1 = c3 c2, register 2 = length c4

QString DeviceInterface::deviceName(bool useCache)
{
    int registers[3] = { 0, 0, 0 };
    viscaGet(ViscaMsg::UserRegister0, registers[0], useCache);
    viscaGet(ViscaMsg::UserRegister1, registers[1], useCache);
    const int result = viscaGet(ViscaMsg::UserRegister2, registers[2], useCache);

    const int length = (registers[2] >> 8) & 0xFF;
    if (result == 255 || length <= 0 || length > NAME_MAX_LENGTH)
        return QString::fromLatin1(NAME_FALLBACK);
    const char characters[NAME_MAX_LENGTH] = {
        char(registers[0] & 0xFF),
        char((registers[0] >> 8) & 0xFF),
        char(registers[1] & 0xFF),
        char((registers[1] >> 8) & 0xFF),
        char(registers[2] & 0xFF),
    };
    for (int i = 0; i < length; ++i) {
        const signed char c = static_cast<signed char>(characters[i]);
        if (c < 33 || c == 127)
            return QString::fromLatin1(NAME_FALLBACK);
    }
    return QString::fromLatin1(characters, length);
}

void DeviceInterface::deviceNameSet(const QString& name)
{
    QString stored = name;
    if (stored.isEmpty() || stored.size() > NAME_MAX_LENGTH) {
        stored = QString::fromLatin1(NAME_FALLBACK);
        qDebug() << "deviceNameSet - Bad Name";
    }
    const QByteArray latin1 = stored.toLatin1();
    unsigned char c[NAME_MAX_LENGTH] = { 0, 0, 0, 0, 0 };
    for (int i = 0; i < latin1.size(); ++i)
        c[i] = static_cast<unsigned char>(latin1[i]);
    const int wanted[3] = {
        (c[1] << 8) | c[0],
        (c[3] << 8) | c[2],
        (latin1.size() << 8) | c[4],
    };

    int current[3] = { 0, 0, 0 };
    viscaGet(ViscaMsg::UserRegister2, current[2], true);
    viscaGet(ViscaMsg::UserRegister1, current[1], true);
    viscaGet(ViscaMsg::UserRegister0, current[0], true);
    for (int reg = 2; reg >= 0; --reg) {
        if (wanted[reg] != current[reg])
            viscaSet(ViscaMsg::UserRegister0 + reg, wanted[reg], -1);
    }
}

// ---------------------------------------------------------------------------
// Pane state and preferences

void DeviceInterface::updateTimer() { }

void DeviceInterface::setZoomSpeed(int speed)
{
    m_zoomSpeed = std::clamp(speed, 0, ZOOM_SPEED_MAX);
}

bool DeviceInterface::deepScanEnabled()
{
    return _deepScanEnabled;
}

void DeviceInterface::setDeepScanEnabled(bool on)
{
    _deepScanEnabled = on;
}

void DeviceInterface::preferenceRead()
{
    m_zoomSpeed = storedZoomSpeed();
    // Stored as a bool; the INI store gives it back as the text "true".
    _deepScanEnabled = QSettings().value(QStringLiteral("prefs/deepScan"), false).toBool();
}

int DeviceInterface::storedZoomSpeed()
{
    return std::clamp(QSettings().value(QStringLiteral("prefs/camZoomSpeed"), 0).toInt(), 0, ZOOM_SPEED_MAX);
}

void DeviceInterface::preferenceWrite()
{
    QSettings settings;
    settings.setValue(QStringLiteral("prefs/camZoomSpeed"), m_zoomSpeed);
    settings.setValue(QStringLiteral("prefs/deepScan"), _deepScanEnabled);
}
