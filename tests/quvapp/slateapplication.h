#pragma once

#include "quvapp/quvapplication.h"

// The application object as the program builds it (look 1, "slate"), in the
// form the test main macros construct.
class SlateApplication : public QuvApplication
{
public:
    SlateApplication(int& argc, char** argv)
        : QuvApplication(argc, argv, QuvStyleLookSlate)
    { }
};
