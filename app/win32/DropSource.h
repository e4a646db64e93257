#pragma once
#include <ole2.h>

// The drag source side of Image1: the drag follows the left button and Escape cancels it.
class DropSource : public IDropSource
{
public:
    DropSource() = default;
    DropSource(const DropSource&) = delete;
    DropSource& operator=(const DropSource&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    virtual ~DropSource() = default;

    ULONG references_ = 1;
};
