// Tells the end-to-end run what the running Flagwash window measures in device pixels:
// prints "<width>x<height>" of its frame, or nothing and exits 1 when there is none.
#include <cstdio>

#include <windows.h>

namespace {

template<typename Function> Function user32(const char* name)
{
    return reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

int main()
{
    // Aware of each monitor's density, so the system reports sizes unscaled.
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto perMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (const auto set = user32<SetContext>("SetProcessDpiAwarenessContext"))
        set(perMonitorAwareV2);
    else
        SetProcessDPIAware();

    HWND window = FindWindowW(L"frmFlagwash", nullptr);
    if (!window)
        return 1;
    RECT frame{};
    GetWindowRect(window, &frame);
    std::printf("%ldx%ld\n", frame.right - frame.left, frame.bottom - frame.top);
    return 0;
}
