#include "quvapp/quvcombobox.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QPainter>
#include <QStandardItem>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>

namespace {

// Colour of the separator line.
const QColor kSeparatorColor(55, 60, 64);
// The check mark's box ends at this x (absolute, in pixels); the text starts at kTextLeft.
constexpr int kCheckBoxRight = 20;
constexpr int kTextLeft = 22;

bool isHeaderText(const QString& text)
{
    return text.startsWith(QLatin1Char('-')) && text.endsWith(QLatin1Char('-'));
}

} // namespace

// ---- QuvComboBoxModel

QuvComboBoxModel::QuvComboBoxModel(QObject* parent)
    : QStandardItemModel(parent)
{ }

QuvComboBoxModel::QuvComboBoxModel(int rows, int columns, QObject* parent)
    : QStandardItemModel(rows, columns, parent)
{
    for (int row = 0; row < rows; ++row)
        m_rowFlags.append(m_defaultFlags);
}

Qt::ItemFlags QuvComboBoxModel::flags(const QModelIndex& index) const
{
    return flags(index.row());
}

Qt::ItemFlags QuvComboBoxModel::flags(int row) const
{
    if (row >= 0 && row < m_rowFlags.size())
        return m_rowFlags.at(row);
    return m_defaultFlags;
}

void QuvComboBoxModel::setFlags(int row, Qt::ItemFlags flags)
{
    if (row < 0)
        return;
    while (m_rowFlags.size() <= row)
        m_rowFlags.append(m_defaultFlags);
    m_rowFlags[row] = flags;
    // Views re-read flags only when told that the row changed.
    if (row < rowCount()) {
        const QModelIndex first = index(row, 0);
        const QModelIndex last = index(row, qMax(0, columnCount() - 1));
        emit dataChanged(first, last);
    }
}

// ---- QuvComboBoxItemDelegate

QuvComboBoxItemDelegate::QuvComboBoxItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
    , m_combo(qobject_cast<QuvComboBox*>(parent))
{ }

void QuvComboBoxItemDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();

    const Qt::ItemFlags flags = index.flags();
    const bool enabled = flags.testFlag(Qt::ItemIsEnabled);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int checkState = index.data(Qt::CheckStateRole).toInt();
    const int data = index.data(Qt::UserRole).toInt();
    const QRect& rect = option.rect;

    if (data == QuvComboBoxSeparatorData) {
        const int middle = (rect.top() + rect.bottom()) / 2;
        painter->setPen(kSeparatorColor);
        painter->drawLine(rect.left(), middle, rect.right(), middle);
    } else if (!enabled && isHeaderText(text)) {
        painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
        painter->drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, text);
    } else {
        QColor color;
        const QStyle::State selectedUnderMouse = QStyle::State_Selected | QStyle::State_MouseOver;
        if ((option.state & selectedUnderMouse) == selectedUnderMouse) {
            painter->fillRect(rect, option.palette.brush(QPalette::Highlight));
            color = option.palette.color(QPalette::HighlightedText);
        } else {
            color = option.palette.color(QPalette::Text);
            if (!enabled)
                color = option.palette.color(QPalette::Disabled, QPalette::Text);
        }

        if (checkState == Qt::Checked) {
            QStyleOptionButton check;
            check.rect = QRect(rect.topLeft(), QPoint(kCheckBoxRight, rect.bottom()));
            check.state = option.state | QStyle::State_On;
            check.palette = option.palette;
            check.palette.setBrush(QPalette::Active, QPalette::Text, QBrush(color));
            QApplication::style()->drawPrimitive(QStyle::PE_IndicatorMenuCheckMark, &check, painter);
        }

        painter->setPen(color);
        const QRect textRect(QPoint(kTextLeft, rect.top()), QPoint(rect.right(), rect.bottom()));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }

    painter->restore();
}

// ---- QuvComboBox

QuvComboBox::QuvComboBox(QWidget* parent)
    : QComboBox(parent)
{
    // Parented to the combo box, which QComboBox::setModel does not do itself.
    setModel(new QuvComboBoxModel(this));
    setView(new QListView);
    setItemDelegate(new QuvComboBoxItemDelegate(this));
    setMaxVisibleItems(100);
    setFocusPolicy(Qt::NoFocus);
    if (!connect(this, SIGNAL(currentIndexChanged(int)), this, SLOT(indexHasChanged(int))))
        qWarning("QuvComboBox: cannot follow the current index");
}

QuvComboBox::~QuvComboBox()
{
    clear();
}

void QuvComboBox::setCloaked(bool cloaked)
{
    m_cloaked = cloaked;
}

void QuvComboBox::addSeparator()
{
    insertSeparator(count() + 1);
}

void QuvComboBox::insertSeparator(int index)
{
    insertItem(index, QString(), QVariant(QuvComboBoxSeparatorData));
}

int QuvComboBox::indexOfItemMatchingData(QVariant value) const
{
    return findData(value, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

QList<int> QuvComboBox::indexesOfItemsMatchingData(QVariant value) const
{
    QList<int> rows;
    for (int row = 0; row < count(); ++row) {
        if (itemData(row, Qt::UserRole) == value)
            rows.append(row);
    }
    return rows;
}

void QuvComboBox::setMatchingItemCurrentIndex(QVariant value)
{
    setCurrentIndex(indexOfItemMatchingData(value));
}

bool QuvComboBox::itemEnabled(int index) const
{
    if (index < 0 || index >= count())
        return false;
    return model()->flags(model()->index(index, modelColumn(), rootModelIndex())).testFlag(Qt::ItemIsEnabled);
}

void QuvComboBox::setItemEnabled(int index, bool enabled)
{
    if (index < 0 || index >= count())
        return;
    if (QuvComboBoxModel* m = quvModel()) {
        // A disabled item is neither enabled nor selectable.
        m->setFlags(index, enabled ? (Qt::ItemIsSelectable | Qt::ItemIsEnabled) : Qt::ItemFlags());
    }
}

void QuvComboBox::setMatchingItemEnabled(QVariant value, bool enabled, bool all)
{
    for (int row : matchingRows(value, all))
        setItemEnabled(row, enabled);
}

void QuvComboBox::setAllItemsEnabled(bool enabled)
{
    for (int row = 0; row < count(); ++row)
        setItemEnabled(row, enabled);
}

bool QuvComboBox::itemChecked(int index) const
{
    if (index < 0 || index >= count())
        return false;
    return itemData(index, Qt::CheckStateRole).toInt() == Qt::Checked;
}

void QuvComboBox::setItemChecked(int index, bool checked)
{
    if (index < 0 || index >= count())
        return;
    QuvComboBoxModel* m = quvModel();
    QStandardItem* item = m ? m->itemFromIndex(m->index(index, modelColumn(), rootModelIndex())) : nullptr;
    if (!item)
        return;
    item->setCheckable(checked);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void QuvComboBox::setMatchingItemChecked(QVariant value, bool checked, bool all)
{
    for (int row : matchingRows(value, all))
        setItemChecked(row, checked);
}

void QuvComboBox::setAllItemsChecked(bool checked)
{
    for (int row = 0; row < count(); ++row)
        setItemChecked(row, checked);
}

void QuvComboBox::indexHasChanged(int index)
{
    setAllItemsChecked(false);
    setItemChecked(index, true);
}

bool QuvComboBox::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), toolTip());
        return true;
    }
    return QComboBox::event(event);
}

void QuvComboBox::wheelEvent(QWheelEvent* event)
{
    if (rect().contains(event->position().toPoint())) {
        QComboBox::wheelEvent(event);
        return;
    }
    // Outside the widget: taken, so that it reaches neither this box nor its parent.
    event->accept();
}

QuvComboBoxModel* QuvComboBox::quvModel() const
{
    return qobject_cast<QuvComboBoxModel*>(model());
}

QList<int> QuvComboBox::matchingRows(const QVariant& value, bool all) const
{
    if (all)
        return indexesOfItemsMatchingData(value);
    const int row = indexOfItemMatchingData(value);
    return row >= 0 ? QList<int> { row } : QList<int>();
}
