#include "quvbase/system/linux/processimpl.h"

#include <limits>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

QUVProcessImpl::~QUVProcessImpl() = default;

uint64_t QUVProcessImpl::GetPid()
{
    return uint64_t(int64_t(getpid()));
}

bool QUVProcessImpl::IsValid(uint64_t pid)
{
    // kill() reads 0 as "my process group" and a value that turns negative
    // as pid_t (-1 above all) as "every process I may signal"; both succeed
    // although no process has such an id.
    if (pid == 0 || pid > uint64_t(std::numeric_limits<pid_t>::max()))
        return false;
    return kill(pid_t(pid), 0) == 0;
}

bool QUVProcessImpl::Activate(uint64_t)
{
    return false;
}

bool QUVProcessImpl::Activate(const char*)
{
    return false;
}
