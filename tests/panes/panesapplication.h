#pragma once

#include "app/appstyle.h"
#include "quvapp/quvapplication.h"

// The application object as the program runs the panes: the slate look, with
// the application's own style sheet (the library's slider, push button and
// widget rules do not reach the panes' widgets, whose own sheets draw them).
class PanesApplication : public QuvApplication
{
public:
    PanesApplication(int& argc, char** argv)
        : QuvApplication(argc, argv, QuvStyleLookSlate)
    {
        setStyleSheet(applicationStyleSheet(getStyleSheet()));
    }
};
