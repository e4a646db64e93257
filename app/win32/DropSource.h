#pragma once
#include "ComObject.h"

#include <ole2.h>

// The drag source side of Image1: the drag follows the left button and Escape cancels it.
class DropSource final : public ComObject<IDropSource>
{
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    ~DropSource() override = default;
};
