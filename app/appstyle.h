#pragma once

#include <QString>

// The application's style sheet made from the widget library's: the
// library's rules for plain sliders, push buttons and widgets are renamed out
// of reach (the window's controls carry sheets of their own), the font is the
// application's, and group boxes and stacked widgets get the window's look.
QString applicationStyleSheet(QString librarySheet);
