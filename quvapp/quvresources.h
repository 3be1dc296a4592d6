#pragma once

namespace quvapp {

// Registers the library's compiled-in resources (":/quvapp/..."). The library
// is linked statically, where the linker would otherwise drop them; QuvStyle
// calls this itself. Calling it more than once is harmless.
void initResources();

} // namespace quvapp
