#include "SwatchLabel.h"

#include <QMouseEvent>

namespace lumivex {

SwatchLabel::SwatchLabel(QWidget* parent)
    : QLabel(parent)
{
    // WinPanel is always two pixels wide, like the sunken client edge of a picture control.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void SwatchLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        emit activated();
}

void SwatchLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        emit activated();
}

} // namespace lumivex
