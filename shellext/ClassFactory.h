// The class factory COM clients get from DllGetClassObject; it makes context-menu handlers.
#pragma once

#include <windows.h>
#include <unknwn.h>

class CScanShellExtFactory final : public IClassFactory {
public:
    CScanShellExtFactory();
    CScanShellExtFactory(const CScanShellExtFactory&) = delete;
    CScanShellExtFactory& operator=(const CScanShellExtFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    ~CScanShellExtFactory();

    volatile LONG m_cRef;
};

// Hands out the first reference of a new object through its QueryInterface. An object that the
// caller cannot take (QueryInterface fails) is destroyed at once, so it is not counted as live.
template <typename Object>
HRESULT HandOutNewObject(Object* object, REFIID riid, void** ppv) {
    object->AddRef();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}
