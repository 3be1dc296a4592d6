#pragma once

namespace media {

// Registers the application's compiled-in images (":/media/..."). The library
// is linked statically, where the linker would otherwise drop them; every
// widget that loads one calls this first. Calling it more than once is
// harmless.
void initResources();

} // namespace media
