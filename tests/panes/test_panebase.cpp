// The pane base and its zoom group against a simulated camera on a
// pseudo-terminal, placed in a DeviceSet through the real open, re-read and
// marker path. Camera packets are checked in the simulator's record; time
// windows run on a stepped test clock, the 100 ms tick is called directly.

#include <functional>
#include <memory>

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

#include "answering.h"
#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "mouseevents.h"
#include "panes/jogcontroller.h"
#include "panes/panebase.h"
#include "panes/paneclock.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "simulatedcameraset.h"
#include "steppedclock.h"

using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::mouse;

namespace {

// A pane that builds the base and, for variants 1 and 2, the zoom group, as
// the camera pane (28, 256) and the ePTZ pane (44, 284) do.
class ZoomPane : public PaneBase
{
public:
    ZoomPane(DeviceSet* set, int variant)
        : PaneBase(set, nullptr)
        , m_variant(variant)
    {
        resize(662, 393);
    }

    void uiSetup() override
    {
        PaneBase::uiSetup();
        if (m_variant == 1)
            uiSetupZoomGroup(28, 256, this, 1);
        else if (m_variant == 2)
            uiSetupZoomGroup(44, 284, this, 2);
    }

private:
    int m_variant;
};

// Packets as "81 01 04 07 00 FF | 81 09 04 47 FF", so that a failure shows both lists whole.
QString joined(const QList<QByteArray>& packets)
{
    QStringList texts;
    for (const QByteArray& packet : packets)
        texts.append(quvtest::hexString(packet));
    return texts.join(QLatin1String(" | "));
}

QString joined(std::initializer_list<const char*> packets)
{
    QList<QByteArray> list;
    for (const char* packet : packets)
        list.append(hexBytes(packet));
    return joined(list);
}

const char* const INQUIRY = "81 09 04 47 FF";
const char* const STOP = "81 01 04 07 00 FF";

// Opens the zoom-mode menu with open() and answers it: the item with this
// text, or Escape for an empty text. False unless one QuvMenu came, took
// the answer and is gone; *shown gets what it showed.
bool runMenu(const std::function<void()>& open, const QString& text, quvtest::Shown* shown = nullptr)
{
    QList<quvtest::Shown> menus;
    QString failure;
    if (!quvtest::answerWhile(open, { { text, QString(), nullptr } }, &menus, &failure)) {
        QTest::qFail(qPrintable(failure), __FILE__, __LINE__);
        return false;
    }
    QUV_COMPARE_OR_FALSE(menus.size(), 1);
    QUV_COMPARE_OR_FALSE(menus.first().className, QStringLiteral("QuvMenu"));
    QUV_VERIFY_OR_FALSE(!QApplication::activePopupWidget());
    if (shown)
        *shown = menus.first();
    return true;
}

void requestMenu(QWidget* widget)
{
    quvtest::requestContextMenu(widget, QPoint(widget->width() / 2, widget->height() / 2));
}

// Raises the zoom-mode menu from an object that is not a widget.
class PointSource : public QObject
{
    Q_OBJECT

signals:
    void request(const QPoint& pt);
};

} // namespace

class TestPaneBase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void withoutZoomGroup();
    void layout_data();
    void layout();
    void syncShowsModeAndPosition_data();
    void syncShowsModeAndPosition();
    void modeMenu_data();
    void modeMenu();
    void modeMenuRangeChangeSendsNoPosition();
    void stabilizerMenu();
    void menuWithoutWidgetSender();
    void startStopReverse();
    void sliderDragWhileZooming();
    void jogAndJoystick();
    void tickStopsAtTheSlidersEnd_data();
    void tickStopsAtTheSlidersEnd();
    void rereadWindows();
    void offlineCameraSendsNothing();

private:
    ZoomPane* makePane(int variant, bool show = true);
    // Waits until every request queued so far has been served; *packets (when
    // given) gets the record without the read that marked the end.
    bool flushQueue(QList<QByteArray>* packets = nullptr);
    // Runs one action on a fresh record and checks what went to the camera
    // ("|" between packets: Q the position inquiry, S the stop, two hex digits
    // the zoom start 81 01 04 07 xx FF, else the whole packet) and the zoom
    // state after it: the camera's and the jog's, the button checked ("W",
    // "T" or "") and, unless -1, the jog's speed.
    bool step(const std::function<void()>& action, const char* packets, int state, const char* checked, int jog = -1);

    SimulatedCameraSet* m_cameras = nullptr;
    CamSim* m_sim = nullptr;
    DeviceSet* m_set = nullptr;
    DeviceInterface* m_camera = nullptr;
    ZoomPane* m_pane = nullptr;
};

void TestPaneBase::initTestCase()
{
    paneclock::setSourceForTesting(quvtest::steppedClock);
    m_cameras = new SimulatedCameraSet;
    m_camera = m_cameras->waitForCamera();
    QVERIFY(m_camera);
    m_sim = m_cameras->sim();
    m_set = m_cameras->set();
}

void TestPaneBase::init()
{
    // A camera as from the factory: optical zoom at wide, stabilizer off, stopped.
    m_sim->setWord(hexBytes("04 47"), 0);
    m_sim->setValue(hexBytes("04 06"), hexBytes("03"));
    m_sim->setValue(hexBytes("04 34"), hexBytes("03"));
    m_camera->deviceInvalidateCache();
    m_camera->setZoomSpeed(0);
    m_pane = makePane(1);
    // The joystick's memory is program-wide: bring it back to rest.
    m_pane->slot_zoomVector(0.0, false);
    m_camera->setZoomingState(AutoZoom::Stopped);
    m_sim->clearReceived();
}

void TestPaneBase::cleanup()
{
    delete m_pane;
    m_pane = nullptr;
    QVERIFY(flushQueue());
}

void TestPaneBase::cleanupTestCase()
{
    delete m_cameras;
    paneclock::setSourceForTesting(nullptr);
}

ZoomPane* TestPaneBase::makePane(int variant, bool show)
{
    auto* pane = new ZoomPane(m_set, variant);
    pane->uiSetup();
    if (show)
        pane->show();
    return pane;
}

bool TestPaneBase::flushQueue(QList<QByteArray>* packets)
{
    // Sets go first, then reads in order: a read queued now is served last.
    const QByteArray irisInquiry = hexBytes("81 09 04 4B FF");
    const int before = m_sim->received().count(irisInquiry);
    m_camera->viscaPull(ViscaMsg::Iris, -1);
    QUV_VERIFY_OR_FALSE(QTest::qWaitFor([&] { return m_sim->received().count(irisInquiry) > before; }, 10000));
    if (packets) {
        *packets = m_sim->received();
        packets->removeAll(irisInquiry);
    }
    return true;
}

void TestPaneBase::withoutZoomGroup()
{
    // A pane without a zoom group ignores the zoom operations.
    std::unique_ptr<ZoomPane> plain(makePane(0));
    QVERIFY(!plain->zoomSlider());
    plain->uiSync(true);
    plain->uiSync(false);
    plain->zoomToggleTele();
    plain->zoomToggleWide();
    plain->slot_zoomStartTele();
    plain->slot_zoomState(3, 2);
    plain->autoZoomStop();
    plain->slot_zoomValue(100);
    plain->slot_zoomContextMenu(QPoint(1, 1));
    quvtest::clock_ms += 100;
    plain->uiTimerUpdate();
    QList<QByteArray> packets;

    QVERIFY(flushQueue(&packets));

    QCOMPARE(joined(packets), QString());
    QCOMPARE(m_camera->zoomingState(), AutoZoom::Stopped);

    // Building a group twice is refused: it stays as it is.
    QTest::ignoreMessage(QtWarningMsg, "PaneBase: the zoom group is already built");
    SegmentSlider* slider = m_pane->zoomSlider();
    m_pane->uiSetupZoomGroup(0, 0, m_pane, 2);
    QCOMPARE(m_pane->zoomSlider(), slider);
    QCOMPARE(m_pane->zoomGroupVariant(), 1);

    // The signals and slots carry their enumerations by name, as the main window connects them.
    QVERIFY(QObject::connect(m_pane, SIGNAL(sig_resync(ResyncType)), plain.get(), SLOT(uiResync(ResyncType))));
    QSignalSpy warnings(m_pane, SIGNAL(sig_postWarning(WarningType)));
    emit m_pane->sig_postWarning(WarningFocusDuringAutoZoom);
    QCOMPARE(warnings.count(), 1);
    QCOMPARE(warnings.at(0).at(0).value<WarningType>(), WarningFocusDuringAutoZoom);
}

void TestPaneBase::layout_data()
{
    QTest::addColumn<int>("variant");
    QTest::addColumn<QRect>("wide");
    QTest::addColumn<QRect>("slider");
    QTest::addColumn<QRect>("tele");
    QTest::addColumn<QRect>("wideLabel");
    QTest::addColumn<QRect>("teleLabel");
    QTest::addColumn<QRect>("ramp");
    QTest::addColumn<QRect>("digital");
    QTest::addColumn<QRect>("jog");
    // The camera pane's group at (28, 256), the ePTZ pane's smaller one at (44, 284).
    QTest::newRow("large") << 1 << QRect(28, 256, 60, 60) << QRect(111, 256, 441, 60) << QRect(575, 256, 60, 60)
                           << QRect(111, 304, 60, 16) << QRect(492, 304, 60, 16) << QRect(517, 306, 35, 10)
                           << QRect(452, 304, 60, 16) << QRect(149, 307, 364, 27);
    QTest::newRow("small") << 2 << QRect(44, 284, 48, 48) << QRect(110, 284, 441, 48) << QRect(569, 284, 48, 48)
                           << QRect(110, 329, 60, 16) << QRect(491, 329, 60, 16) << QRect(516, 331, 35, 10)
                           << QRect(451, 329, 60, 16) << QRect(148, 332, 364, 27);
}

void TestPaneBase::layout()
{
    QFETCH(int, variant);
    std::unique_ptr<ZoomPane> pane(makePane(variant));
    QCOMPARE(pane->zoomGroupVariant(), variant);
    QLabel* wideLabel = nullptr;
    for (QLabel* label : pane->findChildren<QLabel*>())
        wideLabel = label->text() == QLatin1String("Wide") ? label : wideLabel;
    QVERIFY(wideLabel);
    const QList<QWidget*> controls { pane->zoomWideButton(), pane->zoomSlider(), pane->zoomTeleButton(), wideLabel,
        pane->zoomTeleLabel(), pane->zoomRampIcon(), pane->zoomDigitalLabel(), pane->zoomJog() };
    const char* const names[] = { "wide", "slider", "tele", "wideLabel", "teleLabel", "ramp", "digital", "jog" };
    for (int i = 0; i < controls.size(); ++i) {
        QCOMPARE(controls.at(i)->parentWidget(), pane.get());
        QCOMPARE(controls.at(i)->geometry(), *static_cast<QRect*>(QTest::qData(names[i], qMetaTypeId<QRect>())));
    }
    QCOMPARE(pane->contentsMargins(), QMargins());
    const QString size = variant == 1 ? ".png" : "_sm.png";
    QVERIFY(pane->zoomWideButton()->styleSheet().contains("url(:/media/zoom_wide_icon" + size));
    QVERIFY(pane->zoomTeleButton()->styleSheet().contains("url(:/media/zoom_tele_icon_press" + size));
    // The small group has no jog; both show the optical kind, with the tele caption.
    QCOMPARE(pane->zoomJog()->isVisible(), variant == 1);
    QVERIFY(pane->zoomTeleLabel()->isVisible());
    QVERIFY(!pane->zoomDigitalLabel()->isVisible());
    QVERIFY(!pane->zoomRampIcon()->isVisible());
    QCOMPARE(pane->zoomSlider()->sliderType(), SegSliderOpticalZoom);
    QCOMPARE(pane->zoomSlider()->value(), 8192);
    QVERIFY(pane->zoomTeleButton()->isCheckable());
    QVERIFY(!pane->zoomWideButton()->toolTip().isEmpty());
}

void TestPaneBase::syncShowsModeAndPosition_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");

    QTest::newRow("optical") << "03" << 12000 << 0 << 12000;
    QTest::newRow("digital") << "02" << 30000 << 2 << 30000;
    QTest::newRow("unknown mode: optical") << "07" << 20000 << 0 << 16384;
}

void TestPaneBase::syncShowsModeAndPosition()
{
    QFETCH(QString, mode);
    QFETCH(int, position);
    QFETCH(int, type);
    QFETCH(int, value);

    m_sim->setValue(hexBytes("04 06"), hexBytes(qPrintable(mode)));
    m_sim->setWord(hexBytes("04 47"), uint16_t(position));
    m_camera->setZoomingState(AutoZoom::ZoomingWide);
    QSignalSpy moved(m_pane->zoomSlider(), &QSlider::valueChanged);

    m_pane->uiSync(false);
    QCOMPARE(int(m_pane->zoomSlider()->sliderType()), type);
    QCOMPARE(m_pane->zoomSlider()->value(), value);
    QCOMPARE(m_pane->zoomTeleLabel()->isVisible(), type == 0);
    QCOMPARE(m_pane->zoomDigitalLabel()->isVisible(), type != 0);
    QCOMPARE(m_pane->zoomRampIcon()->isVisible(), type != 0);
    // The buttons show the camera's own auto-zoom state.
    QVERIFY(m_pane->zoomWideButton()->isChecked());
    QVERIFY(!m_pane->zoomTeleButton()->isChecked());
    // A read-back sends nothing: no position from the range change or the value.
    QCOMPARE(moved.count(), 0);
    QList<QByteArray> packets;

    QVERIFY(flushQueue(&packets));

    QCOMPARE(joined(packets), joined({ "81 09 04 06 FF", INQUIRY }));

    // The next sync from the cache asks the camera nothing.
    m_sim->clearReceived();
    m_camera->setZoomingState(AutoZoom::ZoomingTele);
    m_pane->uiSync(true);
    QCOMPARE(joined(m_sim->received()), QString());
    QVERIFY(!m_pane->zoomWideButton()->isChecked());
    QVERIFY(m_pane->zoomTeleButton()->isChecked());
}

void TestPaneBase::modeMenu_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("modeCommand");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("maximum");

    QTest::newRow("super") << "Zoom Super (20x)"
                           << "81 01 04 06 04 FF" << 1 << 22976;
    QTest::newRow("digital") << "Zoom Optical+Digital (144x)"
                             << "81 01 04 06 02 FF" << 2 << 31424;
    QTest::newRow("optical") << "Zoom Optical (12x)"
                             << "81 01 04 06 03 FF" << 0 << 16384;
}

void TestPaneBase::modeMenu()
{
    QFETCH(QString, item);
    QFETCH(QString, modeCommand);
    QFETCH(int, type);
    QFETCH(int, maximum);

    // The slider's kind (optical) is the checked mode; the stabilizer is off.
    m_sim->setWord(hexBytes("04 47"), 9000);
    quvtest::Shown menu;
    QVERIFY(runMenu([this] { requestMenu(m_pane->zoomSlider()); }, item, &menu));
    QCOMPARE(menu.items,
        QStringList(
            { "*Zoom Optical (12x)", "Zoom Super (20x)", "Zoom Optical+Digital (144x)", "", "Image Stabilizer" }));
    // The mode, then a fresh position; the range follows at once.
    QCOMPARE(joined(m_sim->received()), joined({ "81 09 04 34 FF", qPrintable(modeCommand), INQUIRY }));
    QCOMPARE(int(m_pane->zoomSlider()->sliderType()), type);
    QCOMPARE(m_pane->zoomSlider()->maximum(), maximum);
    QCOMPARE(m_pane->zoomSlider()->value(), 9000);
    QCOMPARE(m_pane->zoomTeleLabel()->isVisible(), type == 0);
    QCOMPARE(m_pane->zoomDigitalLabel()->isVisible(), type != 0);
    QCOMPARE(m_pane->zoomRampIcon()->isVisible(), type != 0);
}

void TestPaneBase::modeMenuRangeChangeSendsNoPosition()
{
    // The slider sits far up the digital range; optical cuts its range to 0..16384.
    m_sim->setValue(hexBytes("04 06"), hexBytes("02"));
    m_sim->setWord(hexBytes("04 47"), 30000);
    m_pane->uiSync(false);
    QCOMPARE(m_pane->zoomSlider()->value(), 30000);
    m_sim->clearReceived();
    QSignalSpy moved(m_pane->zoomSlider(), &QSlider::valueChanged);

    QVERIFY(runMenu([this] { requestMenu(m_pane->zoomWideButton()); }, QStringLiteral("Zoom Optical (12x)")));
    QCOMPARE(m_pane->zoomSlider()->sliderType(), SegSliderOpticalZoom);
    QCOMPARE(m_pane->zoomSlider()->value(), 16384);
    QCOMPARE(moved.count(), 0);
    // Nothing was queued either: a read queued now comes straight after the menu's packets.
    QList<QByteArray> packets;

    QVERIFY(flushQueue(&packets));

    QCOMPARE(joined(packets), joined({ "81 09 04 34 FF", "81 01 04 06 03 FF", INQUIRY }));
}

void TestPaneBase::stabilizerMenu()
{
    // Off on the camera: the item is unchecked and switches it on ...
    const QString item = QStringLiteral("Image Stabilizer");
    quvtest::Shown menu;
    QVERIFY(runMenu([this] { requestMenu(m_pane->zoomSlider()); }, item, &menu));
    QCOMPARE(menu.items.last(), item);
    QCOMPARE(joined(m_sim->received()), joined({ "81 09 04 34 FF", "81 01 04 34 02 FF" }));

    // ... and on, it is checked and switches it off (the value sent is in the cache now).
    m_sim->clearReceived();
    QVERIFY(runMenu([this] { requestMenu(m_pane->zoomTeleButton()); }, item, &menu));
    QCOMPARE(menu.items.last(), "*" + item);
    QCOMPARE(joined(m_sim->received()), joined({ "81 01 04 34 03 FF" }));

    // Dismissed: nothing is sent.
    m_sim->clearReceived();
    QVERIFY(runMenu([this] { requestMenu(m_pane->zoomTeleButton()); }, QString()));
    QCOMPARE(joined(m_sim->received()), QString());
}

void TestPaneBase::menuWithoutWidgetSender()
{
    // Called directly (no widget asked for it), the menu opens at the pane.
    quvtest::Shown menu;
    QVERIFY(runMenu([this] { m_pane->slot_zoomContextMenu(QPoint(40, 30)); }, QString(), &menu));
    QCOMPARE(menu.pos, m_pane->mapToGlobal(QPoint(30, 20)));
    QVERIFY(runMenu([this] { m_pane->slot_zoomContextMenu(QPoint(40, 30)); }, QStringLiteral("Zoom Super (20x)")));
    QCOMPARE(m_pane->zoomSlider()->sliderType(), SegSliderSuperZoom);

    // Raised by an object that is not a widget: the same.
    PointSource source;
    QVERIFY(
        QObject::connect(&source, SIGNAL(request(const QPoint&)), m_pane, SLOT(slot_zoomContextMenu(const QPoint&))));
    QVERIFY(runMenu([&] { emit source.request(QPoint(5, 5)); }, QString()));
}

bool TestPaneBase::step(
    const std::function<void()>& action, const char* packets, int state, const char* checked, int jog)
{
    m_sim->clearReceived();
    action();
    QStringList expected;
    for (QString token : QString::fromLatin1(packets).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        token = token.trimmed();
        expected << (token == "Q"   ? INQUIRY
                : token == "S"      ? STOP
                : token.size() == 2 ? "81 01 04 07 " + token + " FF"
                                    : token);
    }
    QUV_COMPARE_OR_FALSE(joined(m_sim->received()), expected.join(QLatin1String(" | ")));
    QUV_COMPARE_OR_FALSE(m_camera->zoomingState(), state);
    QUV_COMPARE_OR_FALSE(m_pane->zoomJog()->zoomingState(), state);
    const QString shown = QLatin1String(m_pane->zoomWideButton()->isChecked() ? "W" : "")
        + QLatin1String(m_pane->zoomTeleButton()->isChecked() ? "T" : "");
    QUV_COMPARE_OR_FALSE(shown, QString::fromLatin1(checked));
    if (jog >= 0)
        QUV_COMPARE_OR_FALSE(m_pane->zoomJog()->value(), jog);
    return true;
}

void TestPaneBase::startStopReverse()
{
    QPushButton* tele = m_pane->zoomTeleButton();
    QPushButton* wide = m_pane->zoomWideButton();
    const auto speed = [this](int value) { m_camera->setZoomSpeed(value); };
    // From stopped: the position, the start at the stored speed, and the jog's echo at its own speed.
    QVERIFY(step([&] { speed(2), tele->click(); }, "Q | 22 | Q | 20", AutoZoom::ZoomingTele, "T"));
    // The other button reverses: stop (with its echo), then start (with its echo); the stop's echo set the jog's speed.
    QVERIFY(step([&] { speed(5), wide->click(); }, "S | Q | S | 35 | Q | 35", AutoZoom::ZoomingWide, "W", 5));
    // The checked button again stops: the echo's stop and read, then its own.
    QVERIFY(step([&] { speed(1), wide->click(); }, "S | Q | S | Q", AutoZoom::Stopped, "", 1));
    // The main window's keys: idle starts, the same direction stops, the other reverses.
    QVERIFY(step([&] { m_pane->zoomToggleTele(); }, "Q | 21 | Q | 21", AutoZoom::ZoomingTele, "T"));
    QVERIFY(step([&] { m_pane->zoomToggleWide(); }, "S | Q | S | 31 | Q | 31", AutoZoom::ZoomingWide, "W"));
    // A new speed goes to a zooming camera at once, in its direction; a stopped one only stores it.
    QVERIFY(step([&] { m_pane->slot_zoomSpeed(6); }, "36", AutoZoom::ZoomingWide, "W"));
    QCOMPARE(m_camera->zoomSpeed(), 6);
    QVERIFY(step([&] { m_pane->zoomToggleWide(); }, "S | Q | S | Q", AutoZoom::Stopped, ""));
    QVERIFY(step([&] { m_pane->slot_zoomSpeed(4); }, "", AutoZoom::Stopped, ""));
    QCOMPARE(m_camera->zoomSpeed(), 4);
    // autoZoomStop stops and unchecks; when stopped it does nothing.
    QVERIFY(step([&] { tele->click(); }, "Q | 24 | Q | 26", AutoZoom::ZoomingTele, "T"));
    QVERIFY(step([&] { m_pane->autoZoomStop(); }, "S | Q | S", AutoZoom::Stopped, ""));
    QVERIFY(step([&] { m_pane->autoZoomStop(); }, "", AutoZoom::Stopped, ""));
}

void TestPaneBase::sliderDragWhileZooming()
{
    m_pane->zoomTeleButton()->click();
    m_sim->setWord(hexBytes("04 47"), 3000);
    // The drag stops the zoom (twice: the stop and its echo) and queues the position.
    bool written = false;
    QVERIFY(step(
        [&] {
            m_pane->zoomSlider()->setValue(5000);
            written = m_sim->waitForPacket(hexBytes("81 01 04 47 01 03 08 08 FF"));
        },
        "S | Q | S | 81 01 04 47 01 03 08 08 FF", AutoZoom::Stopped, ""));
    QVERIFY(written);
    // The drag ended the echo's re-read window: later ticks read nothing.
    QCOMPARE(m_pane->zoomRereadDeadline_ms(), uint64_t(0));
    m_sim->clearReceived();
    for (int tick = 0; tick < 5; ++tick) {
        quvtest::clock_ms += 100;
        m_pane->uiTimerUpdate();
    }
    QCOMPARE(joined(m_sim->received()), QString());

    // A drag while stopped only queues the position; a newer one may replace a waiting one.
    m_pane->zoomSlider()->setValue(6000);
    m_pane->zoomSlider()->setValue(7000);
    QList<QByteArray> packets;
    QVERIFY(flushQueue(&packets));
    QVERIFY(!packets.contains(hexBytes(STOP)));
    QCOMPARE(packets.last(), hexBytes("81 01 04 47 01 0B 05 08 FF"));
    QCOMPARE(m_sim->word(hexBytes("04 47")), uint16_t(7000));
}

void TestPaneBase::jogAndJoystick()
{
    JogController* jog = m_pane->zoomJog();
    // A click on the fourth right arrow: tele at speed 3, no echo (the jog set its own state).
    const QPoint arrow(jog->xPosForZoomInValue(3) + 8, 13);
    QVERIFY(step(
        [&] {
            mouse(jog, QEvent::MouseButtonPress, arrow);
            mouse(jog, QEvent::MouseButtonRelease, arrow);
        },
        "Q | 23", AutoZoom::ZoomingTele, "T", 3));
    // Held for 300 ms on a left arrow: wide while held, stopped on the release.
    const QPoint left(jog->xPosForZoomOutValue(1) + 8, 13);
    QVERIFY(step([&] { mouse(jog, QEvent::MouseButtonPress, left); }, "Q | 31", AutoZoom::ZoomingWide, "W", 1));
    quvtest::clock_ms += 300;
    QVERIFY(step([&] { mouse(jog, QEvent::MouseButtonRelease, left); }, "S | Q", AutoZoom::Stopped, "", 0));
    QCOMPARE(m_pane->zoomRereadDeadline_ms(), quvtest::clock_ms + 600);

    // The joystick: 0.4 is speed 3 toward tele, 0.45 the same (nothing sent); releasing the axis stops.
    QVERIFY(step([&] { m_pane->slot_zoomVector(0.4, true); }, "Q | 23 | Q | 23", AutoZoom::ZoomingTele, "T", 3));
    QVERIFY(step([&] { m_pane->slot_zoomVector(0.45, true); }, "", AutoZoom::ZoomingTele, "T", 3));
    QVERIFY(step([&] { m_pane->slot_zoomVector(0.45, false); }, "S | Q | S | Q", AutoZoom::Stopped, ""));
    // Full deflection toward wide is speed 7; 0 while held is tele at speed 0.
    QVERIFY(step([&] { m_pane->slot_zoomVector(-1.0, true); }, "Q | 37 | Q | 37", AutoZoom::ZoomingWide, "W", 7));
    QVERIFY(step([&] { m_pane->slot_zoomVector(0.0, true); }, "Q | 20 | Q | 20", AutoZoom::ZoomingTele, "T"));
    // The memory is shared by every pane: another pane sees the same last vector.
    std::unique_ptr<ZoomPane> other(makePane(2));
    QVERIFY(step([&] { other->slot_zoomVector(0.0, true); }, "", AutoZoom::ZoomingTele, "T"));
    // A reading beyond full deflection asks for full speed, not more (1.2 would
    // be speed 9, which the line would carry as 1; -2.5 speed 19, carried as 3).
    QVERIFY(step([&] { m_pane->slot_zoomVector(1.2, true); }, "Q | 27", AutoZoom::ZoomingTele, "T", 7));
    QVERIFY(step([&] { m_pane->slot_zoomVector(-2.5, true); }, "Q | 37 | Q | 37", AutoZoom::ZoomingWide, "W", 7));
    QVERIFY(step([&] { m_pane->slot_zoomVector(0.0, false); }, "S | Q | S | Q", AutoZoom::Stopped, ""));
}

void TestPaneBase::tickStopsAtTheSlidersEnd_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("stops");

    QTest::newRow("tele at the optical end") << "03" << 2 << 16384 << true;
    QTest::newRow("tele short of it") << "03" << 2 << 16383 << false;
    QTest::newRow("tele beyond the slider's end") << "03" << 2 << 20000 << false;
    QTest::newRow("tele at the digital end") << "02" << 2 << 31424 << true;
    QTest::newRow("wide at 0") << "03" << 1 << 0 << true;
}

void TestPaneBase::tickStopsAtTheSlidersEnd()
{
    QFETCH(QString, mode);
    QFETCH(int, direction);
    QFETCH(int, position);
    QFETCH(bool, stops);

    m_sim->setValue(hexBytes("04 06"), hexBytes(qPrintable(mode)));
    m_sim->setWord(hexBytes("04 47"), 8000);
    m_pane->uiSync(false);
    QPushButton* button = direction == 2 ? m_pane->zoomTeleButton() : m_pane->zoomWideButton();
    button->click();
    QCOMPARE(m_camera->zoomingState(), direction);
    m_sim->setWord(hexBytes("04 47"), uint16_t(position));
    m_sim->clearReceived();

    quvtest::clock_ms += 100;
    m_pane->uiTimerUpdate();
    if (stops) {
        // The end-stop: the button's own stop path with the jog's echo.
        QCOMPARE(joined(m_sim->received()), joined({ INQUIRY, STOP, INQUIRY, STOP, INQUIRY }));
        QCOMPARE(m_camera->zoomingState(), AutoZoom::Stopped);
        QVERIFY(!button->isChecked());
        QCOMPARE(m_pane->zoomJog()->zoomingState(), AutoZoom::Stopped);
    } else {
        // Only the position, on every tick while the zoom runs.
        QCOMPARE(joined(m_sim->received()), joined({ INQUIRY }));
        QCOMPARE(m_camera->zoomingState(), direction);
        QVERIFY(button->isChecked());
        quvtest::clock_ms += 100000;
        m_pane->uiTimerUpdate();
        QCOMPARE(joined(m_sim->received()), joined({ INQUIRY, INQUIRY }));
    }
}

void TestPaneBase::rereadWindows()
{
    // How many of the next ticks, 100 ms apart, read the position; -1 when
    // the slider did not follow a read.
    const auto reads = [this](int ticks) {
        int read = 0;
        bool followed = true;
        for (int tick = 1; tick <= ticks; ++tick) {
            quvtest::clock_ms += 100;
            m_sim->setWord(hexBytes("04 47"), uint16_t(tick));
            m_sim->clearReceived();
            m_pane->uiTimerUpdate();
            if (joined(m_sim->received()) == joined({ INQUIRY })) {
                ++read;
                followed = followed && m_pane->zoomSlider()->value() == tick;
            }
        }
        return followed ? read : -1;
    };
    // After a sync, a read on each tick until 2400 ms, none from then on.
    m_pane->uiSync(true);
    QCOMPARE(m_pane->zoomRereadDeadline_ms(), quvtest::clock_ms + 2400);
    QCOMPARE(reads(30), 23);
    // After a stop, 600 ms; a stop raised by the joystick or the main window opens the same window.
    m_pane->zoomTeleButton()->click();
    m_pane->zoomTeleButton()->click();
    QCOMPARE(m_pane->zoomRereadDeadline_ms(), quvtest::clock_ms + 600);
    QCOMPARE(reads(15), 5);
    m_pane->slot_zoomState(4, AutoZoom::ZoomingWide);
    m_pane->slot_zoomState(0, AutoZoom::Stopped);
    QCOMPARE(m_pane->zoomRereadDeadline_ms(), quvtest::clock_ms + 600);
    // The last millisecond of the window still reads.
    quvtest::clock_ms += 599;
    m_sim->clearReceived();
    m_pane->uiTimerUpdate();
    QCOMPARE(joined(m_sim->received()), joined({ INQUIRY }));
}

void TestPaneBase::offlineCameraSendsNothing()
{
    // A camera set without cameras answers with its placeholder.
    QObject owner;
    DeviceSet* empty = new DeviceSet(&owner);
    DeviceInterface* placeholder = empty->get();
    QVERIFY(!placeholder->deviceOnline());
    ZoomPane pane(empty, 1);
    pane.uiSetup();
    pane.show();

    // Failed reads leave the presets: optical, mid range, both buttons off.
    pane.zoomSlider()->setValue(100);
    placeholder->setZoomingState(AutoZoom::Stopped);
    m_sim->clearReceived();
    pane.uiSync(true);
    QCOMPARE(pane.zoomSlider()->sliderType(), SegSliderOpticalZoom);
    QCOMPARE(pane.zoomSlider()->value(), 8192);
    QVERIFY(!pane.zoomWideButton()->isChecked());
    QVERIFY(!pane.zoomTeleButton()->isChecked());
    QVERIFY(pane.zoomTeleLabel()->isVisible());

    // Writes are dropped, but the placeholder keeps its auto-zoom state.
    pane.zoomTeleButton()->click();
    QCOMPARE(placeholder->zoomingState(), AutoZoom::ZoomingTele);
    QVERIFY(pane.zoomTeleButton()->isChecked());
    quvtest::clock_ms += 100;
    pane.uiTimerUpdate();
    pane.zoomSlider()->setValue(3000);
    QCOMPARE(placeholder->zoomingState(), AutoZoom::Stopped);
    pane.slot_zoomVector(0.5, true);
    pane.slot_zoomVector(0.5, false);
    QVERIFY(runMenu([&] { requestMenu(pane.zoomSlider()); }, QStringLiteral("Zoom Super (20x)")));
    QCOMPARE(pane.zoomSlider()->sliderType(), SegSliderSuperZoom);
    QCOMPARE(pane.zoomSlider()->value(), 8192);

    // Nothing reached the real camera either.
    QList<QByteArray> packets;

    QVERIFY(flushQueue(&packets));

    QCOMPARE(joined(packets), QString());
    delete empty;
}

QUV_TEST_MAIN_WITH(TestPaneBase, PanesApplication)
#include "test_panebase.moc"
