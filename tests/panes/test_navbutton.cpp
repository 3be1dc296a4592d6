// The panes' buttons: the shaped nav button, whose clickable area is the
// opaque part of its image, and the two-state switch.

#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "mouseevents.h"
#include "panes/navbutton.h"
#include "panes/paneui.h"
#include "panesapplication.h"
#include "quvtest.h"

namespace {

void click(QWidget* widget, const QPoint& pos)
{
    quvtest::mouse(widget, QEvent::MouseButtonPress, pos);
    quvtest::mouse(widget, QEvent::MouseButtonRelease, pos);
}

} // namespace

class TestNavButton : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void transparentImage();
    void opaqueOrMissingImage();
    void switchInADialog();

private:
    QTemporaryDir m_dir;
    QString m_shaped;
    QString m_opaque;
};

void TestNavButton::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // 20 x 20, an opaque 10 x 10 square in the middle of a transparent border,
    // and a diamond's corner cut away to show that the area follows the shape.
    QImage shaped(20, 20, QImage::Format_ARGB32);
    shaped.fill(Qt::transparent);
    {
        QPainter painter(&shaped);
        painter.fillRect(5, 5, 10, 10, QColor(67, 149, 194));
    }
    shaped.setPixel(5, 5, qRgba(0, 0, 0, 0));
    m_shaped = m_dir.filePath(QStringLiteral("shaped.png"));
    QVERIFY(shaped.save(m_shaped));

    QImage opaque(20, 20, QImage::Format_RGB32);
    opaque.fill(QColor(67, 149, 194));
    m_opaque = m_dir.filePath(QStringLiteral("opaque.png"));
    QVERIFY(opaque.save(m_opaque));
}

void TestNavButton::transparentImage()
{
    QWidget window;
    auto* button = new NavButton(m_shaped, &window);
    QCOMPARE(button->maskSize(), QSize(20, 20));
    button->setGeometry(QRect(QPoint(10, 10), button->maskSize()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The area is exactly the opaque pixels.
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool opaque = x >= 5 && x < 15 && y >= 5 && y < 15 && !(x == 5 && y == 5);
            QVERIFY2(button->hitButton(QPoint(x, y)) == opaque, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }

    QSignalSpy clicks(button, &QAbstractButton::clicked);
    click(button, QPoint(1, 1));
    click(button, QPoint(5, 5));
    QCOMPARE(clicks.count(), 0);
    click(button, QPoint(10, 10));
    QCOMPARE(clicks.count(), 1);
}

void TestNavButton::opaqueOrMissingImage()
{
    // An image without transparency has no mask: the button is never hit.
    QWidget window;
    auto* button = new NavButton(m_opaque, &window);
    QCOMPARE(button->maskSize(), QSize(20, 20));
    button->setGeometry(QRect(QPoint(0, 0), button->maskSize()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QPoint& p : { QPoint(0, 0), QPoint(10, 10), QPoint(19, 19) })
        QVERIFY(!button->hitButton(p));
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    click(button, QPoint(10, 10));
    QCOMPARE(clicks.count(), 0);

    // Nor is one whose image cannot be loaded.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("NavButton: cannot load.*nowhere\\.png")));
    NavButton missing(m_dir.filePath(QStringLiteral("nowhere.png")));
    QCOMPARE(missing.maskSize(), QSize(0, 0));
    QVERIFY(!missing.hitButton(QPoint(0, 0)));
}

// A switch shows its off and on pictures as it is checked. In a dialog, as
// the main window is, a flat one never becomes the default button, so Return
// does not flip it.
void TestNavButton::switchInADialog()
{
    const QString off = QStringLiteral(":/media/switch_big_off.png");
    const QString on = QStringLiteral(":/media/switch_big_on.png");
    QDialog dialog;
    QPushButton* button = paneui::switchButton(&dialog, off, on, QSize(45, 18));
    QTest::keyClick(button, Qt::Key_Return);
    QVERIFY(!button->isChecked());
    button->click();
    QVERIFY(button->isChecked());
    QCOMPARE(button->iconSize(), QSize(45, 18));
    const QImage offImage = QImage(off).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage onImage = QImage(on).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QVERIFY(!offImage.isNull() && offImage != onImage);
    for (QIcon::Mode mode : { QIcon::Normal, QIcon::Active, QIcon::Selected }) {
        const auto shown = [&](QIcon::State state) {
            return button->icon()
                .pixmap(offImage.size(), mode, state)
                .toImage()
                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        QCOMPARE(shown(QIcon::Off), offImage);
        QCOMPARE(shown(QIcon::On), onImage);
    }
}

QUV_TEST_MAIN_WITH(TestNavButton, PanesApplication)
#include "test_navbutton.moc"
