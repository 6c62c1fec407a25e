// Pellicor.dll as a COM client reaches it: loaded from the test's bin folder, through its exports.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "ComRef.h"

// The handler's class id, written here on its own so that a wrong constant in the library shows.
extern const CLSID kHandlerClsid;
extern const char kHandlerClsidText[];

std::wstring PellicorPath();
// Loads the library once per process (and keeps it); its module handle.
HMODULE PellicorModule();

HRESULT PellicorGetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT PellicorCanUnloadNow();
HRESULT PellicorRegisterServer();
HRESULT PellicorUnregisterServer();

// One handler, as a client holds it: both interface pointers.
struct Handler {
    ComRef<IShellExtInit> init;
    ComRef<IContextMenu> menu;
};
// A new handler from a new factory (the factory is released again).
Handler CreateHandler();

// The handler's reference count, read without changing it.
ULONG RefCount(IUnknown* object);
