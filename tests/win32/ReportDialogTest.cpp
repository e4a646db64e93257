// The report of a run with failures in the real Win32 window: a task dialog with the warning
// icon and the report's text, whose copy button puts every failed path on the clipboard, however
// many there are; and the plain message box when every path was reset.
#include "WindowFixture.h"

#include "platform/WideText_windows.h"

#include <string>

namespace {

using Win32Report = WindowFixture;

std::function<void()> onTick;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (onTick)
        onTick();
}

std::wstring clipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// What showReport put up, read and closed from a timer inside its modal loop.
struct SeenReport
{
    std::wstring text;
    std::wstring copied;
    bool taskDialog = false;
    bool ownerDisabled = false;
};

SeenReport showAndRead(WindowView& view, HWND owner, const std::string& text,
                       const std::string& details, bool warning)
{
    SeenReport seen;
    int ticks = 0;
    onTick = [&] {
        for (HWND box : ownedWindows(owner)) {
            if (classOf(box) != L"#32770" || !IsWindowVisible(box))
                continue;
            seen.text = reportTextOf(box);
            seen.ownerDisabled = !IsWindowEnabled(owner);
            // A task dialog's own button: the copy button, id 100; a message box has none.
            if (HWND copy = GetDlgItem(box, 100)) {
                seen.taskDialog = true;
                SendMessageW(copy, BM_CLICK, 0, 0);
                seen.copied = clipboardText();
            }
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return;
        }
        if (++ticks > 400) {
            for (HWND box : ownedWindows(owner))
                PostMessageW(box, WM_CLOSE, 0, 0);
        }
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, tick);
    view.showReport("", text, details, warning);
    KillTimer(nullptr, timer);
    onTick = nullptr;
    return seen;
}

TEST_F(Win32Report, FailuresComeInATaskDialogWhoseListCanBeCopiedWhole)
{
    std::string details;
    for (int i = 0; i < 250; ++i)
        details += "C:\\stick\\file " + std::to_string(i) + ".txt (not found)\r\n";
    const std::string text = "Done resetting 0 files/folders\r\n\r\n250 files/folders could not "
                             "be reset:\r\n...\r\n\r\nClick OK to reset more files/folders";

    view->realBoxes = true;
    const SeenReport seen = showAndRead(*view, window(), text, details, true);

    EXPECT_TRUE(seen.taskDialog);
    EXPECT_TRUE(seen.ownerDisabled) << "the report must be modal";
    EXPECT_EQ(toUtf8(seen.text), text);
    EXPECT_EQ(toUtf8(seen.copied), details);
    EXPECT_TRUE(ownedWindows(window()).empty()) << "the report is still open";
}

TEST_F(Win32Report, AllDoneIsThePlainMessageBox)
{
    const std::string text = "Done resetting 2 files/folders\r\n\r\nClick OK to reset more "
                             "files/folders";

    view->realBoxes = true;
    const SeenReport seen = showAndRead(*view, window(), text, "", false);

    EXPECT_FALSE(seen.taskDialog);
    EXPECT_TRUE(seen.ownerDisabled);
    EXPECT_EQ(toUtf8(seen.text), text);
}

}  // namespace
