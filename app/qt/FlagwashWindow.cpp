#include "FlagwashWindow.h"

#include "DropZone.h"
#include "Fonts.h"
#include "Pictures.h"
#include "Utf8Text.h"
#include "X11WindowManager.h"
#include "app/frmFlagwash.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace {

QRect pixels(const Layout::TwipsRect& r)
{
    constexpr int dpi = Layout::referenceDpi;  // logical pixels; Qt scales them on dense screens
    return {Layout::twipsToPixels(r.left, dpi), Layout::twipsToPixels(r.top, dpi),
            Layout::twipsToPixels(r.width, dpi), Layout::twipsToPixels(r.height, dpi)};
}

}  // namespace

FlagwashWindow::FlagwashWindow(QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmFlagwash"));
    setWindowIcon(programIcon());
    setAcceptDrops(true);
    background_ = loadPicture(Layout::background.file, devicePixelRatioF());

    // In table order: each control lies above the ones created before it.
    for (const Layout::Control& c : Layout::controls) {
        QWidget* widget = createControl(c);
        widget->setObjectName(fromUtf8(c.name));
        widget->setGeometry(pixels(c.rect));
        // Hidden until the window is on the screen (see setVisible), also those shown at start.
        widget->hide();
        controls_[c.id] = widget;
    }
}

// Qt starts its accessibility bridge, and with it a connection to the D-Bus session bus, at the
// first event a screen reader could hear of: a control's text or name set, or a control shown,
// which Qt does for the controls before it maps the window they are in. So the window is shown
// bare, and its controls get their words and are shown right after it, before the first paint.
void FlagwashWindow::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (!visible || completed_)
        return;
    completed_ = true;
    for (const Layout::Control& c : Layout::controls) {
        QWidget* widget = control(c.id);
        if (c.kind == Layout::Kind::Label)
            static_cast<QLabel*>(widget)->setText(fromUtf8(c.text));
        if (!c.tooltip.empty()) {
            widget->setToolTip(fromUtf8(c.tooltip));
            widget->setAccessibleDescription(fromUtf8(c.tooltip));
        }
        if (!c.accessibleName.empty())
            widget->setAccessibleName(fromUtf8(c.accessibleName));
        // Those hidden at start (the drop zone) are the core's to show.
        if (c.shownAtStart)
            widget->show();
    }
}

QWidget* FlagwashWindow::createControl(const Layout::Control& c)
{
    switch (c.kind) {
    case Layout::Kind::ListBox: {
        // The selection itself lives in the core (frmFlagwash::List1) and is never shown; this
        // keeps its place among the controls without the cost of a real list view at start.
        auto* list = new QWidget(this);
        list->setFocusPolicy(Qt::NoFocus);
        return list;
    }
    case Layout::Kind::ImageArea: {
        auto* area = new QWidget(this);
        area->setFocusPolicy(Qt::NoFocus);
        return area;
    }
    case Layout::Kind::Image:
    case Layout::Kind::ImageButton: {
        PictureButton* button
                = c.kind == Layout::Kind::Image ? new DropZone(this) : new PictureButton(this);
        if (c.picture)
            button->setPixmap(loadPicture(c.picture->file, devicePixelRatioF()));
        return button;
    }
    case Layout::Kind::Label: {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setFont(labelFont());
        label->setWordWrap(c.wordWrap);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setContentsMargins(0, 0, 0, 0);
        label->setAutoFillBackground(false);
        QPalette palette = label->palette();
        if (c.colour)
            palette.setColor(QPalette::WindowText,
                             QColor(c.colour->red, c.colour->green, c.colour->blue));
        label->setPalette(palette);
        return label;
    }
    }
    return new QWidget(this);
}

void FlagwashWindow::attach(frmFlagwash& form)
{
    form_ = &form;
    DropZone* zone = dropZone();
    zone->setDropsTaken([&form] { return form.takesDrops(); });
    connect(zone, &DropZone::draggedOver, this, [&form] { form.Form_OLEDragOver(); });
    connect(zone, &DropZone::dropped, this,
            [&form](DropPayload payload) { form.Image1_OLEDragDrop(std::move(payload)); });
    // Every picture control forwards its clicks to the core, which decides what each does. The
    // call is made by name, not through a member-function pointer: for such a call reached
    // through a lambda's captured this, GCC 12 with -fsanitize=vptr computes the object only on
    // the path taken for virtual functions and reads it unset on the other, so every click
    // aborted.
    for (const auto& [id, widget] : controls_) {
        if (auto* button = qobject_cast<PictureButton*>(widget))
            connect(button, &PictureButton::clicked, this, [&form, id = id] { form.click(id); });
    }
}

DropZone* FlagwashWindow::dropZone() const
{
    return static_cast<DropZone*>(control(Layout::ControlId::Image1));
}

void FlagwashWindow::setClientSize(QSize size)
{
    setFixedSize(size);
    resize(size);
}

void FlagwashWindow::centreOnScreen()
{
    const QScreen* target = screen();
    if (!target)
        return;
    const QRect available = target->availableGeometry();
    // A window manager's frame counts: the whole window is centred, as on Windows. Where the
    // frame is not known, its top-left corner goes where the client area's would.
    const std::optional<QMargins> frame = prepareForWindowManager(this);
    if (!frame) {
        move(available.center() - QPoint(width() / 2, height() / 2));
        return;
    }
    const QSize outer = size().grownBy(*frame);
    const QPoint frameTopLeft = available.center() - QPoint(outer.width() / 2, outer.height() / 2);
    // Placed by its client area: that is what a manager that reported its frame honours.
    setGeometry(QRect(frameTopLeft + QPoint(frame->left(), frame->top()), size()));
}

void FlagwashWindow::paintEvent(QPaintEvent*)
{
    // The labels paint right after this: their font is first needed now, once the window is
    // on the screen, rather than before it could appear.
    registerBundledFonts();
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, background_);
}

void FlagwashWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (form_)
        form_->Form_Resize();
}

void FlagwashWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (form_)
        form_->Form_Unload();
}

// Anything dragged over the window shows the drop zone; only the drop zone takes the drop.
void FlagwashWindow::dragEnterEvent(QDragEnterEvent* event)
{
    event->setDropAction(Qt::IgnoreAction);
    if (!form_ || !form_->takesDrops()) {
        event->ignore();
        return;
    }
    form_->Form_OLEDragOver();
    // Accepted to follow the drag, but nothing can be dropped here.
    event->accept();
}

// Leaving is a drag-over event too, as it is on Windows.
void FlagwashWindow::dragLeaveEvent(QDragLeaveEvent* event)
{
    if (form_ && form_->takesDrops())
        form_->Form_OLEDragOver();
    event->accept();
}

void FlagwashWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (form_ && form_->takesDrops())
        form_->Form_OLEDragOver();
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
}

void FlagwashWindow::dropEvent(QDropEvent* event)
{
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
}
