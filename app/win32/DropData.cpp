#include "DropData.h"

#include <shellapi.h>

#include <string>
#include <vector>

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
