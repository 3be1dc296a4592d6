#include "panes/paneclock.h"

namespace {

paneclock::Source s_source = nullptr;

} // namespace

namespace paneclock {

uint64_t now_ms()
{
    return s_source ? s_source() : QUVTime::GetSystemMilliseconds();
}

void setSourceForTesting(Source source)
{
    s_source = source;
}

} // namespace paneclock

void PaneStopwatch::Start()
{
    m_onTestSource = s_source != nullptr;
    m_start_ms = paneclock::now_ms();
    m_timer.Start();
}

uint32_t PaneStopwatch::ElapsedTime() const
{
    if (m_onTestSource)
        return uint32_t(paneclock::now_ms()) - uint32_t(m_start_ms);
    return m_timer.ElapsedTime();
}
