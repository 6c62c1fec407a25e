#include "CountingDataObject.h"

#include <shlobj.h>

CountingDataObject::CountingDataObject(const Bytes& block) : m_offersDrop(true), m_block(block) {}

CountingDataObject::CountingDataObject() : m_offersDrop(false) {}

CountingDataObject::~CountingDataObject() {
    for (HGLOBAL block : m_handedOut) GlobalFree(block);
}

STDMETHODIMP CountingDataObject::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject)) return E_NOINTERFACE;
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CountingDataObject::AddRef() { return static_cast<ULONG>(1 + ++m_addRefs - m_releases); }

STDMETHODIMP_(ULONG) CountingDataObject::Release() { return static_cast<ULONG>(1 + m_addRefs - ++m_releases); }

STDMETHODIMP CountingDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    ++m_getDataCalls;
    m_lastFormat = *format;
    if (!m_offersDrop || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    if (m_asStream) {
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = nullptr;
    } else {
        HGLOBAL block = GlobalBlockOf(m_block);
        m_handedOut.push_back(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
    }
    medium->pUnkForRelease = &m_mediumOwner;  // the block stays ours; the release is counted
    return S_OK;
}
