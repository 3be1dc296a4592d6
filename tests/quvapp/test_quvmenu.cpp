// The context menu: numbering, look-ups, checking, the current index,
// inserting and clearing, and what exec2 and popup2 report as chosen.

#include <functional>

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "slateapplication.h"

// What the user does while the menu is open.
using MenuSteps = std::function<void(QuvMenu&)>;
Q_DECLARE_METATYPE(MenuSteps)

namespace {

// Items: "A" (data 0), a separator, "B" (data 1), "C" (data 1).
void fillAbc(QuvMenu& menu)
{
    menu.addAction(QStringLiteral("A"), QVariant(0));
    menu.addSeparator();
    menu.addAction(QStringLiteral("B"), QVariant(1));
    menu.addAction(QStringLiteral("C"), QVariant(1));
}

QList<int> checkedItems(const QuvMenu& menu)
{
    QList<int> items;
    for (int index = 0; index < menu.count(); ++index) {
        if (menu.itemChecked(index))
            items.append(index);
    }
    return items;
}

QPoint centreOf(QuvMenu& menu, int index)
{
    return menu.actionGeometry(menu.actionAt(index)).center();
}

// Runs the menu modally and plays the user's part once it is shown. The menu
// is closed afterwards if the steps left it open, so a test never hangs.
template<typename Run> void playWhileOpen(QuvMenu& menu, const MenuSteps& steps, Run run)
{
    bool played = false;
    QTimer::singleShot(0, &menu, [&] {
        // Also when a check below fails and returns early.
        const auto closeMenu = qScopeGuard([&] {
            if (menu.isVisible())
                menu.close();
        });
        QTRY_VERIFY(menu.isVisible());
        steps(menu);
        played = true;
    });
    run();
    QVERIFY(played);
}

QAction* exec2With(QuvMenu& menu, const MenuSteps& steps)
{
    QAction* chosen = reinterpret_cast<QAction*>(quintptr(1));
    playWhileOpen(menu, steps, [&] { chosen = menu.exec2(QPoint(100, 100)); });
    return chosen;
}

void escape(QuvMenu& menu)
{
    QTest::keyClick(&menu, Qt::Key_Escape);
}

} // namespace

class TestQuvMenu : public QObject
{
    Q_OBJECT

private slots:
    void numberingAndLookUp();
    void separatorDataMatchesNothing();
    void everyAddedActionIsCheckable();
    void submenus();
    void checkingByIndexAndByData();
    void currentIndex();
    void insertShiftsItems();
    void clearRestartsNumbering();
    void exec2Choices_data();
    void exec2Choices();
    void exec2FallsBackToTheReleasedItem();
    void popup2AnnouncesTheChoice();
};

void TestQuvMenu::numberingAndLookUp()
{
    QuvMenu menu;
    fillAbc(menu);
    QCOMPARE(menu.count(), 4);
    QCOMPARE(menu.itemText(0), QStringLiteral("A"));
    QVERIFY(menu.actionAt(1)->isSeparator());
    QCOMPARE(menu.itemData(2), QVariant(1));

    QCOMPARE(menu.indexOfItemMatchingData(QVariant(1)), 2);
    QCOMPARE(menu.indexesOfItemsMatchingData(QVariant(1)), QList<int>({ 2, 3 }));
    QCOMPARE(menu.indexOfItemMatchingData(QVariant(5)), -1);
    QCOMPARE(menu.indexOfItemMatchingText(QStringLiteral("C")), 3);
    QCOMPARE(menu.indexOfItemMatchingText(QStringLiteral("c")), -1);
    QCOMPARE(menu.indexOfMatchingAction(menu.actions().at(2)), 2);
    QAction stranger;
    QCOMPARE(menu.indexOfMatchingAction(&stranger), -1);

    // Outside 0..count()-1.
    for (int index : { -1, 4 }) {
        QCOMPARE(menu.actionAt(index), nullptr);
        QCOMPARE(menu.menuAt(index), nullptr);
        QCOMPARE(menu.itemText(index), QString());
        QVERIFY(!menu.itemData(index).isValid());
        QVERIFY(!menu.itemEnabled(index));
        menu.setItemEnabled(index, false);
        menu.setItemChecked(index, true);
        menu.setItemText(index, QStringLiteral("X"));
    }
    QCOMPARE(checkedItems(menu), QList<int>());
    QCOMPARE(menu.indexOfItemMatchingText(QStringLiteral("X")), -1);

    menu.setAllItemsEnabled(false);
    menu.setMatchingItemEnabled(QVariant(1), true, false);
    QVERIFY(menu.itemEnabled(2));
    QVERIFY(!menu.itemEnabled(3));
    menu.setMatchingItemEnabled(QVariant(1), true, true);
    QVERIFY(menu.itemEnabled(3));
    QVERIFY(!menu.itemEnabled(0));
}

void TestQuvMenu::separatorDataMatchesNothing()
{
    // The preset kind menu starts with a separator; data 0 must find "ePTZ".
    QuvMenu menu;
    menu.addSeparator();
    menu.addAction(QStringLiteral("ePTZ"), QVariant(0));
    menu.addAction(QStringLiteral("Global"), QVariant(1));
    QCOMPARE(menu.indexOfItemMatchingData(QVariant(0)), 1);
    QCOMPARE(menu.indexesOfItemsMatchingData(QVariant(0)), QList<int>({ 1 }));
    QCOMPARE(menu.indexOfItemMatchingData(QVariant()), 0);
    menu.setMatchingItemChecked(QVariant(0), true, false);
    QCOMPARE(checkedItems(menu), QList<int>({ 1 }));
}

void TestQuvMenu::everyAddedActionIsCheckable()
{
    QuvMenu menu;
    QAction target(QStringLiteral("target"));
    target.setCheckable(true);
    auto* own = new QAction(QStringLiteral("own"), &menu);

    QList<QAction*> added;
    added << menu.addAction(QStringLiteral("text"));
    added << menu.addAction(QStringLiteral("data"), QVariant(7));
    added << menu.addAction(QIcon(), QStringLiteral("icon"));
    added << menu.addAction(QStringLiteral("slot"), &target, SLOT(toggle()));
    added << menu.addAction(QIcon(), QStringLiteral("icon slot"), &target, SLOT(toggle()), QKeySequence());
    menu.addAction(own);
    added << own;
    menu.addAction(static_cast<QAction*>(nullptr));

    QCOMPARE(menu.count(), 6);
    for (int index = 0; index < added.size(); ++index) {
        QCOMPARE(menu.actionAt(index), added.at(index));
        QVERIFY(added.at(index)->isCheckable());
    }
    added.at(3)->trigger();
    QVERIFY(target.isChecked());
    QVERIFY(!menu.addSeparator()->isCheckable());
}

void TestQuvMenu::submenus()
{
    QuvMenu first;
    QMenu* opening = first.addMenu(QStringLiteral("Opening"));
    QCOMPARE(first.menuAt(0), opening);
    QuvMenu menu;
    fillAbc(menu);
    QMenu* more = menu.addMenu(QStringLiteral("More"));
    QCOMPARE(menu.count(), 5);
    QCOMPARE(menu.actionAt(4), nullptr);
    QCOMPARE(menu.menuAt(4), more);
    menu.setItemEnabled(4, false);
    QVERIFY(!more->menuAction()->isEnabled());
    QVERIFY(!menu.itemEnabled(4));
    // The item without an action entry.
    QCOMPARE(menu.indexOfMatchingAction(nullptr), 4);

    QMenu extra(QStringLiteral("Extra"));
    QAction* extraAction = menu.addMenu(&extra);
    QCOMPARE(menu.actionAt(5), extraAction);
    QCOMPARE(menu.menuAt(5), &extra);
    QCOMPARE(menu.itemText(5), QStringLiteral("Extra"));
    QVERIFY(!extraAction->isCheckable());
    menu.clear();
}

void TestQuvMenu::checkingByIndexAndByData()
{
    QuvMenu menu;
    fillAbc(menu);
    menu.setMatchingItemChecked(QVariant(1), true, false);
    QCOMPARE(checkedItems(menu), QList<int>({ 2 }));
    menu.setMatchingItemChecked(QVariant(1), true, true);
    QCOMPARE(checkedItems(menu), QList<int>({ 2, 3 }));
    menu.setMatchingItemChecked(QVariant(1), false, true);
    QCOMPARE(checkedItems(menu), QList<int>());
    menu.setMatchingItemChecked(QVariant(9), true, true);
    QCOMPARE(checkedItems(menu), QList<int>());

    menu.setItemChecked(0, true);
    QCOMPARE(checkedItems(menu), QList<int>({ 0 }));
    menu.setAllItemsChecked(true);
    // A separator cannot be checked.
    QCOMPARE(checkedItems(menu), QList<int>({ 0, 2, 3 }));
    menu.setAllItemsChecked(false);
    QCOMPARE(checkedItems(menu), QList<int>());
}

void TestQuvMenu::currentIndex()
{
    QuvMenu menu;
    fillAbc(menu);
    QCOMPARE(menu.currentIndex(), -1);
    QSignalSpy changed(&menu, &QuvMenu::currentIndexChanged);

    menu.setCurrentIndex(2);
    menu.setCurrentIndex(2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 2);
    QCOMPARE(menu.currentIndexText(), QStringLiteral("B"));
    menu.setCurrentIndex(3);
    QCOMPARE(checkedItems(menu), QList<int>({ 3 }));
    menu.setCurrentIndex(-1);
    QCOMPARE(checkedItems(menu), QList<int>());
    QCOMPARE(changed.count(), 3);

    // The index is not checked against the items.
    menu.setCurrentIndex(12);
    QCOMPARE(menu.currentIndex(), 12);
    QCOMPARE(menu.currentIndexText(), QString());
}

void TestQuvMenu::insertShiftsItems()
{
    QuvMenu menu;
    fillAbc(menu);
    QMenu* more = menu.addMenu(QStringLiteral("More"));
    const QList<QAction*> before = menu.actions();

    // Before the first item: everything moves up by one, look-ups included.
    QAction* separator = menu.insertSeparator(menu.actionAt(0));
    QCOMPARE(menu.count(), 6);
    QCOMPARE(menu.actions().first(), separator);
    QCOMPARE(menu.actionAt(0), separator);
    for (int index = 0; index < 4; ++index)
        QCOMPARE(menu.actionAt(index + 1), before.at(index));
    QCOMPARE(menu.menuAt(5), more);
    QCOMPARE(menu.indexOfItemMatchingData(QVariant(1)), 3);

    // A submenu before "B".
    QAction* b = menu.actionAt(3);
    QMenu sub(QStringLiteral("Sub"));
    QAction* inserted = menu.insertMenu(b, &sub);
    QCOMPARE(menu.actionAt(3), inserted);
    QCOMPARE(menu.menuAt(3), &sub);
    QCOMPARE(menu.actionAt(4), b);
    QCOMPARE(menu.menuAt(6), more);
    QCOMPARE(menu.actions().indexOf(inserted), menu.actions().indexOf(b) - 1);

    // Before something that is no item of this menu: appended.
    QAction stranger(QStringLiteral("stranger"));
    QAction* last = menu.insertSeparator(&stranger);
    QCOMPARE(menu.count(), 8);
    QCOMPARE(menu.actionAt(7), last);
    QCOMPARE(menu.actions().last(), last);
    menu.clear();

    // On an empty menu the first insert is item 0.
    QAction* only = menu.insertSeparator(nullptr);
    QCOMPARE(menu.actionAt(0), only);
    QCOMPARE(menu.count(), 1);
}

void TestQuvMenu::clearRestartsNumbering()
{
    QuvMenu menu;
    fillAbc(menu);
    menu.setCurrentIndex(2);

    // Choose "B" so that the menu remembers it as the last action.
    menu.popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, centreOf(menu, 2));
    QCOMPARE(menu.lastAction(), menu.actionAt(2));

    menu.clear();
    QCOMPARE(menu.count(), 0);
    QCOMPARE(menu.currentIndex(), -1);
    QCOMPARE(menu.actions().size(), 0);
    QCOMPARE(menu.lastAction(), nullptr);

    // An action the menu does not own outlives clear(): the menu still forgets it.
    QAction outside(QStringLiteral("Outside"));
    menu.addAction(&outside);
    menu.popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, centreOf(menu, 0));
    QCOMPARE(menu.lastAction(), &outside);
    menu.clear();
    QCOMPARE(menu.lastAction(), nullptr);

    QAction* next = menu.addAction(QStringLiteral("Next"), QVariant(5));
    QCOMPARE(menu.indexOfMatchingAction(next), 0);
    QCOMPARE(menu.count(), 1);
}

void TestQuvMenu::exec2Choices_data()
{
    QTest::addColumn<MenuSteps>("steps");
    QTest::addColumn<int>("chosen");

    QTest::newRow("click on B") << MenuSteps([](QuvMenu& menu) {
        QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, centreOf(menu, 2));
    }) << 2;
    QTest::newRow("right click on C") << MenuSteps([](QuvMenu& menu) {
        QTest::mouseClick(&menu, Qt::RightButton, Qt::NoModifier, centreOf(menu, 3));
    }) << 3;
    QTest::newRow("keyboard down and return") << MenuSteps([](QuvMenu& menu) {
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Return);
    }) << 0;
    QTest::newRow("escape") << MenuSteps(escape) << -1;
    QTest::newRow("escape with the pointer over A") << MenuSteps([](QuvMenu& menu) {
        QTest::mouseMove(&menu, centreOf(menu, 0));
        escape(menu);
    }) << -1;
    QTest::newRow("click outside") << MenuSteps([](QuvMenu& menu) {
        QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
    }) << -1;
    // The release of the right click that opened the menu lands on its first item.
    QTest::newRow("opening release over A, then escape") << MenuSteps([](QuvMenu& menu) {
        QTest::mouseRelease(&menu, Qt::RightButton, Qt::NoModifier, centreOf(menu, 0));
        QVERIFY(menu.isVisible());
        escape(menu);
    }) << -1;
    QTest::newRow("click on the separator, then escape") << MenuSteps([](QuvMenu& menu) {
        QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, centreOf(menu, 1));
        if (menu.isVisible())
            escape(menu);
    }) << -1;
    QTest::newRow("click on a disabled item, then escape") << MenuSteps([](QuvMenu& menu) {
        menu.setItemEnabled(3, false);
        QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, centreOf(menu, 3));
        QVERIFY(menu.isVisible());
        escape(menu);
    }) << -1;
}

void TestQuvMenu::exec2Choices()
{
    QFETCH(MenuSteps, steps);
    QFETCH(int, chosen);

    QuvMenu menu;
    fillAbc(menu);
    QAction* expected = chosen >= 0 ? menu.actionAt(chosen) : nullptr;
    QSignalSpy triggered(&menu, &QMenu::triggered);
    QCOMPARE(exec2With(menu, steps), expected);
    QCOMPARE(triggered.count(), chosen >= 0 ? 1 : 0);
}

void TestQuvMenu::exec2FallsBackToTheReleasedItem()
{
    // A press on the menu's frame and a release on "B" with no movement
    // between: QMenu had no current item and reports nothing; the release
    // inside the menu chooses "B". The next run starts afresh.
    QuvMenu menu;
    fillAbc(menu);
    QCOMPARE(menu.QMenu::actionAt(QPoint(5, 0)), nullptr);
    QCOMPARE(exec2With(menu,
                 [](QuvMenu& m) {
                     QTest::mousePress(&m, Qt::LeftButton, Qt::NoModifier, QPoint(5, 0));
                     QTest::mouseRelease(&m, Qt::LeftButton, Qt::NoModifier, centreOf(m, 2));
                 }),
        menu.actionAt(2));
    QCOMPARE(menu.lastAction(), menu.actionAt(2));
    QCOMPARE(exec2With(menu, escape), nullptr);
}

void TestQuvMenu::popup2AnnouncesTheChoice()
{
    QuvMenu menu;
    fillAbc(menu);
    QSignalSpy triggered(&menu, &QMenu::triggered);
    playWhileOpen(
        menu, [](QuvMenu& m) { QTest::mouseClick(&m, Qt::LeftButton, Qt::NoModifier, centreOf(m, 3)); },
        [&] { menu.popup2(QPoint(50, 50)); });
    QCOMPARE(triggered.count(), 1);
    QCOMPARE(triggered.at(0).at(0).value<QAction*>(), menu.actionAt(3));

    triggered.clear();
    playWhileOpen(
        menu,
        [](QuvMenu& m) {
            QTest::mouseRelease(&m, Qt::RightButton, Qt::NoModifier, centreOf(m, 0));
            escape(m);
        },
        [&] { menu.popup2(QPoint(50, 50)); });
    QCOMPARE(triggered.count(), 0);

    // Where QMenu reports nothing, popup2 announces the released item itself.
    playWhileOpen(
        menu,
        [](QuvMenu& m) {
            QTest::mousePress(&m, Qt::LeftButton, Qt::NoModifier, QPoint(5, 0));
            QTest::mouseRelease(&m, Qt::LeftButton, Qt::NoModifier, centreOf(m, 2));
        },
        [&] { menu.popup2(QPoint(50, 50)); });
    QCOMPARE(triggered.count(), 1);
    QCOMPARE(triggered.at(0).at(0).value<QAction*>(), menu.actionAt(2));
}

QUV_TEST_MAIN_WITH(TestQuvMenu, SlateApplication)
#include "test_quvmenu.moc"
