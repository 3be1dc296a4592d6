#include "quvapp/quvmenu.h"

#include <QMouseEvent>

QuvMenu::QuvMenu(QWidget* parent)
    : QMenu(parent)
{ }

QuvMenu::QuvMenu(const QString& title, QWidget* parent)
    : QMenu(title, parent)
{ }

QuvMenu::~QuvMenu()
{
    clear();
}

void QuvMenu::clear()
{
    m_actions.clear();
    m_menus.clear();
    m_itemCount = 0;
    m_currentIndex = -1;
    // QMenu::clear deletes the actions the menu owns; never hand one out afterwards.
    m_lastAction = nullptr;
    QMenu::clear();
}

// ---- adding

int QuvMenu::recordAction(QAction* action)
{
    const int index = m_itemCount++;
    m_actions.insert(index, action);
    return index;
}

QAction* QuvMenu::addAction(const QString& text)
{
    QAction* action = QMenu::addAction(text);
    action->setCheckable(true);
    recordAction(action);
    return action;
}

QAction* QuvMenu::addAction(const QString& text, const QVariant& data)
{
    QAction* action = QMenu::addAction(text);
    action->setData(data);
    action->setCheckable(true);
    recordAction(action);
    return action;
}

QAction* QuvMenu::addAction(const QIcon& icon, const QString& text)
{
    QAction* action = QMenu::addAction(icon, text);
    action->setCheckable(true);
    recordAction(action);
    return action;
}

QAction* QuvMenu::addAction(
    const QString& text, const QObject* receiver, const char* member, const QKeySequence& shortcut)
{
    QAction* action = QMenu::addAction(text, receiver, member, shortcut);
    action->setCheckable(true);
    recordAction(action);
    return action;
}

QAction* QuvMenu::addAction(
    const QIcon& icon, const QString& text, const QObject* receiver, const char* member, const QKeySequence& shortcut)
{
    QAction* action = QMenu::addAction(icon, text, receiver, member, shortcut);
    action->setCheckable(true);
    recordAction(action);
    return action;
}

void QuvMenu::addAction(QAction* action)
{
    if (!action)
        return;
    QWidget::addAction(action);
    action->setCheckable(true);
    recordAction(action);
}

QAction* QuvMenu::addMenu(QMenu* menu)
{
    QAction* action = QMenu::addMenu(menu);
    const int index = recordAction(action);
    m_menus.insert(index, menu);
    return action;
}

QMenu* QuvMenu::addMenu(const QString& title)
{
    QMenu* menu = QMenu::addMenu(title);
    m_menus.insert(m_itemCount++, menu);
    return menu;
}

QMenu* QuvMenu::addMenu(const QIcon& icon, const QString& title)
{
    QMenu* menu = QMenu::addMenu(icon, title);
    m_menus.insert(m_itemCount++, menu);
    return menu;
}

QAction* QuvMenu::addSeparator()
{
    QAction* separator = QMenu::addSeparator();
    recordAction(separator);
    return separator;
}

// ---- inserting

int QuvMenu::actionIndex(QAction* action) const
{
    if (!action)
        return -1;
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        if (it.value() == action)
            return it.key();
    }
    return -1;
}

void QuvMenu::shiftFrom(int index)
{
    QMap<int, QAction*> actions;
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        actions.insert(it.key() >= index ? it.key() + 1 : it.key(), it.value());
    QMap<int, QMenu*> menus;
    for (auto it = m_menus.cbegin(); it != m_menus.cend(); ++it)
        menus.insert(it.key() >= index ? it.key() + 1 : it.key(), it.value());
    m_actions.swap(actions);
    m_menus.swap(menus);
}

QAction* QuvMenu::insertMenu(QAction* before, QMenu* menu)
{
    QAction* action = QMenu::insertMenu(before, menu);
    int index = actionIndex(before);
    if (index >= 0)
        shiftFrom(index);
    else
        index = m_itemCount;
    m_actions.insert(index, action);
    m_menus.insert(index, menu);
    ++m_itemCount;
    return action;
}

QAction* QuvMenu::insertSeparator(QAction* before)
{
    QAction* separator = QMenu::insertSeparator(before);
    int index = actionIndex(before);
    if (index >= 0)
        shiftFrom(index);
    else
        index = m_itemCount;
    m_actions.insert(index, separator);
    ++m_itemCount;
    return separator;
}

// ---- queries

QAction* QuvMenu::actionAt(int index) const
{
    if (index < 0 || index >= m_itemCount)
        return nullptr;
    return m_actions.value(index, nullptr);
}

QMenu* QuvMenu::menuAt(int index) const
{
    if (index < 0 || index >= m_itemCount)
        return nullptr;
    return m_menus.value(index, nullptr);
}

QAction* QuvMenu::targetAt(int index) const
{
    if (QAction* action = actionAt(index))
        return action;
    if (QMenu* menu = menuAt(index))
        return menu->menuAction();
    return nullptr;
}

QString QuvMenu::itemText(int index) const
{
    const QAction* action = actionAt(index);
    return action ? action->text() : QString();
}

QVariant QuvMenu::itemData(int index) const
{
    const QAction* action = actionAt(index);
    return action ? action->data() : QVariant();
}

bool QuvMenu::itemEnabled(int index) const
{
    const QAction* action = targetAt(index);
    return action && action->isEnabled();
}

bool QuvMenu::itemChecked(int index) const
{
    const QAction* action = targetAt(index);
    return action && action->isChecked();
}

QString QuvMenu::currentIndexText() const
{
    return itemText(m_currentIndex);
}

QAction* QuvMenu::lastAction() const
{
    return m_mouseInside ? m_lastAction.data() : nullptr;
}

QList<int> QuvMenu::indexesOfItemsMatchingData(QVariant value) const
{
    QList<int> indexes;
    for (int index = 0; index < m_itemCount; ++index) {
        const QAction* action = m_actions.value(index, nullptr);
        if (action && action->data() == value)
            indexes.append(index);
    }
    return indexes;
}

int QuvMenu::indexOfItemMatchingData(QVariant value) const
{
    const QList<int> indexes = indexesOfItemsMatchingData(value);
    return indexes.isEmpty() ? -1 : indexes.first();
}

int QuvMenu::indexOfItemMatchingText(QString text) const
{
    for (int index = 0; index < m_itemCount; ++index) {
        if (itemText(index) == text)
            return index;
    }
    return -1;
}

int QuvMenu::indexOfMatchingAction(QAction* action) const
{
    for (int index = 0; index < m_itemCount; ++index) {
        if (m_actions.value(index, nullptr) == action)
            return index;
    }
    return -1;
}

// ---- changes

QList<int> QuvMenu::matchingIndexes(const QVariant& value, bool all) const
{
    if (all)
        return indexesOfItemsMatchingData(value);
    const int index = indexOfItemMatchingData(value);
    return index >= 0 ? QList<int> { index } : QList<int>();
}

void QuvMenu::setItemEnabled(int index, bool enabled)
{
    if (QAction* action = targetAt(index))
        action->setEnabled(enabled);
}

void QuvMenu::setItemChecked(int index, bool checked)
{
    if (QAction* action = targetAt(index))
        action->setChecked(checked);
}

void QuvMenu::setItemText(int index, const QString& text)
{
    if (QAction* action = targetAt(index))
        action->setText(text);
}

void QuvMenu::setMatchingItemEnabled(QVariant value, bool enabled, bool all)
{
    for (int index : matchingIndexes(value, all))
        setItemEnabled(index, enabled);
}

void QuvMenu::setMatchingItemChecked(QVariant value, bool checked, bool all)
{
    for (int index : matchingIndexes(value, all))
        setItemChecked(index, checked);
}

void QuvMenu::setAllItemsEnabled(bool enabled)
{
    for (int index = 0; index < m_itemCount; ++index)
        setItemEnabled(index, enabled);
}

void QuvMenu::setAllItemsChecked(bool checked)
{
    for (int index = 0; index < m_itemCount; ++index)
        setItemChecked(index, checked);
}

void QuvMenu::setCurrentIndex(int index)
{
    if (index == m_currentIndex)
        return;
    if (m_currentIndex >= 0)
        setItemChecked(m_currentIndex, false);
    m_currentIndex = index;
    if (index >= 0)
        setItemChecked(index, true);
    emit currentIndexChanged(m_currentIndex);
}

// ---- running

bool QuvMenu::isChoosable(QAction* action) const
{
    return action && action->isEnabled() && action->isVisible() && !action->isSeparator() && !action->menu()
        && actions().contains(action);
}

QAction* QuvMenu::runModal(const QPoint& pos, QAction* at)
{
    m_lastAction = nullptr;
    m_pressedInside = Qt::NoButton;
    QAction* chosen = QMenu::exec(pos, at);
    m_pressedInside = Qt::NoButton;
    return chosen;
}

QAction* QuvMenu::exec2(const QPoint& pos, QAction* at)
{
    if (QAction* chosen = runModal(pos, at))
        return chosen;
    return lastAction();
}

void QuvMenu::popup2(const QPoint& pos, QAction* at)
{
    if (runModal(pos, at))
        return;
    if (QAction* chosen = lastAction())
        emit triggered(chosen);
}

// ---- mouse tracking

void QuvMenu::mousePressEvent(QMouseEvent* event)
{
    if (rect().contains(event->pos()))
        m_pressedInside |= event->button();
    QMenu::mousePressEvent(event);
}

void QuvMenu::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->pos();
    m_mouseInside = rect().contains(pos);
    // Only a release that ends a press made in this menu can choose: the
    // release of the click that opened the menu lands on its first item.
    QAction* action = QMenu::actionAt(pos);
    const bool pressedHere = m_pressedInside.testFlag(event->button());
    m_pressedInside &= ~Qt::MouseButtons(event->button());
    m_lastAction = pressedHere && isChoosable(action) ? action : nullptr;
    const QPointer<QuvMenu> alive(this);
    QMenu::mouseReleaseEvent(event);
    if (!alive)
        return;
    // A release after which the menu stays open chose nothing; a later
    // keyboard dismissal must not turn it into a choice.
    if (isVisible())
        m_lastAction = nullptr;
}

void QuvMenu::mouseMoveEvent(QMouseEvent* event)
{
    m_mouseInside = rect().contains(event->pos());
    QMenu::mouseMoveEvent(event);
}

void QuvMenu::enterEvent(QEvent* event)
{
    m_mouseInside = true;
    QMenu::enterEvent(event);
}

void QuvMenu::leaveEvent(QEvent* event)
{
    m_mouseInside = false;
    QMenu::leaveEvent(event);
}
