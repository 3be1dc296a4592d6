#pragma once

// Starts reading the system's font configuration on a helper thread, so that
// it is ready by the time the window lays out its first text. Otherwise Qt
// reads it then, on the GUI thread, before the window can show (on Linux,
// fontconfig parsing its XML files: some 7 ms). Qt finds the configuration
// already read, or reads it itself if the helper has not finished: either
// way the result is the same. Call once, at the start of main.
void fontsWarmUp();
