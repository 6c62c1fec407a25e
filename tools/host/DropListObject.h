// A data object that serves one CF_HDROP block, as the shell hands a selection to a handler.
// It starts with one reference, its creator's: on the stack, never release that one.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <string>
#include <vector>

// A DROPFILES block of wide paths, double-zero terminated, in GMEM_MOVEABLE memory.
HGLOBAL BuildWideDropList(const std::vector<std::wstring>& paths);

class DropListObject : public IDataObject {
public:
    explicit DropListObject(HGLOBAL block) : m_block(block) {}
    DropListObject(const DropListObject&) = delete;
    DropListObject& operator=(const DropListObject&) = delete;
    virtual ~DropListObject() { GlobalFree(m_block); }
    HGLOBAL Block() const { return m_block; }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG count = InterlockedDecrement(&m_cRef);
        if (count == 0) delete this;
        return count;
    }
    // Each call hands out a copy of the block: the caller releases the medium.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC** out) override {
        *out = NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    LONG m_cRef = 1;
    HGLOBAL m_block;
};
