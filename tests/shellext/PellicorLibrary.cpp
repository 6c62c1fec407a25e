#include "PellicorLibrary.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "Processes.h"

const CLSID kHandlerClsid = {0x5D0E27A4, 0x91C3, 0x4B7F, {0x8E, 0x62, 0xC1, 0xA9, 0xF0, 0x3B, 0x7D, 0x58}};
const char kHandlerClsidText[] = "{5D0E27A4-91C3-4B7F-8E62-C1A9F03B7D58}";

namespace {

template <typename F>
F Export(const char* name) {
    FARPROC proc = GetProcAddress(PellicorModule(), name);
    if (!proc) throw std::runtime_error(std::string("Pellicor.dll does not export ") + name);
    return reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

}  // namespace

std::wstring PellicorPath() { return ProgramFolder() + L"Pellicor.dll"; }

HMODULE PellicorModule() {
    static HMODULE module = LoadLibraryW(PellicorPath().c_str());
    if (!module) throw std::runtime_error("Pellicor.dll does not load: " + std::to_string(GetLastError()));
    return module;
}

HRESULT PellicorGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, iid, out);
}

HRESULT PellicorCanUnloadNow() { return Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")(); }

HRESULT PellicorRegisterServer() { return Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")(); }

HRESULT PellicorUnregisterServer() { return Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")(); }

Handler CreateHandler() {
    Handler handler;
    ComRef<IClassFactory> factory;
    HRESULT hr = PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, factory.OutVoid());
    if (FAILED(hr)) throw std::runtime_error("DllGetClassObject failed");
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, handler.init.OutVoid());
    if (FAILED(hr)) throw std::runtime_error("CreateInstance failed");
    hr = handler.init->QueryInterface(IID_IContextMenu, handler.menu.OutVoid());
    if (FAILED(hr)) throw std::runtime_error("no IContextMenu");
    return handler;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}
