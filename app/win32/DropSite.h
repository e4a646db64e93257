#pragma once
#include "selection/DropPayload.h"

#include <windows.h>

// What the drop target reports to the window it is registered for, and asks of it.
class DropSite
{
public:
    // Any drag over the window, also one leaving it.
    virtual void dragOver() = 0;
    // Whether a drop at a screen point would be taken: only on Image1, shown on top, and only
    // while the window takes drops at all.
    virtual bool takesDropAt(POINT screenPoint) const = 0;
    virtual void dropOnImage1(DropPayload payload) = 0;

protected:
    ~DropSite() = default;
};
