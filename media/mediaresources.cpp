#include "media/mediaresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the registration function in the enclosing
// namespace, and rcc defines it in the global one.
static void registerMediaResources()
{
    Q_INIT_RESOURCE(media);
}

namespace media {

void initResources()
{
    static const bool registered = (registerMediaResources(), true);
    Q_UNUSED(registered)
}

} // namespace media
