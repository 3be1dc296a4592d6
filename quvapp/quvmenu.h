#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QVariant>

// The context menu of the application. Items are numbered in the order they
// are added (separators and submenus included), ordinary actions are
// checkable, and items are found and checked by the data they carry. exec2
// reports the chosen action even where QMenu::exec reports none: an enabled
// item released on after a press in this menu counts as chosen.
class QuvMenu : public QMenu
{
    Q_OBJECT

public:
    explicit QuvMenu(QWidget* parent = nullptr);
    explicit QuvMenu(const QString& title, QWidget* parent = nullptr);
    ~QuvMenu() override;

    // Removes every item and restarts the numbering at 0.
    void clear();

    // Each adds one item, numbered count() before the call.
    QAction* addAction(const QString& text);
    QAction* addAction(const QString& text, const QVariant& data);
    QAction* addAction(const QIcon& icon, const QString& text);
    QAction* addAction(const QString& text, const QObject* receiver, const char* member,
        const QKeySequence& shortcut = QKeySequence());
    QAction* addAction(const QIcon& icon, const QString& text, const QObject* receiver, const char* member,
        const QKeySequence& shortcut = QKeySequence());
    void addAction(QAction* action);
    // The submenu's menu action is the item.
    QAction* addMenu(QMenu* menu);
    // A new submenu; the item has no action entry (itemText is empty).
    QMenu* addMenu(const QString& title);
    QMenu* addMenu(const QIcon& icon, const QString& title);
    QAction* addSeparator();

    // Inserted before an item, which with every later item moves up by one;
    // appended when before is not an item of this menu.
    QAction* insertMenu(QAction* before, QMenu* menu);
    QAction* insertSeparator(QAction* before);

    // Queries by item number; a number outside 0..count()-1 gives null, an
    // empty text, an invalid QVariant or false.
    int count() const { return m_itemCount; }
    using QMenu::actionAt;
    QAction* actionAt(int index) const;
    QMenu* menuAt(int index) const;
    QString itemText(int index) const;
    QVariant itemData(int index) const;
    bool itemEnabled(int index) const;
    bool itemChecked(int index) const;
    int currentIndex() const { return m_currentIndex; }
    QString currentIndexText() const;
    // The action released on in this menu while the pointer is inside it, else null.
    QAction* lastAction() const;

    // Look-ups in ascending item order; -1 when nothing matches.
    QList<int> indexesOfItemsMatchingData(QVariant value) const;
    int indexOfItemMatchingData(QVariant value) const;
    int indexOfItemMatchingText(QString text) const;
    int indexOfMatchingAction(QAction* action) const;

    // Changes by item number; a number outside 0..count()-1 changes nothing.
    void setItemEnabled(int index, bool enabled);
    void setItemChecked(int index, bool checked);
    void setItemText(int index, const QString& text);
    // To the first item carrying value, or to every such item when all is true.
    void setMatchingItemEnabled(QVariant value, bool enabled, bool all);
    void setMatchingItemChecked(QVariant value, bool checked, bool all);
    void setAllItemsEnabled(bool enabled);
    void setAllItemsChecked(bool checked);
    // Unchecks the old current item, checks the new one and signals; nothing
    // when index is already current.
    void setCurrentIndex(int index);

    // Runs the menu modally at pos. Returns the chosen action: the one
    // QMenu::exec reports, or else the enabled, non-separator item of this
    // menu whose release closed the menu, the button having been pressed in
    // this menu during this call. A keyboard dismissal, a click outside, or the
    // release of the click that opened the menu give null.
    QAction* exec2(const QPoint& pos, QAction* at = nullptr);
    // The same, but announces the chosen action through triggered() when
    // QMenu::exec did not.
    void popup2(const QPoint& pos, QAction* at = nullptr);

signals:
    void currentIndexChanged(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The action an index operation acts on: its own, else its submenu's menu action.
    QAction* targetAt(int index) const;
    QList<int> matchingIndexes(const QVariant& value, bool all) const;
    int recordAction(QAction* action);
    // Makes room at index in both maps by moving every later entry up by one.
    void shiftFrom(int index);
    int actionIndex(QAction* action) const;
    QAction* runModal(const QPoint& pos, QAction* at);
    bool isChoosable(QAction* action) const;

    QMap<int, QAction*> m_actions;
    QMap<int, QMenu*> m_menus;
    int m_itemCount = 0;
    int m_currentIndex = -1;
    // Guarded: a remembered action that is deleted reads as null.
    QPointer<QAction> m_lastAction;
    bool m_mouseInside = false;
    // The buttons pressed inside this menu and not yet released.
    Qt::MouseButtons m_pressedInside;
};
