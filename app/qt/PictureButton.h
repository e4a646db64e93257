#pragma once
#include <QLabel>

// A picture that acts on a click: pressed and released over it with the left button.
// Like the native image controls it takes no keyboard focus.
class PictureButton : public QLabel
{
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    // The press that is under way will not end in a click.
    void cancelPress() { pressed_ = false; }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The second press of a double click is not a click of its own, as with the native image
    // controls; Qt's default would handle it as one more press.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};
