// The request queues of a camera and the worker thread that serves them.
//
// The queue mutex guards only the two queues and is never held across a camera
// exchange, so any thread can queue a request at once even while the worker
// waits two seconds for a reply. The device mutex is taken inside viscaSet and
// viscaGet, after the queue mutex has been released.

#include "device/viscaqueuethread.h"

#include "device/deviceinterface.h"

#include <algorithm>
#include <cstdio>

#include <QMutexLocker>

ViscaQueueThread::ViscaQueueThread(QObject* parent)
    : QThread(parent)
    , m_device(qobject_cast<DeviceInterface*>(parent))
{ }

ViscaQueueThread::~ViscaQueueThread() = default;

void ViscaQueueThread::run()
{
    if (!m_device)
        return;
    while (!stop)
        m_device->viscaPop();
}

int DeviceInterface::viscaPush(eViscaMsg msg, int val1, int val2)
{
    {
        QMutexLocker lock(&m_queueMutex);
        // A newer value for a message still waiting replaces it in place.
        const auto waiting = waitingSet(msg);
        if (waiting != m_setQueue.end())
            *waiting = ViscaData { msg, val1, val2 };
        else
            m_setQueue.append(ViscaData { msg, val1, val2 });
    }
    m_queueCondition.wakeAll();
    return 0;
}

bool DeviceInterface::viscaDropPush(eViscaMsg msg)
{
    QMutexLocker lock(&m_queueMutex);
    // At most one is waiting: viscaPush replaces a waiting set in place.
    const auto waiting = waitingSet(msg);
    const bool dropped = waiting != m_setQueue.end();
    if (dropped)
        m_setQueue.erase(waiting);
    // A value already taken may not have reached the line yet: the caller's
    // own write must come after it, not before. The worker writes without
    // this mutex and clears m_writing under it once the write is over.
    if (QThread::currentThread() != m_worker) {
        while (m_writing == msg)
            m_queueCondition.wait(&m_queueMutex);
    }
    return dropped;
}

bool DeviceInterface::viscaPushWaiting(eViscaMsg msg, int& val1, int& val2)
{
    QMutexLocker lock(&m_queueMutex);
    const auto waiting = waitingSet(msg);
    if (waiting == m_setQueue.end())
        return false;
    val1 = waiting->val1;
    val2 = waiting->val2;
    return true;
}

int DeviceInterface::viscaPull(eViscaMsg msg, int val1)
{
    {
        QMutexLocker lock(&m_queueMutex);
        m_getQueue.append(ViscaData { msg, val1, 0 });
    }
    m_queueCondition.wakeAll();
    return 0;
}

void DeviceInterface::viscaClearQueues()
{
    QMutexLocker lock(&m_queueMutex);
    m_setQueue.clear();
    m_getQueue.clear();
}

QList<DeviceInterface::ViscaData>::iterator DeviceInterface::waitingSet(eViscaMsg msg)
{
    return std::find_if(
        m_setQueue.begin(), m_setQueue.end(), [msg](const ViscaData& request) { return request.msg == msg; });
}

bool DeviceInterface::takeRequest(QList<ViscaData>& queue, ViscaData& request, eViscaMsg* taken)
{
    QMutexLocker lock(&m_queueMutex);
    // A caller that wants the line goes first (see m_callers).
    while (m_callers.load() > 0 && !m_worker->stop)
        m_queueCondition.wait(&m_queueMutex);
    if (queue.isEmpty() || m_worker->stop)
        return false;
    request = queue.takeFirst();
    if (taken)
        *taken = request.msg;
    return true;
}

void DeviceInterface::viscaPop()
{
    if (QThread::currentThread() != m_worker) {
        std::printf("Bad thread - exit");
        std::fflush(stdout);
        VISCA_usleep(50000);
        return;
    }

    {
        QMutexLocker lock(&m_queueMutex);
        while (m_setQueue.isEmpty() && m_getQueue.isEmpty() && !m_worker->stop)
            m_queueCondition.wait(&m_queueMutex);
    }

    // Every set waiting now is written before any get of this pass is read.
    ViscaData request;
    while (takeRequest(m_setQueue, request, &m_writing)) {
        if (request.msg != ViscaMsg::Nothing)
            viscaSet(request.msg, request.val1, request.val2);
        {
            QMutexLocker lock(&m_queueMutex);
            m_writing = ViscaMsg::Nothing;
        }
        m_queueCondition.wakeAll();
    }
    // A set queued from here on waits until the get queue is empty.
    while (takeRequest(m_getQueue, request)) {
        if (request.msg == ViscaMsg::Marker) {
            emit sig_popNotify(request.val1);
        } else if (request.msg != ViscaMsg::Nothing) {
            int val1 = 0;
            int val2 = 0;
            viscaGet(request.msg, val1, val2, false);
        }
    }
}
