#pragma once
#include "ComObject.h"

#include <ole2.h>

class DropSite;

// The window's registered OLE drop target: every drag over the window is a drag-over event,
// and a drop counts only where the site takes it.
class DropTarget final : public ComObject<IDropTarget>
{
public:
    explicit DropTarget(DropSite& site)
        : site_(site)
    { }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                   DWORD* effect) override;

private:
    ~DropTarget() override = default;
    DWORD answer(POINTL point, DWORD offered) const;

    DropSite& site_;
};
