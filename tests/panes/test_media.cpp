// The application's compiled-in images: every one the panes name is there
// after media::initResources(), at its stated size, and those that overlap
// their neighbours or sit on other controls keep real transparency.

#include <QGuiApplication>
#include <QImage>

#include "media/mediaresources.h"
#include "quvtest.h"

class TestMedia : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void images_data();
    void images();
    void arrowsTile();
};

void TestMedia::initTestCase()
{
    media::initResources();
    // A second call is harmless.
    media::initResources();
}

void TestMedia::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    // Whether the corners are fully transparent (shapes that are not rectangles).
    QTest::addColumn<bool>("clearCorners");

    const QSize groove(439, 17);
    for (const char* name : { "slider_horiz_on_25", "slider_horiz_off_25", "slider_horiz_disabled_25",
             "slider_horiz_zoomdig_on_25", "slider_horiz_zoomdig_off_25", "slider_horiz_zoomsuper_on_25",
             "slider_horiz_zoomsuper_off_25", "slider_horiz_apertdig_on_25", "slider_horiz_apertdig_off_25" })
        QTest::newRow(name) << QStringLiteral(":/media/%1.png").arg(QLatin1String(name)) << groove << true;
    for (const char* name : { "fader_on_25", "fader_on_press_25", "fader_disabled_25" })
        QTest::newRow(name) << QStringLiteral(":/media/%1.png").arg(QLatin1String(name)) << QSize(47, 33) << true;
    for (const char* name : { "slider_mini_on", "slider_mini_off", "slider_mini_disabled" })
        QTest::newRow(name) << QStringLiteral(":/media/%1.png").arg(QLatin1String(name)) << QSize(264, 13) << true;
    for (const char* name : { "fader_mini_on", "fader_mini_on_press", "fader_mini_disabled" })
        QTest::newRow(name) << QStringLiteral(":/media/%1.png").arg(QLatin1String(name)) << QSize(12, 19) << true;
    for (const char* name : { "zoom_arrow_icon_off", "zoom_arrow_icon_on" })
        QTest::newRow(name) << QStringLiteral(":/media/%1.png").arg(QLatin1String(name)) << QSize(27, 27) << true;
    for (const char* name :
        { "zoom_arrow_left_off", "zoom_arrow_left_on", "zoom_arrow_right_off", "zoom_arrow_right_on" })
        QTest::newRow(name) << QStringLiteral(":/media/%1.png").arg(QLatin1String(name)) << QSize(17, 17) << true;
    for (const char* stem : { "zoom_wide_icon", "zoom_tele_icon" }) {
        for (const char* state : { "", "_press", "_hover" }) {
            const QString name = QLatin1String(stem) + QLatin1String(state);
            QTest::newRow(qPrintable(name)) << QStringLiteral(":/media/%1.png").arg(name) << QSize(60, 60) << true;
            QTest::newRow(qPrintable(name + QLatin1String("_sm")))
                << QStringLiteral(":/media/%1_sm.png").arg(name) << QSize(48, 48) << true;
        }
    }
    QTest::newRow("digital_ramp_icon") << QStringLiteral(":/media/digital_ramp_icon.png") << QSize(35, 10) << false;
}

void TestMedia::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(bool, clearCorners);

    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    // Something is drawn ...
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255)
                ++opaque;
        }
    }
    QVERIFY(opaque > 0);
    // ... and the corners of rounded shapes are see-through.
    if (clearCorners) {
        for (const QPoint& corner : { QPoint(0, 0), QPoint(size.width() - 1, 0), QPoint(0, size.height() - 1),
                 QPoint(size.width() - 1, size.height() - 1) })
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
    }
}

void TestMedia::arrowsTile()
{
    // Jog arrows sit 13 pixels apart and overlap by 4: the overlapping
    // columns must be transparent where the neighbour draws.
    for (const char* name : { "zoom_arrow_left_off", "zoom_arrow_right_on" }) {
        const QImage image(QStringLiteral(":/media/%1.png").arg(QLatin1String(name)));
        QVERIFY(!image.isNull());
        int transparent = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) == 0)
                    ++transparent;
            }
        }
        // Most of the square is clear around the chevron.
        QVERIFY2(transparent > image.width() * image.height() / 2, name);
        // The outermost column is clear, so neighbours do not cut each other.
        for (int y = 0; y < image.height(); ++y) {
            QCOMPARE(qAlpha(image.pixel(0, y)), 0);
            QCOMPARE(qAlpha(image.pixel(image.width() - 1, y)), 0);
        }
    }
}

QUV_TEST_MAIN_WITH(TestMedia, QGuiApplication)
#include "test_media.moc"
