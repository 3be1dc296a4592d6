#include "app/mainwindow.h"
#include "quvapp/quvapplication.h"
#include "quvbase/system/quvlog.h"

#include <QString>

int main(int argc, char** argv)
{
    // Declared in this order so that they end in the reverse one: the window,
    // the sheet, the application, the log.
    QUVLog log;
    QuvApplication application(argc, argv, QuvStyleLookSlate);

    // The library's rules for plain sliders, push buttons and widgets are
    // renamed out of reach: the window's controls carry sheets of their own.
    QString sheet = application.getStyleSheet();
    sheet.replace(QLatin1String("QSlider"), QLatin1String("QuvSlider"));
    sheet.replace(QLatin1String("QPushButton"), QLatin1String("QTempPushButton"));
    sheet.replace(QLatin1String("QWidget"), QLatin1String("QTempWidget"));
    sheet.replace(QLatin1String("Verdana"), QLatin1String("Myriad Pro Regular"));
    sheet.append(QLatin1String("QGroupBox {background: rgb(38,38,38); margin: 17px 0px 0px 0px;}"));
    sheet.append(QLatin1String("QStackedWidget {border-image: none; background-color: transparent;}"));
    application.setStyleSheet(sheet);

    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quv.example"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));

    MainWindow window;
    window.show();
    return application.exec();
}
