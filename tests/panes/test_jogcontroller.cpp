// The zoom jog: hit zones across the width, the 250 ms click-or-hold rule (on
// a stepped test clock) and the setters. The screenshot test looks at the lit arrows.

#include <QSignalSpy>

#include "mouseevents.h"
#include "panes/jogcontroller.h"
#include "panes/paneclock.h"
#include "panesapplication.h"
#include "quvtest.h"
#include "steppedclock.h"

namespace {

using quvtest::mouse;

QPoint at(int x)
{
    return QPoint(x, 13);
}

using Emission = QPair<int, int>;

QList<Emission> emissions(const QSignalSpy& spy)
{
    QList<Emission> list;
    for (const QList<QVariant>& args : spy)
        list.append({ args.at(0).toInt(), args.at(1).toInt() });
    return list;
}

} // namespace

class TestJogController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void hitZones_data();
    void hitZones();
    void clickLatches();
    void holdActsWhileHeld();
    void dragFollowsThePointer();
    void setters();
    void paintedArrows_data();
    void paintedArrows();

private:
    JogController* makeJog(QWidget* parent = nullptr);
};

void TestJogController::initTestCase()
{
    paneclock::setSourceForTesting(quvtest::steppedClock);
}

void TestJogController::cleanupTestCase()
{
    paneclock::setSourceForTesting(nullptr);
}

JogController* TestJogController::makeJog(QWidget* parent)
{
    auto* jog = new JogController(parent);
    jog->resize(364, 27);
    return jog;
}

void TestJogController::hitZones_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("state");

    // The strip's zones by the answer they must give, sampled at both edges and the middle.
    struct Zone
    {
        int from, to, value, state;
    };
    const Zone zones[] = {
        { 0, 74, 7, 1 }, // beyond the seventh left arrow
        { 75, 87, 6, 1 }, { 88, 100, 5, 1 }, { 101, 113, 4, 1 }, { 114, 126, 3, 1 }, { 127, 139, 2, 1 },
        { 140, 152, 1, 1 }, { 153, 169, 0, 1 }, { 170, 194, 0, 0 }, // the centre stops
        { 195, 209, 0, 2 }, { 210, 222, 1, 2 }, { 223, 235, 2, 2 }, { 236, 248, 3, 2 }, { 249, 261, 4, 2 },
        { 262, 274, 5, 2 }, { 275, 287, 6, 2 }, { 288, 363, 7, 2 }, // beyond the seventh right arrow
    };
    for (const Zone& zone : zones) {
        for (int x : { zone.from, (zone.from + zone.to) / 2, zone.to })
            QTest::addRow("x=%d", x) << x << zone.value << zone.state;
    }
}

void TestJogController::hitZones()
{
    QFETCH(int, x);
    QFETCH(int, value);
    QFETCH(int, state);

    std::unique_ptr<JogController> jog(makeJog());
    eAutoZoomState s = -1;
    QCOMPARE(jog->valueAtPoint(at(x), s), value);
    QCOMPARE(s, state);
}

void TestJogController::clickLatches()
{
    std::unique_ptr<JogController> jog(makeJog());
    QSignalSpy spy(jog.get(), &JogController::jogStateChanged);

    // Press and release on the same arrow within 200 ms: one report on the
    // press, none on the release; the choice stays.
    mouse(jog.get(), QEvent::MouseButtonPress, at(260));
    quvtest::clock_ms += 200;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(260));
    QCOMPARE(emissions(spy), QList<Emission>({ { 4, 2 } }));
    QCOMPARE(jog->value(), 4);
    QCOMPARE(jog->zoomingState(), 2);

    // A click released on another arrow latches that one.
    spy.clear();
    mouse(jog.get(), QEvent::MouseButtonPress, at(100));
    quvtest::clock_ms += 249;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(20));
    QCOMPARE(emissions(spy), QList<Emission>({ { 5, 1 }, { 7, 1 } }));

    // A click on the centre stops.
    spy.clear();
    mouse(jog.get(), QEvent::MouseButtonPress, at(182));
    quvtest::clock_ms += 10;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(182));
    QCOMPARE(emissions(spy), QList<Emission>({ { 0, 0 } }));
    QCOMPARE(jog->zoomingState(), 0);
}

void TestJogController::holdActsWhileHeld()
{
    std::unique_ptr<JogController> jog(makeJog());
    QSignalSpy spy(jog.get(), &JogController::jogStateChanged);

    // Held 250 ms or longer: the release stops, whatever it is over.
    mouse(jog.get(), QEvent::MouseButtonPress, at(300));
    quvtest::clock_ms += 250;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(300));
    QCOMPARE(emissions(spy), QList<Emission>({ { 7, 2 }, { 0, 0 } }));
    QCOMPARE(jog->value(), 0);
    QCOMPARE(jog->zoomingState(), 0);

    // A drag into the centre already stopped; the release after 300 ms reports the stop once more.
    spy.clear();
    mouse(jog.get(), QEvent::MouseButtonPress, at(100));
    quvtest::clock_ms += 150;
    mouse(jog.get(), QEvent::MouseMove, at(182));
    quvtest::clock_ms += 150;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(182));
    QCOMPARE(emissions(spy), QList<Emission>({ { 5, 1 }, { 0, 0 }, { 0, 0 } }));
}

void TestJogController::dragFollowsThePointer()
{
    std::unique_ptr<JogController> jog(makeJog());
    QSignalSpy spy(jog.get(), &JogController::jogStateChanged);

    mouse(jog.get(), QEvent::MouseButtonPress, at(200));
    mouse(jog.get(), QEvent::MouseMove, at(205)); // same arrow: nothing
    mouse(jog.get(), QEvent::MouseMove, at(215));
    mouse(jog.get(), QEvent::MouseMove, at(363));
    mouse(jog.get(), QEvent::MouseMove, at(150));
    QCOMPARE(emissions(spy), QList<Emission>({ { 0, 2 }, { 1, 2 }, { 7, 2 }, { 1, 1 } }));
    // A drag that ends quickly latches where it ends.
    mouse(jog.get(), QEvent::MouseButtonRelease, at(150));
    QCOMPARE(spy.count(), 4);
    QCOMPARE(jog->value(), 1);
    QCOMPARE(jog->zoomingState(), 1);
}

void TestJogController::setters()
{
    std::unique_ptr<JogController> jog(makeJog());
    QSignalSpy spy(jog.get(), &JogController::jogStateChanged);

    jog->setValue(12);
    QCOMPARE(jog->value(), 7);
    jog->setValue(7);
    jog->setValue(-3);
    QCOMPARE(jog->value(), 0);
    jog->setValue(0);
    jog->setZoomingState(2);
    jog->setZoomingState(2);
    jog->setValue(3);
    jog->setZoomingState(0);
    QCOMPARE(emissions(spy), QList<Emission>({ { 7, 0 }, { 0, 0 }, { 0, 2 }, { 3, 2 }, { 3, 0 } }));

    // Blocked signals: stored, not reported.
    spy.clear();
    {
        const QSignalBlocker blocker(jog.get());
        jog->setValue(5);
        jog->setZoomingState(1);
    }
    QCOMPARE(spy.count(), 0);
    QCOMPARE(jog->value(), 5);
    QCOMPARE(jog->zoomingState(), 1);
}

void TestJogController::paintedArrows_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("value");
    QTest::newRow("stopped") << 0 << 5;
    QTest::newRow("wide 3") << 1 << 3;
    QTest::newRow("tele 0") << 2 << 0;
    QTest::newRow("tele 7") << 2 << 7;
}

void TestJogController::paintedArrows()
{
    // The arrows from the centre up to the speed light up on the side the zoom runs to; the centre icon with them.
    QFETCH(int, state);
    QFETCH(int, value);
    std::unique_ptr<JogController> jog(makeJog());
    const QImage stopped = jog->grab().toImage();
    jog->setZoomingState(state);
    jog->setValue(value);
    const QImage image = jog->grab().toImage();
    // Lit: blue pixels in the arrow's square (17 px from y = 5).
    const auto lit = [&image](int x) {
        int blue = 0;
        for (int px = x; px < x + 17; ++px) {
            for (int py = 5; py < 22; ++py)
                blue += QColor(image.pixel(px, py)).blue() > QColor(image.pixel(px, py)).red() + 60;
        }
        return blue > 10;
    };
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(lit(jog->xPosForZoomInValue(i)), state == 2 && i <= value);
        QCOMPARE(lit(jog->xPosForZoomOutValue(i)), state == 1 && i <= value);
    }
    QCOMPARE(image.copy(170, 0, 24, 27) == stopped.copy(170, 0, 24, 27), state == 0);
}

QUV_TEST_MAIN_WITH(TestJogController, PanesApplication)
#include "test_jogcontroller.moc"
