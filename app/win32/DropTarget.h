#pragma once
#include <ole2.h>

class DropSite;

// The window's registered OLE drop target: every drag over the window is a drag-over event,
// and a drop counts only where the site takes it.
class DropTarget : public IDropTarget
{
public:
    explicit DropTarget(DropSite& site)
        : site_(site)
    { }
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                   DWORD* effect) override;

private:
    virtual ~DropTarget() = default;
    DWORD answer(POINTL point, DWORD offered) const;

    DropSite& site_;
    ULONG references_ = 1;
};
