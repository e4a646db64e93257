#include "PictureButton.h"

#include <QMouseEvent>

PictureButton::PictureButton(QWidget* parent)
    : QLabel(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void PictureButton::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton
            && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click)
        emit clicked();
}

void PictureButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    pressed_ = false;
    event->accept();
}
