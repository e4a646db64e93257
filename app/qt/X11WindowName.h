#pragma once
#include <QObject>

class QWidget;

// Qt names a window without a title after the application on X11 (_NET_WM_NAME), and leaves
// WM_NAME unset. Writes the window's real title into both, so an empty caption stays empty.
// Does nothing on other platforms or before the window exists.
void publishWindowName(QWidget* window);

// Publishes a window's name again each time it is shown (Qt writes its own when it creates the
// native window). Install it as an event filter on the window.
class WindowNamePublisher : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
