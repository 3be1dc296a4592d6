#pragma once

#include "quvapp/quvapplication.h"

// The application object as the program runs the panes: the slate look, with
// the library's style sheet edited as the program's start-up edits it (the
// library's slider, push button and widget rules do not reach the panes'
// widgets, whose own sheets draw them).
class PanesApplication : public QuvApplication
{
public:
    PanesApplication(int& argc, char** argv)
        : QuvApplication(argc, argv, QuvStyleLookSlate)
    {
        QString sheet = getStyleSheet();
        sheet.replace(QLatin1String("QSlider"), QLatin1String("QuvSlider"));
        sheet.replace(QLatin1String("QPushButton"), QLatin1String("QTempPushButton"));
        sheet.replace(QLatin1String("QWidget"), QLatin1String("QTempWidget"));
        sheet.replace(QLatin1String("Verdana"), QLatin1String("Myriad Pro Regular"));
        sheet.append(QLatin1String("QGroupBox {background: rgb(38,38,38); margin: 17px 0px 0px 0px;}"));
        sheet.append(QLatin1String("QStackedWidget {border-image: none; background-color: transparent;}"));
        setStyleSheet(sheet);
    }
};
