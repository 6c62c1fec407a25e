#include "DropListObject.h"

#include <shlobj.h>

#include <cstring>

HGLOBAL BuildWideDropList(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& path : paths) chars += path.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        std::memcpy(text, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        text += path.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

STDMETHODIMP DropListObject::QueryInterface(REFIID riid, void** out) {
    *out = NULL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject)) return E_NOINTERFACE;
    *out = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP DropListObject::QueryGetData(FORMATETC* format) {
    return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP DropListObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    SIZE_T size = GlobalSize(m_block);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(copy), GlobalLock(m_block), size);
    GlobalUnlock(copy);
    GlobalUnlock(m_block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = NULL;
    return S_OK;
}
