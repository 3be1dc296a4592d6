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
};

void TestMedia::initTestCase()
{
    media::initResources();
    // A second call is harmless.
    media::initResources();
}

void TestMedia::images_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    // Rounded shapes and overlapping pictures are clear in their corners; the
    // jog arrows sit 13 pixels apart and overlap by 4, so their outermost columns are clear too.
    QTest::addColumn<bool>("clearCorners");
    QTest::addColumn<bool>("clearSides");

    const auto rows
        = [](std::initializer_list<const char*> names, QSize size, bool corners = true, bool sides = false) {
              for (const char* name : names)
                  QTest::newRow(name) << QString::fromLatin1(name) << size << corners << sides;
          };
    rows({ "slider_horiz_on_25", "slider_horiz_off_25", "slider_horiz_disabled_25", "slider_horiz_zoomdig_on_25",
             "slider_horiz_zoomdig_off_25", "slider_horiz_zoomsuper_on_25", "slider_horiz_zoomsuper_off_25",
             "slider_horiz_apertdig_on_25", "slider_horiz_apertdig_off_25" },
        QSize(439, 17));
    rows({ "fader_on_25", "fader_on_press_25", "fader_disabled_25" }, QSize(47, 33));
    rows({ "slider_mini_on", "slider_mini_off", "slider_mini_disabled" }, QSize(264, 13));
    rows({ "fader_mini_on", "fader_mini_on_press", "fader_mini_disabled" }, QSize(12, 19));
    rows({ "zoom_arrow_icon_off", "zoom_arrow_icon_on" }, QSize(27, 27));
    rows({ "zoom_arrow_left_off", "zoom_arrow_left_on", "zoom_arrow_right_off", "zoom_arrow_right_on" }, QSize(17, 17),
        true, true);
    rows({ "zoom_wide_icon", "zoom_wide_icon_press", "zoom_wide_icon_hover", "zoom_tele_icon", "zoom_tele_icon_press",
             "zoom_tele_icon_hover" },
        QSize(60, 60));
    rows({ "zoom_wide_icon_sm", "zoom_wide_icon_press_sm", "zoom_wide_icon_hover_sm", "zoom_tele_icon_sm",
             "zoom_tele_icon_press_sm", "zoom_tele_icon_hover_sm" },
        QSize(48, 48));
    rows({ "digital_ramp_icon" }, QSize(35, 10), false);
    rows({ "aperature_icon", "gain_icon", "focus_icon_off" }, QSize(60, 60));
    rows({ "shutter_speed_icon" }, QSize(144, 24));
    rows({ "focus_infinity_icon" }, QSize(21, 12));
    rows({ "auto_off", "auto_on" }, QSize(65, 25));
    rows({ "apert_a_off", "apert_a_on", "apert_a_press", "apert_s_off", "apert_s_on", "apert_s_press", "apert_m_off",
             "apert_m_on", "apert_m_press", "apert_b_off", "apert_b_on", "apert_b_press" },
        QSize(29, 18));
}

void TestMedia::images()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(bool, clearCorners);
    QFETCH(bool, clearSides);

    const QString path = QStringLiteral(":/media/%1.png").arg(name);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    int opaque = 0;
    int clear = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
            clear += qAlpha(image.pixel(x, y)) == 0 ? 1 : 0;
        }
        if (clearSides) {
            QCOMPARE(qAlpha(image.pixel(0, y)), 0);
            QCOMPARE(qAlpha(image.pixel(image.width() - 1, y)), 0);
        }
    }
    QVERIFY(opaque > 0);
    // Most of an arrow's square is clear around the chevron.
    if (clearSides)
        QVERIFY(clear > image.width() * image.height() / 2);
    if (clearCorners) {
        for (const QPoint& corner : { QPoint(0, 0), QPoint(size.width() - 1, 0), QPoint(0, size.height() - 1),
                 QPoint(size.width() - 1, size.height() - 1) })
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
    }
}

QUV_TEST_MAIN_WITH(TestMedia, QGuiApplication)
#include "test_media.moc"
