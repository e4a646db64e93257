// Tells the end-to-end run what the running Flagwash program shows, as a process of its own:
//   WindowProbe            "<width>x<height>" of the main window's frame in device pixels
//   WindowProbe report     the text of the report box the window has up, in UTF-8
// Prints nothing and exits 1 when there is no such window.
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

template<typename Function> Function user32(const char* name)
{
    return reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int printFrame(HWND window)
{
    // Aware of each monitor's density, so the system reports sizes unscaled.
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto perMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (const auto set = user32<SetContext>("SetProcessDpiAwarenessContext"))
        set(perMonitorAwareV2);
    else
        SetProcessDPIAware();
    RECT frame{};
    GetWindowRect(window, &frame);
    std::printf("%ldx%ld\n", frame.right - frame.left, frame.bottom - frame.top);
    return 0;
}

struct BoxSearch
{
    HWND owner;
    HWND box;
};

BOOL CALLBACK findBox(HWND candidate, LPARAM context)
{
    auto* search = reinterpret_cast<BoxSearch*>(context);
    wchar_t name[16] = {};
    GetClassNameW(candidate, name, 16);
    if (std::wcscmp(name, L"#32770") == 0 && GetWindow(candidate, GW_OWNER) == search->owner) {
        search->box = candidate;
        return FALSE;
    }
    return TRUE;
}

// The report's own text: in a message box the static control with the id 0xFFFF, in a task
// dialog its content; either way the child window whose text begins with "Done resetting".
BOOL CALLBACK findReportText(HWND child, LPARAM found)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(child)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
            GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
    if (text.rfind(L"Done resetting", 0) != 0)
        return TRUE;
    *reinterpret_cast<std::wstring*>(found) = text;
    return FALSE;
}

int printReport(HWND window)
{
    BoxSearch search{window, nullptr};
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    std::wstring wide;
    if (search.box)
        EnumChildWindows(search.box, findReportText, reinterpret_cast<LPARAM>(&wide));
    if (wide.empty())
        return 1;
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    HWND window = FindWindowW(L"frmFlagwash", nullptr);
    if (!window)
        return 1;
    if (argc > 1 && std::strcmp(argv[1], "report") == 0)
        return printReport(window);
    return printFrame(window);
}
