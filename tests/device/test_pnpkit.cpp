// The pure parts of the USB device layer: which udev action reaches whom,
// and the USB location ID.

#include "device/linux/pnpkit.h"
#include "quvtest.h"

#include <QCoreApplication>

Q_DECLARE_METATYPE(pnpkit::Route)

class TestPnpKit : public QObject
{
    Q_OBJECT

private slots:
    void routeForAction_data();
    void routeForAction();
    void usbLocationId_data();
    void usbLocationId();
};

void TestPnpKit::routeForAction_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<pnpkit::Route>("route");
    QTest::addColumn<uint>("message");
    QTest::newRow("add") << "add" << pnpkit::Route::Matched << 0u;
    QTest::newRow("remove") << "remove" << pnpkit::Route::Interest << 0xE0000010u;
    QTest::newRow("change") << "change" << pnpkit::Route::None << 0u;
    QTest::newRow("none") << "" << pnpkit::Route::None << 0u;
    QTest::newRow("case matters") << "Add" << pnpkit::Route::None << 0u;
}

void TestPnpKit::routeForAction()
{
    QFETCH(QString, action);
    QFETCH(pnpkit::Route, route);
    QFETCH(uint, message);
    const pnpkit::EventRoute result = pnpkit::routeForAction(action.toStdString());
    QCOMPARE(result.route, route);
    QCOMPARE(result.message, natural_t(message));
}

void TestPnpKit::usbLocationId_data()
{
    QTest::addColumn<uint>("bus");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("location");
    QTest::newRow("root hub") << 1u << "0" << true << 0x01000000u;
    QTest::newRow("behind a hub") << 2u << "1.4.2" << true << 0x02142000u;
    QTest::newRow("six levels") << 0x14u << "3.1.15.2.1.7" << true << 0x1431F217u;
    QTest::newRow("seven levels") << 1u << "1.2.3.4.5.6.7" << true << 0x01123456u;
    QTest::newRow("port 255") << 1u << "2.255" << true << 0x012F0000u;
    QTest::newRow("port 256") << 1u << "256" << false << 0u;
    QTest::newRow("port 0 below the root") << 1u << "1.0" << false << 0u;
    QTest::newRow("bus 0") << 0u << "1" << false << 0u;
    QTest::newRow("empty") << 1u << "" << false << 0u;
    QTest::newRow("empty level") << 1u << "1..2" << false << 0u;
    QTest::newRow("letters") << 1u << "1.a" << false << 0u;
    QTest::newRow("line end") << 1u << "1\n" << false << 0u;
}

void TestPnpKit::usbLocationId()
{
    QFETCH(uint, bus);
    QFETCH(QString, path);
    QFETCH(bool, valid);
    QFETCH(uint, location);
    UInt32 result = 0xDEADBEEF;
    QCOMPARE(pnpkit::usbLocationId(bus, path.toStdString(), &result), valid);
    QCOMPARE(result, valid ? UInt32(location) : UInt32(0xDEADBEEF));
}

QUV_TEST_MAIN(TestPnpKit)
#include "test_pnpkit.moc"
