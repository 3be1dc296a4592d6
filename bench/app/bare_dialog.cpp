// The baseline of the application benchmarks: the least a Qt widgets program
// does to show a window, one empty dialog. It links Qt Widgets only and runs
// until it is stopped. With --raster it draws its widgets with the raster
// engine alone, as the application does (Qt::AA_ForceRasterWidgets), so
// that it loads no OpenGL integration either.

#include <cstring>

#include <QApplication>
#include <QDialog>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--raster") == 0)
        QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.show();
    return application.exec();
}
