// The slate look: the compiled-in sheet and images, colour keys and display
// gamma, the style's hints and primitives, and the application object.

#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOption>

#include "quvapp/quvresources.h"
#include "quvapp/quvstyle.h"
#include "quvapp/quvstyletesting.h"
#include "quvtest.h"
#include "slateapplication.h"

namespace {

const char* const kSheetPath = ":/quvapp/styles/slate.css";

struct TableRow
{
    const char* key;
    int red, green, blue;
    bool inSheet;
};

// The slate colour table as the look defines it, written out independently of the code.
const TableRow kTable[] = {
    { "quvslate_defaultTextColorRealBright", 216, 216, 216, true },
    { "quvslate_defaultTextColorBright", 183, 183, 183, true },
    { "quvslate_defaultTextColor", 156, 156, 156, true },
    { "quvslate_disabledTextColor", 87, 87, 87, true },
    { "quvslate_yellowTextColor", 221, 186, 7, true },
    { "quvslate_warningTextColor", 152, 29, 29, true },
    { "quvslate_brightestTextColor", 255, 255, 255, true },
    { "quvslate_defaultSelectionTextColor", 255, 255, 255, true },
    { "quvslate_defaultSelectionBackgroundColor", 96, 96, 96, true },
    { "quvslate_alternateSelectionTextColor", 101, 73, 13, false },
    { "quvslate_alternateSelectionBackgroundColor", 164, 122, 33, false },
    { "quvslate_lineEditColor", 206, 206, 206, true },
    { "quvslate_lineEditDisabledColor", 98, 98, 98, true },
    { "quvslate_comboBoxColor", 206, 206, 206, true },
    { "quvslate_comboBoxDisabledColor", 98, 98, 98, true },
    { "quvslate_scrollBarHandleBackground", 55, 55, 55, true },
    { "quvslate_scrollBarHandleBorder", 63, 63, 63, true },
    { "quvslate_scrollBarLineBackground", 30, 35, 40, true },
    { "quvslate_scrollBarHandleGradientStop1_0", 48, 54, 58, true },
    { "quvslate_scrollBarHandleLeftRightBorder", 64, 72, 77, true },
    { "quvslate_scrollBarHandleBottomBorder", 59, 66, 71, true },
    { "quvslate_disabledBackgroundGradientStop0", 44, 50, 54, true },
    { "quvslate_disabledBackgroundGradientStop1_0", 45, 51, 55, true },
};

QString rawSheet()
{
    QFile file(QString::fromLatin1(kSheetPath));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString rgbText(const QColor& color)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage paintPrimitive(const QStyle& style, QStyle::PrimitiveElement element, const QRect& rect)
{
    QImage image = transparentImage(rect.width(), rect.height());
    QStyleOptionFocusRect option;
    option.backgroundColor = Qt::black;
    option.rect = rect;
    option.state = QStyle::State_Enabled | QStyle::State_On;
    option.palette = QPalette(Qt::white);
    QPainter painter(&image);
    style.drawPrimitive(element, &option, &painter);
    return image;
}

} // namespace

class TestQuvStyle : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void everyImageOfTheSheetExists();
    void sheetHeaderAndLookName();
    void sheetResolvesEveryKey_data();
    void sheetResolvesEveryKey();
    void longerKeysAreReplacedFirst();
    void colorWithNameRejectsUnknownLookAndKey();
    void applicationUsesTheSheetAndFollowsTheGamma();
    void styleHintsInEveryLook();
    void noFocusRectangle();
    void menuCheckMarkIsTheSlateImage();
    void mdiAreaBackground();
    void versionAndCopyrightFallBacks();
};

void TestQuvStyle::cleanup()
{
    quvstyletesting::resetDisplayTargetGamma();
}

void TestQuvStyle::everyImageOfTheSheetExists()
{
    const QString sheet = rawSheet();
    static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    int found = 0;
    for (auto it = url.globalMatch(sheet); it.hasNext();) {
        const QString path = it.next().captured(1);
        QVERIFY2(path.startsWith(QLatin1String(":/quvapp/media/slate/")), qPrintable(path));
        QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QVERIFY2(image.hasAlphaChannel(), qPrintable(path));
        ++found;
    }
    QVERIFY(found >= 10);
    // Registering the resources again is harmless.
    quvapp::initResources();
    QVERIFY(QFile::exists(QString::fromLatin1(kSheetPath)));

    // Rendered at their exact size, the button with real transparency in its
    // rounded corners (what lies beneath shows there).
    const QImage button(QStringLiteral(":/quvapp/media/slate/button.png"));
    QCOMPARE(button.size(), QSize(24, 24));
    QCOMPARE(qAlpha(button.pixel(0, 0)), 0);
    QVERIFY(qAlpha(button.pixel(12, 12)) > 200);
    QCOMPARE(QImage(QStringLiteral(":/quvapp/media/slate/checkmark.png")).size(), QSize(11, 10));
}

void TestQuvStyle::sheetHeaderAndLookName()
{
    const QString sheet = QuvStyle().getStyleSheet();
    QVERIFY(sheet.startsWith(QStringLiteral("/*\nNAME=slate\n**DON'T CHANGE TEXT ABOVE THIS POINT**\n*/\n")));
    QCOMPARE(QuvStyle::getQuvLookName(sheet), QStringLiteral("slate"));
    QCOMPARE(QuvStyle::getQuvLookName(QStringLiteral("a\nb")), QString());
    QCOMPARE(QuvStyle::getQuvLookName(QStringLiteral("/*\nNAME=dark\n")), QStringLiteral("dark"));
    QCOMPARE(QuvStyle::getQuvLookName(QStringLiteral("/*\n\n*/")), QString());
}

void TestQuvStyle::sheetResolvesEveryKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("inSheet");
    for (const TableRow& row : kTable)
        QTest::newRow(row.key) << QString::fromLatin1(row.key) << QColor(row.red, row.green, row.blue) << row.inSheet;
}

void TestQuvStyle::sheetResolvesEveryKey()
{
    QFETCH(QString, key);
    QFETCH(QColor, color);
    QFETCH(bool, inSheet);

    // Whole keys only: a key followed by more name characters is a longer key.
    const QRegularExpression whole(QRegularExpression::escape(key) + QStringLiteral("(?![A-Za-z0-9_])"));
    QCOMPARE(rawSheet().contains(whole), inSheet);

    // No target gamma (Linux) and an explicit 2.2 keep the table colours; a
    // display calibrated below 2.0 gets every colour 15 % lighter.
    for (const std::optional<float> gamma :
        { std::optional<float>(), std::optional<float>(2.2f), std::optional<float>(1.8f) }) {
        quvstyletesting::setDisplayTargetGamma(gamma);
        const QColor expected = gamma && *gamma < 2.0f ? color.lighter(115) : color;
        QCOMPARE(QuvStyle::colorWithName(QStringLiteral("slate"), key).rgba(), expected.rgba());
        QCOMPARE(QuvStyle::correctGamma(color).rgba(), expected.rgba());
        const QString sheet = QuvStyle().getStyleSheet();
        QVERIFY(!sheet.contains(QLatin1String("quvslate_")));
        if (inSheet)
            QVERIFY2(sheet.contains(rgbText(expected)), qPrintable(rgbText(expected)));
    }
}

void TestQuvStyle::longerKeysAreReplacedFirst()
{
    const QString sheet = QuvStyle().getStyleSheet();
    QVERIFY(sheet.contains(QLatin1String("rgb(216,216,216)")));
    QVERIFY(!sheet.contains(QLatin1String("rgb(156,156,156)Bright")));
    QVERIFY(!sheet.contains(QLatin1String("rgb(156,156,156)RealBright")));
    QVERIFY(!sheet.contains(QLatin1String("rgb(55,55,55)Gradient")));
}

void TestQuvStyle::colorWithNameRejectsUnknownLookAndKey()
{
    QVERIFY(!QuvStyle::colorWithName(QStringLiteral("slate"), QStringLiteral("yellowTextColor")).isValid());
    QVERIFY(!QuvStyle::colorWithName(QStringLiteral("dark"), QStringLiteral("quvslate_yellowTextColor")).isValid());
    QVERIFY(!QuvStyle::colorWithName(QStringLiteral("Slate"), QStringLiteral("quvslate_yellowTextColor")).isValid());
}

void TestQuvStyle::applicationUsesTheSheetAndFollowsTheGamma()
{
    auto* app = static_cast<QuvApplication*>(qApp);
    QCOMPARE(qApp->styleSheet(), app->getStyleSheet());
    QVERIFY(qApp->styleSheet().contains(QLatin1String("font: 11px Verdana;")));

    // Worked values: quvslate_defaultTextColor, 156 grey, lightened to 179.
    quvstyletesting::setDisplayTargetGamma(1.8f);
    app->updateStyleSheet();
    QVERIFY(qApp->styleSheet().contains(QLatin1String("color: rgb(179,179,179);")));
    QCOMPARE(QuvStyle::colorWithName(QStringLiteral("slate"), QStringLiteral("quvslate_yellowTextColor")).rgba(),
        qRgb(254, 214, 8));
    quvstyletesting::resetDisplayTargetGamma();
    app->updateStyleSheet();
    QVERIFY(qApp->styleSheet().contains(QLatin1String("color: rgb(156,156,156);")));
    QVERIFY(!qApp->styleSheet().contains(QLatin1String("rgb(179,179,179)")));
}

void TestQuvStyle::styleHintsInEveryLook()
{
    // Once a sheet is set the application's style wraps the QuvStyle; the hints pass through.
    QCOMPARE(qApp->style()->styleHint(QStyle::SH_EtchDisabledText), 0);
    QCOMPARE(qApp->style()->styleHint(QStyle::SH_ComboBox_Popup), 1);
    for (QuvStyleLook look : { 1, 2, 0 }) {
        QuvStyle style(look);
        QCOMPARE(style.styleHint(QStyle::SH_EtchDisabledText), 0);
        QCOMPARE(style.styleHint(QStyle::SH_ComboBox_Popup), 1);
        QCOMPARE(style.styleHint(QStyle::SH_Menu_Scrollable), QCommonStyle().styleHint(QStyle::SH_Menu_Scrollable));
    }
    QCOMPARE(QuvStyle(2).getStyleSheet(), QString());
}

void TestQuvStyle::noFocusRectangle()
{
    for (QuvStyleLook look : { 1, 2 }) {
        const QImage image = paintPrimitive(QuvStyle(look), QStyle::PE_FrameFocusRect, QRect(0, 0, 40, 20));
        QCOMPARE(image, transparentImage(40, 20));
    }
    // The plain style does draw one: the image above would show it.
    QVERIFY(paintPrimitive(QCommonStyle(), QStyle::PE_FrameFocusRect, QRect(0, 0, 40, 20)) != transparentImage(40, 20));
}

void TestQuvStyle::menuCheckMarkIsTheSlateImage()
{
    const QRect box(0, 0, 20, 16);
    const QImage slate = paintPrimitive(QuvStyle(1), QStyle::PE_IndicatorMenuCheckMark, box);

    QImage expected = transparentImage(20, 16);
    {
        QPainter painter(&expected);
        painter.drawImage(5, 2, QImage(QStringLiteral(":/quvapp/media/slate/checkmark.png")));
    }
    QCOMPARE(slate, expected);
    QCOMPARE(qAlpha(slate.pixel(4, 10)), 0);

    // Another look draws the plain check mark.
    const QImage plain = paintPrimitive(QuvStyle(2), QStyle::PE_IndicatorMenuCheckMark, box);
    QCOMPARE(plain, paintPrimitive(QCommonStyle(), QStyle::PE_IndicatorMenuCheckMark, box));
    QVERIFY(plain != slate);
}

void TestQuvStyle::mdiAreaBackground()
{
    QMdiArea slate;
    QuvStyle(1).polish(&slate);
    QCOMPARE(slate.background().color().rgba(), qRgb(50, 57, 60));
    QMdiArea plain;
    const QBrush before = plain.background();
    QuvStyle(2).polish(&plain);
    QCOMPARE(plain.background(), before);
}

void TestQuvStyle::versionAndCopyrightFallBacks()
{
    QCOMPARE(
        QuvApplication::GetPlatformSpecificVersionString(QStringLiteral("1.0.0"), QString()), QStringLiteral("1.0.0"));
    QCOMPARE(QuvApplication::GetPlatformSpecificCopyrightString(QStringLiteral("(C)(c)(C)"), QString()),
        QString::fromUtf8("\u00A9(c)\u00A9"));
}

QUV_TEST_MAIN_WITH(TestQuvStyle, SlateApplication)
#include "test_quvstyle.moc"
