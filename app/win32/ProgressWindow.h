#pragma once
#include <cstddef>
#include <string>

#include <windows.h>

// How far a long reset run has got: a small window owned by the main window with the count,
// the current path and a bar, and no button, since a run cannot stop halfway. The run keeps
// this thread busy, so each update handles painting and the window's own messages and throws
// away all mouse and keyboard input, as a modal dialog's loop would.
class ProgressWindow
{
public:
    // Disables the owner at once; the window shows with the first update.
    ProgressWindow(HWND owner, int dpi);
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    // Drops the input queued since the last update, enables the owner and takes the window down.
    ~ProgressWindow();

    void update(std::size_t done, std::size_t total, const std::wstring& heading,
                const std::wstring& path);

    HWND handle() const { return window_; }

private:
    void create(int dpi);
    void pump();

    HWND owner_;
    HWND window_ = nullptr;
    HWND count_ = nullptr;
    HWND path_ = nullptr;
    HWND bar_ = nullptr;
    HFONT font_ = nullptr;
    bool ownerWasEnabled_ = false;
};
