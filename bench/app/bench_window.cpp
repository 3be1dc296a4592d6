// The application as main() starts it, except that its scans find the serial
// lines named on the command line (the memory benchmark's camera simulators)
// instead of the machine's ports, through the window's serialPorts(). It
// writes "placed" on standard output once every camera is placed, and runs
// until it is stopped.

#include "app/appstyle.h"
#include "app/fontwarmup.h"
#include "app/mainwindow.h"
#include "device/deviceset.h"
#include "quvapp/quvapplication.h"
#include "quvbase/system/quvlog.h"

#include <cstdio>

#include <QString>
#include <QStringList>
#include <QTimer>

namespace {

class BenchWindow : public MainWindow
{
public:
    explicit BenchWindow(const QStringList& paths)
        : m_paths(paths)
    { }
    bool placed() const
    {
        return m_deviceSet->deviceSetCount() == m_paths.size() && m_deviceSet->processingCount() == 0;
    }

protected:
    QList<SerialPortDesc> serialPorts() override
    {
        QList<SerialPortDesc> ports;
        for (const QString& path : m_paths)
            ports.append(SerialPortDesc::forDevicePath(path));
        return ports;
    }

private:
    QStringList m_paths;
};

} // namespace

int main(int argc, char** argv)
{
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths.append(QString::fromLocal8Bit(argv[i]));
    FontsWarmUp fonts;
    QUVLog log;
    applicationAttributes();
    int qtArgc = 1;
    QuvApplication application(qtArgc, argv, QuvStyleLookSlate);
    application.setStyleSheet(applicationStyleSheet(application.getStyleSheet()));
    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quv.example"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));

    BenchWindow window(paths);
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!paths.isEmpty() && window.placed()) {
            poll.stop();
            std::printf("placed\n");
            std::fflush(stdout);
        }
    });
    poll.start(50);
    return application.exec();
}
