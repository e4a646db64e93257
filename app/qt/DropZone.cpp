#include "DropZone.h"

#include "DropData.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>

DropZone::DropZone(QWidget* parent)
    : PictureButton(parent)
{ }

// Answer copy, or link; never move, which would let the source delete the originals.
void DropZone::answer(QDropEvent* event)
{
    event->setDropAction(toQtAction(answerDropEffect(offeredEffects(event->possibleActions()))));
    event->accept();
}

// Qt delivers drags and drops to a window that a modal dialog blocks; the window says when a
// drop may not be taken, and the source is told no.
bool DropZone::refuse(QDropEvent* event)
{
    if (dropsTaken_ && dropsTaken_())
        return false;
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    return true;
}

void DropZone::dragEnterEvent(QDragEnterEvent* event)
{
    if (refuse(event))
        return;
    emit draggedOver();
    answer(event);
}

void DropZone::dragMoveEvent(QDragMoveEvent* event)
{
    if (refuse(event))
        return;
    emit draggedOver();
    answer(event);
}

// Leaving is a drag-over event too, as it is on Windows.
void DropZone::dragLeaveEvent(QDragLeaveEvent* event)
{
    if (dropsTaken_ && dropsTaken_())
        emit draggedOver();
    event->accept();
}

void DropZone::dropEvent(QDropEvent* event)
{
    if (refuse(event))
        return;
    answer(event);
    emit dropped(dropPayloadFrom(event->mimeData()));
}

void DropZone::mousePressEvent(QMouseEvent* event)
{
    pressPosition_ = event->position().toPoint();
    dragging_ = false;
    PictureButton::mousePressEvent(event);
}

void DropZone::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragSource_ || dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - pressPosition_).manhattanLength()
        < QApplication::startDragDistance())
        return;
    dragging_ = true;
    cancelPress();
    auto* drag = new QDrag(this);
    auto* picture = new QMimeData;
    picture->setImageData(pixmap().toImage());
    drag->setMimeData(picture);
    drag->setPixmap(pixmap());
    drag->setHotSpot(pressPosition_);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}
