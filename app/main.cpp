#include "app/appstyle.h"
#include "app/displaycheck.h"
#include "app/fontwarmup.h"
#include "app/mainwindow.h"
#include "app/shutdownsignals.h"
#include "app/storecheck.h"
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
        // window, the signal handlers, the store guard, the sheet, the
        // application, the log, and last the font warm-up, which may still be
        // reading.
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

        // Before anything reads the settings.
        const storecheck::StoreGuard store;

        // Logout, kill, Ctrl-C and a closed terminal close the window as its
        // close button does, so that the shutdown stores the settings. They
        // are heard from before the window is built, whose start may wait on
        // a box (a store that cannot be written): a signal then quits, which
        // ends that box's event loop and any that would start after it, and
        // the window is closed as soon as it is built.
        ShutdownSignals shutdownSignals;
        const QMetaObject::Connection starting
            = QObject::connect(&shutdownSignals, &ShutdownSignals::sig_caught, &application, &QCoreApplication::quit);
        shutdownSignals.listen();
        MainWindow window;
        QObject::disconnect(starting);
        QObject::connect(&shutdownSignals, &ShutdownSignals::sig_caught, &window, &QWidget::close);
        if (shutdownSignals.caught() != 0) {
            window.close();
        } else {
            window.show();
            status = application.exec();
        }
    }
    ShutdownSignals::endAsCaught();
    return status;
}
