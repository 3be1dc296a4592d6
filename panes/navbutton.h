#pragma once

#include <QPushButton>
#include <QRegion>
#include <QSize>
#include <QString>

// A push button whose clickable area is the opaque part of an image, so that
// presses between neighbouring arrow shapes fall through. The image only
// gives the area and the size; what the button shows is its owner's style
// sheet. An image without transparency has no mask and gives no area at all.
class NavButton : public QPushButton
{
    Q_OBJECT

public:
    NavButton(QString imagePath, QWidget* parent = nullptr);
    ~NavButton() override;

    // The size of the image (0 x 0 when it could not be loaded).
    QSize maskSize() const { return m_maskSize; }

    // True exactly inside the opaque part of the image: presses, hovering and
    // releases elsewhere are not on the button.
    bool hitButton(const QPoint& pos) const override;

private:
    QRegion m_hitRegion;
    QSize m_maskSize;
};
