// The ePTZ pane against a simulated camera on a pseudo-terminal, judged by the
// position packets on the wire: conversions, arrows, switch, drag, spin boxes,
// joystick, the refresh after a resync and quick presses on a slow camera.

#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>

#include "answering.h"
#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "layoutsnapshot.h"
#include "panes/navbutton.h"
#include "panes/paneclock.h"
#include "panes/paneeptz.h"
#include "panes/screenproxy.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvapp/quvdoublespinbox.h"
#include "quvtest.h"
#include "simulatedcameraset.h"
#include "steppedclock.h"

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

QByteArray nibbles(int word)
{
    const char bytes[] = { char((word >> 12) & 15), char((word >> 8) & 15), char((word >> 4) & 15), char(word & 15) };
    return QByteArray(bytes, 4);
}

// The reply of a camera at X/Y (not flipped), or the packet that sends it.
QByteArray visca(int x, int y, bool packet)
{
    int pan = 0;
    int tilt = 0;
    PaneEptz::eptXYToVisca(x, y, false, pan, tilt);
    if (packet)
        return hexBytes("81 01 7E 06 20 00 00") + nibbles(pan) + nibbles(tilt) + hexBytes("FF");
    return QByteArray(1, char(pan >= 0x8000 ? 1 : 0)) + '\0' + nibbles(pan) + nibbles(tilt);
}

QString packetOf(int x, int y)
{
    return quvtest::hexString(visca(x, y, true));
}

// clang-format off
enum Nav { Top, Right, Left, Bottom, Center, LeftTop, RightTop, LeftBottom, RightBottom };

struct Conversion { const char* name; int x, y; bool flipped; int pan, tilt, backX, backY; };
const Conversion kConversions[] = {
    { "centre", 0, 0, false, 0, 0, 0, 0 },
    { "one step up right", 6, 5, false, 65434, 65410, 6, 4 },
    { "one step down left", -6, -5, false, 102, 137, -6, -4 },
    { "far up right", 960, 540, false, 49153, 49153, 960, 540 },
    { "far down left", -960, -540, false, 16383, 16383, -960, -540 },
    { "half way up right", 480, 270, false, 57345, 57350, 480, 270 },
    { "half way down left", -480, -270, false, 8192, 8192, -480, -270 },
    { "halves", 3, 2, false, 65434, 0, 6, 0 },
    { "flipped", 6, 5, true, 102, 137, 6, 4 },
    { "beyond the picture", 2000, -900, false, 49153, 16383, 960, -540 },
};

struct Arrow { const char* name; int x, y; Nav button; int nx, ny; };
const Arrow kArrows[] = {
    { "up from 4 by 5", 0, 4, Top, 0, 9 },
    { "up from 9 by 5", 0, 9, Top, 0, 14 },
    { "down from 4 to 0", 0, 4, Bottom, 0, 0 },
    { "down from 0 by 5", 0, 0, Bottom, 0, -5 },
    { "up from -4 to 0", 0, -4, Top, 0, 0 },
    { "down from 13 by 4", 0, 13, Bottom, 0, 9 },
    { "left from 6 to 0", 6, 0, Left, 0, 0 },
    { "right from -6 to 0", -6, 0, Right, 0, 0 },
    { "right at the border", 960, 0, Right, 960, 0 },
    { "up left", 0, 0, LeftTop, -6, 5 },
    { "up right", 6, -4, RightTop, 12, 0 },
    { "down left", 0, 540, LeftBottom, -6, 536 },
    { "down right", -960, -536, RightBottom, -954, -540 },
};
// clang-format on

} // namespace

class TestPaneEptz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void conversions_data() { quvtest::addRows(kConversions); }
    void conversions();
    void arrows_data() { quvtest::addRows(kArrows); }
    void arrows();
    void layoutAndArrowHitAreas();
    void onOff();
    void cameraRemovedDuringTheWarning();
    void dragSpinAndJoystick();
    void resyncRefreshesFromTheCache();
    void quickPressesOnASlowCamera();
    void smallZoomGroup();

private:
    // Waits until the queued sets are served; *packets (when given) gets the
    // packets since the last call, reads left out.
    bool wire(QStringList* packets = nullptr);
    void cameraAt(int x, int y);
    // What the spin boxes show into *at; false when the picture's window shows another place.
    bool shown(QPoint* at) const;
    // The tick later_ms on, and what it shows then.
    bool tick(uint64_t later_ms, QPoint* at);
    // The colours of the picture's window and of the picture around it, as painted.
    QString colours() const;

    SimulatedCameraSet m_cameras;
    CamSim& m_sim = *m_cameras.sim();
    DeviceInterface* m_camera = nullptr;
    PaneEptz* m_pane = nullptr;
};

void TestPaneEptz::initTestCase()
{
    paneclock::setSourceForTesting(quvtest::steppedClock);
    QVERIFY(m_sim.isValid());
    m_camera = m_cameras.waitForCamera();
    QVERIFY(m_camera);
}

void TestPaneEptz::init()
{
    // A camera in a UHD format, not flipped, ePTZ on at the centre.
    m_sim.setValue(hexBytes("04 24 72"), hexBytes("01 0D"));
    m_sim.setValue(hexBytes("04 66"), hexBytes("02"));
    m_sim.setValue(hexBytes("7E 06 00"), hexBytes("02"));
    cameraAt(0, 0);
    m_pane = new PaneEptz(m_cameras.set(), nullptr);
    m_pane->uiSetup();
    m_pane->show();
    m_pane->uiSync(false);
    QVERIFY(wire());
}

void TestPaneEptz::cleanup()
{
    delete m_pane;
    m_sim.clearFaults();
    QVERIFY(wire());
}

void TestPaneEptz::cleanupTestCase()
{
    paneclock::setSourceForTesting(nullptr);
}

bool TestPaneEptz::wire(QStringList* packets)
{
    // Sets are served in the order queued: a set queued now marks the end.
    const QByteArray marker = hexBytes("81 01 04 34 03 FF");
    m_camera->viscaPush(ViscaMsg::Stabilizer, VISCA_OFF, -1);
    QUV_VERIFY_OR_FALSE(m_sim.waitForPacket(marker, 10000));
    QStringList texts;
    for (const QByteArray& packet : m_sim.received()) {
        if (packet != marker && !packet.startsWith(hexBytes("81 09")))
            texts.append(quvtest::hexString(packet));
    }
    m_sim.clearReceived();
    if (packets)
        *packets = texts;
    return true;
}

void TestPaneEptz::cameraAt(int x, int y)
{
    m_sim.setValue(hexBytes("7E 06 20"), visca(x, y, false));
    m_camera->deviceInvalidateCache();
}

bool TestPaneEptz::shown(QPoint* at) const
{
    const QPoint spins(int(m_pane->spinX()->value()), int(m_pane->spinY()->value()));
    const QRect window = m_pane->picture()->roi();
    QUV_COMPARE_OR_FALSE(QPoint(window.x() - 960, 540 - window.y()), spins);
    *at = spins;
    return true;
}

bool TestPaneEptz::tick(uint64_t later_ms, QPoint* at)
{
    quvtest::clock_ms += later_ms;
    m_pane->uiTimerUpdate();
    return shown(at);
}

QString TestPaneEptz::colours() const
{
    const QImage painted = m_pane->picture()->grab().toImage();
    const QRect window(m_pane->picture()->roi().topLeft() * painted.width() / 3840, QSize(20, 20));
    QStringList names;
    for (const QPoint& p : { window.center(), QPoint(3, 3) })
        names << painted.pixelColor(p).name();
    return names.join(' ');
}

void TestPaneEptz::conversions()
{
    QFETCH(int, row);
    const Conversion& c = kConversions[row];
    int pan = 0;
    int tilt = 0;
    PaneEptz::eptXYToVisca(c.x, c.y, c.flipped, pan, tilt);
    QCOMPARE(QPoint(pan, tilt), QPoint(c.pan, c.tilt));
    int x = 0;
    int y = 0;
    PaneEptz::eptViscaToXY(pan, tilt, c.flipped, x, y);
    QCOMPARE(QPoint(x, y), QPoint(c.backX, c.backY));
    // The camera layer reports a pan right of the centre as a negative number.
    PaneEptz::eptViscaToXY(pan - (pan >= 0x8000 ? 0x10000 : 0), tilt, c.flipped, x, y);
    QCOMPARE(QPoint(x, y), QPoint(c.backX, c.backY));
    PaneEptz::eptLeftTopToXY(1440, 270, x, y);
    QCOMPARE(QPoint(x, y), QPoint(480, 270));
    int left = 0;
    int top = 0;
    PaneEptz::eptXYToLeftTop(x - 1440, y - 810, left, top);
    QCOMPARE(QPoint(left, top), QPoint(0, 1080));
}

void TestPaneEptz::arrows()
{
    QStringList sent;
    QPoint at;
    QFETCH(int, row);
    const Arrow& a = kArrows[row];
    cameraAt(a.x, a.y);
    m_pane->navButtons().at(a.button)->click();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(a.nx, a.ny) });
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(a.nx, a.ny));

    // A camera whose picture is flipped gets the same steps mirrored.
    m_sim.setValue(hexBytes("04 66"), hexBytes("03"));
    cameraAt(-a.x, -a.y);
    m_pane->navButtons().at(a.button)->click();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(-a.nx, -a.ny) });
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(a.nx, a.ny));
}

void TestPaneEptz::layoutAndArrowHitAreas()
{
    QStringList sent;
    QPoint at;
    QUV_VERIFY_LAYOUT(m_pane, "panes/layouts/paneeptz.txt");
    // The switch shows its own picture of each state whether hovered or selected.
    const QIcon icon = m_pane->onOffSwitch()->icon();
    for (QIcon::Mode mode : { QIcon::Normal, QIcon::Active, QIcon::Selected }) {
        for (QIcon::State state : { QIcon::Off, QIcon::On }) {
            const QImage shown = icon.pixmap(QSize(65, 25), mode, state).toImage();
            const QImage drawn(state == QIcon::On ? ":/media/switch_big_on.png" : ":/media/switch_big_off.png");
            QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32), drawn.convertToFormat(QImage::Format_ARGB32));
        }
    }
    // Each shape answers on its opaque pixels, not in its corner; its pressed
    // and disabled pictures have its size and shape.
    const char* const names[]
        = { "top", "right", "left", "bottom", "center", "lefttop", "righttop", "leftbottom", "rightbottom" };
    for (int i = 0; i < 9; ++i) {
        NavButton* button = m_pane->navButtons().at(i);
        QVERIFY(button->hitButton(button->rect().center()) && !button->hitButton(QPoint(0, 0)));
        const QString base = QStringLiteral(":/media/nav_%1").arg(names[i]);
        const QImage shape = QImage(base + ".png").createAlphaMask();
        QCOMPARE(shape.size(), button->size());
        for (const char* state : { "_press.png", "_disabled.png" })
            QVERIFY2(QImage(base + state).createAlphaMask() == shape, state);
    }
    NavButton* up = m_pane->navButtons().at(Top);
    QTest::mouseClick(up, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList());
    QTest::mouseClick(up, Qt::LeftButton, Qt::NoModifier, QPoint(18, 15));
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(0, 5) });
    // Called other than by a button, the slot does nothing.
    m_pane->slot_nav();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList());
    // The centre sends X first, then both; the second replaces the first while waiting.
    QSignalSpy moved(m_pane->picture(), &ScreenProxy::RoiChanged);
    m_pane->navButtons().at(Center)->click();
    QCOMPARE(moved.count(), 2);
    QCOMPARE(moved.first().first().toRect().topLeft(), QPoint(960, 535));
    QVERIFY(wire(&sent));
    QCOMPARE(sent.last(), packetOf(0, 0));
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(0, 0));
}

void TestPaneEptz::onOff()
{
    QList<quvtest::Shown> boxes;
    // Sets the switch, answering a warning with its default button; *sent
    // gets the on/off packets that went out.
    const auto toggle = [&](bool on, QString* sent) {
        QList<quvtest::Shown> shown;
        QString failure;
        if (!quvtest::answerWhile([&] { m_pane->onOffSwitch()->setChecked(on); }, {}, &shown, &failure)) {
            QTest::qFail(qPrintable(failure), __FILE__, __LINE__);
            return false;
        }
        boxes += shown;
        const bool enabled = m_pane->picture()->GetEditable() && m_pane->spinX()->isEnabled()
            && m_pane->spinY()->isEnabled() && m_pane->navButtons().at(Center)->isEnabled();
        QUV_COMPARE_OR_FALSE(enabled, m_pane->onOffSwitch()->isChecked());
        QStringList packets;
        QUV_VERIFY_OR_FALSE(wire(&packets));
        *sent = packets.filter(QStringLiteral("81 01 7E 06 00")).join(' ');
        return true;
    };
    const auto format = [&](const char* hex) {
        m_sim.setValue(hexBytes("04 24 72"), hexBytes(hex));
        m_camera->deviceInvalidateCache();
    };
    QString sent;
    // Off: the window grey on a darker picture; on: blue on grey.
    QVERIFY(toggle(false, &sent));
    QCOMPARE(sent, QStringLiteral("81 01 7E 06 00 03 FF"));
    QCOMPARE(colours(), QStringLiteral("#363636 #272727"));
    QVERIFY(toggle(true, &sent));
    QCOMPARE(sent, QStringLiteral("81 01 7E 06 00 02 FF"));
    QCOMPARE(colours(), QStringLiteral("#4395c2 #363636"));
    format("01 0E");
    QVERIFY(toggle(false, &sent));
    QVERIFY(toggle(true, &sent));
    QCOMPARE(sent, QStringLiteral("81 01 7E 06 00 02 FF"));
    // Off needs no UHD format; on does, and so does a format that cannot be read.
    format("01 03");
    QVERIFY(toggle(false, &sent));
    QCOMPARE(sent, QStringLiteral("81 01 7E 06 00 03 FF"));
    QCOMPARE(boxes.count(), 0);
    QVERIFY(toggle(true, &sent));
    QCOMPARE(sent, QString());
    format("01 0D");
    m_sim.addFault(CamSim::Rule(CamSim::Fault::ErrorReply).matching(hexBytes("09 04 24 72")));
    QVERIFY(toggle(true, &sent));
    QCOMPARE(sent, QString());
    QVERIFY(!m_pane->onOffSwitch()->isChecked());
    QCOMPARE(boxes.count(), 2);
    // The warning, as this test alone checks it word for word; its one button is the default.
    const quvtest::Shown& warning = boxes.first();
    QCOMPARE(warning.className, QStringLiteral("QMessageBox"));
    QCOMPARE(warning.title, QStringLiteral("ePTZ Warning"));
    QCOMPARE(warning.text,
        QStringLiteral("ePTZ mode requires that the camera to be first set to a UHD format. <b>Note:</b> Output will "
                       "switch back to HD when ePTZ is turned on.\n"));
    QCOMPARE(warning.detail, QStringLiteral("Go to \"Settings:Output\" pane to change to UHD format.\n"));
    QCOMPARE(warning.items, QStringList(QStringLiteral("*Cancel")));
}

void TestPaneEptz::cameraRemovedDuringTheWarning()
{
    // The box's event loop runs on while it is open: a camera unplugged then is
    // deleted, and the pane goes on with the empty slot's stand-in.
    SimulatedCameraSet cameras; // an HD format
    QVERIFY(cameras.waitForCamera());
    PaneEptz pane(cameras.set(), nullptr);
    pane.uiSetup();
    pane.uiSync(true);
    const auto unplug = [&] { cameras.set()->deviceSetCreate(QList<SerialPortDesc> {}, false); };
    QList<quvtest::Shown> shown;
    QUV_ANSWER([&] { pane.onOffSwitch()->setChecked(true); }, &shown, { QString(), QString(), unplug });
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().className, QStringLiteral("QMessageBox"));
    QCOMPARE(cameras.set()->deviceSetCount(), 0);
    QVERIFY(!pane.onOffSwitch()->isChecked());
    pane.slot_deltaXY(6, 0);
    QCOMPARE(pane.spinX()->value(), 6.0);
}

void TestPaneEptz::dragSpinAndJoystick()
{
    QStringList sent;
    QPoint at;
    // Grabbed at its left edge and dragged 52 px right and 27 up, the window
    // moves (it is never resized); the positions go out as the mouse moves.
    ScreenProxy* picture = m_pane->picture();
    const auto mouse = [&](QEvent::Type type, const QPoint& pos, Qt::MouseButtons held) {
        QMouseEvent event(type, pos, pos + QPoint(300, 200), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(picture, &event);
    };
    mouse(QEvent::MouseButtonPress, QPoint(105, 100), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(157, 73), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(157, 73), Qt::NoButton);
    QCOMPARE(picture->roi(), QRect(1441, 290, 1920, 1080));
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(481, 250) });
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(481, 250));

    QSignalSpy typed(m_pane->spinX(), SIGNAL(valueChanged(double)));
    m_pane->picture()->SetWithSignalRoiXY(1440, 270);
    QCOMPARE(m_pane->picture()->roi(), QRect(1440, 270, 1920, 1080));
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(480, 270) });
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(480, 270));
    QCOMPARE(typed.count(), 0);
    // A window out of the picture sends the border.
    m_pane->slot_eptPosition(QRect(3000, -500, 1920, 1080));
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(960, 540) });
    m_pane->spinX()->setValue(-6);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(-6, 540) });
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(-6, 540));
    m_pane->spinY()->setValue(-7);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(-6, -7) });
    // Joystick steps below half a unit move nothing but are still sent.
    m_pane->slot_deltaXY(0.4, -0.4);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(-6, -7) });
    m_pane->slot_deltaXY(2000, -1000);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QStringList { packetOf(960, -540) });
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(960, -540));
}

void TestPaneEptz::resyncRefreshesFromTheCache()
{
    QPoint at;
    const auto slowCamera = [&] {
        m_sim.addFault(CamSim::Rule(CamSim::Fault::LateCompletion).matching(hexBytes("01 7E 06 20")).ms(1000).times(1));
    };
    // The re-read asks the camera, not the cache; a recalled position that
    // reaches the camera after it shows on the ticks of the next 600 ms.
    m_sim.setValue(hexBytes("7E 06 20"), visca(-6, 4, false));
    m_pane->uiResync(ResyncEptz);
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(-6, 4));
    m_camera->viscaPush(ViscaMsg::EptPosition, 57345, 57350);
    QVERIFY(wire());
    QVERIFY(tick(100, &at));
    QCOMPARE(at, QPoint(480, 270));
    // A move of the pane's own is not undone by the cache while it is written.
    slowCamera();
    m_pane->navButtons().at(Right)->click();
    QVERIFY(m_sim.waitForPacket(visca(486, 270, true)));
    QVERIFY(tick(100, &at));
    QCOMPARE(at, QPoint(486, 270));
    QVERIFY(wire());
    m_camera->viscaPush(ViscaMsg::EptPosition, 0, 0);
    QVERIFY(wire());
    QVERIFY(tick(500, &at));
    QCOMPARE(at, QPoint(486, 270)); // 700 ms on: no longer
    m_pane->uiResync(ResyncEptz);
    m_pane->hide();
    m_camera->viscaPush(ViscaMsg::EptPosition, 57345, 57350);
    QVERIFY(wire());
    QVERIFY(tick(100, &at));
    QCOMPARE(at, QPoint(0, 0));
}

void TestPaneEptz::quickPressesOnASlowCamera()
{
    QStringList sent;
    QPoint at;
    // A second press while the first move is being written (the camera
    // completes it late) steps from that move.
    m_sim.addFault(CamSim::Rule(CamSim::Fault::LateCompletion).matching(hexBytes("01 7E 06 20")).ms(1000).times(1));
    m_pane->navButtons().at(Right)->click();
    QVERIFY(m_sim.waitForPacket(visca(6, 0, true)));
    m_pane->navButtons().at(Right)->click();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, (QStringList { packetOf(6, 0), packetOf(12, 0) }));
    // Presses while the moves wait behind reads on a busy line (as a rule the
    // second replaces the first there) step twice too.
    m_sim.addFault(CamSim::Rule(CamSim::Fault::Delay).matching(hexBytes("09 04 47")).ms(250));
    for (int i = 0; i < 5; ++i)
        m_camera->viscaPull(ViscaMsg::ZoomValue, -1);
    QVERIFY(m_sim.waitForPacket(hexBytes("81 09 04 47 FF")));
    m_pane->navButtons().at(Right)->click();
    m_pane->navButtons().at(Right)->click();
    QVERIFY(wire(&sent));
    QCOMPARE(sent.last(), packetOf(24, 0));
    QVERIFY(shown(&at));
    QCOMPARE(at, QPoint(24, 0));
}

void TestPaneEptz::smallZoomGroup()
{
    // The pane's re-read and tick carry the small zoom group's.
    QCOMPARE(m_pane->zoomGroupVariant(), 2);
    m_sim.setValue(hexBytes("04 47"), nibbles(0x1000));
    m_pane->uiSync(false);
    QCOMPARE(m_pane->zoomSlider()->value(), 0x1000);
    m_sim.setValue(hexBytes("04 47"), nibbles(0x2000));
    m_pane->uiTimerUpdate();
    QCOMPARE(m_pane->zoomSlider()->value(), 0x2000);
}

QUV_TEST_MAIN_WITH(TestPaneEptz, PanesApplication)
#include "test_paneeptz.moc"
