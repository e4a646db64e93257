#pragma once
#include "ComObject.h"

#include <vector>

#include <ole2.h>

// A data object holding a few formats, each as global memory, handed out as copies.
// Image1 offers its picture with it when dragged out.
class DataObject final : public ComObject<IDataObject>
{
public:
    // Takes ownership of memory.
    void add(CLIPFORMAT format, HGLOBAL memory);

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                      DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

private:
    ~DataObject() override;

    struct Entry
    {
        FORMATETC format;
        HGLOBAL memory;
    };
    const Entry* find(const FORMATETC* format) const;

    std::vector<Entry> entries_;
};
