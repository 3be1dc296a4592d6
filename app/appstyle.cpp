#include "app/appstyle.h"

#include <QCoreApplication>

QString applicationStyleSheet(QString librarySheet)
{
    librarySheet.replace(QLatin1String("QSlider"), QLatin1String("QuvSlider"));
    librarySheet.replace(QLatin1String("QPushButton"), QLatin1String("QTempPushButton"));
    librarySheet.replace(QLatin1String("QWidget"), QLatin1String("QTempWidget"));
    librarySheet.replace(QLatin1String("Verdana"), QLatin1String("Myriad Pro Regular"));
    librarySheet.append(QLatin1String("QGroupBox {background: rgb(38,38,38); margin: 17px 0px 0px 0px;}"));
    librarySheet.append(QLatin1String("QStackedWidget {border-image: none; background-color: transparent;}"));
    return librarySheet;
}

void applicationAttributes()
{
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
}
