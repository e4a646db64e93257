#include "DropTarget.h"

#include "MainWindow.h"

#include <shellapi.h>

#include <string>
#include <vector>

HRESULT DropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DropTarget::AddRef()
{
    return InterlockedIncrement(&references_);
}

ULONG DropTarget::Release()
{
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return left;
}

DWORD DropTarget::answer(POINTL point, DWORD offered) const
{
    if (!window_.takesDropAt({point.x, point.y}))
        return DROPEFFECT_NONE;
    return toOleEffect(answerDropEffect(offeredEffects(offered)));
}

HRESULT DropTarget::DragEnter(IDataObject*, DWORD, POINTL point, DWORD* effect)
{
    window_.dragOver();
    if (effect)
        *effect = answer(point, *effect);
    return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL point, DWORD* effect)
{
    window_.dragOver();
    if (effect)
        *effect = answer(point, *effect);
    return S_OK;
}

HRESULT DropTarget::DragLeave()
{
    // Leaving is a drag-over event too.
    window_.dragOver();
    return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    const DWORD offered = effect ? *effect : DROPEFFECT_NONE;
    if (effect)
        *effect = DROPEFFECT_NONE;
    if (!window_.takesDropAt({point.x, point.y}))
        return S_OK;
    if (effect)
        *effect = toOleEffect(answerDropEffect(offeredEffects(offered)));
    window_.dropOnImage1(readDropPayload(data));
    return S_OK;
}

DropPayload readDropPayload(IDataObject* data)
{
    if (!data)
        return {};
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium)))
        return {};
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) {
        ReleaseStgMedium(&medium);
        return {};
    }
    auto drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::filesystem::path> paths;
    paths.reserve(count);
    std::wstring name;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0)
            continue;
        name.assign(length + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(copied);
        paths.emplace_back(name);
    }
    ReleaseStgMedium(&medium);
    return {std::move(paths)};
}

OfferedEffects offeredEffects(DWORD effects)
{
    return {(effects & DROPEFFECT_COPY) != 0, (effects & DROPEFFECT_MOVE) != 0,
            (effects & DROPEFFECT_LINK) != 0};
}

DWORD toOleEffect(DropEffect effect)
{
    switch (effect) {
    case DropEffect::Copy:
        return DROPEFFECT_COPY;
    case DropEffect::Link:
        return DROPEFFECT_LINK;
    case DropEffect::None:
        break;
    }
    return DROPEFFECT_NONE;
}
