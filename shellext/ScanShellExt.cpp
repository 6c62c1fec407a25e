#include "ScanShellExt.h"

#include "ComFirewall.h"
#include "LiveObjects.h"
#include "MenuBitmap.h"
#include "ReadDropFiles.h"

CScanShellExt::CScanShellExt() : m_cRef(0), m_pDataObject(NULL) {
    LiveObjectCreated();
    m_bmpMenu.Attach(LoadBitmapA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_SCAN_EMBLEM)));
}

CScanShellExt::~CScanShellExt() {
    ReleaseDataObject();
    LiveObjectDestroyed();
    m_bmpMenu.DeleteObject();
}

STDMETHODIMP CScanShellExt::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = NULL;
    return ComFirewall([&]() -> HRESULT {
        // The object's identity is its IShellExtInit pointer, so IUnknown answers with it too.
        if (IsEqualIID(riid, IID_IShellExtInit) || IsEqualIID(riid, IID_IUnknown))
            *ppv = static_cast<IShellExtInit*>(this);
        else if (IsEqualIID(riid, IID_IContextMenu))
            *ppv = static_cast<IContextMenu*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    });
}

STDMETHODIMP_(ULONG) CScanShellExt::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CScanShellExt::Release() {
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

void CScanShellExt::ReleaseDataObject() {
    if (m_pDataObject) {
        IDataObject* held = m_pDataObject;
        m_pDataObject = NULL;
        held->Release();
    }
}

STDMETHODIMP CScanShellExt::Initialize(PCIDLIST_ABSOLUTE /*pidlFolder*/, IDataObject* pdtobj, HKEY /*hkeyProgID*/) {
    return ComFirewall([&]() -> HRESULT {
        ReleaseDataObject();
        if (!pdtobj) return E_FAIL;
        m_pDataObject = pdtobj;
        m_pDataObject->AddRef();
        return ReadDropFiles(m_pDataObject, m_files);
    });
}

STDMETHODIMP CScanShellExt::GetCommandString(UINT_PTR /*idCmd*/, UINT /*uType*/, UINT* /*pReserved*/, LPSTR /*pszName*/,
                                             UINT /*cchMax*/) {
    // No verb and no help text: nothing is written, every request is answered S_OK.
    return S_OK;
}
