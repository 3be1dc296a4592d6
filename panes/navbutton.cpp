#include "panes/navbutton.h"

#include "media/mediaresources.h"

#include <QBitmap>
#include <QPixmap>
#include <QtDebug>

NavButton::NavButton(QString imagePath, QWidget* parent)
    : QPushButton(parent)
{
    media::initResources();
    const QPixmap image(imagePath);
    if (image.isNull())
        qWarning() << "NavButton: cannot load" << imagePath;
    m_maskSize = image.size();
    // The mask of an image without transparency is null, and so is the region.
    m_hitRegion = QRegion(image.mask());
}

NavButton::~NavButton() = default;

bool NavButton::hitButton(const QPoint& pos) const
{
    return m_hitRegion.contains(pos);
}
