// A display on Linux: an X server named by DISPLAY or a Wayland compositor
// named by WAYLAND_DISPLAY, unless the Qt platform was chosen by
// QT_QPA_PLATFORM or the -platform argument (offscreen, vnc, ...).

#include "app/displaycheck.h"

#include <cstdlib>
#include <cstring>

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool platformArgument(int argc, char** argv)
{
    // Qt takes "-platform <name>", also written with two dashes.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

} // namespace

std::string displayMissingMessage(int argc, char** argv)
{
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM") || platformArgument(argc, argv))
        return {};
    const std::string program = argc > 0 && argv[0] && *argv[0] ? argv[0] : "quv-taqo-control";
    return program
        + ": the window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set; start it in a desktop "
          "session, or without one on a virtual X server: xvfb-run -a "
        + program;
}
