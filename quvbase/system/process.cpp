#include "quvbase/system/quvprocess.h"

#include "quvbase/system/linux/processimpl.h"

QUVProcess::QUVProcess()
    : m_impl(new QUVProcessImpl)
{ }

QUVProcess::~QUVProcess()
{
    delete m_impl;
    m_impl = nullptr;
}

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
