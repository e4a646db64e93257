#pragma once
#include <ole2.h>

class MainWindow;

// The window's registered OLE drop target: every drag over the window is a drag-over event,
// and a drop counts only where Image1 is shown on top.
class DropTarget : public IDropTarget
{
public:
    explicit DropTarget(MainWindow& window)
        : window_(window)
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

    MainWindow& window_;
    ULONG references_ = 1;
};
