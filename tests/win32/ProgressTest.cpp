#include "WindowFixture.h"

#include "Dpi.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Win32Progress = WindowFixture;
using Id = Layout::ControlId;

POINT centreOf(Id id, int dpi)
{
    const RECT area = pixelRect(Layout::control(id).rect, dpi);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

void postClick(HWND window, POINT at)
{
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

// Alt+F4 as the keyboard delivers it: the window's default handling closes it.
void postAltF4(HWND window)
{
    const LPARAM altDown = 1 | (static_cast<LPARAM>(KF_ALTDOWN) << 16);
    PostMessageW(window, WM_SYSKEYDOWN, VK_F4, altDown);
    PostMessageW(window, WM_SYSKEYUP, VK_F4, altDown | (static_cast<LPARAM>(KF_UP) << 16));
}

LRESULT CALLBACK countPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR paints)
{
    if (message == WM_PAINT)
        ++*reinterpret_cast<int*>(paints);
    return DefSubclassProc(window, message, wParam, lParam);
}

struct Shown
{
    std::wstring count;
    std::wstring path;
    int position = -1;
    int buttons = 0;
    bool ownerEnabled = true;
    int ownerPaints = 0;
};

Shown readProgress(HWND progress, HWND owner, int ownerPaints)
{
    Shown shown;
    shown.ownerEnabled = IsWindowEnabled(owner) != FALSE;
    shown.ownerPaints = ownerPaints;
    for (HWND child : childrenOf(progress)) {
        const std::wstring kind = classOf(child);
        if (_wcsicmp(kind.c_str(), L"Static") == 0) {
            const std::wstring text = textOf(child);
            (text.rfind(L"Resetting ", 0) == 0 ? shown.count : shown.path) = text;
        } else if (kind == PROGRESS_CLASSW) {
            shown.position = static_cast<int>(SendMessageW(child, PBM_GETPOS, 0, 0));
        } else if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            ++shown.buttons;
        }
    }
    return shown;
}

enum class Input { PostedClick, PostedAltF4, RealClick };

// A run of 200 paths on a clock that moves 5 ms at every reading: about a second for the run.
// Input given while it goes on, before or after the progress shows, is thrown away, not handled
// once it is over.
TEST_F(Win32Progress, LongRunShowsAModalProgressThatRepaintsAndTakesNoInput)
{
    auto slow = std::make_unique<FakeAttributeReset>(log);
    FakeAttributeReset& reset = *slow;
    attributeReset = std::move(slow);
    open();
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 200; ++i)
        paths.emplace_back("C:\\slow\\file-" + std::to_string(i));

    // Real input needs the pointer and must be seen to reach the window at all.
    const PointerLock pointer(window());
    const POINT about = clientToScreen(centreOf(Id::imgAbout, dpi()));
    bool realInput = pointer.moveTo(about) && realClick();
    for (int wait = 0; realInput && log.empty() && wait < 100; ++wait) {
        Sleep(20);
        pumpMessages();
    }
    realInput = realInput && !log.empty() && log.front() == "box";

    const struct
    {
        const char* input;
        Input kind;
        Id at;
        bool beforeProgressShows;
    } cases[] = {
            {"click on ABOUT posted while the progress shows", Input::PostedClick, Id::imgAbout,
             false},
            {"click on RESET posted before the progress shows", Input::PostedClick, Id::imgStart,
             true},
            {"Alt+F4 posted while the progress shows", Input::PostedAltF4, Id::imgAbout, false},
            {"real click on ABOUT while the progress shows", Input::RealClick, Id::imgAbout, false},
            {"real click on RESET before the progress shows", Input::RealClick, Id::imgStart, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        if (c.kind == Input::RealClick && !realInput) {
            std::printf("skipped: a real click does not reach the window on this desktop\n");
            continue;
        }
        form->Image1_OLEDragDrop({paths});
        log.clear();
        launcher.launches.clear();
        view->boxes.clear();
        reset.calls.clear();

        int paints = 0;
        std::vector<Shown> seen;
        const auto give = [&] {
            const POINT at = centreOf(c.at, dpi());
            switch (c.kind) {
            case Input::PostedClick:
                postClick(window(), at);
                break;
            case Input::PostedAltF4:
                postAltF4(window());
                break;
            case Input::RealClick:
                pointer.moveTo(clientToScreen(at));
                realClick();
                break;
            }
        };
        form->setClock(steppingClock(std::chrono::milliseconds(5)));
        reset.onReset = [&](const std::filesystem::path&) {
            const std::vector<HWND> owned = ownedWindows(window());
            if (c.beforeProgressShows && reset.calls.size() == 5 && owned.empty())
                give();
            if (owned.size() != 1)
                return;
            seen.push_back(readProgress(owned.front(), window(), paints));
            if (seen.size() == 1) {
                InvalidateRect(window(), nullptr, FALSE);
                if (!c.beforeProgressShows)
                    give();
            }
        };
        struct
        {
            bool progressGone = false;
            bool ownerEnabled = false;
        } atReport;
        view->onBox = [&] {
            atReport = {ownedWindows(window()).empty(), IsWindowEnabled(window()) != FALSE};
        };
        SetWindowSubclass(window(), countPaints, 1, reinterpret_cast<DWORD_PTR>(&paints));

        const POINT start = centreOf(Id::imgStart, dpi());
        SendMessageW(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        SendMessageW(window(), WM_LBUTTONUP, 0, MAKELPARAM(start.x, start.y));
        // What was left in the queue, as the program's loop would take it next.
        pumpMessages();
        view->onBox = nullptr;

        ASSERT_TRUE(window()) << "the window was closed";
        RemoveWindowSubclass(window(), countPaints, 1);
        EXPECT_FALSE(quitPosted);
        ASSERT_GE(seen.size(), 2u) << "no progress shown during a one-second run";
        EXPECT_TRUE(seen.front().count.rfind(L"Resetting ", 0) == 0);
        EXPECT_TRUE(seen.front().count.ends_with(L" of 200 files/folders"));
        EXPECT_TRUE(seen.front().path.rfind(L"C:\\slow\\file-", 0) == 0);
        EXPECT_NE(seen.front().count, seen.back().count);
        EXPECT_NE(seen.front().path, seen.back().path);
        EXPECT_LT(seen.front().position, seen.back().position);
        EXPECT_EQ(seen.front().buttons, 0) << "a run cannot be cancelled halfway";
        EXPECT_FALSE(seen.front().ownerEnabled) << "the window takes input during the run";
        EXPECT_GT(seen.back().ownerPaints, seen.front().ownerPaints)
                << "the window did not repaint during the run";
        EXPECT_TRUE(atReport.progressGone) << "the progress still shows over the report";
        EXPECT_TRUE(atReport.ownerEnabled);

        // Only the run's own page launch and its report: the input was dropped.
        EXPECT_EQ(reset.calls.size(), 200u);
        EXPECT_EQ(launcher.launches.size(), 1u);
        ASSERT_EQ(view->boxes.size(), 1u);
        EXPECT_EQ(view->boxes[0].second.rfind("Done resetting 200 files/folders", 0), 0u);
    }
}

}  // namespace
