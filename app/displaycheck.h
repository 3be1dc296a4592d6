#pragma once

#include <string>

// Whether the program has somewhere to show its window, asked before the
// application object is built: without a display, or with one that is named
// but does not answer, that object aborts the program (and dumps core) with a
// message that does not name the cause. Empty when a display answers, or when
// a platform was chosen explicitly (which is then Qt's to open); otherwise one
// line for the user, without a line end, saying which display is missing or
// silent and how to run the program without a desktop. argv[0] names the
// program in it. May wait as long as connecting to the display does.
std::string displayMissingMessage(int argc, char** argv);
