#include "quvbase/system/quvthread.h"

#include "quvbase/system/quvlog.h"
#include "quvbase/system/quvtime.h"
#include "threadimpl.h"

QUVThread::QUVThread()
    : m_impl(new QUVThreadImpl(this))
{ }

QUVThread::~QUVThread()
{
    // The implementation's destructor stops the thread; meanwhile a loop that
    // asks Terminate() is told to end.
    delete m_impl.exchange(nullptr);
}

QUVStatus QUVThread::Start()
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->Start() : QUV_STATUS_FAIL;
}

QUVStatus QUVThread::Stop(uint32_t timeoutMs)
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->Stop(timeoutMs) : QUV_STATUS_SUCCESS;
}

QUVStatus QUVThread::Kill(uint32_t timeoutMs)
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->Kill(timeoutMs) : QUV_STATUS_SUCCESS;
}

bool QUVThread::Active()
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->Active() : false;
}

bool QUVThread::IsCurrentThread()
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->IsCurrentThread() : false;
}

QUVStatus QUVThread::SetPriority(QUVThreadPriority priority)
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->SetPriority(priority) : QUV_STATUS_FAIL;
}

QUVStatus QUVThread::GetPriority(QUVThreadPriority* priority)
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->GetPriority(priority) : QUV_STATUS_FAIL;
}

QUVStatus QUVThread::ThreadRun()
{
    const QUVStatus status = ThreadInit();
    if (status < 0)
        return status;
    while (!Terminate()) {
        if (!ThreadLoop())
            break;
    }
    return ThreadFlush();
}

QUVStatus QUVThread::ThreadInit()
{
    return QUV_STATUS_SUCCESS;
}

bool QUVThread::ThreadLoop()
{
    QUVDebug::Report(0, 4, __FILE__, __LINE__, "QUVThread::ThreadLoop  looping doing nothing");
    QUVTime::Sleep(1000);
    return true;
}

QUVStatus QUVThread::ThreadFlush()
{
    return QUV_STATUS_SUCCESS;
}

bool QUVThread::Terminate()
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->Terminate() : true;
}

QUVStatus QUVThread::Attach(void (*function)(QUVThread*, void*), void* context)
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->Attach(function, context) : QUV_STATUS_FAIL;
}

QUVStatus QUVThread::SetThreadName(const char* name)
{
    QUVThreadImpl* impl = m_impl.load();
    return impl ? impl->SetThreadName(name) : QUV_STATUS_FAIL;
}

uint64_t QUVThread::GetThreadId()
{
    return QUVThreadImpl::GetThreadId();
}
