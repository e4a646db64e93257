#include "WindowAccessible.h"

#include "ControlHost.h"
#include "Dpi.h"
#include "app/Layout.h"
#include "platform/WideText_windows.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

constexpr bool isAccessible(const Layout::Control& control)
{
    return !control.accessibleName.empty() || control.kind == Layout::Kind::Label;
}

constexpr std::size_t childCount = [] {
    std::size_t count = 0;
    for (const Layout::Control& control : Layout::controls)
        count += isAccessible(control) ? 1u : 0u;
    return count;
}();

// Layout indices of the children in reading order: top to bottom, then left to right.
constexpr std::array<std::size_t, childCount> children = [] {
    std::array<std::size_t, childCount> order{};
    std::size_t next = 0;
    for (std::size_t i = 0; i < Layout::controls.size(); ++i) {
        if (isAccessible(Layout::controls[i]))
            order[next++] = i;
    }
    std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) {
        const Layout::TwipsRect& first = Layout::controls[a].rect;
        const Layout::TwipsRect& second = Layout::controls[b].rect;
        return first.top != second.top ? first.top < second.top : first.left < second.left;
    });
    return order;
}();

// Pressing one does what a click on it does; a label does nothing.
bool hasAction(const Layout::Control& control)
{
    return control.kind == Layout::Kind::ImageButton || control.kind == Layout::Kind::Image;
}

HRESULT text(std::string_view utf8, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (utf8.empty())
        return S_FALSE;
    const std::wstring wide = toWide(utf8);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

long roleOf(const Layout::Control& control)
{
    switch (control.kind) {
    case Layout::Kind::ImageButton:
        return ROLE_SYSTEM_PUSHBUTTON;
    case Layout::Kind::Label:
        return ROLE_SYSTEM_STATICTEXT;
    default:
        return ROLE_SYSTEM_GRAPHIC;
    }
}

HRESULT number(long value, VARIANT* out)
{
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

// A child's id; a negative one is none, as at either end of the children.
HRESULT childVariant(long id, VARIANT* out)
{
    if (id >= 0)
        return number(id, out);
    VariantInit(out);
    return S_FALSE;
}

}  // namespace

long accessibleChildId(std::size_t control)
{
    const auto found = std::find(children.begin(), children.end(), control);
    return found == children.end() ? 0 : static_cast<long>(found - children.begin()) + 1;
}

ComPtr<WindowAccessible> WindowAccessible::create(ControlHost& window)
{
    ComPtr<IAccessible> standard;
    if (FAILED(CreateStdAccessibleObject(window.handle(), OBJID_CLIENT, IID_PPV_ARGS(&standard)))
        || !standard)
        return nullptr;
    ComPtr<WindowAccessible> made;
    made.Attach(new WindowAccessible(window, std::move(standard)));
    return made;
}

WindowAccessible::WindowAccessible(ControlHost& window, ComPtr<IAccessible> standard)
    : window_(&window)
    , standard_(std::move(standard))
{ }

void WindowAccessible::disconnect()
{
    window_ = nullptr;
    standard_.Reset();
}

HRESULT WindowAccessible::refusal(const void* answer) const
{
    if (!answer)
        return E_POINTER;
    return window_ ? S_OK : CO_E_OBJNOTCONNECTED;
}

WindowAccessible::Target WindowAccessible::resolve(const VARIANT& child, std::size_t& control) const
{
    if (child.vt != VT_I4)
        return Target::Invalid;
    if (child.lVal == CHILDID_SELF)
        return Target::Self;
    if (child.lVal < 1 || static_cast<std::size_t>(child.lVal) > children.size())
        return Target::Invalid;
    control = children[static_cast<std::size_t>(child.lVal) - 1];
    return Target::Child;
}

HRESULT WindowAccessible::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT WindowAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT WindowAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                 UINT*)
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::get_accParent(IDispatch** parent)
{
    if (!window_)
        return CO_E_OBJNOTCONNECTED;
    return standard_->get_accParent(parent);
}

HRESULT WindowAccessible::get_accChildCount(long* count)
{
    if (const HRESULT refused = refusal(count); refused != S_OK)
        return refused;
    *count = static_cast<long>(children.size());
    return S_OK;
}

HRESULT WindowAccessible::get_accChild(VARIANT child, IDispatch** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!window_)
        return CO_E_OBJNOTCONNECTED;
    std::size_t control = 0;
    // The children are simple elements: the client asks this object about them by id.
    return resolve(child, control) == Target::Child ? S_FALSE : E_INVALIDARG;
}

HRESULT WindowAccessible::get_accName(VARIANT child, BSTR* name)
{
    return forTarget(
            child, [&] { return standard_->get_accName(child, name); },
            [&](const Layout::Control& item, std::size_t) {
                return text(item.accessibleName.empty() ? item.text : item.accessibleName, name);
            });
}

HRESULT WindowAccessible::get_accValue(VARIANT child, BSTR* value)
{
    return forTarget(
            child, [&] { return standard_->get_accValue(child, value); },
            [&](const Layout::Control&, std::size_t) { return text({}, value); });
}

HRESULT WindowAccessible::get_accDescription(VARIANT child, BSTR* description)
{
    return forTarget(
            child, [&] { return standard_->get_accDescription(child, description); },
            [&](const Layout::Control& item, std::size_t) {
                return text(item.tooltip, description);
            });
}

HRESULT WindowAccessible::get_accRole(VARIANT child, VARIANT* role)
{
    if (!role)
        return E_POINTER;
    return forTarget(
            child, [&] { return standard_->get_accRole(child, role); },
            [&](const Layout::Control& item, std::size_t) { return number(roleOf(item), role); });
}

HRESULT WindowAccessible::get_accState(VARIANT child, VARIANT* state)
{
    if (!state)
        return E_POINTER;
    return forTarget(
            child, [&] { return standard_->get_accState(child, state); },
            [&](const Layout::Control& item, std::size_t) {
                // Never focusable: the picture buttons take no keyboard focus.
                long flags = 0;
                if (!window_->isShown(item))
                    flags |= STATE_SYSTEM_INVISIBLE;
                if (item.kind == Layout::Kind::Label)
                    flags |= STATE_SYSTEM_READONLY;
                else if (hasAction(item) && !IsWindowEnabled(window_->handle()))
                    flags |= STATE_SYSTEM_UNAVAILABLE;
                return number(flags, state);
            });
}

HRESULT WindowAccessible::get_accHelp(VARIANT child, BSTR* help)
{
    return forTarget(
            child, [&] { return standard_->get_accHelp(child, help); },
            [&](const Layout::Control&, std::size_t) { return text({}, help); });
}

HRESULT WindowAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic)
{
    return forTarget(
            child, [&] { return standard_->get_accHelpTopic(file, child, topic); },
            [&](const Layout::Control&, std::size_t) {
                if (topic)
                    *topic = -1;
                return text({}, file);
            });
}

HRESULT WindowAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    return forTarget(
            child, [&] { return standard_->get_accKeyboardShortcut(child, shortcut); },
            [&](const Layout::Control&, std::size_t) { return text({}, shortcut); });
}

HRESULT WindowAccessible::get_accFocus(VARIANT* focus)
{
    if (!window_)
        return CO_E_OBJNOTCONNECTED;
    return standard_->get_accFocus(focus);
}

HRESULT WindowAccessible::get_accSelection(VARIANT* selection)
{
    if (!window_)
        return CO_E_OBJNOTCONNECTED;
    return standard_->get_accSelection(selection);
}

HRESULT WindowAccessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    return forTarget(
            child, [&] { return standard_->get_accDefaultAction(child, action); },
            [&](const Layout::Control& item, std::size_t) {
                return text(hasAction(item) ? "Press" : "", action);
            });
}

HRESULT WindowAccessible::accSelect(long flags, VARIANT child)
{
    return forTarget(
            child, [&] { return standard_->accSelect(flags, child); },
            [](const Layout::Control&, std::size_t) { return DISP_E_MEMBERNOTFOUND; });
}

HRESULT WindowAccessible::accLocation(long* left, long* top, long* width, long* height,
                                      VARIANT child)
{
    if (!left || !top || !width || !height)
        return E_POINTER;
    return forTarget(
            child, [&] { return standard_->accLocation(left, top, width, height, child); },
            [&](const Layout::Control& item, std::size_t) {
                const RECT area = pixelRect(item.rect, window_->dpi());
                POINT origin{area.left, area.top};
                ClientToScreen(window_->handle(), &origin);
                *left = origin.x;
                *top = origin.y;
                *width = area.right - area.left;
                *height = area.bottom - area.top;
                return S_OK;
            });
}

HRESULT WindowAccessible::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    if (const HRESULT refused = refusal(end); refused != S_OK)
        return refused;
    std::size_t control = 0;
    const long last = static_cast<long>(children.size());
    switch (resolve(start, control)) {
    case Target::Self:
        if (direction == NAVDIR_FIRSTCHILD)
            return childVariant(1, end);
        if (direction == NAVDIR_LASTCHILD)
            return childVariant(last, end);
        return standard_->accNavigate(direction, start, end);
    case Target::Child:
        if (direction == NAVDIR_NEXT)
            return childVariant(start.lVal < last ? start.lVal + 1 : -1, end);
        if (direction == NAVDIR_PREVIOUS)
            return childVariant(start.lVal > 1 ? start.lVal - 1 : -1, end);
        return childVariant(-1, end);
    case Target::Invalid:
        break;
    }
    VariantInit(end);
    return E_INVALIDARG;
}

HRESULT WindowAccessible::accHitTest(long x, long y, VARIANT* child)
{
    if (const HRESULT refused = refusal(child); refused != S_OK)
        return refused;
    POINT point{x, y};
    ScreenToClient(window_->handle(), &point);
    RECT client{};
    GetClientRect(window_->handle(), &client);
    if (!PtInRect(&client, point))
        return standard_->accHitTest(x, y, child);
    // The control on top, as a click there would find it; elsewhere the window itself.
    const std::optional<std::size_t> hit = window_->controlAt(point);
    return childVariant(hit ? accessibleChildId(*hit) : CHILDID_SELF, child);
}

HRESULT WindowAccessible::accDoDefaultAction(VARIANT child)
{
    return forTarget(
            child, [&] { return standard_->accDoDefaultAction(child); },
            [&](const Layout::Control& item, std::size_t control) {
                if (!hasAction(item))
                    return DISP_E_MEMBERNOTFOUND;
                if (!window_->isShown(item) || !IsWindowEnabled(window_->handle()))
                    return E_FAIL;
                // Later, from the window's own loop: a click may open a modal box, which must
                // not run inside a screen reader's call.
                return window_->pressLater(control) ? S_OK : E_FAIL;
            });
}

HRESULT WindowAccessible::put_accName(VARIANT, BSTR)
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::put_accValue(VARIANT, BSTR)
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = window_ ? window_->handle() : nullptr;
    return window_ ? S_OK : CO_E_OBJNOTCONNECTED;
}

HRESULT WindowAccessible::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}
