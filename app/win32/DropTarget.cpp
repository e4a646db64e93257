#include "DropTarget.h"

#include "DropData.h"
#include "DropSite.h"

DWORD DropTarget::answer(POINTL point, DWORD offered) const
{
    if (!site_.takesDropAt({point.x, point.y}))
        return DROPEFFECT_NONE;
    return toOleEffect(answerDropEffect(offeredEffects(offered)));
}

HRESULT DropTarget::DragEnter(IDataObject*, DWORD, POINTL point, DWORD* effect)
{
    site_.dragOver();
    if (effect)
        *effect = answer(point, *effect);
    return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL point, DWORD* effect)
{
    site_.dragOver();
    if (effect)
        *effect = answer(point, *effect);
    return S_OK;
}

HRESULT DropTarget::DragLeave()
{
    // Leaving is a drag-over event too.
    site_.dragOver();
    return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    const DWORD offered = effect ? *effect : DROPEFFECT_NONE;
    if (effect)
        *effect = DROPEFFECT_NONE;
    if (!site_.takesDropAt({point.x, point.y}))
        return S_OK;
    if (effect)
        *effect = toOleEffect(answerDropEffect(offeredEffects(offered)));
    site_.dropOnImage1(readDropPayload(data));
    return S_OK;
}
