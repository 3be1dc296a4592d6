#pragma once

#include <QIcon>
#include <QPushButton>
#include <QString>

// The plain button of the panes: never takes keyboard focus, and its whole
// rectangle, edges included, is the click area.
class QuvPushButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(bool cloaked READ isCloaked WRITE setCloaked)

public:
    explicit QuvPushButton(QWidget* parent = nullptr);
    explicit QuvPushButton(const QString& text, QWidget* parent = nullptr);
    QuvPushButton(const QIcon& icon, const QString& text, QWidget* parent = nullptr);

    void setCloaked(bool cloaked);
    bool isCloaked() const { return m_cloaked; }

protected:
    bool hitButton(const QPoint& pos) const override;

private:
    bool m_cloaked = false;
};
