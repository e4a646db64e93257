#pragma once
#include "PictureButton.h"

#include "selection/DropPayload.h"

#include <QPoint>

#include <functional>

// Image1: the DROP HERE square. It takes drops of files, can be clicked, and its picture can
// be dragged out (as image data only, copy only). What happens to a drag is the window's to
// wire, as for the buttons' clicks.
class DropZone : public PictureButton
{
    Q_OBJECT
public:
    explicit DropZone(QWidget* parent = nullptr);

    // Asked before a drag is answered: whether a drop may be taken now.
    void setDropsTaken(std::function<bool()> taken) { dropsTaken_ = std::move(taken); }
    void setDragSourceEnabled(bool enabled) { dragSource_ = enabled; }

signals:
    // A drag entered, moved over or left the zone.
    void draggedOver();
    void dropped(DropPayload payload);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void answer(QDropEvent* event);
    bool refuse(QDropEvent* event);

    std::function<bool()> dropsTaken_;
    bool dragSource_ = false;
    QPoint pressPosition_;
    bool dragging_ = false;
};
