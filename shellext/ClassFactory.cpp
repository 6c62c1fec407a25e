#include "ClassFactory.h"

#include <new>

#include "ComFirewall.h"
#include "LiveObjects.h"
#include "ScanShellExt.h"

CScanShellExtFactory::CScanShellExtFactory() : m_cRef(0) { LiveObjectCreated(); }

CScanShellExtFactory::~CScanShellExtFactory() { LiveObjectDestroyed(); }

STDMETHODIMP CScanShellExtFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = NULL;
    return ComFirewall([&]() -> HRESULT {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    });
}

STDMETHODIMP_(ULONG) CScanShellExtFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CScanShellExtFactory::Release() {
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CScanShellExtFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = NULL;
    return ComFirewall([&]() -> HRESULT {
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        CScanShellExt* handler = new (std::nothrow) CScanShellExt;
        if (!handler) return E_OUTOFMEMORY;
        return HandOutNewObject(handler, riid, ppv);
    });
}

STDMETHODIMP CScanShellExtFactory::LockServer(BOOL /*fLock*/) {
    // Server locks are not counted: only live objects keep the library loaded.
    return S_OK;
}
