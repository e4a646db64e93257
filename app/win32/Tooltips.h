#pragma once
#include <windows.h>

class ControlHost;

// The tooltips of the drawn controls: one tooltip control owned by the host's window, with a
// tool for each control that has ever to show one, placed where the control is shown.
class Tooltips
{
public:
    explicit Tooltips(const ControlHost& host)
        : host_(host)
    { }
    Tooltips(const Tooltips&) = delete;
    Tooltips& operator=(const Tooltips&) = delete;

    // Once the host's window exists; without a tooltip control the window shows no tooltips.
    void create(HINSTANCE instance);
    // Follows what the host shows and its density.
    void place();
    // The host's window is going and takes the tooltip control with it.
    void forget() { control_ = nullptr; }

private:
    const ControlHost& host_;
    HWND control_ = nullptr;
};
