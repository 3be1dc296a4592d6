// The zoom jog: hit zones across the whole width, the 250 ms click-or-hold
// rule (on a stepped test clock), the setters and the lit arrows.

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>

#include "panes/jogcontroller.h"
#include "panes/paneclock.h"
#include "panesapplication.h"
#include "quvtest.h"

namespace {

uint64_t s_now_ms = 1000000;

uint64_t testClock()
{
    return s_now_ms;
}

void mouse(QWidget* widget, QEvent::Type type, const QPoint& pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

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

// Whether the image's pixels inside rect show the given arrow picture.
bool shows(const QImage& image, const QPoint& origin, const QImage& arrow)
{
    // Compare the arrow's fully opaque pixels only: neighbours overlap its edges.
    int compared = 0;
    for (int y = 0; y < arrow.height(); ++y) {
        for (int x = 4; x < arrow.width() - 4; ++x) {
            const QRgb expected = arrow.pixel(x, y);
            if (qAlpha(expected) != 255)
                continue;
            ++compared;
            if ((image.pixel(origin + QPoint(x, y)) & 0xFFFFFF) != (expected & 0xFFFFFF))
                return false;
        }
    }
    return compared > 0;
}

} // namespace

class TestJogController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void arrowPositions();
    void hitZones_data();
    void hitZones();
    void clickLatches();
    void holdActsWhileHeld();
    void holdReleasedInTheCentreStillEmits();
    void dragFollowsThePointer();
    void setters();
    void litArrows_data();
    void litArrows();

private:
    JogController* makeJog(QWidget* parent = nullptr);
};

void TestJogController::initTestCase()
{
    paneclock::setSourceForTesting(testClock);
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

void TestJogController::arrowPositions()
{
    std::unique_ptr<JogController> jog(makeJog());
    // c = 182, arrows 17 wide and 13 apart.
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(jog->xPosForZoomOutValue(i), 152 - 13 * i);
        QCOMPARE(jog->xPosForZoomInValue(i), 193 + 13 * i);
    }
}

void TestJogController::hitZones_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("state");

    // Every pixel of the strip, grouped by the answer it must give.
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
        for (int x = zone.from; x <= zone.to; ++x)
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
    s_now_ms += 200;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(260));
    QCOMPARE(emissions(spy), QList<Emission>({ { 4, 2 } }));
    QCOMPARE(jog->value(), 4);
    QCOMPARE(jog->zoomingState(), 2);

    // A click released on another arrow latches that one.
    spy.clear();
    mouse(jog.get(), QEvent::MouseButtonPress, at(100));
    s_now_ms += 249;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(20));
    QCOMPARE(emissions(spy), QList<Emission>({ { 5, 1 }, { 7, 1 } }));

    // A click on the centre stops.
    spy.clear();
    mouse(jog.get(), QEvent::MouseButtonPress, at(182));
    s_now_ms += 10;
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
    s_now_ms += 250;
    mouse(jog.get(), QEvent::MouseButtonRelease, at(300));
    QCOMPARE(emissions(spy), QList<Emission>({ { 7, 2 }, { 0, 0 } }));
    QCOMPARE(jog->value(), 0);
    QCOMPARE(jog->zoomingState(), 0);
}

void TestJogController::holdReleasedInTheCentreStillEmits()
{
    std::unique_ptr<JogController> jog(makeJog());
    QSignalSpy spy(jog.get(), &JogController::jogStateChanged);

    // The drag into the centre already stopped; the release after 300 ms
    // reports the stop once more.
    mouse(jog.get(), QEvent::MouseButtonPress, at(100));
    s_now_ms += 150;
    mouse(jog.get(), QEvent::MouseMove, at(182));
    s_now_ms += 150;
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

void TestJogController::litArrows_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("value");

    QTest::newRow("stopped") << 0 << 3;
    QTest::newRow("wide at 0") << 1 << 0;
    QTest::newRow("wide at 7") << 1 << 7;
    QTest::newRow("tele at 3") << 2 << 3;
}

void TestJogController::litArrows()
{
    QFETCH(int, state);
    QFETCH(int, value);

    std::unique_ptr<JogController> jog(makeJog());
    jog->setValue(value);
    jog->setZoomingState(state);
    const QImage image = jog->grab().toImage();

    const QImage leftOn(QStringLiteral(":/media/zoom_arrow_left_on.png"));
    const QImage leftOff(QStringLiteral(":/media/zoom_arrow_left_off.png"));
    const QImage rightOn(QStringLiteral(":/media/zoom_arrow_right_on.png"));
    const QImage rightOff(QStringLiteral(":/media/zoom_arrow_right_off.png"));
    const QImage iconOn(QStringLiteral(":/media/zoom_arrow_icon_on.png"));
    const QImage iconOff(QStringLiteral(":/media/zoom_arrow_icon_off.png"));

    // The arrows of the running direction are lit up to the speed, all others not.
    for (int i = 0; i < 8; ++i) {
        const bool rightLit = state == 2 && i <= value;
        const bool leftLit = state == 1 && i <= value;
        QVERIFY2(shows(image, QPoint(jog->xPosForZoomInValue(i), 5), rightLit ? rightOn : rightOff),
            qPrintable(QStringLiteral("right arrow %1").arg(i)));
        QVERIFY2(shows(image, QPoint(jog->xPosForZoomOutValue(i), 5), leftLit ? leftOn : leftOff),
            qPrintable(QStringLiteral("left arrow %1").arg(i)));
    }
    // The centre is lit while zooming.
    const QImage& icon = state != 0 ? iconOn : iconOff;
    const QPoint centre((364 - 27) / 2 + 13, 13);
    QCOMPARE(image.pixel(centre) & 0xFFFFFF, icon.pixel(13, 13) & 0xFFFFFF);
}

QUV_TEST_MAIN_WITH(TestJogController, PanesApplication)
#include "test_jogcontroller.moc"
