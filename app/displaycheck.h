#pragma once

#include <string>

// Whether the program has somewhere to show its window, asked before the
// application object is built: without a display that object aborts the
// program with a message that does not name the cause. Empty when the window
// can be shown, or when a platform was chosen explicitly (which is then Qt's
// to open); otherwise one line for the user, without a line end, saying what
// is missing and how to run the program without a desktop. argv[0] names the
// program in it.
std::string displayMissingMessage(int argc, char** argv);
