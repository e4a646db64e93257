// The report of a run with failures in the real Win32 window: a task dialog with the warning
// icon and the report's text, whose copy button puts every failed path on the clipboard, however
// many there are; and the plain message box when every path was reset. With its list shown the
// box stays inside the work area, at every density.
#include "WindowFixture.h"

#include "Dpi.h"
#include "ReportDialog.h"
#include "platform/WideText_windows.h"
#include "reset/ResetWords.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

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

// Empties the clipboard, so that what is read after a click is what the click put there and not
// what an earlier test left.
bool emptyClipboard()
{
    if (!OpenClipboard(nullptr))
        return false;
    const bool emptied = EmptyClipboard() != FALSE;
    CloseClipboard();
    return emptied;
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

// --- The box with its list shown, against the work area of its monitor ---------------------

using Win32ReportDialog = WindowFixture;

// A click of the left button at a point of the screen, through the system's input queue.
bool clickAt(const PointerLock& pointer, const RECT& area)
{
    return pointer.moveTo({(area.left + area.right) / 2, (area.top + area.bottom) / 2})
            && realClick();
}

RECT windowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The button that shows and hides the list, by the words on it.
HWND detailsButton(HWND box)
{
    for (HWND child : childrenOf(box)) {
        const std::wstring text = textOf(child);
        if (_wcsicmp(classOf(child).c_str(), L"Button") == 0
            && (text == L"Details" || text == L"Hide details"))
            return child;
    }
    return nullptr;
}

constexpr wchar_t moreLineStart[] = L"\u2026 and ";

// The text that shows the list: it begins with the first path, or with the line that tells
// how many more there are when not even one fits.
HWND listText(HWND box, const std::wstring& firstLine)
{
    for (HWND child : childrenOf(box)) {
        const std::wstring text = textOf(child);
        if (_wcsicmp(classOf(child).c_str(), L"Static") == 0 && IsWindowVisible(child)
            && (text.rfind(firstLine, 0) == 0 || text.rfind(moreLineStart, 0) == 0))
            return child;
    }
    return nullptr;
}

int lineHeightOf(HWND text)
{
    HDC dc = GetDC(text);
    const HGDIOBJ old
            = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    return metrics.tmHeight;
}

MONITORINFO monitorOf(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor;
}

void emptyClipboard(HWND owner)
{
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::string describe(const RECT& rect)
{
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")-("
            + std::to_string(rect.right) + ", " + std::to_string(rect.bottom) + ")";
}

// What the box showed once its list was shown, as the user got there.
struct SeenWithList
{
    std::string stoppedAt;  // the step that did not happen; empty when every one did
    RECT box{}, ok{}, owner{}, work{}, screen{};
    int boxDpi = 0;
    std::wstring list;
    int lineHeight = 0;
    std::wstring copied;
};

// One step of the user's: done once, then waited for.
struct Step
{
    const char* what;
    std::function<bool(HWND box)> act;   // false when it cannot be done
    std::function<bool(HWND box)> done;  // asked at every tick until true
};

enum class Opening {
    ClickDetails,          // a click on "Details"
    ClickDetailsHideShow,  // "Details", "Hide details", "Details" again
    ShownAtOnce,           // opened with the list shown
};

// The steps from an open box to its list shown, copied and the box closed with OK.
std::vector<Step> stepsThrough(Opening opening, const PointerLock& pointer,
                               const std::wstring& firstLine, SeenWithList& seen)
{
    const auto nothing = [](HWND) {
        return true;
    };
    const auto showing = [](const wchar_t* words) {
        return [words](HWND box) {
            return textOf(detailsButton(box)) == words;
        };
    };
    const auto clickDetails = [&pointer](HWND box) {
        HWND button = detailsButton(box);
        return button && clickAt(pointer, windowRect(button));
    };
    std::vector<Step> steps{{"the report opens", nothing, nothing}};
    if (opening == Opening::ShownAtOnce) {
        steps.push_back({"the list shows at once", nothing, showing(L"Hide details")});
    } else {
        if (opening == Opening::ClickDetailsHideShow) {
            steps.push_back(
                    {"a click on Details shows the list", clickDetails, showing(L"Hide details")});
            steps.push_back(
                    {"a click on Hide details hides it", clickDetails, showing(L"Details")});
        }
        steps.push_back({opening == Opening::ClickDetails ? "a click on Details shows the list"
                                                          : "a click on Details shows it again",
                         clickDetails, showing(L"Hide details")});
    }
    steps.push_back({"the box is measured",
                     [&seen, firstLine](HWND box) {
                         seen.box = windowRect(box);
                         seen.boxDpi = windowDpi(box);
                         seen.ok = windowRect(GetDlgItem(box, IDOK));
                         seen.owner = windowRect(GetWindow(box, GW_OWNER));
                         const MONITORINFO monitor = monitorOf(box);
                         seen.work = monitor.rcWork;
                         seen.screen = monitor.rcMonitor;
                         HWND list = listText(box, firstLine);
                         if (!list)
                             return false;
                         seen.list = textOf(list);
                         seen.lineHeight = lineHeightOf(list);
                         return true;
                     },
                     nothing});
    steps.push_back({"a click on Copy the list fills the clipboard",
                     [&pointer](HWND box) {
                         HWND copy = GetDlgItem(box, 100);
                         return copy && emptyClipboard() && clickAt(pointer, windowRect(copy));
                     },
                     [&seen](HWND) {
                         seen.copied = clipboardText();
                         return !seen.copied.empty();
                     }});
    steps.push_back({"a click on OK closes the box",
                     [&pointer](HWND box) {
                         HWND ok = GetDlgItem(box, IDOK);
                         return ok && clickAt(pointer, windowRect(ok));
                     },
                     [](HWND) {
                         return false;
                     }});
    return steps;
}

// Shows the report and walks the steps from a timer inside its modal loop; a step that does not
// happen closes the box.
SeenWithList showWithList(HWND owner, const std::wstring& text, const std::wstring& details,
                          Opening opening)
{
    SeenWithList seen;
    const PointerLock pointer(owner);
    const std::wstring firstLine = details.substr(0, details.find(L'\r'));
    const std::vector<Step> steps = stepsThrough(opening, pointer, firstLine, seen);
    std::size_t step = 0;
    bool acted = false;
    int waited = 0;
    onTick = [&] {
        HWND box = nullptr;
        for (HWND candidate : ownedWindows(owner))
            if (classOf(candidate) == L"#32770")
                box = candidate;
        if (!seen.stoppedAt.empty() || step == steps.size())
            return;
        bool failed = false;
        if (box && !acted) {
            acted = true;
            failed = !steps[step].act(box);
        }
        if (box && !failed && steps[step].done(box)) {
            ++step;
            acted = false;
            waited = 0;
            return;
        }
        // About ten seconds for a step that does happen.
        if (failed || ++waited > 500) {
            seen.stoppedAt = std::string(steps[step].what)
                    + (failed ? ": cannot be done" : ": never seen");
            if (box) {
                HWND button = detailsButton(box);
                seen.stoppedAt += " (the box at " + describe(windowRect(box)) + ", "
                        + toUtf8(textOf(button)) + " at " + describe(windowRect(button)) + ")";
            }
            for (HWND window : ownedWindows(owner))
                PostMessageW(window, WM_CLOSE, 0, 0);
        }
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, tick);
    showReportDialog(owner, L"Flagwash", text, details, opening == Opening::ShownAtOnce);
    KillTimer(nullptr, timer);
    onTick = nullptr;
    return seen;
}

void expectInside(const RECT& inner, const RECT& outer, const char* what, const char* where)
{
    EXPECT_TRUE(inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
                && inner.bottom <= outer.bottom)
            << what << " " << describe(inner) << " is not inside " << where << " "
            << describe(outer);
}

// Where a box of this size sits centred on its owner and moved back inside the work area.
POINT centredInside(const RECT& box, const RECT& owner, const RECT& work)
{
    const auto place = [](LONG centre, LONG size, LONG low, LONG high) {
        return std::max(low, std::min(centre - size / 2, high - size));
    };
    return {place((owner.left + owner.right) / 2, box.right - box.left, work.left, work.right),
            place((owner.top + owner.bottom) / 2, box.bottom - box.top, work.top, work.bottom)};
}

std::size_t linesIn(const std::wstring& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\n'));
}

enum class OwnerPlace { AsOpened, AtTheBottom };

struct FitCase
{
    int dpi;
    std::size_t failures;
    Opening opening;
    OwnerPlace owner;
    bool wholeListFits;  // on a 1280 x 1024 screen
};

// The session's screen is 1280 x 1024 pixels.
constexpr FitCase fitCases[] = {
        {96, 5, Opening::ClickDetails, OwnerPlace::AsOpened, true},
        {96, 100, Opening::ClickDetails, OwnerPlace::AsOpened, false},
        {96, 1000, Opening::ClickDetails, OwnerPlace::AsOpened, false},
        {96, 100, Opening::ShownAtOnce, OwnerPlace::AsOpened, false},
        {96, 100, Opening::ClickDetailsHideShow, OwnerPlace::AtTheBottom, false},
        {144, 100, Opening::ClickDetails, OwnerPlace::AsOpened, false},
        {144, 100, Opening::ClickDetailsHideShow, OwnerPlace::AsOpened, false},
        {144, 1000, Opening::ClickDetails, OwnerPlace::AsOpened, false},
        {144, 1000, Opening::ShownAtOnce, OwnerPlace::AtTheBottom, false},
        {192, 5, Opening::ClickDetails, OwnerPlace::AsOpened, true},
        {192, 100, Opening::ClickDetails, OwnerPlace::AsOpened, false},
        {192, 1000, Opening::ClickDetails, OwnerPlace::AsOpened, false},
        {192, 1000, Opening::ShownAtOnce, OwnerPlace::AsOpened, false},
        {192, 100, Opening::ClickDetailsHideShow, OwnerPlace::AtTheBottom, false},
};

const char* openingName(Opening opening)
{
    switch (opening) {
    case Opening::ClickDetails:
        return "Details clicked";
    case Opening::ClickDetailsHideShow:
        return "Details, Hide details, Details clicked";
    case Opening::ShownAtOnce:
        return "shown at once";
    }
    return "";
}

// Wine reads its density (LogPixels in HKEY_CURRENT_USER\Control Panel\Desktop) once, as a
// process starts. A test runs again in a new process at another density with this variable set
// to it; it sets the event once it has read it.
constexpr wchar_t densityVariable[] = L"FLAGWASH_TEST_DPI";
constexpr wchar_t densityReadEvent[] = L"Local\\FlagwashTestDensityRead";

int askedDensity()
{
    wchar_t value[16] = {};
    if (GetEnvironmentVariableW(densityVariable, value, 16) == 0)
        return 0;
    return _wtoi(value);
}

// LogPixels set for as long as it lives, then put back as it was.
class DensitySetting
{
public:
    explicit DensitySetting(DWORD dpi)
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr)
            != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        if (RegQueryValueExW(key_, L"LogPixels", nullptr, &type_, nullptr, &size)
            == ERROR_SUCCESS) {
            old_.resize(size);
            had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, &type_, old_.data(), &size)
                    == ERROR_SUCCESS;
        }
        set_ = RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi),
                              sizeof(dpi))
                == ERROR_SUCCESS;
    }
    DensitySetting(const DensitySetting&) = delete;
    DensitySetting& operator=(const DensitySetting&) = delete;
    ~DensitySetting() { restore(); }

    bool set() const { return set_; }
    void restore()
    {
        if (!key_)
            return;
        if (had_)
            RegSetValueExW(key_, L"LogPixels", 0, type_, old_.data(),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    bool set_ = false;
    DWORD type_ = REG_DWORD;
    std::vector<BYTE> old_;
};

struct ChildRun
{
    bool started = false;
    bool densityRead = false;
    DWORD exitCode = 1;
    std::string output;
};

// Runs the current test again in a new process of this program at another density, and puts
// the density back as soon as that process has read it.
ChildRun runAgainAt(int dpi)
{
    ChildRun run;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter="
            + toWide(std::string(test->test_suite_name()) + "." + test->name());

    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    wchar_t folder[MAX_PATH] = {};
    wchar_t file[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"fwd", 0, file);
    HANDLE output = CreateFileW(file, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return run;
    HANDLE densityRead = CreateEventW(nullptr, TRUE, FALSE, densityReadEvent);
    ResetEvent(densityRead);

    DensitySetting density(static_cast<DWORD>(dpi));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    SetEnvironmentVariableW(densityVariable, std::to_wstring(dpi).c_str());
    run.started = density.set()
            && CreateProcessW(program, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &process);
    SetEnvironmentVariableW(densityVariable, nullptr);
    if (run.started) {
        // Limits only against a process that hangs: no speed is asserted.
        const HANDLE either[] = {densityRead, process.hProcess};
        run.densityRead = WaitForMultipleObjects(2, either, FALSE, 40000) == WAIT_OBJECT_0;
        density.restore();
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
            run.output = "(the process did not end and was stopped)\n";
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    density.restore();
    SetFilePointer(output, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        run.output.append(buffer, read);
    CloseHandle(output);
    CloseHandle(densityRead);
    return run;
}

// A run of missing paths, reset for real: each one a failure with its reason.
ResetReportText reportOfMissingPaths(AttributeReset& reset, std::size_t count)
{
    std::vector<std::filesystem::path> paths;
    for (std::size_t i = 0; i < count; ++i)
        paths.emplace_back("C:\\flagwash-report-test\\missing file " + std::to_string(i) + ".txt");
    return resetReport(runReset(paths, reset), "\r\n");
}

// One case, in the owner's own density; the owner goes back where it was.
void checkWithListShown(const FitCase& c, HWND owner, AttributeReset& reset)
{
    const RECT opened = windowRect(owner);
    const std::string name = std::to_string(c.dpi) + " dpi, " + std::to_string(c.failures)
            + " failures, list " + openingName(c.opening)
            + (c.owner == OwnerPlace::AtTheBottom ? ", owner at the bottom" : "");
    SCOPED_TRACE(name);
    const ResetReportText report = reportOfMissingPaths(reset, c.failures);
    const std::wstring details = toWide(report.details);
    ASSERT_EQ(linesIn(details), c.failures);

    const MONITORINFO monitor = monitorOf(owner);
    const LONG ownerTop = c.owner == OwnerPlace::AtTheBottom
            ? monitor.rcWork.bottom - (opened.bottom - opened.top)
            : opened.top;
    SetWindowPos(owner, nullptr, opened.left, ownerTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    emptyClipboard(owner);

    const SeenWithList seen = showWithList(owner, toWide(report.text), details, c.opening);

    SetWindowPos(owner, nullptr, opened.left, opened.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(ownedWindows(owner).empty()) << "the report is still open";
    EXPECT_EQ(seen.stoppedAt, "") << "this step did not happen";
    if (seen.list.empty())
        return;  // not measured
    EXPECT_EQ(seen.boxDpi, c.dpi);

    expectInside(seen.box, seen.work, "the box", "the work area");
    expectInside(seen.box, seen.screen, "the box", "the screen");
    expectInside(seen.ok, seen.work, "its OK button", "the work area");
    const POINT centred = centredInside(seen.box, seen.owner, seen.work);
    EXPECT_NEAR(seen.box.left, centred.x, 1) << "the box is not centred on its owner";
    EXPECT_NEAR(seen.box.top, centred.y, 1) << "the box is not centred on its owner";

    // The whole list, byte for byte; or its first paths, whole lines, and one line more.
    std::size_t shown = c.failures;
    if (c.wholeListFits) {
        EXPECT_EQ(seen.list, details);
    } else {
        const std::size_t more = seen.list.rfind(moreLineStart);
        ASSERT_NE(more, std::wstring::npos) << "the list does not say that more follow";
        shown = linesIn(seen.list.substr(0, more));
        EXPECT_EQ(seen.list.substr(0, more), details.substr(0, more));
        EXPECT_EQ(seen.list.substr(more),
                  std::wstring(moreLineStart) + std::to_wstring(c.failures - shown)
                          + L" more: Copy the list puts all of them on the clipboard");
        EXPECT_GE(shown, 1u) << "not one path is shown";
        EXPECT_LT(shown, c.failures);
        // Two lines more would not fit: the list is not cut shorter than it must be.
        EXPECT_GT(seen.box.bottom - seen.box.top + 2 * seen.lineHeight,
                  seen.work.bottom - seen.work.top)
                << "a line of " << seen.lineHeight << " pixels";
    }
    EXPECT_EQ(seen.copied, details) << "Copy the list must copy every path";
    std::cout << name << ": box " << describe(seen.box) << " in the work area "
              << describe(seen.work) << ", " << shown << " of " << c.failures
              << " paths shown, lines of " << seen.lineHeight << " pixels\n";
}

// The list behind "Details" as the user finds it: at 100 %, 150 % and 200 %, with a few
// failures and with more than a screen can show, shown by a click or at once, and with the
// owner at the bottom of the screen. The box and its OK button stay inside the work area,
// centred on the owner where the work area lets them; a list that fits is shown whole, one that
// does not shows as many paths as fit and then says how many more there are; "Copy the list"
// copies every one of them. Cases at another density run in a new process of this program.
TEST_F(Win32ReportDialog, BoxWithItsListShownStaysInsideTheWorkAreaAtEveryDensity)
{
    const int asked = askedDensity();
    if (asked) {
        if (HANDLE densityRead = OpenEventW(EVENT_MODIFY_STATE, FALSE, densityReadEvent)) {
            SetEvent(densityRead);
            CloseHandle(densityRead);
        }
        ASSERT_EQ(dpi(), asked) << "Wine did not start this process at the density asked for";
    }
    for (const FitCase& c : fitCases)
        if (c.dpi == dpi())
            checkWithListShown(c, window(), *attributeReset);
    if (asked)
        return;

    std::set<int> others;
    for (const FitCase& c : fitCases)
        if (c.dpi != dpi())
            others.insert(c.dpi);
    for (const int other : others) {
        SCOPED_TRACE("the cases at " + std::to_string(other) + " dpi");
        const ChildRun run = runAgainAt(other);
        std::cout << "--- the cases at " << other << " dpi, in a process of their own:\n"
                  << run.output << "---\n";
        ASSERT_TRUE(run.started) << "cannot start this program again at another density";
        EXPECT_TRUE(run.densityRead) << "the process never got to its cases";
        EXPECT_EQ(run.exitCode, 0u) << "its cases failed (their output is above)";
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test."), std::string::npos)
                << "its cases did not run";
    }
}

}  // namespace
