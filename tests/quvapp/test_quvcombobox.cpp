// The combo box family, the spin box and the push button.

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardItem>
#include <QToolTip>
#include <QWheelEvent>

#include "quvapp/quvcombobox.h"
#include "quvapp/quvdoublespinbox.h"
#include "quvapp/quvpushbutton.h"
#include "quvtest.h"
#include "slateapplication.h"

namespace {

constexpr Qt::ItemFlags kDefaultFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;

// A combo box with the items ("A", 0), ("B", 1), ("C", 2).
void fillAbc(QuvComboBox& combo)
{
    combo.addItem(QStringLiteral("A"), 0);
    combo.addItem(QStringLiteral("B"), 1);
    combo.addItem(QStringLiteral("C"), 2);
}

QList<int> checkedRows(const QuvComboBox& combo)
{
    QList<int> rows;
    for (int row = 0; row < combo.count(); ++row) {
        if (combo.itemChecked(row))
            rows.append(row);
    }
    return rows;
}

// Counts the wheel events that reach a widget.
class WheelCounter : public QObject
{
public:
    int wheels = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel)
            ++wheels;
        return QObject::eventFilter(watched, event);
    }
};

// Sends one wheel notch (towards the user: the next item, or one step down) at pos.
bool sendWheel(QWidget* widget, const QPoint& pos, int angle, bool* accepted)
{
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, angle), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    event.setAccepted(false);
    const bool handled = QApplication::sendEvent(widget, &event);
    *accepted = event.isAccepted();
    return handled;
}

// Painting one row of the drop-down list into an image on black.
struct RowPainter
{
    QPalette palette;

    RowPainter()
    {
        palette.setColor(QPalette::Active, QPalette::Text, QColor(255, 0, 0));
        palette.setColor(QPalette::Inactive, QPalette::Text, QColor(255, 0, 0));
        palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0, 255, 0));
        palette.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 0, 255));
        palette.setColor(QPalette::Active, QPalette::HighlightedText, QColor(255, 255, 0));
    }

    QImage paint(QuvComboBox& combo, int row, QStyle::State state, const QRect& rect = QRect(0, 0, 100, 16)) const
    {
        QImage image(rect.right() + 1, rect.bottom() + 1, QImage::Format_RGB32);
        image.fill(Qt::black);
        QStyleOptionViewItem option;
        option.rect = rect;
        option.state = state;
        option.palette = palette;
        QPainter painter(&image);
        combo.itemDelegate()->paint(&painter, option, combo.model()->index(row, 0));
        return image;
    }
};

// The bounding box of every pixel that is not black.
QRect paintedArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != 0)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

// Whether every painted pixel in the area is a shade of the colour (text is antialiased).
bool paintedOnlyIn(const QImage& image, const QRect& area, QRgb color)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if ((pixel & 0xFFFFFF) == 0)
                continue;
            if ((qRed(pixel) > 0) != (qRed(color) > 0) || (qGreen(pixel) > 0) != (qGreen(color) > 0)
                || (qBlue(pixel) > 0) != (qBlue(color) > 0))
                return false;
        }
    }
    return true;
}

class ProbeButton : public QuvPushButton
{
public:
    using QuvPushButton::hitButton;
    using QuvPushButton::QuvPushButton;
};

} // namespace

class TestQuvComboBox : public QObject
{
    Q_OBJECT

private slots:
    void noFocusAndOwnDelegate();
    void modelFlags();
    void lookUpByDataAndSeparators();
    void enablingByRowAndByData();
    void checkingByRowAndByData();
    void checkMarkFollowsTheCurrentIndex();
    void wheelOnlyInside();
    void toolTipAtOnce();
    void delegateSeparator();
    void delegateHeader();
    void delegateItem();
    void delegateCheckMark();
    void spinBoxValueWithoutSignal();
    void pushButton();
    void heightsUnderTheSheet();
};

void TestQuvComboBox::noFocusAndOwnDelegate()
{
    QuvComboBox combo;
    QCOMPARE(combo.focusPolicy(), Qt::NoFocus);
    QVERIFY(qobject_cast<QuvComboBoxItemDelegate*>(combo.itemDelegate()));

    // A change of style keeps the delegate (Qt swaps only its own delegates).
    combo.setStyleSheet(QStringLiteral("QComboBox { color: red; }"));
    combo.setStyle(QApplication::style());
    QVERIFY(qobject_cast<QuvComboBoxItemDelegate*>(combo.itemDelegate()));
}

void TestQuvComboBox::modelFlags()
{
    QuvComboBoxModel model(3, 2, nullptr);
    QCOMPARE(model.flags(7), kDefaultFlags);
    QCOMPARE(model.flags(-1), kDefaultFlags);

    model.setFlags(1, Qt::ItemFlags());
    // The column is ignored.
    QCOMPARE(model.flags(model.index(1, 1)), Qt::ItemFlags());
    QCOMPARE(model.flags(model.index(2, 1)), kDefaultFlags);
    model.setFlags(-1, Qt::ItemFlags());
    QCOMPARE(model.flags(0), kDefaultFlags);

    // Past the end: the rows between keep the default.
    model.setFlags(6, Qt::ItemIsEnabled);
    QCOMPARE(model.flags(5), kDefaultFlags);
    QCOMPARE(model.flags(6), Qt::ItemFlags(Qt::ItemIsEnabled));

    // Views hear of a change of flags of a row they show.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setFlags(2, Qt::ItemFlags());
    model.setFlags(3, Qt::ItemFlags());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 2);
}

void TestQuvComboBox::lookUpByDataAndSeparators()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.addItem(QStringLiteral("B again"), 1);

    QCOMPARE(combo.indexOfItemMatchingData(QVariant(1)), 1);
    QCOMPARE(combo.indexOfItemMatchingData(QVariant(3)), -1);
    QCOMPARE(combo.indexesOfItemsMatchingData(QVariant(1)), QList<int>({ 1, 3 }));
    combo.setMatchingItemCurrentIndex(QVariant(2));
    QCOMPARE(combo.currentIndex(), 2);
    combo.setMatchingItemCurrentIndex(QVariant(3));
    QCOMPARE(combo.currentIndex(), -1);

    // Separators carry their own data and keep the default flags.
    combo.addSeparator();
    combo.insertSeparator(1);
    QCOMPARE(combo.count(), 6);
    QCOMPARE(combo.itemText(1), QString());
    QCOMPARE(combo.itemText(2), QStringLiteral("B"));
    QCOMPARE(combo.indexesOfItemsMatchingData(QVariant(QuvComboBoxSeparatorData)), QList<int>({ 1, 5 }));
    QVERIFY(combo.itemEnabled(5));
}

void TestQuvComboBox::enablingByRowAndByData()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.addItem(QStringLiteral("B again"), 1);

    combo.setItemEnabled(5, false);
    combo.setItemEnabled(-1, false);
    for (int row = 0; row < 4; ++row)
        QVERIFY(combo.itemEnabled(row));
    QVERIFY(!combo.itemEnabled(4));
    QVERIFY(!combo.itemEnabled(-1));

    combo.setItemEnabled(1, false);
    QVERIFY(!combo.itemEnabled(1));
    QCOMPARE(combo.model()->flags(combo.model()->index(1, 0)), Qt::ItemFlags());
    combo.setItemEnabled(1, true);
    QCOMPARE(combo.model()->flags(combo.model()->index(1, 0)), kDefaultFlags);

    combo.setMatchingItemEnabled(QVariant(1), false, false);
    QVERIFY(!combo.itemEnabled(1));
    QVERIFY(combo.itemEnabled(3));
    combo.setMatchingItemEnabled(QVariant(1), false, true);
    QVERIFY(!combo.itemEnabled(3));
    QVERIFY(combo.itemEnabled(0));

    combo.setAllItemsEnabled(false);
    for (int row = 0; row < 4; ++row)
        QVERIFY(!combo.itemEnabled(row));
}

void TestQuvComboBox::checkingByRowAndByData()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.addItem(QStringLiteral("B again"), 1);
    combo.setAllItemsChecked(false);
    QCOMPARE(checkedRows(combo), QList<int>());

    combo.setItemChecked(2, true);
    QCOMPARE(checkedRows(combo), QList<int>({ 2 }));
    auto* model = qobject_cast<QuvComboBoxModel*>(combo.model());
    QVERIFY(model->item(2)->isCheckable());
    combo.setItemChecked(2, false);
    QVERIFY(!model->item(2)->isCheckable());
    combo.setItemChecked(4, true);
    combo.setItemChecked(-1, true);
    QVERIFY(!combo.itemChecked(4));
    QCOMPARE(checkedRows(combo), QList<int>());

    combo.setMatchingItemChecked(QVariant(0), true, false);
    QCOMPARE(checkedRows(combo), QList<int>({ 0 }));
    combo.setItemChecked(0, false);
    combo.setMatchingItemChecked(QVariant(1), true, false);
    QCOMPARE(checkedRows(combo), QList<int>({ 1 }));
    combo.setMatchingItemChecked(QVariant(1), true, true);
    QCOMPARE(checkedRows(combo), QList<int>({ 1, 3 }));
    combo.setAllItemsChecked(true);
    QCOMPARE(checkedRows(combo), QList<int>({ 0, 1, 2, 3 }));
}

void TestQuvComboBox::checkMarkFollowsTheCurrentIndex()
{
    QuvComboBox combo;
    fillAbc(combo);
    // The first item became current when it was added.
    QCOMPARE(checkedRows(combo), QList<int>({ 0 }));

    combo.setCurrentIndex(2);
    QCOMPARE(checkedRows(combo), QList<int>({ 2 }));
    combo.setMatchingItemCurrentIndex(QVariant(1));
    QCOMPARE(checkedRows(combo), QList<int>({ 1 }));
    combo.setCurrentIndex(-1);
    QCOMPARE(checkedRows(combo), QList<int>());

    // A read-back with the signals blocked moves the index but not the mark;
    // the caller sets the mark itself.
    combo.setCurrentIndex(2);
    {
        const QSignalBlocker blocker(combo);
        combo.setCurrentIndex(0);
    }
    QCOMPARE(combo.currentIndex(), 0);
    QCOMPARE(checkedRows(combo), QList<int>({ 2 }));
}

void TestQuvComboBox::wheelOnlyInside()
{
    // A notch over the combo box or spin box moves it; one whose pointer lies
    // outside it (the pane scrolling past) is swallowed, reaching neither the
    // value nor the parent.
    QWidget parent;
    WheelCounter counter;
    parent.installEventFilter(&counter);
    auto* combo = new QuvComboBox(&parent);
    fillAbc(*combo);
    combo->setGeometry(10, 10, 120, 20);
    auto* spin = new QuvDoubleSpinBox(&parent);
    spin->setGeometry(10, 40, 71, 24);
    spin->setRange(-64, 64);
    QSignalSpy activated(combo, QOverload<int>::of(&QComboBox::activated));

    bool accepted = false;
    sendWheel(combo, QPoint(60, 10), -120, &accepted);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(activated.count(), 1);
    sendWheel(spin, QPoint(30, 12), 120, &accepted);
    QCOMPARE(spin->value(), 1.0);

    for (QWidget* widget : std::initializer_list<QWidget*> { combo, spin }) {
        for (const QPoint& outside : { QPoint(-5, -5), QPoint(widget->width(), 10), QPoint(30, widget->height()) }) {
            QVERIFY(sendWheel(widget, outside, -120, &accepted));
            QVERIFY(accepted);
        }
    }
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(spin->value(), 1.0);
    QCOMPARE(counter.wheels, 0);
}

void TestQuvComboBox::toolTipAtOnce()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.setToolTip(QStringLiteral("Gamma mode options:\nUsed to optimize gain in dark environments\n"));
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));

    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), combo.mapToGlobal(QPoint(5, 5)));
    QVERIFY(QApplication::sendEvent(&combo, &help));
    QTRY_COMPARE(QToolTip::text(), combo.toolTip());
    QToolTip::hideText();
}

void TestQuvComboBox::delegateSeparator()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.addSeparator();
    const QImage image = RowPainter().paint(combo, 3, QStyle::State_Enabled);
    // One line at the vertical middle, (0 + 15) / 2 = 7, from edge to edge.
    QCOMPARE(image.pixel(50, 7) & 0xFFFFFF, qRgb(55, 60, 64) & 0xFFFFFF);
    QCOMPARE(paintedArea(image), QRect(0, 7, 100, 1));

    // Even when selected under the mouse, a separator draws only its line.
    const QImage selected = RowPainter().paint(combo, 3, QStyle::State_Selected | QStyle::State_MouseOver);
    QCOMPARE(paintedArea(selected), QRect(0, 7, 100, 1));
}

void TestQuvComboBox::delegateHeader()
{
    QuvComboBox combo;
    combo.addItem(QStringLiteral("-Heading-"), 100);
    combo.addItem(QStringLiteral("Item"), 1);
    combo.setCurrentIndex(-1);
    combo.setItemEnabled(0, false);

    const RowPainter painter;
    const QImage header = painter.paint(combo, 0, QStyle::State_Enabled, QRect(0, 0, 200, 16));
    const QRect area = paintedArea(header);
    QVERIFY(!area.isEmpty());
    // Centred, in the disabled text colour.
    QVERIFY(qAbs(area.center().x() - 100) <= 2);
    QVERIFY(area.left() > 30);
    QVERIFY(paintedOnlyIn(header, header.rect(), qRgb(0, 255, 0)));

    // The same text on an enabled item is an ordinary item.
    combo.setItemEnabled(0, true);
    const QImage item = painter.paint(combo, 0, QStyle::State_Enabled, QRect(0, 0, 200, 16));
    const QRect itemArea = paintedArea(item);
    QVERIFY(itemArea.left() >= 22 && itemArea.left() <= 26);
    QVERIFY(paintedOnlyIn(item, item.rect(), qRgb(255, 0, 0)));

    // A disabled item without dashes is an ordinary item in the disabled colour.
    combo.setItemEnabled(1, false);
    const QImage disabled = painter.paint(combo, 1, QStyle::State_Enabled, QRect(0, 0, 200, 16));
    QVERIFY(paintedArea(disabled).left() >= 22);
    QVERIFY(paintedOnlyIn(disabled, disabled.rect(), qRgb(0, 255, 0)));
}

void TestQuvComboBox::delegateItem()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.setCurrentIndex(-1);
    const RowPainter painter;

    // Highlighted only while both selected and under the mouse.
    const QImage both
        = painter.paint(combo, 1, QStyle::State_Enabled | QStyle::State_Selected | QStyle::State_MouseOver);
    QCOMPARE(both.pixel(90, 1) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
    QCOMPARE(both.pixel(0, 15) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
    bool highlightedText = false;
    for (int x = 22; x < 40 && !highlightedText; ++x) {
        for (int y = 0; y < 16; ++y)
            highlightedText = highlightedText || (qRed(both.pixel(x, y)) > 128 && qGreen(both.pixel(x, y)) > 128);
    }
    QVERIFY(highlightedText);

    for (QStyle::State state : { QStyle::State_Selected, QStyle::State_MouseOver, QStyle::State_None }) {
        const QImage image = painter.paint(combo, 1, QStyle::State_Enabled | state);
        QCOMPARE(image.pixel(90, 1) & 0xFFFFFF, 0u);
        const QRect area = paintedArea(image);
        QVERIFY(area.left() >= 22 && area.left() <= 26);
        QVERIFY(paintedOnlyIn(image, image.rect(), qRgb(255, 0, 0)));
    }

    // Text is placed at x = 22 of the view, whatever the row's left edge.
    const QImage shifted = painter.paint(combo, 1, QStyle::State_Enabled, QRect(10, 0, 100, 16));
    QVERIFY(paintedArea(shifted).left() >= 22 && paintedArea(shifted).left() <= 26);
}

void TestQuvComboBox::delegateCheckMark()
{
    QuvComboBox combo;
    fillAbc(combo);
    combo.setCurrentIndex(1);
    const RowPainter painter;
    const QImage checkmark(QStringLiteral(":/quvapp/media/slate/checkmark.png"));
    QVERIFY(!checkmark.isNull());

    // The slate check mark, unscaled at (5, 2) of the row.
    const QImage checked = painter.paint(combo, 1, QStyle::State_Enabled);
    QImage expected(checkmark.size(), QImage::Format_RGB32);
    expected.fill(Qt::black);
    {
        QPainter p(&expected);
        p.drawImage(0, 0, checkmark);
    }
    QCOMPARE(checked.copy(QRect(QPoint(5, 2), checkmark.size())), expected);
    QCOMPARE(checked.pixel(4, 5) & 0xFFFFFF, 0u);

    const QImage unchecked = painter.paint(combo, 0, QStyle::State_Enabled);
    QCOMPARE(paintedArea(unchecked.copy(0, 0, 20, 16)), QRect());
}

void TestQuvComboBox::spinBoxValueWithoutSignal()
{
    QuvDoubleSpinBox spin;
    spin.setRange(0, 255);
    QSignalSpy changed(&spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged));
    spin.setValueNoSignal(10.0);
    QCOMPARE(spin.value(), 10.0);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!spin.signalsBlocked());

    // A caller's own block stays in place.
    spin.blockSignals(true);
    spin.setValueNoSignal(20.0);
    QVERIFY(spin.signalsBlocked());
}

void TestQuvComboBox::pushButton()
{
    ProbeButton plain;
    ProbeButton withIcon(QIcon(), QStringLiteral("Apply"));
    ProbeButton withText(QStringLiteral("Apply"));
    for (ProbeButton* button : { &plain, &withIcon, &withText })
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);

    // The whole rectangle is the hit area, corners included.
    withText.setGeometry(0, 0, 110, 24);
    QVERIFY(withText.hitButton(QPoint(0, 0)));
    QVERIFY(!withText.hitButton(QPoint(110, 24)));
    QSignalSpy clicked(&withText, &QAbstractButton::clicked);
    withText.show();
    QVERIFY(QTest::qWaitForWindowExposed(&withText));
    QTest::mouseClick(&withText, Qt::LeftButton, Qt::NoModifier, QPoint(0, 0));
    QTest::mouseClick(&withText, Qt::LeftButton, Qt::NoModifier, QPoint(109, 23));
    QCOMPARE(clicked.count(), 2);
    QVERIFY(!withText.hasFocus());
}

void TestQuvComboBox::heightsUnderTheSheet()
{
    // The panes place buttons 24 px high and combo boxes 20 px high: the
    // sheet's sizes include padding and borders.
    QWidget form;
    QuvPushButton button(&form);
    button.setText(QStringLiteral("Apply"));
    button.setGeometry(44, 243, 110, 24);
    QuvComboBox combo(&form);
    combo.setGeometry(10, 10, 120, 28);
    form.resize(200, 300);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(button.minimumHeight(), 24);
    QCOMPARE(button.height(), 24);
    QCOMPARE(combo.height(), 20);
}

QUV_TEST_MAIN_WITH(TestQuvComboBox, SlateApplication)
#include "test_quvcombobox.moc"
