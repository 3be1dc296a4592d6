#pragma once

#include <QString>

// The application's style sheet made from the widget library's: the
// library's rules for plain sliders, push buttons and widgets are renamed out
// of reach (the window's controls carry sheets of their own), the font is the
// application's, and group boxes and stacked widgets get the window's look.
QString applicationStyleSheet(QString librarySheet);

// What the application object must find set when it is made: the window's
// widgets are drawn by the raster engine alone. No widget of the program
// draws with OpenGL, and without this Qt's xcb platform gives every window an
// OpenGL-capable surface and loads its OpenGL integration (GLX and the
// driver, some 20 ms and 30 MB with Mesa) before the window shows. Call it
// before the application object is made.
void applicationAttributes();
