#include "viscalink.h"

#include "quvtest.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace viscatest {

Link::Link(int cameras)
    : sim(cameras)
{
    port.fd = -1;
    m_opened = sim.isValid() && VISCA_open_serial(&port, sim.devicePath().toLocal8Bit().constData()) == VISCA_SUCCESS;
    camera.address = 1;
}

Link::~Link()
{
    if (port.fd > 0)
        VISCA_close_serial(&port);
}

Timed timedCall(quvtest::CamSim& sim, const std::function<uint32_t()>& call, int watchdog_ms)
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!finished.wait_for(lock, std::chrono::milliseconds(watchdog_ms), [&] { return done; })) {
            lock.unlock();
            sim.hangUp();
        }
    });

    Timed timed;
    {
        quvtest::CaptureFd capture(1);
        const auto start = std::chrono::steady_clock::now();
        timed.result = call();
        timed.elapsed_ms
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        timed.out = capture.text();
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    return timed;
}

QByteArray wire(const quvtest::CamSim& sim)
{
    QByteArray out;
    for (const QByteArray& packet : sim.received())
        out.append(packet);
    return out;
}

} // namespace viscatest
