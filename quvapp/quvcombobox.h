#pragma once

#include <QComboBox>
#include <QList>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QVariant>

class QuvComboBox;

// Item data (under Qt::UserRole) that marks a separator row.
constexpr int QuvComboBoxSeparatorData = 4242;

// The combo box's model. Row flags are kept here, by row number, rather than
// in the items: flags() reports only this list, and a flag stays with its row
// number when rows are inserted or removed.
class QuvComboBoxModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit QuvComboBoxModel(QObject* parent = nullptr);
    QuvComboBoxModel(int rows, int columns, QObject* parent = nullptr);

    // The flags of the index's row (the column is ignored).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The row's flags; rows never set have Qt::ItemIsSelectable | Qt::ItemIsEnabled.
    Qt::ItemFlags flags(int row) const;
    // Sets a row's flags; a negative row changes nothing.
    virtual void setFlags(int row, Qt::ItemFlags flags);

private:
    const Qt::ItemFlags m_defaultFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    QList<Qt::ItemFlags> m_rowFlags;
};

// Draws the rows of the drop-down list: separators as a thin line, disabled
// "-Header-" rows as centred grey headings, other rows as text with a check
// mark (drawn by the application style) in a 20 px left margin.
class QuvComboBoxItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit QuvComboBoxItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QuvComboBox* m_combo;
};

// The drop-down list of the panes. Items are found, enabled and checked by
// the data they carry (Qt::UserRole); the current item carries the check mark.
// It never takes keyboard focus, takes the mouse wheel only while the pointer
// is over it, and shows its tool tip at once.
class QuvComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(bool cloaked READ isCloaked WRITE setCloaked)

public:
    explicit QuvComboBox(QWidget* parent = nullptr);
    ~QuvComboBox() override;

    void setCloaked(bool cloaked);
    bool isCloaked() const { return m_cloaked; }

    // Appends a separator row.
    void addSeparator();
    // Inserts a separator row (empty text, data 4242) at index; it keeps the
    // default flags of its row number.
    virtual void insertSeparator(int index);

    // The first row whose data equals value, or -1.
    int indexOfItemMatchingData(QVariant value) const;
    // Every row whose data equals value, in ascending order.
    QList<int> indexesOfItemsMatchingData(QVariant value) const;
    // Makes the first row carrying value current; no row (index -1) when none does.
    void setMatchingItemCurrentIndex(QVariant value);

    bool itemEnabled(int index) const;
    void setItemEnabled(int index, bool enabled);
    void setMatchingItemEnabled(QVariant value, bool enabled, bool all);
    void setAllItemsEnabled(bool enabled);

    bool itemChecked(int index) const;
    void setItemChecked(int index, bool checked);
    void setMatchingItemChecked(QVariant value, bool checked, bool all);
    void setAllItemsChecked(bool checked);

public slots:
    // Moves the check mark to the new current row (none for -1).
    void indexHasChanged(int index);

protected:
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QuvComboBoxModel* quvModel() const;
    QList<int> matchingRows(const QVariant& value, bool all) const;

    bool m_cloaked = false;
};
