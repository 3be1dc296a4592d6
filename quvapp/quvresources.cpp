#include "quvapp/quvresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the registration function in the enclosing
// namespace, and rcc defines it in the global one.
static void registerQuvAppResources()
{
    Q_INIT_RESOURCE(quvapplication);
}

namespace quvapp {

void initResources()
{
    static const bool registered = (registerQuvAppResources(), true);
    Q_UNUSED(registered)
}

} // namespace quvapp
