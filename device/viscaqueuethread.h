#pragma once

#include <atomic>

#include <QThread>

class DeviceInterface;

// The worker of one camera: serves its device's request queues until stopped.
class ViscaQueueThread : public QThread
{
    Q_OBJECT

public:
    // parent is the device whose queues this thread serves.
    explicit ViscaQueueThread(QObject* parent);
    ~ViscaQueueThread() override;

    // Set by the destroying thread under the device's queue mutex; read by the worker.
    std::atomic<bool> stop { false };

protected:
    void run() override;

private:
    DeviceInterface* m_device;
};
