#pragma once
#include "ComObject.h"
#include "app/Layout.h"

#include <cstddef>

#include <windows.h>

#include <ole2.h>
#include <oleacc.h>

class ControlHost;

// MinGW's oleacc import library links IID_IAccessible to a jump stub into oleacc.dll rather
// than to the GUID, so the interface's own declaration supplies it.
inline const IID& accessibleInterface = __uuidof(IAccessible);

// Clients of MSAA may ask for the automation interface it is built on.
template<> struct ExtendedInterface<IAccessible>
{
    using type = IDispatch;
};

// What screen readers see of the window's client area (MSAA, which UI Automation reads too).
// The picture buttons and labels are drawn, not child windows, so they are this object's
// simple children: named, described by their tooltips, placed as the layout places them, and
// pressed as a click would press them. Everything about the window itself is the system's
// standard client object.
class WindowAccessible final : public ComObject<IAccessible, IOleWindow>
{
public:
    // Null when the system's object cannot be made.
    static Microsoft::WRL::ComPtr<WindowAccessible> create(ControlHost& window);
    // The window is going: every later call fails as for an object that has gone away.
    void disconnect();

    // IDispatch: clients of MSAA call the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;

private:
    WindowAccessible(ControlHost& window, Microsoft::WRL::ComPtr<IAccessible> standard);
    ~WindowAccessible() override = default;

    // Why a call cannot be answered: nowhere to put the answer, or the window has gone; S_OK
    // when it can be.
    HRESULT refusal(const void* answer) const;
    // The layout index of a child, or none for the window itself (CHILDID_SELF).
    enum class Target { Self, Child, Invalid };
    Target resolve(const VARIANT& child, std::size_t& control) const;

    // onSelf() answers for the window itself, onChild(entry, layout index) for one of its
    // children; an unknown child is an invalid argument, and once the window has gone every
    // call says so.
    template<typename OnSelf, typename OnChild>
    HRESULT forTarget(const VARIANT& child, OnSelf onSelf, OnChild onChild) const
    {
        if (!window_)
            return CO_E_OBJNOTCONNECTED;
        std::size_t control = 0;
        switch (resolve(child, control)) {
        case Target::Self:
            return onSelf();
        case Target::Child:
            return onChild(Layout::controls[control], control);
        case Target::Invalid:
            break;
        }
        return E_INVALIDARG;
    }

    ControlHost* window_;
    Microsoft::WRL::ComPtr<IAccessible> standard_;
};

// The child id (1-based) of a layout control among the window's accessible children, or 0
// when it is none of them.
long accessibleChildId(std::size_t control);
