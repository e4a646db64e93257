#include "WindowFixture.h"

#include "Dpi.h"
#include "WindowAccessible.h"
#include "platform/WideText_windows.h"

#include <ole2.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

using Id = Layout::ControlId;

VARIANT childId(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// A text property: ask(&text) fills a BSTR, freed here; empty when there is none.
template<typename Ask> std::wstring readText(Ask ask)
{
    BSTR text = nullptr;
    const HRESULT result = ask(&text);
    std::wstring value = SUCCEEDED(result) && text ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return value;
}

// The client object of the window, as a screen reader gets it; null when it cannot.
ComPtr<IAccessible> clientObject(HWND window, HRESULT& result)
{
    ComPtr<IAccessible> client;
    result = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                        accessibleInterface,
                                        reinterpret_cast<void**>(client.GetAddressOf()));
    return client;
}

// Every child by name, walked as a reader walks them: AccessibleChildren, then each by its id.
std::map<std::wstring, long> childrenByName(IAccessible* client, std::vector<std::wstring>& order)
{
    long count = 0;
    client->get_accChildCount(&count);
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    long obtained = 0;
    AccessibleChildren(client, 0, count, children.data(), &obtained);
    std::map<std::wstring, long> named;
    for (long i = 0; i < obtained; ++i) {
        VARIANT& child = children[static_cast<std::size_t>(i)];
        if (child.vt == VT_I4) {
            const std::wstring text
                    = readText([&](BSTR* name) { return client->get_accName(child, name); });
            named[text] = child.lVal;
            order.push_back(text);
        }
        VariantClear(&child);
    }
    return named;
}

// The real window as a screen reader sees it.
class Win32Accessibility : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        HRESULT result = S_OK;
        client = clientObject(window(), result);
        if (!client)
            GTEST_SKIP() << "no accessible object for the window (AccessibleObjectFromWindow: 0x"
                         << std::hex << result << ")";
    }

    ComPtr<IAccessible> client;
};

TEST_F(Win32Accessibility, PictureButtonsAndLabelsAreNamedChildrenOfTheWindow)
{
    std::vector<std::wstring> order;
    const std::map<std::wstring, long> named = childrenByName(client.Get(), order);

    const struct
    {
        Id id;
        const wchar_t* name;
        const wchar_t* description;
        long role;
        const wchar_t* action;
        bool invisibleAtStart;
    } cases[] = {
            {Id::imgStart, L"RESET", L"Click to reset the selected files/folders",
             ROLE_SYSTEM_PUSHBUTTON, L"Press", false},
            {Id::imgAbout, L"ABOUT", L"click to view information about this program",
             ROLE_SYSTEM_PUSHBUTTON, L"Press", false},
            {Id::imgExit, L"EXIT", L"Click to exit this program", ROLE_SYSTEM_PUSHBUTTON, L"Press",
             false},
            {Id::Image1, L"DROP HERE", L"Drag and drop your files/folders here",
             ROLE_SYSTEM_GRAPHIC, L"Press", true},
            {Id::Label3, L"How to use it?", L"", ROLE_SYSTEM_STATICTEXT, L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        const auto found = named.find(c.name);
        ASSERT_NE(found, named.end()) << "not among the window's children";
        const VARIANT child = childId(found->second);
        EXPECT_EQ(readText([&](BSTR* text) { return client->get_accDescription(child, text); }),
                  c.description);
        EXPECT_EQ(readText([&](BSTR* text) { return client->get_accDefaultAction(child, text); }),
                  c.action);
        VARIANT role;
        VariantInit(&role);
        ASSERT_EQ(client->get_accRole(child, &role), S_OK);
        EXPECT_EQ(role.vt, VT_I4);
        EXPECT_EQ(role.lVal, c.role);
        VARIANT state;
        VariantInit(&state);
        ASSERT_EQ(client->get_accState(child, &state), S_OK);
        EXPECT_EQ((state.lVal & STATE_SYSTEM_INVISIBLE) != 0, c.invisibleAtStart);
        EXPECT_EQ(state.lVal & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED), 0)
                << "the picture controls take no keyboard focus";

        const RECT area = pixelRect(Layout::control(c.id).rect, dpi());
        const POINT topLeft = clientToScreen({area.left, area.top});
        long left = 0, top = 0, width = 0, height = 0;
        ASSERT_EQ(client->accLocation(&left, &top, &width, &height, child), S_OK);
        EXPECT_EQ(left, topLeft.x);
        EXPECT_EQ(top, topLeft.y);
        EXPECT_EQ(width, area.right - area.left);
        EXPECT_EQ(height, area.bottom - area.top);
    }
    // Read top to bottom, the buttons left to right.
    const std::vector<std::wstring> expected{L"What does this tool do?",
                                             toWide(Layout::control(Id::Label4).text),
                                             L"DROP HERE",
                                             L"How to use it?",
                                             toWide(Layout::control(Id::Label2).text),
                                             L"RESET",
                                             L"ABOUT",
                                             L"EXIT"};
    EXPECT_EQ(order, expected);

    // Shown by a drag over the window, the drop zone is visible to the reader too.
    dragTextOver(window(), clientToScreen({px(5), px(5)}));
    VARIANT state;
    VariantInit(&state);
    ASSERT_EQ(client->get_accState(childId(named.at(L"DROP HERE")), &state), S_OK);
    EXPECT_EQ(state.lVal & STATE_SYSTEM_INVISIBLE, 0);
}

TEST_F(Win32Accessibility, HitTestFindsTheControlOnTop)
{
    std::vector<std::wstring> order;
    const std::map<std::wstring, long> named = childrenByName(client.Get(), order);
    dragTextOver(window(), clientToScreen({px(5), px(5)}));

    const struct
    {
        const char* where;
        POINT at;             // client pixels at 96 dpi
        const wchar_t* name;  // empty: the window itself
    } cases[] = {
            {"RESET", controlCentre(Id::imgStart), L"RESET"},
            {"EXIT", controlCentre(Id::imgExit), L"EXIT"},
            {"Image1 shown", controlCentre(Id::Image1), L"DROP HERE"},
            {"Image1's corner under Label3", {160, 208}, L"How to use it?"},
            {"background", {5, 5}, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        const POINT screen = clientToScreen({px(c.at.x), px(c.at.y)});
        VARIANT hit;
        VariantInit(&hit);
        ASSERT_EQ(client->accHitTest(screen.x, screen.y, &hit), S_OK);
        ASSERT_EQ(hit.vt, VT_I4);
        EXPECT_EQ(hit.lVal, *c.name ? named.at(c.name) : CHILDID_SELF);
    }
}

// What a click on the control does; nothing for a hidden control or a label.
TEST_F(Win32Accessibility, DefaultActionActsAsAClick)
{
    std::vector<std::wstring> order;
    const std::map<std::wstring, long> named = childrenByName(client.Get(), order);

    using Kinds = std::vector<std::string>;
    const struct
    {
        const wchar_t* name;
        bool afterDragOver;
        bool pressed;
        Kinds asked;
    } cases[] = {
            {L"ABOUT", false, true, Kinds{"box", "launchMin"}},
            {L"DROP HERE", false, false, Kinds{}},
            {L"How to use it?", false, false, Kinds{}},
            // Image1 stays shown from here on.
            {L"DROP HERE", true, true, Kinds{"launchMax"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        if (c.afterDragOver)
            dragTextOver(window(), clientToScreen({px(5), px(5)}));
        log.clear();
        EXPECT_EQ(SUCCEEDED(client->accDoDefaultAction(childId(named.at(c.name)))), c.pressed);
        pumpMessages();
        Kinds asked;
        for (const std::string& entry : log)
            asked.push_back(entry.substr(0, entry.find(':')));
        EXPECT_EQ(asked, c.asked);
    }
}

TEST_F(Win32Accessibility, ObjectHeldPastTheWindowFailsCleanly)
{
    mainWindow.reset();
    pumpMessages();
    long count = 0;
    EXPECT_TRUE(FAILED(client->get_accChildCount(&count)));
    BSTR name = nullptr;
    EXPECT_TRUE(FAILED(client->get_accName(childId(1), &name)));
    SysFreeString(name);
}

}  // namespace
