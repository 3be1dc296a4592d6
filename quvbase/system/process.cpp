#include "quvbase/system/quvprocess.h"

#include "processimpl.h"

QUVProcess::QUVProcess()
    : m_impl(new QUVProcessImpl)
{ }

QUVProcess::~QUVProcess() = default;

uint64_t QUVProcess::GetPid()
{
    return QUVProcessImpl::GetPid();
}

bool QUVProcess::IsValid(uint64_t pid)
{
    return QUVProcessImpl::IsValid(pid);
}

bool QUVProcess::Activate(uint64_t pid)
{
    return QUVProcessImpl::Activate(pid);
}

bool QUVProcess::Activate(const char* name)
{
    return QUVProcessImpl::Activate(name);
}
