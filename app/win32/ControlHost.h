#pragma once
#include "app/Layout.h"

#include <cstddef>
#include <optional>

#include <windows.h>

// The window that draws the layout's controls, as those who describe the controls see it:
// screen readers and the tooltips.
class ControlHost
{
public:
    virtual HWND handle() const = 0;
    virtual int dpi() const = 0;
    virtual bool isShown(const Layout::Control& control) const = 0;
    // The topmost shown control under a client point, as an index into Layout::controls.
    virtual std::optional<std::size_t> controlAt(POINT clientPoint) const = 0;
    // Clicks a control from the window's own message loop; false when it cannot be queued.
    virtual bool pressLater(std::size_t control) = 0;

protected:
    ~ControlHost() = default;
};
