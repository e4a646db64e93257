#pragma once
#include "PictureButton.h"

#include <QPoint>

class frmFlagwash;

// Image1: the DROP HERE square. It takes drops of files, can be clicked, and its picture can
// be dragged out (as image data only, copy only).
class DropZone : public PictureButton
{
    Q_OBJECT
public:
    explicit DropZone(QWidget* parent = nullptr);

    void attach(frmFlagwash& form) { form_ = &form; }
    void setDragSourceEnabled(bool enabled) { dragSource_ = enabled; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void answer(QDropEvent* event);
    bool refuse(QDropEvent* event);

    frmFlagwash* form_ = nullptr;
    bool dragSource_ = false;
    QPoint pressPosition_;
    bool dragging_ = false;
};
