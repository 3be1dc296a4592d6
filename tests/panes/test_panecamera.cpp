// The camera pane against a simulated camera on a pseudo-terminal, judged by
// the packets on the wire; re-read windows run on a stepped test clock.

#include <QContextMenuEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>

#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "layoutsnapshot.h"
#include "panes/panecamera.h"
#include "panes/paneclock.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvapp/quvcombobox.h"
#include "quvtest.h"
#include "simulatedcameraset.h"
#include "steppedclock.h"

using quvtest::hexBytes;

namespace {

// clang-format off
struct Conversion { int (*convert)(int); int in, out; };
const Conversion kConversions[] = {
    { PaneCamera::convApertViscaToUi, 0, 0 }, { PaneCamera::convApertViscaToUi, 3, 1 },
    { PaneCamera::convApertViscaToUi, 5, 1 }, { PaneCamera::convApertViscaToUi, 6, 2 },
    { PaneCamera::convApertViscaToUi, 40, 13 }, { PaneCamera::convApertUiToVisca, -1, 0 },
    { PaneCamera::convApertUiToVisca, 1, 5 }, { PaneCamera::convApertUiToVisca, 99, 17 },
    { PaneCamera::convBrightUiToVisca, 0, 0 }, { PaneCamera::convBrightUiToVisca, 1, 5 },
    { PaneCamera::convBrightUiToVisca, 40, 32 }, { PaneCamera::convBrightViscaToUi, 2, 0 },
    { PaneCamera::convBrightViscaToUi, 5, 1 }, { PaneCamera::convBrightViscaToUi, 40, 28 },
    { PaneCamera::convGainUiToVisca, -3, 1 }, { PaneCamera::convGainUiToVisca, 12, 12 },
    { PaneCamera::convGainViscaToUi, 0, 0 }, { PaneCamera::convGainViscaToUi, 13, 11 },
    { PaneCamera::convFocusUiToVisca, -5, 57344 }, { PaneCamera::convFocusUiToVisca, 70000, 0 },
    { PaneCamera::convFocusViscaToUi, 0, 57344 }, { PaneCamera::convFocusViscaToUi, 57343, 1 },
};

// The camera's exposure mode, iris (or bright level) and gain, a user action
// (a mode button's caption, a TaqoOp, or none for a re-read), the sets it sends,
// what the pane shows then (see TestPaneCamera::shown), and the exposure mode
// stored in the preferences that automatic exposure off returns to; and the beeps.
struct Scenario { const char* name; int aeMode, iris, gain; const char* action, *sent, *shown, *stored = "";
                  int beeps = 0; };
const Scenario kScenarios[] = {
    { "automatic", 0, 10, 5, "", "", "auto t3 6/4" },
    { "manual", 3, 10, 5, "", "", "3 t3 6/4 asgm" },
    { "shutter priority", 10, 10, 5, "", "", "10 t3 6/4 sm w" },
    { "iris priority", 11, 10, 5, "", "", "11 t3 6/4 am w" },
    { "bright", 13, 10, 5, "", "", "13 t4 6/4 am w" },
    { "unknown: manual", 7, 10, 5, "", "39 03", "3 t3 6/4 asgm" },
    { "bright from manual", 3, 10, 5, "Bright", "39 0A | 39 0D", "13 t4 6/4 am w" },
    { "bright from shutter priority", 10, 10, 5, "Bright", "39 0D", "13 t4 6/4 am w" },
    { "to iris priority", 3, 10, 5, "Aperture Priority", "39 0B", "11 t3 6/4 am w" },
    { "to shutter priority", 3, 10, 5, "Shutter Priority", "39 0A", "10 t3 6/4 sm w" },
    { "to manual", 11, 10, 5, "Full Manual", "39 03", "3 t3 6/4 asgm" },
    { "op 300: automatic", 11, 10, 5, "300", "39 00", "auto t3 6/4 w" },
    { "manual f1.8 brighter: gain", 3, 17, 5, "307", "4C 00 00 00 06", "3 t3 13/5 asgm" },
    { "manual full gain brighter: again", 3, 17, 12, "307", "4C 00 00 00 0C", "3 t3 13/11 asgm" },
    { "manual brighter: iris", 3, 10, 5, "307", "4B 00 00 00 0B", "3 t3 7/4 asgm" },
    { "manual darker: gain", 3, 17, 5, "306", "4C 00 00 00 04", "3 t3 13/3 asgm" },
    { "manual no gain darker: iris", 3, 17, 1, "306", "4B 00 00 01 00", "3 t3 12/0 asgm" },
    { "iris priority f1.8 brighter", 11, 17, 5, "307", "", "11 t3 13/4 am" },
    { "iris priority darker: iris", 11, 17, 5, "306", "4B 00 00 01 00", "11 t3 12/4 am" },
    { "bright top brighter", 13, 32, 5, "307", "4D 00 00 02 00", "13 t4 28/4 am" },
    { "bright darker", 13, 10, 5, "306", "4D 00 00 00 09", "13 t4 5/4 am" },
    { "automatic: beep", 0, 10, 5, "307", "", "auto t3 6/4", "", 1 },
    { "shutter priority: beep", 10, 10, 5, "306", "", "10 t3 6/4 sm", "", 1 },
    { "off: no stored mode", 0, 10, 5, "300", "39 03", "3 t3 6/4 asgm" },
    { "off: stored 11", 0, 10, 5, "300", "39 0B", "11 t3 6/4 am w", "11" },
    { "off: stored 13", 0, 10, 5, "300", "39 0D", "13 t4 6/4 am w", "13" },
    { "off: stored 10", 0, 10, 5, "300", "39 0A", "10 t3 6/4 sm w", "10" },
    { "off: stored 0 refused", 0, 10, 5, "300", "39 03", "3 t3 6/4 asgm", "0" },
    { "off: stored 99 refused", 0, 10, 5, "300", "39 03", "3 t3 6/4 asgm", "99" },
    { "off: stored text refused", 0, 10, 5, "300", "39 03", "3 t3 6/4 asgm", "abc" },
};
// clang-format on

// The exposure mode buttons, by the name a scenario gives them, and the mode each stands for.
struct ModeButton
{
    const char* name;
    QPushButton* (PaneCamera::*button)() const;
    int aeMode;
};
const ModeButton kModeButtons[] = {
    { "Full Manual", &PaneCamera::manualButton, 3 },
    { "Shutter Priority", &PaneCamera::shutterPriorityButton, 10 },
    { "Aperture Priority", &PaneCamera::irisPriorityButton, 11 },
    { "Bright", &PaneCamera::brightButton, 13 },
};

} // namespace

class TestPaneCamera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void conversions();
    void scenarios_data() { quvtest::addRows(kScenarios); }
    void scenarios();
    void joystickAxes_data();
    void joystickAxes();
    void focus();
    void exposureRereadWindow_data();
    void exposureRereadWindow();
    void failedModeRead();
    void layoutAndRightClick();

private:
    // Waits until the queued sets are served; *packets (when given) gets the
    // packets since the last call, zoom inquiries left out, as
    // "81 01 04 39 03 FF | 81 09 04 4A FF".
    bool wire(QString* packets = nullptr);
    // The camera sets of wire(), as "39 0A | 39 0D".
    bool sets(QString* commands);
    // "<checked mode or auto> t<aperture kind> <aperture>/<gain> <a, s, g: enabled> <w: exposure window opened now>"
    QString shown() const;
    // Puts the camera in this state and shows it; false when the camera did not answer.
    bool showCamera(int aeMode, int iris, int gain);

    SimulatedCameraSet* m_cameras = nullptr;
    quvtest::CamSim* m_sim = nullptr;
    DeviceSet* m_set = nullptr;
    DeviceInterface* m_camera = nullptr;
    PaneCamera* m_pane = nullptr;
    int m_beeps = 0;
};

void TestPaneCamera::initTestCase()
{
    paneclock::setSourceForTesting(quvtest::steppedClock);
    m_cameras = new SimulatedCameraSet;
    m_camera = m_cameras->waitForCamera();
    QVERIFY(m_camera);
    m_sim = m_cameras->sim();
    m_set = m_cameras->set();
}

void TestPaneCamera::init()
{
    m_sim->setValue(hexBytes("04 38"), hexBytes("03"));
    m_sim->setWord(hexBytes("04 48"), 0x1000);
    m_sim->setWord(hexBytes("04 4A"), 5);
    m_camera->setZoomingState(AutoZoom::Stopped);
    m_pane = new PaneCamera(m_set, nullptr);
    m_pane->setBeep([this] { ++m_beeps; });
    m_beeps = 0;
    m_pane->resize(662, 393);
    m_pane->uiSetup();
    m_pane->show();
    QVERIFY(showCamera(3, 10, 5));
}

void TestPaneCamera::cleanup()
{
    m_sim->clearFaults();
    delete m_pane;
    QVERIFY(wire());
}

void TestPaneCamera::cleanupTestCase()
{
    delete m_cameras;
    paneclock::setSourceForTesting(nullptr);
}

bool TestPaneCamera::wire(QString* packets)
{
    // Sets are served in the order queued: a set queued now marks the end.
    const QByteArray marker = hexBytes("81 01 04 34 03 FF");
    m_camera->viscaPush(ViscaMsg::Stabilizer, VISCA_OFF, -1);
    QUV_VERIFY_OR_FALSE(m_sim->waitForPacket(marker, 10000));
    QStringList texts;
    for (const QByteArray& packet : m_sim->received()) {
        if (packet != marker && packet != hexBytes("81 09 04 47 FF"))
            texts.append(quvtest::hexString(packet));
    }
    m_sim->clearReceived();
    if (packets)
        *packets = texts.join(QLatin1String(" | "));
    return true;
}

bool TestPaneCamera::sets(QString* commands)
{
    QString packets;
    QUV_VERIFY_OR_FALSE(wire(&packets));
    *commands
        = packets.split(" | ").filter(QRegularExpression("^81 01 04 ")).join(" | ").remove("81 01 04 ").remove(" FF");
    return true;
}

QString TestPaneCamera::shown() const
{
    QString state = m_pane->autoExposureToggle()->isChecked() ? QStringLiteral("auto ") : QString();
    int enabledModes = 0;
    for (const ModeButton& mode : kModeButtons) {
        const QPushButton* button = (m_pane->*mode.button)();
        state += button->isChecked() ? QString::number(mode.aeMode) + ' ' : QString();
        enabledModes += button->isEnabled() ? 1 : 0;
    }
    state += QString("t%1 %2/%3 ")
                 .arg(m_pane->apertureSlider()->sliderType())
                 .arg(m_pane->apertureSlider()->value())
                 .arg(m_pane->gainSlider()->value());
    state += m_pane->apertureSlider()->isEnabled() ? "a" : "";
    state += m_pane->shutterCombo()->isEnabled() ? "s" : "";
    state += m_pane->gainSlider()->isEnabled() ? "g" : "";
    state += enabledModes == 4 ? "m" : enabledModes > 0 ? "m?" : "";
    return (state + (m_pane->aeRereadDeadline_ms() == quvtest::clock_ms + 1200 ? " w" : "")).simplified();
}

bool TestPaneCamera::showCamera(int aeMode, int iris, int gain)
{
    m_sim->setValue(hexBytes("04 39"), QByteArray(1, char(aeMode)));
    m_sim->setWord(hexBytes("04 4B"), uint16_t(iris));
    m_sim->setWord(hexBytes("04 4D"), uint16_t(iris));
    m_sim->setWord(hexBytes("04 4C"), uint16_t(gain));
    m_camera->deviceInvalidateCache();
    m_pane->uiSync(false);
    return wire();
}

void TestPaneCamera::conversions()
{
    for (const Conversion& c : kConversions)
        QCOMPARE(QString("%1 -> %2").arg(c.in).arg(c.convert(c.in)), QString("%1 -> %2").arg(c.in).arg(c.out));
    QCOMPARE(PaneCamera::convShutterViscaToString(-1), QStringLiteral("1/1"));
    QCOMPARE(PaneCamera::convShutterViscaToString(15), QStringLiteral("1/1000"));
    QCOMPARE(PaneCamera::convShutterViscaToString(99), QStringLiteral("1/10000"));
}

void TestPaneCamera::scenarios()
{
    QString sent;
    QFETCH(int, row);
    const Scenario& s = kScenarios[row];
    const QString action = QString::fromLatin1(s.action);
    QSettings().remove("prefs/saved_aeMode");
    if (*s.stored)
        QSettings().setValue("prefs/saved_aeMode", s.stored);
    m_pane->preferenceRead();
    QVERIFY(showCamera(action.isEmpty() ? 3 : s.aeMode, s.iris, s.gain));
    quvtest::clock_ms += 5000;
    QSignalSpy moved(m_pane->apertureSlider(), &QSlider::valueChanged);
    if (action.isEmpty()) {
        m_sim->setValue(hexBytes("04 39"), QByteArray(1, char(s.aeMode)));
        m_camera->deviceInvalidateCache();
        m_pane->uiSync(false);
    } else if (action.toInt() > 0) {
        m_pane->buttonClick(action.toInt());
    } else {
        for (const ModeButton& mode : kModeButtons) {
            if (action == QLatin1String(mode.name))
                (m_pane->*mode.button)()->click();
        }
    }
    QVERIFY(sets(&sent));
    QCOMPARE(sent, QString::fromLatin1(s.sent));
    QCOMPARE(shown(), QString::fromLatin1(s.shown));
    QCOMPARE(m_beeps, s.beeps);
    QCOMPARE(moved.count(), 0);
    const int checked = shown().section(' ', 0, 0).toInt();
    if (checked != 0)
        QCOMPARE(m_pane->savedAeMode(), checked);
    m_pane->preferenceWrite();
    QCOMPARE(QSettings().value("prefs/saved_aeMode").toInt(), m_pane->savedAeMode());
}

void TestPaneCamera::joystickAxes_data()
{
    // Steps in 30 calls (32 for focus), whatever the program-wide counter held before.
    struct Row
    {
        int axis, aeMode;
        double z;
        int steps;
    };
    const Row rows[]
        = { { 0, 13, 0.3, 3 }, { 0, 13, 0.4, 3 }, { 0, 13, -0.4, 3 }, { 0, 13, 0.41, 6 }, { 0, 13, 0.7, 6 },
              { 0, 13, 0.71, 10 }, { 0, 13, 0.9, 10 }, { 0, 13, 0.91, 15 }, { 0, 13, 1.1, 15 }, { 0, 13, -1.0, 15 },
              { 0, 13, 1.2, 3 }, { 0, 3, 0.5, 6 }, { 0, 11, -0.5, 6 }, { 0, 0, 1.0, 0 }, { 0, 10, 1.0, 0 },
              { 1, 3, 0.3, 3 }, { 1, 3, -0.5, 6 }, { 1, 11, 1.0, 0 }, { 2, 3, 0.5, 16 }, { 2, 0, -0.5, 16 } };
    for (const char* column : { "axis", "aeMode", "steps" })
        QTest::addColumn<int>(column);
    QTest::addColumn<double>("z");
    for (const Row& r : rows)
        QTest::addRow("axis %d mode %d z %g", r.axis, r.aeMode, r.z) << r.axis << r.aeMode << r.steps << r.z;
}

void TestPaneCamera::joystickAxes()
{
    QFETCH(int, axis); // aperture, gain, focus
    QFETCH(int, aeMode);
    QFETCH(int, steps);
    QFETCH(double, z);

    QVERIFY(showCamera(aeMode, 10, 5));
    SegmentSlider* slider
        = QList<SegmentSlider*> { m_pane->apertureSlider(), m_pane->gainSlider(), m_pane->focusSlider() }.at(axis);
    using Slot = void (PaneCamera::*)(double, bool);
    const Slot slot
        = QList<Slot> { &PaneCamera::slot_apertVector, &PaneCamera::slot_gainVector, &PaneCamera::slot_focusVector }.at(
            axis);
    const int start = z < 0 ? slider->maximum() : 0;
    slider->blockSignals(true);
    slider->setValue(start);
    slider->blockSignals(false);
    for (int call = 0; call < (axis == 2 ? 32 : 30); ++call) {
        (m_pane->*slot)(z, true);
        // Released or at rest, an axis does nothing, and its counter stays.
        (m_pane->*slot)(0.9, false);
        (m_pane->*slot)(0.0, axis != 2);
    }
    QCOMPARE(std::abs(slider->value() - start), steps * (axis == 2 ? int(std::abs(z) * 2293.76) : 1));
    // The last step reached the camera.
    const QList<QPair<const char*, int>> sent { { aeMode == 13 ? "04 4D" : "04 4B",
                                                    aeMode == 13 ? slider->value() + 4
                                                                 : PaneCamera::convApertUiToVisca(slider->value()) },
        { "04 4C", slider->value() + 1 }, { "04 48", 57344 - slider->value() } };
    QString sentPackets;
    QVERIFY(wire(&sentPackets));
    QCOMPARE(sentPackets.isEmpty(), steps == 0);
    QCOMPARE(int(m_sim->word(hexBytes(sent[axis].first))) == sent[axis].second, steps > 0);
}

void TestPaneCamera::focus()
{
    QString sent;
    QPushButton* toggle = m_pane->autoFocusToggle();
    SegmentSlider* slider = m_pane->focusSlider();
    QCOMPARE(slider->value(), 57344 - 0x1000);
    // On: the focus follows the camera on the tick for 2400 ms.
    const uint64_t start = quvtest::clock_ms;
    toggle->click();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString("81 01 04 38 02 FF"));
    QString reads;
    for (uint64_t t = 100; t <= 3000; t += 100) {
        quvtest::clock_ms = start + t;
        m_sim->setWord(hexBytes("04 48"), uint16_t(t));
        m_pane->uiTimerUpdate();
        QVERIFY(wire(&sent));
        reads += sent == QLatin1String("81 09 04 48 FF") ? 'r' : '.';
    }
    QCOMPARE(reads, QString(23, 'r') + QString(7, '.'));
    QCOMPARE(slider->value(), 57344 - 2300);
    QVERIFY(!slider->isEnabled());

    // Off sends the camera's toggle code, then reads the mode it led to into the cache.
    const QString off = "81 01 04 38 10 FF | 81 09 04 38 FF | 81 09 04 48 FF";
    toggle->click();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, off);
    int mode = 0;
    m_camera->viscaGetAsync(ViscaMsg::FocusMode, mode);
    QCOMPARE(mode, 3);
    QVERIFY(slider->isEnabled());

    // A momentary push: on while held, with 30 s of re-reads; when on already, nothing.
    m_pane->slot_focusAutoPush(true);
    QCOMPARE(m_pane->focusRereadDeadline_ms(), quvtest::clock_ms + 30000);
    m_pane->slot_focusAutoPush(false);
    m_pane->slot_focusAutoPush(false);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, "81 01 04 38 02 FF | " + off);
    QCOMPARE(m_pane->focusRereadDeadline_ms(), uint64_t(0));
    toggle->click();
    QVERIFY(wire());
    m_pane->slot_focusAutoPush(true);
    m_pane->slot_focusAutoPush(false);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString());
    QVERIFY(toggle->isChecked());

    // While zooming a focus change is refused with a warning, and the resync puts the slider back.
    QSignalSpy warnings(m_pane, SIGNAL(sig_postWarning(WarningType)));
    QVERIFY(connect(m_pane, SIGNAL(sig_resync(ResyncType)), m_pane, SLOT(uiResync(ResyncType))));
    slider->setValue(100);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString("81 01 04 48 0D 0F 09 0C FF"));
    m_camera->setZoomingState(AutoZoom::ZoomingWide);
    slider->setValue(9000);
    m_pane->slot_focusVector(1.0, true);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString());
    QCOMPARE(warnings.count(), 2);
    QCOMPARE(slider->value(), 100);
}

void TestPaneCamera::exposureRereadWindow_data()
{
    QTest::addColumn<int>("aeMode");
    QTest::addColumn<QString>("tick");
    QTest::newRow("automatic") << 0 << "4A 39 4B 4C 39";
    QTest::newRow("shutter priority") << 10 << "39 4B 4C 39";
    QTest::newRow("iris priority") << 11 << "4A 4C 39";
    QTest::newRow("manual") << 3 << "";
    QTest::newRow("bright") << 13 << "";
}

void TestPaneCamera::exposureRereadWindow()
{
    QString sent;
    QFETCH(int, aeMode);
    QFETCH(QString, tick);

    QVERIFY(showCamera(aeMode, 10, 5));
    // A shutter choice opens 1200 ms of re-reads of what the camera picks.
    const uint64_t start = quvtest::clock_ms;
    m_pane->slot_apertShutterSpeed(22);
    m_pane->slot_apertShutterSpeed(15);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString("81 01 04 4A 00 00 00 0F FF"));
    for (uint64_t t = 100; t <= 1500; t += 100) {
        quvtest::clock_ms = start + t;
        m_pane->uiTimerUpdate();
        QVERIFY(wire(&sent));
        QCOMPARE(sent.remove("81 09 04 ").remove(" FF").remove("| "), t < 1200 ? tick : QString());
    }
    // Dragged sliders queue their values (the bright level in bright mode).
    m_pane->gainSlider()->setValue(7);
    m_pane->apertureSlider()->setValue(9);
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString("81 01 04 4C 00 00 00 08 FF | 81 01 04 %1 00 00 00 0D FF").arg(aeMode == 13 ? "4D" : "4B"));
    // Releasing the aperture in iris priority opens it too; a hidden pane reads nothing.
    emit m_pane->apertureSlider()->sliderReleased();
    QCOMPARE(m_pane->aeRereadDeadline_ms(), aeMode == 11 ? quvtest::clock_ms + 1200 : start + 1200);
    m_pane->hide();
    m_pane->uiTimerUpdate();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString());
    // A camera value outside the shutter list shows no item.
    m_sim->setWord(hexBytes("04 4A"), 25);
    m_pane->syncShutterValue(false);
    QCOMPARE(m_pane->shutterCombo()->currentIndex(), -1);
    QVERIFY(!m_pane->shutterCombo()->itemChecked(15));
}

void TestPaneCamera::failedModeRead()
{
    QString sent;
    // Unread, the exposure mode counts as manual for a step or a drag, and as
    // nothing to act on for the bright button's first step and the tick.
    QVERIFY(showCamera(3, 10, 5));
    m_camera->deviceInvalidateCache();
    m_sim->addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::ErrorReply).matching(hexBytes("09 04 39")));
    m_pane->buttonClick(307);
    QVERIFY(sets(&sent));
    QCOMPARE(sent, QString("4B 00 00 00 0B"));
    m_pane->apertureSlider()->setValue(3);
    QVERIFY(sets(&sent));
    QCOMPARE(sent, QString("4B 00 00 00 07"));
    m_pane->brightButton()->click();
    QVERIFY(sets(&sent));
    QCOMPARE(sent, QString("39 0D"));
    m_camera->deviceInvalidateCache();
    quvtest::clock_ms += 100;
    m_pane->uiTimerUpdate();
    QVERIFY(wire(&sent));
    QCOMPARE(sent, QString("81 09 04 39 FF"));
}

void TestPaneCamera::layoutAndRightClick()
{
    QUV_VERIFY_LAYOUT(m_pane, "panes/layouts/panecamera.txt");
    // Four rows 80 px apart (the last one the zoom group): an icon at 28, a 441 px
    // slider at 111 and a caption under its left end; the mode buttons a 2 x 2 grid.
    const QList<SegmentSlider*> sliders { m_pane->apertureSlider(), m_pane->gainSlider(), m_pane->focusSlider(),
        m_pane->zoomSlider() };
    for (QLabel* label : m_pane->findChildren<QLabel*>()) {
        const int row = (label->y() - 16) / 80;
        if (label->width() == 60 && !label->pixmap(Qt::ReturnByValue).isNull())
            QCOMPARE(label->geometry(), QRect(28, sliders[row]->y(), 60, 60));
        else if (QStringList { "f14", "0dB", "10mm", "Wide" }.contains(label->text()))
            QCOMPARE(label->pos(), sliders[row]->pos() + QPoint(0, 48));
    }
    for (int row = 0; row < 4; ++row)
        QCOMPARE(sliders[row]->geometry(), QRect(111, 16 + 80 * row, 441, 60));
    const QRect a = m_pane->irisPriorityButton()->geometry(), s = m_pane->shutterPriorityButton()->geometry();
    QCOMPARE(m_pane->manualButton()->geometry(), a.translated(0, 23));
    QCOMPARE(m_pane->brightButton()->geometry(), s.translated(0, 23));
    QCOMPARE(s, a.translated(34, 0));
    // The shutter list: one row per speed, carrying its camera value.
    QCOMPARE(m_pane->shutterCombo()->count(), 22);
    for (int i = 0; i < 22; ++i)
        QCOMPARE(m_pane->shutterCombo()->itemData(i).toInt(), i);

    // A right click on the pane reaches the parent (the main window's menu).
    QWidget parent;
    parent.setContextMenuPolicy(Qt::CustomContextMenu);
    QSignalSpy menus(&parent, &QWidget::customContextMenuRequested);
    PaneCamera pane(m_set, &parent);
    pane.uiSetup();
    // Before the first read.
    QCOMPARE(pane.apertureSlider()->value(), 6);
    QCOMPARE(pane.gainSlider()->value(), 5);
    QCOMPARE(pane.focusSlider()->value(), 28672);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5));
    QApplication::sendEvent(&pane, &event);
    QCOMPARE(menus.count(), 1);
}

QUV_TEST_MAIN_WITH(TestPaneCamera, PanesApplication)
#include "test_panecamera.moc"
