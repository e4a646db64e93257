#include "DataObject.h"

#include <shlobj.h>

#include <cstring>

namespace {

HGLOBAL copyOf(HGLOBAL memory)
{
    const SIZE_T size = GlobalSize(memory);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    const void* source = GlobalLock(memory);
    void* target = GlobalLock(copy);
    if (source && target)
        std::memcpy(target, source, size);
    GlobalUnlock(copy);
    GlobalUnlock(memory);
    if (!source || !target) {
        GlobalFree(copy);
        return nullptr;
    }
    return copy;
}

}  // namespace

DataObject::~DataObject()
{
    for (const Entry& entry : entries_)
        GlobalFree(entry.memory);
}

void DataObject::add(CLIPFORMAT format, HGLOBAL memory)
{
    if (memory)
        entries_.push_back({{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, memory});
}

const DataObject::Entry* DataObject::find(const FORMATETC* format) const
{
    if (!format)
        return nullptr;
    for (const Entry& entry : entries_) {
        if (entry.format.cfFormat == format->cfFormat && (format->tymed & TYMED_HGLOBAL)
            && format->dwAspect == DVASPECT_CONTENT)
            return &entry;
    }
    return nullptr;
}

HRESULT DataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!medium)
        return E_POINTER;
    const Entry* entry = find(format);
    if (!entry)
        return DV_E_FORMATETC;
    HGLOBAL copy = copyOf(entry->memory);
    if (!copy)
        return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT DataObject::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT DataObject::QueryGetData(FORMATETC* format)
{
    return find(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT DataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out)
        out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT DataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT DataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (!formats)
        return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> list;
    for (const Entry& entry : entries_)
        list.push_back(entry.format);
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(list.size()), list.data(), formats);
}

HRESULT DataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT DataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT DataObject::EnumDAdvise(IEnumSTATDATA**)
{
    return OLE_E_ADVISENOTSUPPORTED;
}
