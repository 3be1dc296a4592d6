#include "app/appstyle.h"
#include "app/displaycheck.h"
#include "app/fontwarmup.h"
#include "app/mainwindow.h"
#include "app/shutdownsignals.h"
#include "quvapp/quvapplication.h"
#include "quvbase/system/quvlog.h"

#include <cstdio>

#include <QString>

int main(int argc, char** argv)
{
    DisplayCheck display(argc, argv);
    if (!display.message().empty()) {
        std::fprintf(stderr, "%s\n", display.message().c_str());
        return 1;
    }

    int status = 0;
    {
        // Declared in this order so that they end in the reverse one: the
        // window, the signal handlers, the sheet, the application, the log,
        // and last the font warm-up, which may still be reading.
        FontsWarmUp fonts;
        QUVLog log;
        applicationAttributes();
        display.watchStart();
        QuvApplication application(argc, argv, QuvStyleLookSlate);
        // Connected to the display itself now.
        display.release();
        const QString sheet = applicationStyleSheet(application.getStyleSheet());
        application.setStyleSheet(sheet);

        QCoreApplication::setOrganizationName(QStringLiteral("quv"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("quv.example"));
        QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));

        // Logout, kill, Ctrl-C and a closed terminal close the window as its
        // close button does, so that the shutdown stores the settings.
        ShutdownSignals shutdownSignals;
        MainWindow window;
        QObject::connect(&shutdownSignals, &ShutdownSignals::sig_caught, &window, &QWidget::close);
        shutdownSignals.listen();
        window.show();
        status = application.exec();
    }
    ShutdownSignals::endAsCaught();
    return status;
}
