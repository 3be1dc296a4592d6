#pragma once

#include <thread>

// Starts reading the system's font configuration on a helper thread, so that
// it is ready by the time the window lays out its first text. Otherwise Qt
// reads it then, on the GUI thread, before the window can show (on Linux,
// fontconfig parsing its XML files: some 7 ms). Qt finds the configuration
// already read, or reads it itself if the helper has not finished: either
// way the result is the same. Build one at the start of main, before
// anything else, so that it ends last.
//
// Its end waits for the helper: a program that left while the configuration
// was still being read would leave the library half set up, its memory held
// by no one.
class FontsWarmUp
{
public:
    FontsWarmUp();
    ~FontsWarmUp();
    FontsWarmUp(const FontsWarmUp&) = delete;
    FontsWarmUp& operator=(const FontsWarmUp&) = delete;

private:
    std::thread m_thread;
};
