#include "MainWindow.h"

#include "BackBuffer.h"
#include "DataObject.h"
#include "Dpi.h"
#include "DropSource.h"
#include "DropTarget.h"
#include "Fonts.h"
#include "LabelText.h"
#include "WindowAccessible.h"
#include "app/frmFlagwash.h"
#include "platform/WideText_windows.h"

#include <ole2.h>

#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t className[] = L"frmFlagwash";
// Restoring the size straight from WM_SIZE does not reach Wine's X window after an outside
// resize; restoring from a posted message does, on Windows too.
constexpr UINT restoreSizeMessage = WM_APP + 1;
// A control pressed through a screen reader; wParam is its index in Layout::controls.
constexpr UINT pressMessage = WM_APP + 2;
constexpr int iconResource = 1;

COLORREF colourOf(const Layout::Rgb& rgb)
{
    return RGB(rgb.red, rgb.green, rgb.blue);
}

POINT clientPointOf(LPARAM lParam)
{
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    // Double clicks arrive as such, so a double click on a button is one click, not two.
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconResource),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                      GetSystemMetrics(SM_CYICON), 0));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconResource),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

const Layout::Control& image1()
{
    return Layout::control(Layout::ControlId::Image1);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance)
{
    registerWindowClass(instance, windowProcedure);
    // Sizable frame, system menu and close box; no minimize or maximize box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
    CreateWindowExW(0, className, L"Flagwash", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!window_)
        return;
    dpi_ = windowDpi(window_);
    loadPicturesAndFont();
    tooltips_.create(instance_);
}

MainWindow::~MainWindow()
{
    if (window_)
        DestroyWindow(window_);
    if (labelFont_)
        DeleteObject(labelFont_);
}

void MainWindow::attach(frmFlagwash& form)
{
    form_ = &form;
}

void MainWindow::show(int showCommand)
{
    if (!window_)
        return;
    // The first display is a size change of its own: the form fixes its size before it shows.
    if (form_)
        form_->Form_Resize();
    if (!window_)
        return;

    RECT frame{};
    GetWindowRect(window_, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& area = monitor.rcWork;
        const int x = area.left + ((area.right - area.left) - (frame.right - frame.left)) / 2;
        const int y = area.top + ((area.bottom - area.top) - (frame.bottom - frame.top)) / 2;
        SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

void MainWindow::registerDropTarget()
{
    if (!window_ || dropTarget_)
        return;
    dropTarget_ = makeComObject<DropTarget>(*this);
    if (FAILED(RegisterDragDrop(window_, dropTarget_.Get())))
        dropTarget_.Reset();
}

void MainWindow::setDropZoneVisible(bool visible)
{
    if (visible == image1Shown_)
        return;
    image1Shown_ = visible;
    if (!window_)
        return;
    tooltips_.place();
    const RECT area = pixelRect(image1().rect, dpi_);
    InvalidateRect(window_, &area, FALSE);
    const std::size_t index = static_cast<std::size_t>(&image1() - Layout::controls.data());
    NotifyWinEvent(visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, window_, OBJID_CLIENT,
                   accessibleChildId(index));
}

void MainWindow::dragOver()
{
    if (form_ && window_ && IsWindowEnabled(window_))
        form_->Form_OLEDragOver();
}

bool MainWindow::takesDropAt(POINT screenPoint) const
{
    if (!window_ || !IsWindowEnabled(window_) || !form_ || !form_->takesDrops())
        return false;
    POINT point = screenPoint;
    ScreenToClient(window_, &point);
    const std::optional<std::size_t> hit = controlAt(point);
    return hit && Layout::controls[*hit].id == Layout::ControlId::Image1;
}

void MainWindow::dropOnImage1(DropPayload payload)
{
    if (form_)
        form_->Image1_OLEDragDrop(std::move(payload));
}

bool MainWindow::isShown(const Layout::Control& control) const
{
    if (control.id == Layout::ControlId::Image1)
        return image1Shown_;
    return control.shownAtStart;
}

std::optional<std::size_t> MainWindow::controlAt(POINT clientPoint) const
{
    for (std::size_t i = Layout::controls.size(); i-- > 0;) {
        const Layout::Control& control = Layout::controls[i];
        if (!isShown(control))
            continue;
        const RECT area = pixelRect(control.rect, dpi_);
        if (PtInRect(&area, clientPoint))
            return i;
    }
    return std::nullopt;
}

bool MainWindow::pressLater(std::size_t control)
{
    return window_ && PostMessageW(window_, pressMessage, control, 0);
}

void MainWindow::loadPicturesAndFont()
{
    const Layout::Picture& back = Layout::background;
    background_ = Picture::load(instance_, back.file, back.width, scaleToDpi(back.width, dpi_),
                                scaleToDpi(back.height, dpi_));
    for (std::size_t i = 0; i < Layout::controls.size(); ++i) {
        if (const std::optional<Layout::Picture>& picture = Layout::controls[i].picture) {
            pictures_[i] = Picture::load(instance_, picture->file, picture->width,
                                         scaleToDpi(picture->width, dpi_),
                                         scaleToDpi(picture->height, dpi_));
        }
    }
    if (labelFont_)
        DeleteObject(labelFont_);
    labelFont_ = createLabelFont(instance_, dpi_);
}

void MainWindow::paint(HDC target) const
{
    RECT client{};
    GetClientRect(window_, &client);
    FillRect(target, &client, GetSysColorBrush(COLOR_BTNFACE));
    background_.draw(target, 0, 0);

    HGDIOBJ previousFont = SelectObject(target, labelFont_);
    SetBkMode(target, TRANSPARENT);
    // In creation order, so a later control lies above an earlier one.
    for (std::size_t i = 0; i < Layout::controls.size(); ++i) {
        const Layout::Control& control = Layout::controls[i];
        if (!isShown(control))
            continue;
        RECT area = pixelRect(control.rect, dpi_);
        if (control.kind == Layout::Kind::Label) {
            SetTextColor(target, control.colour ? colourOf(*control.colour) : RGB(0, 0, 0));
            drawLabel(target,
                      layOutLabel(target, toWide(control.text), area.right - area.left,
                                  control.wordWrap),
                      area);
        } else {
            pictures_[i].draw(target, area.left, area.top);
        }
    }
    SelectObject(target, previousFont);
}

void MainWindow::click(Layout::ControlId id)
{
    if (form_)
        form_->click(id);
}

void MainWindow::dragPictureOut()
{
    const Layout::Picture& natural = *image1().picture;
    const Picture picture
            = Picture::load(instance_, natural.file, natural.width, natural.width, natural.height);
    const auto data = makeComObject<DataObject>();
    data->add(CF_DIB, picture.toDib());
    const auto source = makeComObject<DropSource>();
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY, &effect);
}

LRESULT CALLBACK MainWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(
                reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->tooltips_.forget();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        return onSize();
    case restoreSizeMessage:
        return onRestoreSize();
    case WM_DPICHANGED:
        return onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(labelFont_);
    case WM_PAINT:
        return onPaint();
    case WM_LBUTTONDOWN:
        return onLeftButtonDown(clientPointOf(lParam));
    case WM_MOUSEMOVE:
        return onMouseMove(wParam, clientPointOf(lParam));
    case WM_LBUTTONUP:
        return onLeftButtonUp(clientPointOf(lParam));
    case WM_CAPTURECHANGED:
        return onCaptureChanged();
    case pressMessage:
        return onPress(wParam);
    case WM_GETOBJECT:
        return onGetObject(wParam, lParam);
    case WM_CLOSE:
        return onClose();
    case WM_ENDSESSION:
        return onEndSession(wParam != FALSE);
    case WM_DESTROY:
        return onDestroy();
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT MainWindow::onSize()
{
    if (form_ && !restorePosted_)
        restorePosted_ = PostMessageW(window_, restoreSizeMessage, 0, 0);
    return 0;
}

LRESULT MainWindow::onRestoreSize()
{
    restorePosted_ = false;
    if (form_)
        form_->Form_Resize();
    return 0;
}

LRESULT MainWindow::onDpiChanged(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    loadPicturesAndFont();
    tooltips_.place();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, FALSE);
    return 0;
}

LRESULT MainWindow::onPaint()
{
    PAINTSTRUCT ps;
    HDC target = BeginPaint(window_, &ps);
    RECT client{};
    GetClientRect(window_, &client);
    // Off screen first, so showing or hiding Image1 does not flicker.
    paintBuffered(target, client.right, client.bottom, [this](HDC buffer) { paint(buffer); });
    EndPaint(window_, &ps);
    return 0;
}

LRESULT MainWindow::onLeftButtonDown(POINT point)
{
    pressPoint_ = point;
    pressed_ = controlAt(pressPoint_);
    if (pressed_)
        SetCapture(window_);
    return 0;
}

LRESULT MainWindow::onMouseMove(WPARAM keys, POINT point)
{
    if (!pressed_ || Layout::controls[*pressed_].id != Layout::ControlId::Image1
        || !(keys & MK_LBUTTON))
        return 0;
    if (std::abs(point.x - pressPoint_.x) > GetSystemMetrics(SM_CXDRAG)
        || std::abs(point.y - pressPoint_.y) > GetSystemMetrics(SM_CYDRAG)) {
        pressed_.reset();
        ReleaseCapture();
        dragPictureOut();
    }
    return 0;
}

LRESULT MainWindow::onLeftButtonUp(POINT point)
{
    const std::optional<std::size_t> pressed = pressed_;
    pressed_.reset();
    if (!pressed)
        return 0;
    ReleaseCapture();
    if (controlAt(point) == pressed)
        click(Layout::controls[*pressed].id);
    return 0;
}

LRESULT MainWindow::onCaptureChanged()
{
    pressed_.reset();
    return 0;
}

LRESULT MainWindow::onPress(WPARAM control)
{
    // Checked again: a modal box may have come up since the press was queued.
    if (control < Layout::controls.size() && isShown(Layout::controls[control])
        && IsWindowEnabled(window_))
        click(Layout::controls[control].id);
    return 0;
}

LRESULT MainWindow::onGetObject(WPARAM wParam, LPARAM lParam)
{
    if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (!accessible_)
            accessible_ = WindowAccessible::create(*this);
        if (accessible_)
            return LresultFromObject(accessibleInterface, wParam,
                                     static_cast<IAccessible*>(accessible_.Get()));
    }
    return DefWindowProcW(window_, WM_GETOBJECT, wParam, lParam);
}

LRESULT MainWindow::onClose()
{
    if (form_)
        form_->Form_Unload();
    else
        DestroyWindow(window_);
    return 0;
}

LRESULT MainWindow::onEndSession(bool ending)
{
    if (ending && form_)
        form_->Form_Unload();
    return 0;
}

LRESULT MainWindow::onDestroy()
{
    if (dropTarget_)
        RevokeDragDrop(window_);
    if (accessible_) {
        // Screen readers may hold it longer than the window lives.
        accessible_->disconnect();
        accessible_.Reset();
    }
    return 0;
}
