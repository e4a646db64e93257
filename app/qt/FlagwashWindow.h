#pragma once
#include "app/Layout.h"

#include <QPixmap>
#include <QWidget>

#include <map>

class DropZone;
class frmFlagwash;

// frmFlagwash on screen: the background picture and the ten controls of the layout table.
// Every event goes to the core handler of the same name.
class FlagwashWindow : public QWidget
{
    Q_OBJECT
public:
    explicit FlagwashWindow(QWidget* parent = nullptr);

    void attach(frmFlagwash& form);
    QWidget* control(Layout::ControlId id) const { return controls_.at(id); }
    DropZone* dropZone() const;
    // Fixes the client area and keeps the window manager from offering another size.
    void setClientSize(QSize size);
    // Centres the window, its frame included, on its screen; nothing else places it where no
    // window manager runs. Call it once, before the window is first shown.
    void centreOnScreen();

    // Shows or hides the window. The controls get their texts, tooltips and accessible names,
    // and those shown at start appear, right after the window is first shown.
    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* createControl(const Layout::Control& control);

    frmFlagwash* form_ = nullptr;
    QPixmap background_;
    std::map<Layout::ControlId, QWidget*> controls_;
    bool completed_ = false;
};
