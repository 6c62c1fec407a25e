// The entry points COM clients reach the server through.
#include <windows.h>
#include <objbase.h>

#include <new>

#include "ClassFactory.h"
#include "ComFirewall.h"
#include "HandlerClsid.h"
#include "LiveObjects.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = NULL;
    return ComFirewall([&]() -> HRESULT {
        if (!IsEqualCLSID(rclsid, CLSID_ScanShellExt)) return CLASS_E_CLASSNOTAVAILABLE;
        // A new factory on every call: none is cached or shared.
        CScanShellExtFactory* factory = new (std::nothrow) CScanShellExtFactory;
        if (!factory) return E_OUTOFMEMORY;
        return HandOutNewObject(factory, riid, ppv);
    });
}

STDAPI DllCanUnloadNow() {
    return ComFirewall([] { return NoLiveObjects() ? S_OK : S_FALSE; });
}
