// A library that Qt's plugin loader takes for its Wayland platform plugin:
// its metadata names the platform "wayland", as the real plugin's does. It
// cannot start that platform (it is no platform integration), as a Wayland
// plugin whose libraries are broken cannot. The display check's tests give
// its folder to Qt and to the check through QT_QPA_PLATFORM_PLUGIN_PATH.

#include <QObject>

class WaylandStandIn : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "waylandstandin.json")
};

#include "waylandstandin.moc"
